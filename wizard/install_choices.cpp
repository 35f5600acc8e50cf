#include "wizard/install_choices.h"

#include "config/defines_parser.h"
#include "config/expand.h"

namespace {

struct FaultMessage {
  ChoiceFault fault;
  ChoiceMessage message;
};

const FaultMessage kMessages[] = {
    {ChoiceFault::kDoubleSlash, {u"%INVALID_PATH_TITLE%", u"%INVALID_PATH_TEXT%"}},
    {ChoiceFault::kNoDrive, {u"%INVALID_PATH_TITLE%", u"%INVALID_PATH_DRIVE_TEXT%"}},
    {ChoiceFault::kPathCharacter, {u"%INVALID_PATH_TITLE%", u"%INVALID_PATH_CHARACTER_TEXT%"}},
    {ChoiceFault::kGroupEmpty, {u"%INVALID_STARTMENU_TITLE%", u"%INVALID_STARTMENU_TEXT%"}},
    {ChoiceFault::kGroupCharacter, {u"%INVALID_STARTMENU_TITLE%", u"%INVALID_STARTMENU_CHARACTER_TEXT%"}},
    {ChoiceFault::kDriveUnreadable, {u"%INVALID_DRIVE_TITLE%", u"%INVALID_DRIVE_SPECIFIED%"}},
    {ChoiceFault::kDriveTooSmall, {u"%DRIVE_NOT_SUFFICIENT_TITLE%", u"%DRIVE_NOT_SUFFICIENT%"}},
};

// Characters refused in the path (after the drive) and in the group. The
// ampersand and the percent sign are refused too: they would be read as
// shell or variable syntax later on.
bool IsRefused(unsigned char c) {
  if (c < 32) return true;
  for (char refused : {'"', '*', ':', '<', '>', '?', '&', '|', '%'})
    if (c == static_cast<unsigned char>(refused)) return true;
  return false;
}

bool IsSlash(char c) { return c == '\\' || c == '/'; }

}  // namespace

ChoiceMessage MessageFor(ChoiceFault fault) {
  for (const FaultMessage& m : kMessages)
    if (m.fault == fault) return m.message;
  return {u"", u""};
}

std::string InstallDriveRoot(const std::string& path) {
  size_t end = path.size();
  for (size_t i = 2; i < path.size(); ++i) {
    if (IsSlash(path[i])) {
      end = i;
      break;
    }
  }
  return path.substr(0, end) + "\\";
}

ChoiceFault CheckInstallChoices(const std::string& path, const WString& group, const ChoiceInputs& inputs) {
  if (path.find("\\\\") != std::string::npos || path.find("//") != std::string::npos) return ChoiceFault::kDoubleSlash;
  if (path.size() < 3 || path[1] != ':' || !IsSlash(path[2])) return ChoiceFault::kNoDrive;
  for (size_t i = 2; i < path.size(); ++i)
    if (IsRefused(static_cast<unsigned char>(path[i]))) return ChoiceFault::kPathCharacter;

  bool fits = true;
  const std::string narrow_group = Narrow(group, &fits);
  if (narrow_group.empty() || !fits) return ChoiceFault::kGroupEmpty;
  for (char c : narrow_group)
    if (IsRefused(static_cast<unsigned char>(c))) return ChoiceFault::kGroupCharacter;

  const std::string root = InstallDriveRoot(path);
  const int64_t free_space = root.size() < 2 || !inputs.freeSpace ? -1 : inputs.freeSpace(root);
  if (free_space < 0) return ChoiceFault::kDriveUnreadable;
  if (free_space < inputs.requiredSpace) return ChoiceFault::kDriveTooSmall;
  return ChoiceFault::kNone;
}

ChoiceFault ValidateInstallChoices(DefinesParser& variables, const ChoiceInputs& inputs) {
  const std::string path = Narrow(Expand(u"%InstallPath%", true));
  const WString group = Expand(variables.GetVariable(u"InstallGroup"), true);
  const ChoiceFault fault = CheckInstallChoices(path, group, inputs);
  if (fault != ChoiceFault::kNone) return fault;

  variables.SetVariable(u"InstallGroup", Widen(RemoveTrailingSlash(Narrow(variables.GetVariable(u"InstallGroup")))));
  std::string raw_path = Narrow(variables.GetVariable(u"InstallPath"));
  if (inputs.toFileSystemPath) raw_path = inputs.toFileSystemPath(raw_path);
  variables.SetVariable(u"InstallPath", Widen(RemoveTrailingSlash(raw_path)));
  return ChoiceFault::kNone;
}
