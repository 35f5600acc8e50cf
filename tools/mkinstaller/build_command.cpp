// "mkinstaller build": checks a configuration and packs a finished installer.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cabinet/cab_format.h"
#include "base/string_utils.h"
#include "tools/mkinstaller/configuration_check.h"
#include "tools/mkinstaller/installer_packer.h"
#include "tools/mkinstaller/tool_files.h"
#include "tools/mkinstaller/volume_set.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller build [--stub InstallerStub.exe] --cfg DIR --files DIR\n"
    "                         [--defines-text FILE | --define NAME=VALUE]...\n"
    "                         [--with-uninstaller | --uninstaller FILE]\n"
    "                         [--compression METHOD] [--attrib ENTRY=FLAGS]...\n"
    "                         [--volume-size SIZE] [--folder-size SIZE] [--threads N]\n"
    "                         -o Setup.exe\n"
    "\n"
    "Checks the configuration as 'mkinstaller check' does, then writes the\n"
    "installer: the stub, a cabinet with DIR of --cfg as cfg\\ and DIR of\n"
    "--files as files\\, each defines text (in order), and the signature.\n"
    "\n"
    "  --stub FILE            the installer stub; by default the first of\n"
    "                         $MKINSTALLER_STUB, ../share/mkinstaller/InstallerStub.exe\n"
    "                         beside this program, and InstallerStub.exe in its own\n"
    "                         folder (the build tree); the uninstaller is found the\n"
    "                         same way ($MKINSTALLER_UNINSTALLER, Uninstall.exe)\n"
    "  --compression lzx[:15-21] | mszip | none   (default lzx:21)\n"
    "  --attrib ENTRY=FLAGS   cabinet attributes of one entry, FLAGS from r h s a\n"
    "                         (e.g. --attrib 'files\\data\\x.bin=rh'); by default\n"
    "                         archive, plus read-only for files nobody may write\n"
    "  --volume-size SIZE     largest size of each file written (K, M, G: powers of\n"
    "                         1024; 1M to 4294967295 bytes; default 2G - 1). A payload\n"
    "                         that does not fit becomes a set: Setup.exe and the volumes\n"
    "                         Setup-2.cab, Setup-3.cab, ... beside it, which ship together\n"
    "  --folder-size SIZE     largest folder of files\\ (32K to 2G; default 32M): the\n"
    "                         installer compresses and decodes folders on every core;\n"
    "                         2G keeps one folder, as far as the format allows\n"
    "  --threads N            threads that compress (default: one per processor)\n"
    "The same inputs give the same bytes.\n";

// --folder-size: one data block at least; 2G stands for the format's largest
// folder (2G - 32K).
constexpr uint64_t kMinFolderSize = 32768;
constexpr uint64_t kMaxFolderSizeOption = 2ull << 30;

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

// The progress line while compressing: percent, bytes, rate and time left,
// redrawn at most ten times a second on a terminal.
class ProgressLine {
 public:
  void Update(uint64_t done, uint64_t total) {
    auto now = std::chrono::steady_clock::now();
    if (!started_) {
      started_ = true;
      start_ = last_ = now;
    } else if (done < total && now - last_ < std::chrono::milliseconds(100)) {
      return;
    }
    last_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    double rate = seconds > 0.05 ? done / seconds : 0;
    std::string left = "--";
    if (rate > 0) {
      auto remaining = static_cast<unsigned long>((total - done) / rate + 0.5);
      char text[32];
      std::snprintf(text, sizeof text, "%lu:%02lu", remaining / 60, remaining % 60);
      left = text;
    }
    std::fprintf(stderr, "\rcompressing: %3d%%  %s of %s  %s/s  %s left   ",
                 total ? static_cast<int>(done * 100 / total) : 100, Megabytes(done).c_str(),
                 Megabytes(total).c_str(), Megabytes(static_cast<uint64_t>(rate)).c_str(), left.c_str());
    if (done == total) std::fprintf(stderr, "\n");
  }

 private:
  static std::string Megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    return text;
  }
  bool started_ = false;
  std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace

int BuildCommand(int argc, char** argv) {
  PackOptions options;
  PayloadOptions payload;
  std::string stub_option;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], problem;
    int taken = TakePayloadOption(argc, argv, &i, &payload, &problem);
    if (taken < 0) return Usage(problem);
    if (taken) continue;
    bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, kPayloadOptionsUsage);
      return kExitOk;
    } else if (arg == "--stub" && has_value) {
      stub_option = argv[++i];
    } else if (arg == "--cfg" && has_value) {
      options.cfg_dir = argv[++i];
    } else if (arg == "--compression" && has_value) {
      if (!ParseCompression(argv[++i], &options.compression))
        return Usage(std::string("unknown compression '") + argv[i] + "'");
    } else if (arg == "--attrib" && has_value) {
      std::string entry;
      uint16_t attributes;
      if (!ParseAttributes(argv[++i], &entry, &attributes))
        return Usage(std::string("bad --attrib '") + argv[i] + "'");
      options.attributes[entry] = attributes;
    } else if ((arg == "--volume-size" || arg == "--part-size") && has_value) {
      uint64_t bytes = 0;
      if (!ParseByteSize(argv[++i], &bytes)) return Usage("bad " + arg + " '" + argv[i] + "'");
      (arg == "--volume-size" ? options.volume_size : options.part_size) = bytes;
    } else if (arg == "--folder-size" && has_value) {
      uint64_t bytes = 0;
      if (!ParseByteSize(argv[++i], &bytes) || bytes < kMinFolderSize || bytes > kMaxFolderSizeOption)
        return Usage(std::string("bad --folder-size '") + argv[i] + "' (32K to 2G)");
      options.folder_size = std::min<uint64_t>(bytes, cab::CabWriter::kMaxFolderBytes);
    } else if (arg == "--threads" && has_value) {
      int threads = 0;
      if (!StringToInt(argv[++i], &threads) || threads < 1 || threads > 1024)
        return Usage(std::string("bad --threads '") + argv[i] + "' (1 to 1024)");
      options.threads = static_cast<unsigned>(threads);
    } else if (arg == "-o" && has_value) {
      options.output_path = argv[++i];
    } else {
      return Usage("unexpected argument '" + arg + "'");
    }
  }
  options.files_dir = payload.files_dir;
  if (options.cfg_dir.empty()) return Usage("--cfg is required");
  if (options.files_dir.empty()) return Usage("--files is required");
  if (options.output_path.empty()) return Usage("-o is required");
  std::vector<std::string> searched;
  options.stub_path = FindToolFile(kStubFile, stub_option, &searched);
  if (options.stub_path.empty()) {
    std::fprintf(stderr, "mkinstaller build: %s\n", ToolFileNotFound(kStubFile, searched).c_str());
    return kExitFailure;
  }

  CheckRequest request;
  request.cfg_dir = options.cfg_dir;
  request.files_dir = options.files_dir;
  if (!LoadDefinesTexts(payload, &request.defines_texts)) return kExitFailure;
  if (payload.with_uninstaller && !ResolveUninstaller(payload, &request.uninstaller_path)) return kExitFailure;
  CheckOutcome outcome;
  if (CheckConfiguration(request, &outcome) != 0) {
    std::fprintf(stderr, "mkinstaller build: the configuration would fail at install time; nothing written\n");
    return kExitFailure;
  }
  if (payload.with_uninstaller) {
    if (outcome.uninstaller_entry.empty()) {
      std::fprintf(stderr, "mkinstaller build: %s; nothing written\n", outcome.uninstaller_error.c_str());
      return kExitFailure;
    }
    options.added_entries.push_back({outcome.uninstaller_entry, request.uninstaller_path});
  }
  for (const std::string& w : outcome.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  options.defines_texts = request.defines_texts;
  ProgressLine progress;
  if (isatty(STDERR_FILENO))
    options.progress = [&progress](uint64_t done, uint64_t total) { progress.Update(done, total); };
  if (options.part_size == 0 || options.part_size > cab::CabWriter::kMaxFolderBytes)
    return Usage("the part size must be 1 to " + std::to_string(cab::CabWriter::kMaxFolderBytes) + " bytes");
  std::string error;
  PackResult result;
  if (!PackInstaller(options, &error, &result)) {
    std::fprintf(stderr, "mkinstaller build: %s; nothing written\n", error.c_str());
    return kExitFailure;
  }
  // A set says what it wrote; a single installer stays as quiet as before.
  if (!result.volumes.empty() || !result.joined.empty()) {
    std::printf("%s: %llu bytes\n", options.output_path.c_str(), static_cast<unsigned long long>(result.installer_size));
    for (const cab::CabSetCabinet& v : result.volumes)
      std::printf("%s: %llu bytes, sha256 %s\n", v.path.c_str(), static_cast<unsigned long long>(v.size),
                  base::Sha256Hex(v.sha256).c_str());
    for (const cab::CabJoinedFile& j : result.joined)
      std::printf("%s: stored as %u parts\n", j.name.c_str(), j.parts);
  }
  return kExitOk;
}
