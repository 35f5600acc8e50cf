// "mkinstaller extract Setup.exe DIR": unpacks a finished installer back into
// the folders it was built from, so a publisher can inspect or rebuild it.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "cabinet/cab_extract.h"
#include "tools/mkinstaller/installer_file.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller extract Setup.exe DIR\n"
    "\n"
    "Writes the cabinet of the installer under DIR (DIR/cfg and DIR/files, the\n"
    "folders given to 'build' as --cfg and --files) with the installer's own\n"
    "extraction, and each attached defines text as DIR/defines-text-N.xml (N\n"
    "from 1, in payload order), listing them. DIR must be new or empty. The\n"
    "same installer can be built again from what extract writes:\n"
    "  mkinstaller build --cfg DIR/cfg --files DIR/files\n"
    "                    --defines-text DIR/defines-text-1.xml ... -o Setup.exe\n"
    "An installer with volumes reads them from beside itself (each checked by\n"
    "size and SHA-256 first) and writes a file stored as parts as one file.\n";

bool IsEmptyOrMissingFolder(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) {
    struct stat st;
    return stat(path.c_str(), &st) != 0;
  }
  bool empty = true;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") empty = false;
  }
  closedir(dir);
  return empty;
}

// Every entry of an installer's set under destination, the volumes checked
// and the parts joined by the installer's own extraction.
int ExtractInstallerSet(const std::string& installer, const InstallerContents& contents, std::string destination) {
  if (destination.back() != '/') destination += '/';
  struct FileCounter : ExtractionProgress {
    size_t files = 0;
    void FileCreated(const std::string&) override { ++files; }
  } counter;
  ExtractionRequest request;
  request.cabinetPath = installer;
  request.cabinetOffset = contents.records[contents.cabinet].offset;
  request.destination = destination;
  for (const VolumeEntry& v : contents.volume_set.volumes)
    request.volumes.push_back({v.name, static_cast<int64_t>(v.size), v.sha256});
  for (const JoinedFileEntry& j : contents.volume_set.joined) request.joinedFiles.push_back({j.name, j.parts});
  const ExtractionResult result = ExtractCabinet(request, counter);
  if (result.failure != ExtractionFailure::kNone) {
    std::fprintf(stderr, "mkinstaller extract: extraction failed: %s\n", result.error.c_str());
    return kExitFailure;
  }
  std::printf("%zu files extracted to %s (%zu volumes read)\n", counter.files, destination.c_str(),
              contents.volume_set.volumes.size());
  return kExitOk;
}

}  // namespace

int ExtractCommand(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string installer = argv[1], destination = argv[2];
  if (!IsEmptyOrMissingFolder(destination)) {
    std::fprintf(stderr, "mkinstaller extract: '%s' is not empty\n", destination.c_str());
    return kExitFailure;
  }
  InstallerContents contents;
  ExtractedCabinet cabinet;
  std::string error;
  if (!ReadInstallerContents(installer, &contents, &error)) {
    std::fprintf(stderr, "mkinstaller extract: %s\n", error.c_str());
    return kExitFailure;
  }
  int status;
  if (contents.has_volume_set) {
    // The set is read in place, as the installer reads it.
    status = ExtractInstallerSet(installer, contents, destination);
  } else {
    if (!cabinet.Copy(installer, contents.records[contents.cabinet], &error)) {
      std::fprintf(stderr, "mkinstaller extract: %s\n", error.c_str());
      return kExitFailure;
    }
    status = ExtractCabinetEntries(cabinet.path(), destination);
  }
  if (status != kExitOk) return status;
  for (size_t i = 0; i < contents.defines_texts.size(); ++i) {
    const std::string path = destination + "/defines-text-" + std::to_string(i + 1) + ".xml";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents.defines_texts[i];
    out.close();
    if (!out) {
      std::fprintf(stderr, "mkinstaller extract: cannot write '%s'\n", path.c_str());
      return kExitFailure;
    }
    std::printf("defines text %zu: %s\n", i + 1, path.c_str());
  }
  return kExitOk;
}
