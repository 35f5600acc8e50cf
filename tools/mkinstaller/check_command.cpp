// "mkinstaller check CFGDIR [--files DIR] [--defines-text FILE]...":
// loads the configuration with the installer's own readers.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/mkinstaller/config_loader.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller check CFGDIR [--files DIR] [--defines-text FILE]...\n"
    "\n"
    "Loads props.xml, install.xml and defines.xml of CFGDIR (and the defines\n"
    "texts) with the installer's own readers. On an error prints the text the\n"
    "installer would show and exits with 1. Warns about a missing license file\n"
    "or header bitmap, and about a RunExe, shortcut target or prerequisite that\n"
    "names no packed file (packed files are looked up in --files DIR).\n";

}  // namespace

int RunCheck(const std::string& cfg_dir, const std::string& files_dir, const std::vector<std::string>& text_files) {
  std::vector<std::string> texts;
  for (const std::string& file : text_files) {
    std::string text;
    if (!ReadFileBytes(file, &text)) {
      std::fprintf(stderr, "mkinstaller: cannot read the defines text '%s'\n", file.c_str());
      return kExitFailure;
    }
    if (text.empty()) {
      std::fprintf(stderr, "mkinstaller: the defines text '%s' is empty\n", file.c_str());
      return kExitFailure;
    }
    texts.push_back(text);
  }
  ConfigLoadResult result = LoadConfiguration(cfg_dir, texts);
  if (!result.ok) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    return kExitFailure;
  }
  CheckPackedFiles(cfg_dir, files_dir, &result);
  for (const std::string& w : result.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  return kExitOk;
}

int CheckCommand(int argc, char** argv) {
  std::string cfg_dir, files_dir;
  std::vector<std::string> texts;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--files" && i + 1 < argc) {
      files_dir = argv[++i];
    } else if (arg == "--defines-text" && i + 1 < argc) {
      texts.push_back(argv[++i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "mkinstaller check: unknown option '%s'\n%s", arg.c_str(), kUsage);
      return kExitUsage;
    } else if (cfg_dir.empty()) {
      cfg_dir = arg;
    } else {
      std::fprintf(stderr, "mkinstaller check: one configuration folder only\n%s", kUsage);
      return kExitUsage;
    }
  }
  if (cfg_dir.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  return RunCheck(cfg_dir, files_dir, texts);
}
