// The subcommands of mkinstaller. Each lives in its own file and is listed
// once in the table of mkinstaller_main.cpp.
#pragma once

#include <string>

// argv[0] is the subcommand's own name. Exit codes: 0 success, 1 failure,
// 2 bad usage.
using SubcommandMain = int (*)(int argc, char** argv);

struct Subcommand {
  const char* name;
  const char* summary;  // one line for "mkinstaller --help"
  SubcommandMain run;
};

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int CabCommand(int argc, char** argv);
int BuildCommand(int argc, char** argv);
int CheckCommand(int argc, char** argv);
int ExpandCommand(int argc, char** argv);
int ListCommand(int argc, char** argv);
int InitCommand(int argc, char** argv);
int ExtractCommand(int argc, char** argv);

// Extracts every entry of a cabinet file under destination, as 'cab extract'
// does; prints what it wrote and returns the exit code.
int ExtractCabinetEntries(const std::string& cabinet, const std::string& destination);
