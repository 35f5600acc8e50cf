// "mkinstaller build": checks a configuration and packs a finished installer.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cabinet/cab_format.h"
#include "base/string_utils.h"
#include "tools/mkinstaller/config_loader.h"
#include "tools/mkinstaller/installer_packer.h"
#include "tools/mkinstaller/subcommand.h"

int RunCheck(const std::string& cfg_dir, const std::string& files_dir, const std::vector<std::string>& text_files);

namespace {

const char kUsage[] =
    "usage: mkinstaller build --stub InstallerStub.exe --cfg DIR --files DIR\n"
    "                         [--defines-text FILE]... [--compression METHOD]\n"
    "                         [--attrib ENTRY=FLAGS]... -o Setup.exe\n"
    "\n"
    "Checks the configuration as 'mkinstaller check' does, then writes the\n"
    "installer: the stub, a cabinet with DIR of --cfg as cfg\\ and DIR of\n"
    "--files as files\\, each defines text (in order), and the signature.\n"
    "\n"
    "  --compression lzx[:15-21] | mszip | none   (default lzx:21)\n"
    "  --attrib ENTRY=FLAGS   cabinet attributes of one entry, FLAGS from r h s a\n"
    "                         (e.g. --attrib 'files\\data\\x.bin=rh'); by default\n"
    "                         archive, plus read-only for files nobody may write\n"
    "The same inputs give the same bytes.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "mkinstaller build: %s\n%s", problem.c_str(), kUsage);
  return kExitUsage;
}

bool ParseCompression(const std::string& text, cab::CabFolderOptions* options) {
  if (text == "none") {
    options->compression = cab::CabCompression::kStored;
    return true;
  }
  if (text == "mszip") {
    options->compression = cab::CabCompression::kMszip;
    return true;
  }
  if (text.compare(0, 3, "lzx") != 0) return false;
  options->compression = cab::CabCompression::kLzx;
  options->lzx_window_bits = 21;
  if (text.size() == 3) return true;
  int bits = 0;
  if (text[3] != ':' || !StringToInt(text.substr(4), &bits) || bits < 15 || bits > 21) return false;
  options->lzx_window_bits = static_cast<unsigned>(bits);
  return true;
}

bool ParseAttributes(const std::string& text, std::string* entry, uint16_t* attributes) {
  size_t eq = text.rfind('=');
  if (eq == std::string::npos || eq == 0) return false;
  *entry = text.substr(0, eq);
  *attributes = 0;
  for (char c : text.substr(eq + 1)) {
    switch (c) {
      case 'r': *attributes |= cab::kAttribReadOnly; break;
      case 'h': *attributes |= cab::kAttribHidden; break;
      case 's': *attributes |= cab::kAttribSystem; break;
      case 'a': *attributes |= cab::kAttribArchive; break;
      default: return false;
    }
  }
  return true;
}

}  // namespace

int BuildCommand(int argc, char** argv) {
  PackOptions options;
  std::vector<std::string> text_files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--stub" && has_value) {
      options.stub_path = argv[++i];
    } else if (arg == "--cfg" && has_value) {
      options.cfg_dir = argv[++i];
    } else if (arg == "--files" && has_value) {
      options.files_dir = argv[++i];
    } else if (arg == "--defines-text" && has_value) {
      text_files.push_back(argv[++i]);
    } else if (arg == "--compression" && has_value) {
      if (!ParseCompression(argv[++i], &options.compression))
        return Usage(std::string("unknown compression '") + argv[i] + "'");
    } else if (arg == "--attrib" && has_value) {
      std::string entry;
      uint16_t attributes;
      if (!ParseAttributes(argv[++i], &entry, &attributes))
        return Usage(std::string("bad --attrib '") + argv[i] + "'");
      options.attributes[entry] = attributes;
    } else if (arg == "-o" && has_value) {
      options.output_path = argv[++i];
    } else {
      return Usage("unexpected argument '" + arg + "'");
    }
  }
  if (options.stub_path.empty()) return Usage("--stub is required");
  if (options.cfg_dir.empty()) return Usage("--cfg is required");
  if (options.files_dir.empty()) return Usage("--files is required");
  if (options.output_path.empty()) return Usage("-o is required");

  int checked = RunCheck(options.cfg_dir, options.files_dir, text_files);
  if (checked != kExitOk) {
    std::fprintf(stderr, "mkinstaller build: the configuration would fail at install time; nothing written\n");
    return checked;
  }
  for (const std::string& file : text_files) {
    std::string text;
    ReadFileBytes(file, &text);
    options.defines_texts.push_back(text);
  }
  if (isatty(STDERR_FILENO)) {
    options.progress = [](uint64_t done, uint64_t total) {
      if (total) std::fprintf(stderr, "\rcompressing: %3d%%", static_cast<int>(done * 100 / total));
      if (done == total) std::fprintf(stderr, "\n");
    };
  }
  std::string error;
  if (!PackInstaller(options, &error)) {
    std::fprintf(stderr, "mkinstaller build: %s\n", error.c_str());
    return kExitFailure;
  }
  return kExitOk;
}
