// Reading a finished installer back: its payload records, the attached
// defines texts and the cabinet, for "list" and "extract".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/payload.h"

struct InstallerContents {
  bool signed_payload = false;                 // the chain ends at the signature
  std::vector<PayloadRecordInfo> records;      // in file order
  std::vector<std::string> defines_texts;      // in file order
  size_t cabinet = 0;                          // index of the first cabinet record (the one the installer uses)
  bool has_volume_set = false;                 // the payload names volumes or joined files
  VolumeSet volume_set;
  bool has_file_hashes = false;                // built with the file-hash record
  std::vector<FileHashEntry> file_hashes;
  std::string installer_id;                    // InstallerIdOf the record
};

// Reads the record chain of the installer at path. False with the reason when
// the file cannot be opened or holds no readable payload or no cabinet.
bool ReadInstallerContents(const std::string& path, InstallerContents* contents, std::string* error);

// The folder the installer lies in, where its volumes are looked for, with a
// trailing slash (empty for the current folder).
std::string InstallerFolder(const std::string& installer);

// Copies the cabinet record of the installer into a temporary file of its
// own, removed by the destructor, so the cabinet engine can read it by name.
class ExtractedCabinet {
 public:
  ExtractedCabinet() = default;
  ~ExtractedCabinet();
  ExtractedCabinet(const ExtractedCabinet&) = delete;
  ExtractedCabinet& operator=(const ExtractedCabinet&) = delete;

  bool Copy(const std::string& installer, const PayloadRecordInfo& cabinet, std::string* error);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
