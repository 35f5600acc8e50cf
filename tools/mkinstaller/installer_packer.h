// Packs a finished installer: the stub's image as a skipped record, the
// cabinet of cfg\ and files\ as the cabinet record, the size and SHA-256 of
// every file under files\ as the file-hash record, each defines text as a
// text record, then the signature. A payload that does not fit one file of
// the volume size, or holds a file larger than the part size, is written as a
// set (tools/mkinstaller/volume_set.h): the cabinet record holds the set's
// first cabinet and a volume-set record names the volumes beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"

struct PackedEntry {
  std::string name;         // entry name in the cabinet, with backslashes
  std::string source_path;  // host path
};

struct PackOptions {
  std::string stub_path;
  std::string cfg_dir;
  std::string files_dir;
  std::vector<std::string> defines_texts;  // contents, in payload order
  cab::CabFolderOptions compression;
  // Cabinet attribute bits by entry name ("files\data\x.bin"), replacing the
  // ones taken from the file system.
  std::map<std::string, uint16_t> attributes;
  // Files added to the payload under a name of their own (the uninstaller),
  // replacing an entry of the same name, compared without case as Windows does.
  std::vector<PackedEntry> added_entries;
  std::string output_path;
  uint64_t volume_size = 0;  // 0: kDefaultVolumeSize
  uint64_t part_size = cab::CabWriter::kMaxFolderBytes;
  std::function<void(uint64_t done, uint64_t total)> progress;
};

// What a build wrote: the installer's size and each volume.
struct PackResult {
  uint64_t installer_size = 0;
  std::vector<cab::CabSetCabinet> volumes;  // final paths, beside the installer
  std::vector<cab::CabJoinedFile> joined;
};

// Every file under cfg_dir and files_dir (none when files_dir is empty) and
// the added entries as cabinet entries, sorted by entry name so that the same
// folders always give the same cabinet. False (with the reason) when a name
// is too long for a cabinet or a folder cannot be read.
bool CollectEntries(const std::string& cfg_dir, const std::string& files_dir, const std::vector<PackedEntry>& added,
                    std::vector<PackedEntry>* entries, std::string* error);

// Cabinet attributes of a host file: archive, plus read-only when nobody
// may write it.
uint16_t HostFileAttributes(const std::string& path);

bool PackInstaller(const PackOptions& options, std::string* error, PackResult* result = nullptr);
