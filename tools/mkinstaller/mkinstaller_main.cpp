// mkinstaller: the authoring tool. The first argument names a subcommand;
// the table below is the only place that lists them.
#include <cstdio>
#include <cstring>

#include "base/fatal_error.h"
#include "config/fatal_error_box.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

constexpr const char* kVersion = "0.1.0";

const Subcommand kSubcommands[] = {
    {"init", "start a new installer project with a complete configuration", InitCommand},
    {"build", "check a configuration and pack a finished installer", BuildCommand},
    {"check", "load a configuration with the installer's own readers", CheckCommand},
    {"expand", "print texts as the installer expands them", ExpandCommand},
    {"list", "list the payload records and cabinet entries of an installer", ListCommand},
    {"extract", "unpack an installer into the folders it was built from", ExtractCommand},
    {"cab", "list or extract a cabinet with the installer's own engine", CabCommand},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: mkinstaller SUBCOMMAND [ARGS...]\n       mkinstaller --help | --version\n\nsubcommands:\n");
  for (const Subcommand& s : kSubcommands) std::fprintf(out, "  %-10s %s\n", s.name, s.summary);
  std::fprintf(out, "\n'mkinstaller SUBCOMMAND --help' describes one subcommand.\n");
}

}  // namespace

int main(int argc, char** argv) {
  // An expansion's fatal error (a "#Fail", an unknown command) is printed
  // as the installer would show it, and the subcommand goes on.
  SetFatalErrorHandler(ShowFatalErrorBox);
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const char* first = argv[1];
  if (std::strcmp(first, "--version") == 0) {
    std::printf("mkinstaller %s\n", kVersion);
    return kExitOk;
  }
  if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) {
    PrintUsage(stdout);
    return kExitOk;
  }
  for (const Subcommand& s : kSubcommands) {
    if (std::strcmp(first, s.name) == 0) return s.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "mkinstaller: unknown subcommand '%s'\n", first);
  PrintUsage(stderr);
  return kExitUsage;
}
