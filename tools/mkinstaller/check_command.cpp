// "mkinstaller check CFGDIR [options]": loads the configuration with the
// installer's own readers and says what will go wrong or look wrong.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/mkinstaller/configuration_check.h"
#include "tools/mkinstaller/installer_packer.h"
#include "tools/mkinstaller/tool_files.h"
#include "tools/mkinstaller/volume_set.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller check CFGDIR [--files DIR] [--defines-text FILE]... [--define NAME=VALUE]...\n"
    "                        [--with-uninstaller | --uninstaller FILE]\n"
    "\n"
    "Loads props.xml, install.xml and defines.xml of CFGDIR (and the defines\n"
    "texts) with the installer's own readers. On an error prints the text the\n"
    "installer would show and exits with 1. Otherwise prints one line: the\n"
    "payload's entries and bytes, the install folder, what the install\n"
    "registers and where it logs; and warns (on stderr) about:\n"
    "  - UI texts that a page or message would show empty,\n"
    "  - an install.xml that would neither log nor register anything,\n"
    "  - a missing license file or header bitmap,\n"
    "  - a RunExe, shortcut target, prerequisite or UninstallCmd that names no\n"
    "    packed file (packed files are looked up in --files DIR).\n"
    "With --volume-size SIZE (as for 'build'), or when the payload would not fit\n"
    "one file of the default volume size, a second line gives the sizes 'build'\n"
    "will write: the payload, the volume size, at most how many volumes (counted\n"
    "as if nothing compressed) and the files stored as parts.\n"
    "Each language table (props.TAG.xml) is read as the installer reads it (a\n"
    "malformed one is an error); per language check warns about the texts it\n"
    "lacks (shown from props.xml instead) and the texts in it no page uses.\n"
    "\n";

}  // namespace

int CheckCommand(int argc, char** argv) {
  std::string cfg_dir;
  PayloadOptions options;
  uint64_t volume_size = kDefaultVolumeSize, part_size = cab::CabWriter::kMaxFolderBytes;
  bool sizes_asked = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], problem;
    int taken = TakePayloadOption(argc, argv, &i, &options, &problem);
    if (taken < 0) {
      std::fprintf(stderr, "mkinstaller check: %s\n%s%s", problem.c_str(), kUsage, kPayloadOptionsUsage);
      return kExitUsage;
    }
    if (taken) continue;
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, kPayloadOptionsUsage);
      return kExitOk;
    } else if ((arg == "--volume-size" || arg == "--part-size") && i + 1 < argc) {
      uint64_t bytes = 0;
      if (!ParseByteSize(argv[++i], &bytes) ||
          (arg == "--volume-size" && (bytes < kMinVolumeSize || bytes > kMaxVolumeSize)) ||
          (arg == "--part-size" && bytes > cab::CabWriter::kMaxFolderBytes)) {
        std::fprintf(stderr, "mkinstaller check: bad %s '%s' (volume size: 1M to 4294967295 bytes)\n", arg.c_str(),
                     argv[i]);
        return kExitUsage;
      }
      (arg == "--volume-size" ? volume_size : part_size) = bytes;
      sizes_asked = true;
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
  CheckRequest request;
  request.cfg_dir = cfg_dir;
  request.files_dir = options.files_dir;
  if (!LoadDefinesTexts(options, &request.defines_texts)) return kExitFailure;
  if (options.with_uninstaller && !ResolveUninstaller(options, &request.uninstaller_path)) return kExitFailure;
  CheckOutcome outcome;
  if (CheckConfiguration(request, &outcome) != 0) return kExitFailure;
  if (options.with_uninstaller && outcome.uninstaller_entry.empty()) {
    std::fprintf(stderr, "mkinstaller check: %s\n", outcome.uninstaller_error.c_str());
    return kExitFailure;
  }
  for (const std::string& w : outcome.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  std::printf("%s\n", outcome.summary.c_str());
  std::vector<PackedEntry> added, entries;
  if (!outcome.uninstaller_entry.empty()) added.push_back({outcome.uninstaller_entry, request.uninstaller_path});
  std::string error;
  if (!CollectEntries(cfg_dir, options.files_dir, added, &entries, &error)) {
    std::fprintf(stderr, "mkinstaller check: %s\n", error.c_str());
    return kExitFailure;
  }
  std::vector<std::string> searched;
  const std::string stub = FindToolFile(kStubFile, std::string(), &searched);
  const std::string sizes = DescribeSizes(entries, stub, volume_size, part_size, sizes_asked);
  if (!sizes.empty()) std::printf("%s\n", sizes.c_str());
  return kExitOk;
}
