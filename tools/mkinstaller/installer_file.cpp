#include "tools/mkinstaller/installer_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

bool ReadInstallerContents(const std::string& path, InstallerContents* contents, std::string* error) {
  *contents = InstallerContents();
  PayloadFile file;
  if (!file.Open(path)) {
    *error = "cannot open '" + path + "'";
    return false;
  }
  int64_t end = FindPayloadEnd(file);
  contents->signed_payload = end >= 0;
  if (end < 0) end = file.Length();
  if (end < 0 || !ListPayloadRecords(file, end - 4, &contents->records)) {
    *error = "'" + path + "' holds no readable payload";
    return false;
  }
  std::reverse(contents->records.begin(), contents->records.end());
  bool found_cabinet = false;
  for (const PayloadRecordInfo& record : contents->records) {
    if (record.type == kRecordDefinesText) {
      std::string text(record.length, '\0');
      if (!file.ReadAt(record.offset, &text[0], record.length)) {
        *error = "cannot read a defines text of '" + path + "'";
        return false;
      }
      contents->defines_texts.push_back(text);
    } else if (record.type == kRecordVolumeSet) {
      std::vector<uint8_t> data(record.length);
      VolumeSetError why = VolumeSetError::kTruncated;
      if (contents->has_volume_set || !file.ReadAt(record.offset, data.data(), record.length) ||
          (why = ParseVolumeSet(data.data(), data.size(), &contents->volume_set)) != VolumeSetError::kNone) {
        *error = "'" + path + "' holds a bad volume-set record: " +
                 (contents->has_volume_set ? "more than one" : VolumeSetErrorText(why));
        return false;
      }
      contents->has_volume_set = true;
    } else if (record.type == kRecordFileHashes) {
      std::string data(record.length, '\0');
      FileHashesError why = FileHashesError::kTruncated;
      if (contents->has_file_hashes || !file.ReadAt(record.offset, &data[0], record.length) ||
          (why = ParseFileHashes(reinterpret_cast<const uint8_t*>(data.data()), data.size(), &contents->file_hashes)) !=
              FileHashesError::kNone) {
        *error = "'" + path + "' holds a bad file-hash record: " +
                 (contents->has_file_hashes ? "more than one" : FileHashesErrorText(why));
        return false;
      }
      contents->has_file_hashes = true;
      contents->installer_id = InstallerIdOf(data);
    } else if (record.type == kRecordCabinet && !found_cabinet) {
      found_cabinet = true;
      contents->cabinet = static_cast<size_t>(&record - contents->records.data());
    }
  }
  if (!found_cabinet) {
    *error = "the payload of '" + path + "' has no cabinet";
    return false;
  }
  return true;
}

std::string InstallerFolder(const std::string& installer) {
  const size_t slash = installer.rfind('/');
  return slash == std::string::npos ? std::string() : installer.substr(0, slash + 1);
}

ExtractedCabinet::~ExtractedCabinet() {
  if (!path_.empty()) unlink(path_.c_str());
}

bool ExtractedCabinet::Copy(const std::string& installer, const PayloadRecordInfo& cabinet, std::string* error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mkinstaller-cab-XXXXXX";
  int fd = mkstemp(&pattern[0]);
  if (fd < 0) {
    *error = "cannot make a temporary file";
    return false;
  }
  close(fd);
  path_ = pattern;

  PayloadFile file;
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  if (!file.Open(installer) || !out) {
    *error = "cannot open '" + installer + "'";
    return false;
  }
  std::vector<char> buffer(1 << 20);
  for (uint32_t done = 0; done < cabinet.length;) {
    uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), cabinet.length - done);
    if (!file.ReadAt(cabinet.offset + done, buffer.data(), n)) {
      *error = "cannot read the cabinet of '" + installer + "'";
      return false;
    }
    out.write(buffer.data(), n);
    done += n;
  }
  out.close();
  if (!out) {
    *error = "cannot write the temporary file '" + path_ + "'";
    return false;
  }
  return true;
}
