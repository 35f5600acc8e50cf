// "mkinstaller expand CFGDIR TEXT...": what the installer makes of a text.
#include <cstdio>
#include <string>

#include "config/expand.h"
#include "base/string_utils.h"
#include "tools/mkinstaller/config_loader.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller expand CFGDIR TEXT...\n"
    "\n"
    "Prints each TEXT expanded as the installer expands it (collapsed), after\n"
    "loading the built-in defaults, props.xml and defines.xml of CFGDIR as the\n"
    "installer does. Folder variables (%ProgramFiles%, %CommonDesktop%, ...)\n"
    "take the values of a default Windows 7 system; registry reads see an\n"
    "empty registry.\n";

}  // namespace

int ExpandCommand(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc < 3) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  ConfigLoadResult result = LoadConfiguration(argv[1], {});
  if (!result.ok) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    return kExitFailure;
  }
  for (int i = 2; i < argc; ++i) std::printf("%s\n", Narrow(Expand(Widen(argv[i]), true)).c_str());
  return kExitOk;
}
