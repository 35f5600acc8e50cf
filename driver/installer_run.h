// The installer's run as a whole: start-up, the wizard's step loop with the
// configuration extraction and the install worker, clean-up and exit code.
#pragma once
#include <string>

// Exit codes of the process.
enum ExitCode {
  kExitDone = 0,
  kExitNotAdministrator = 1,
  kExitDirectXTooOld = 2,
  kExitCannotOpenPayload = 4,
  kExitCannotReadPayload = 5,
  kExitAborted = 10,
  // -verify: 0 when every file is as installed, else one of these.
  kExitVerifyDifferences = 20,   // files missing or changed (the report lists them)
  kExitVerifyNoFileHashes = 21,  // the installer was built without file hashes
  kExitVerifyNoManifest = 22,    // no manifest (or no install log to keep one beside)
  kExitVerifyDamaged = 23,       // the manifest is damaged or edited
  kExitVerifyOtherInstaller = 24,
  kExitVerifyFolderGone = 25,
  // -repair: its refusals exit with the codes of -verify's above (21 to
  // 25, nothing changed); these are its own.
  kExitRepairUnfinished = 26,  // refused: the install stopped part-way (run the installer to continue it)
  kExitRepairFailed = 27,      // the files are not all as installed after the repair
  kExitRequiredInstallMissing = 300,
};

// Runs the installer with the narrow command line (without the program's own
// name) and returns the process's exit code. Some failures end the process
// directly with their exit code, as the start-up checks require.
int RunInstaller(const std::string& command_line);

// The payload file for an installer path: "_Stub" removed at its first
// occurrence when the path contains "_Stub.exe", else the path itself.
std::string PayloadPathFor(const std::string& installer_path);

// InstallerExeDir: the path cut before its last '\' or '/', unchanged when it
// has none.
std::string InstallerDirFor(const std::string& installer_path);
