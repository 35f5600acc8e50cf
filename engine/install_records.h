// The records of the install configuration (install.xml). Strings are narrow
// and unexpanded: actions widen and expand them when they use them.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "engine/reg_value.h"

struct Shortcut {
  std::string Dest;
  std::string Target;
  std::string Args;
  std::string Icon;
  bool shared = false;
};

struct Retailer {
  std::string Name;
  std::string DisplayIcon;
  std::vector<Shortcut> Shortcuts;
  void* icon = nullptr;  // loaded and freed by the store selection page
};

struct ShellCommand {
  std::string Name;
  std::string Command;
};

struct FileAssociation {
  std::string FileExtension;
  std::string VersionedName;
  std::vector<ShellCommand> ShellCommands;
  std::string IconLocation;
};

struct ExecRecord {
  std::string Exe;
  std::string Directory;
  std::string Params;
  bool SilentFail = false;
  bool PostConfirmation = false;
  std::string Id;
  std::set<int32_t> ReturnCodes{0};
  WString StatusMessage;
};
