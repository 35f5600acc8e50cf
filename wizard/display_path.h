// Paths as the user sees them and as the file system names them. On Windows
// Vista and later the shell gives many folders a localized name (a folder
// "Program Files" may be shown under another name); the wizard shows paths
// in that display form and turns what the user typed back into real folder
// names before the install uses it. Without the shell's functions both
// conversions leave the path as it is.
//
// The walks are portable; the shell's answers come through ShellNames.
#pragma once

#include <string>
#include <vector>

#include "base/string_utils.h"

struct FolderEntry {
  WString name;
  bool reparsePoint = false;
};

class ShellNames {
 public:
  virtual ~ShellNames() = default;
  // False when the system lacks the localized-name functions.
  virtual bool Available() const = 0;
  // The upper-cased path of the user-profiles folder ("C:\USERS").
  virtual WString UserProfilesFolder() = 0;
  // The shell's localized name of a folder; false when it has none.
  virtual bool LocalizedName(const WString& folder, WString* name) = 0;
  // The entries of a folder; false when it cannot be listed.
  virtual bool ListFolder(const WString& folder, std::vector<FolderEntry>* entries) = 0;
};

// Each component of the path (up to the first empty one) by its localized
// name, joined with backslashes. The user-profiles folder is looked up under
// the name the shell localizes, "Documents and Settings".
std::string ToDisplayPath(ShellNames& shell, const std::string& path);

// For a path "X:\..." in display form: each component replaced by the real
// entry of its folder whose display name it is (a plain entry before a
// reparse point), kept as typed when none is; the rest kept as typed from
// the first folder that cannot be listed. Other paths only get backslashes.
std::string ToFileSystemPath(ShellNames& shell, const std::string& path);
