// End-to-end harness: runs the real Windows programs under Wine in the
// prefixes made for this test run (one per Windows version), and reads back
// what they left: exit codes, files, registry values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Windows versions with a prefix of their own for the run.
constexpr const char* kWin7 = "win7";
constexpr const char* kWinXP = "winxp";

std::string BinDir();                                  // where the built programs are
std::string SourceDir();                               // the project's source folder
std::string PrefixDir(const std::string& version);     // the prefix for that version
std::string DriveC(const std::string& version);        // its drive_c folder
// How many times longer Wine runs may take here (WINE_TIMEOUT_SCALE, set by
// scripts/test.sh: above 1 where 32-bit code runs emulated). Waits of the
// tests' own multiply by it; RunWine's limits are scaled by wine-run.sh.
int TimeoutScale();

struct WineResult {
  int exitCode = -1;
  bool timedOut = false;
  std::string output;  // stdout and stderr together
};

// Runs argv[0] (a host path to a .exe, or a Windows program name such as
// "reg") with the remaining arguments in the prefix of that version.
// env holds extra NAME=VALUE settings for the program.
WineResult RunWine(const std::string& version, const std::vector<std::string>& argv,
                   int timeout_seconds = 180, const std::vector<std::string>& env = {});

// A host path as Windows programs under Wine name it (Z:\...).
std::string WinePath(const std::string& host_path);

// The data of a registry value as `reg query` prints it; false when the key
// or the value does not exist. type receives "REG_SZ", "REG_DWORD", ...
bool RegQuery(const std::string& version, const std::string& key, const std::string& value,
              std::string* data, std::string* type = nullptr);
bool RegKeyExists(const std::string& version, const std::string& key);
bool RegDeleteKey(const std::string& version, const std::string& key);

// Folders named zelcfg* anywhere under the prefix's temporary folders.
std::vector<std::string> LeftoverTemporaryFolders(const std::string& version);

// A payload record as it is appended to the stub.
struct Record {
  uint32_t type;
  std::vector<uint8_t> data;
};

// stub bytes + records (each data, length, type) + optional signature + tail.
std::vector<uint8_t> AssembleInstaller(const std::vector<uint8_t>& stub, const std::vector<Record>& records,
                                       bool signature = true, const std::vector<uint8_t>& tail = {});

// The paths of an install log's "File" lines, in order.
std::vector<std::string> LoggedFiles(const std::string& log);

// Runs a host command line through the shell; returns its exit status.
int Shell(const std::string& command, std::string* output = nullptr);

}  // namespace e2e
