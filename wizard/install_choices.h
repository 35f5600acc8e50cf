// The check of the install folder and start-menu group chosen on the welcome
// and options pages, run by the driver whenever the wizard moves on to the
// license step; and, when it passes, the tidying of the two variables.
//
// The checks run in a fixed order and the first failure is reported: each
// fault has the caption and text placeholders of the message that tells the
// user. Bytes of 128 and above are allowed everywhere; slashes are allowed in
// the group so that it may name nested folders.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/string_utils.h"

class DefinesParser;

enum class ChoiceFault {
  kNone,
  kDoubleSlash,        // two backslashes or two forward slashes in a row
  kNoDrive,            // not "X:" followed by a slash
  kPathCharacter,      // a character files or the shell refuse, after the drive
  kGroupEmpty,         // empty, or a character that does not fit 8 bits
  kGroupCharacter,     // a refused character anywhere in the group
  kDriveUnreadable,    // the free space of the drive cannot be read
  kDriveTooSmall,      // less free space than the product needs
};

struct ChoiceMessage {
  const char16_t* caption;  // %ID% placeholders, expanded when shown
  const char16_t* text;
};
ChoiceMessage MessageFor(ChoiceFault fault);

// What the check needs from the run.
struct ChoiceInputs {
  // Free bytes available on a drive root ("C:\"), -1 when unreadable.
  std::function<int64_t(const std::string& root)> freeSpace;
  // The file-system form of a path typed in display form.
  std::function<std::string(const std::string& path)> toFileSystemPath;
  int64_t requiredSpace = 0;
};

// The drive root of an install path: the text before the first slash at
// index 2 or later, followed by a backslash.
std::string InstallDriveRoot(const std::string& path);

// The checks alone, on the expanded path (narrowed) and group (wide).
ChoiceFault CheckInstallChoices(const std::string& path, const WString& group, const ChoiceInputs& inputs);

// The whole validation on the variables InstallPath and InstallGroup of the
// store (which the expansion reads): the checks, then, when they pass, the
// group without one trailing slash and the path in file-system form without
// one trailing slash, both as raw (unexpanded) values.
ChoiceFault ValidateInstallChoices(DefinesParser& variables, const ChoiceInputs& inputs);
