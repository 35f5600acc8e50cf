// Where mkinstaller finds the Windows programs it packs (the installer stub
// and the uninstaller) when the command line does not name them. The search
// order, first found wins:
//   1. the command-line option (--stub FILE, --uninstaller FILE);
//   2. the environment variable (MKINSTALLER_STUB, MKINSTALLER_UNINSTALLER);
//   3. the tool's share folder: ../share/mkinstaller/ beside the folder of
//      the running mkinstaller (where "cmake --install" and the package put it);
//   4. the build tree: the folder of the running mkinstaller itself
//      (build/bin holds both targets' products).
#pragma once

#include <string>
#include <vector>

struct ToolFile {
  const char* file_name;    // "InstallerStub.exe"
  const char* environment;  // "MKINSTALLER_STUB"
  const char* option;       // "--stub", for messages
};

extern const ToolFile kStubFile;
extern const ToolFile kUninstallerFile;

// The path to use: the option's value when given, else the first existing
// file of the search order. Empty when none is found; *searched then lists
// the places looked at, for the message.
std::string FindToolFile(const ToolFile& file, const std::string& option_value, std::vector<std::string>* searched);

// The one-line message for a file that was not found anywhere.
std::string ToolFileNotFound(const ToolFile& file, const std::vector<std::string>& searched);
