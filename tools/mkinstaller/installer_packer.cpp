#include "tools/mkinstaller/installer_packer.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "cabinet/cab_format.h"
#include "base/string_utils.h"
#include "driver/payload.h"
#include "tools/mkinstaller/volume_set.h"

namespace {

bool Walk(const std::string& host_dir, const std::string& entry_prefix, std::vector<PackedEntry>* entries,
          std::string* error) {
  DIR* dir = opendir(host_dir.c_str());
  if (!dir) {
    *error = "cannot read the folder '" + host_dir + "'";
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = host_dir + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      *error = "cannot read '" + path + "'";
      return false;
    }
    if (name.find('\\') != std::string::npos) {
      *error = "the file name '" + path + "' holds a backslash, which a cabinet cannot keep";
      return false;
    }
    std::string entry = entry_prefix + name;
    if (S_ISDIR(st.st_mode)) {
      if (!Walk(path, entry + "\\", entries, error)) return false;
    } else if (S_ISREG(st.st_mode)) {
      if (entry.size() > cab::kMaxNameLength) {
        *error = "the entry name '" + entry + "' is longer than 255 bytes";
        return false;
      }
      entries->push_back({entry, path});
    }
  }
  return true;
}

void AppendLE32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool CopyInto(std::ofstream& out, const std::string& path, uint64_t* size) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> buffer(1 << 20);
  *size = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    std::streamsize n = in.gcount();
    if (n <= 0) break;
    out.write(buffer.data(), n);
    *size += static_cast<uint64_t>(n);
  }
  return !in.bad() && static_cast<bool>(out);
}

// The size and SHA-256 of every entry under files\, in cabinet order (the
// file-hash record).
bool HashProductFiles(const std::vector<PackedEntry>& entries, std::vector<FileHashEntry>* files, std::string* error) {
  std::vector<char> buffer(1 << 20);
  for (const PackedEntry& e : entries) {
    if (e.name.compare(0, 6, "files\\") != 0) continue;
    std::ifstream in(e.source_path, std::ios::binary);
    base::Sha256 hash;
    FileHashEntry file;
    file.name = e.name;
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      const std::streamsize n = in.gcount();
      if (n <= 0) break;
      hash.Update(buffer.data(), static_cast<size_t>(n));
      file.size += static_cast<uint64_t>(n);
    }
    if (!in.eof() || in.bad()) {
      *error = "cannot read '" + e.source_path + "'";
      return false;
    }
    file.sha256 = hash.Finish();
    files->push_back(std::move(file));
  }
  return true;
}

}  // namespace

bool CollectEntries(const std::string& cfg_dir, const std::string& files_dir, const std::vector<PackedEntry>& added,
                    std::vector<PackedEntry>* entries, std::string* error) {
  entries->clear();
  if (!Walk(cfg_dir, "cfg\\", entries, error)) return false;
  if (!files_dir.empty() && !Walk(files_dir, "files\\", entries, error)) return false;
  for (const PackedEntry& a : added) {
    if (a.name.size() > cab::kMaxNameLength) {
      *error = "the entry name '" + a.name + "' is longer than 255 bytes";
      return false;
    }
    const std::string key = Upper(a.name);
    entries->erase(std::remove_if(entries->begin(), entries->end(),
                                  [&](const PackedEntry& e) { return Upper(e.name) == key; }),
                   entries->end());
    entries->push_back(a);
  }
  std::sort(entries->begin(), entries->end(),
            [](const PackedEntry& a, const PackedEntry& b) { return a.name < b.name; });
  return true;
}

uint16_t HostFileAttributes(const std::string& path) {
  uint16_t attributes = cab::kAttribArchive;
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    attributes |= cab::kAttribReadOnly;
  return attributes;
}

namespace {

// The set ID of a set's cabinets: the same inputs give the same one.
uint16_t SetIdOf(const std::vector<PackedEntry>& entries, uint64_t bytes) {
  base::Sha256 hash;
  for (const PackedEntry& e : entries) hash.Update(e.name.c_str(), e.name.size() + 1);
  hash.Update(&bytes, sizeof bytes);
  const base::Sha256Digest d = hash.Finish();
  return static_cast<uint16_t>(d[0] | (d[1] << 8));
}

// Largest size of the volume-set record for at most `volumes` volumes.
uint64_t VolumeRecordBound(const VolumeNames& names, uint64_t volumes, const std::vector<cab::CabJoinedFile>& joined) {
  uint64_t bytes = 8 + 12 + volumes * (2 + names.Name(volumes + 1).size() + 8 + 32);
  for (const cab::CabJoinedFile& j : joined) bytes += 2 + j.name.size() + 4;
  return bytes;
}

}  // namespace

bool PackInstaller(const PackOptions& options, std::string* error, PackResult* result) {
  PackResult scratch_result;
  if (!result) result = &scratch_result;
  *result = PackResult();
  const uint64_t volume_size = options.volume_size ? options.volume_size : kDefaultVolumeSize;
  if (volume_size < kMinVolumeSize || volume_size > kMaxVolumeSize) {
    *error = "the volume size must be 1M (1048576 bytes) to 4294967295 bytes";
    return false;
  }
  std::vector<PackedEntry> entries;
  if (!CollectEntries(options.cfg_dir, options.files_dir, options.added_entries, &entries, error)) return false;

  cab::CabWriter writer;
  writer.SetPartSize(options.part_size);
  writer.StartFolder(options.compression);
  size_t cfg_files = 0;
  uint64_t entry_table_bytes = 0;
  std::vector<std::string> inputs;
  for (const PackedEntry& e : entries) {
    struct stat st;
    if (stat(e.source_path.c_str(), &st) != 0) {
      *error = "cannot read '" + e.source_path + "'";
      return false;
    }
    // Cabinets keep local time; the installer turns it back into UTC on the
    // player's machine.
    std::time_t mtime = st.st_mtime;
    std::tm local = {};
    localtime_r(&mtime, &local);
    uint16_t date = cab::DosDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    uint16_t time = cab::DosTime(local.tm_hour, local.tm_min, local.tm_sec);
    auto forced = options.attributes.find(e.name);
    uint16_t attributes = forced != options.attributes.end() ? forced->second : HostFileAttributes(e.source_path);
    if (!writer.AddFile(e.name, e.source_path, date, time, attributes)) {
      *error = writer.error();
      return false;
    }
    if (e.name.compare(0, 4, "cfg\\") == 0) cfg_files = writer.file_count();
    entry_table_bytes += cab::kFileEntrySize + e.name.size() + 5;
    inputs.push_back(e.source_path);
  }
  if (options.progress) writer.SetProgress(options.progress);
  // The file-hash record's size depends on the names alone: the files are
  // read for their hashes only once every check has passed.
  std::vector<FileHashEntry> hashes;
  for (const PackedEntry& e : entries)
    if (e.name.compare(0, 6, "files\\") == 0) hashes.push_back({e.name, 0, {}});
  const size_t hash_record_size = SerializeFileHashes(hashes).size();

  // What the installer holds besides its cabinet.
  struct stat stub_stat;
  if (stat(options.stub_path.c_str(), &stub_stat) != 0) {
    *error = "cannot read the stub '" + options.stub_path + "'";
    return false;
  }
  uint64_t around_cabinet =
      static_cast<uint64_t>(stub_stat.st_size) + 8 + 8 + hash_record_size + 8 + kPayloadSignatureSize;
  for (const std::string& text : options.defines_texts)
    if (!text.empty()) around_cabinet += text.size() + 8;
  const VolumeNames names(options.output_path);
  const uint64_t payload_bytes = writer.total_bytes();
  uint64_t most = around_cabinet < volume_size
                      ? MostVolumes(payload_bytes, entry_table_bytes, volume_size - around_cabinet, volume_size)
                      : 1;
  most = std::min<uint64_t>(most, kMaxSetCabinets - 1);
  if (most == 0 && !writer.joined_files().empty()) most = 1;
  // Stored, the payload takes at least its own size; compressed, the count
  // is known only while writing.
  if (options.compression.compression == cab::CabCompression::kStored &&
      payload_bytes / volume_size >= kMaxSetCabinets) {
    *error = "the payload needs more than " + std::to_string(kMaxSetCabinets - 1) +
             " volumes of " + std::to_string(volume_size) + " bytes, more than a set can chain; choose a larger --volume-size";
    return false;
  }
  const uint64_t reserved = most ? VolumeRecordBound(names, most, writer.joined_files()) : 0;
  if (around_cabinet + reserved + 4096 > volume_size) {
    if (most == kMaxSetCabinets - 1)
      *error = "the payload may need more than " + std::to_string(kMaxSetCabinets - 1) + " volumes of " +
               std::to_string(volume_size) + " bytes, more than a set can chain; choose a larger --volume-size";
    else
      *error = "the volume size " + std::to_string(volume_size) + " leaves no room for the first cabinet beside the stub (" +
             std::to_string(around_cabinet + reserved) + " bytes); choose a larger --volume-size";
    return false;
  }
  const std::string problem = VolumeOverwriteProblem(names, std::min<uint64_t>(most, kMaxSetCabinets - 1), inputs);
  if (!problem.empty()) {
    *error = problem;
    return false;
  }

  cab::CabSetLayout layout;
  layout.first_cabinet_bytes = volume_size - around_cabinet - reserved;
  layout.cabinet_bytes = volume_size;
  layout.first_cabinet_files = cfg_files;
  layout.set_id = SetIdOf(entries, payload_bytes);
  layout.max_cabinets = kMaxSetCabinets;
  layout.name = [&](size_t i) { return names.Name(i); };
  const std::string cabinet_path = options.output_path + ".cab.tmp";
  layout.path = [&](size_t i) { return i == 0 ? cabinet_path : names.Path(i) + ".tmp"; };
  layout.scratch_path = options.output_path + ".data.tmp";
  std::vector<cab::CabSetCabinet> cabinets;
  if (!writer.WriteSet(layout, &cabinets)) {
    switch (writer.set_error()) {
      case cab::CabSetError::kFirstCabinetTooSmall:
        *error = "cfg\\ does not fit the installer's own cabinet at a volume size of " + std::to_string(volume_size) +
                 " bytes; choose a larger --volume-size";
        break;
      case cab::CabSetError::kTooManyCabinets:
        *error = "the payload needs more than " + std::to_string(kMaxSetCabinets - 1) +
                 " volumes, more than a set can chain; choose a larger --volume-size";
        break;
      default:
        *error = "cannot write the cabinet: " + writer.error();
    }
    return false;
  }
  const bool is_set = cabinets.size() > 1 || !writer.joined_files().empty();
  auto remove_all = [&] {
    for (const cab::CabSetCabinet& c : cabinets) std::remove(c.path.c_str());
  };

  hashes.clear();
  if (!HashProductFiles(entries, &hashes, error)) {
    std::remove(cabinet_path.c_str());
    remove_all();
    return false;
  }
  const std::string hash_record = SerializeFileHashes(hashes);

  std::string temp_output = options.output_path + ".tmp";
  std::ofstream out(temp_output, std::ios::binary | std::ios::trunc);
  bool ok = static_cast<bool>(out);
  uint64_t stub_size = 0, cabinet_size = 0;
  ok = ok && CopyInto(out, options.stub_path, &stub_size);
  if (!ok) *error = "cannot read the stub '" + options.stub_path + "'";
  std::string header;
  if (ok) {
    // The stub's image is the data of the first record.
    AppendLE32(&header, static_cast<uint32_t>(stub_size));
    AppendLE32(&header, kRecordSkipped);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    ok = CopyInto(out, cabinet_path, &cabinet_size);
    if (!ok) *error = "cannot copy the cabinet into the installer";
  }
  if (ok && (stub_size + 8 > INT32_MAX || cabinet_size == 0 || cabinet_size > UINT32_MAX)) {
    *error = "the payload is too large for an installer (the cabinet must start below 2 GB and hold less than 4 GB)";
    ok = false;
  }
  if (ok) {
    header.clear();
    AppendLE32(&header, static_cast<uint32_t>(cabinet_size));
    AppendLE32(&header, kRecordCabinet);
    if (is_set) {
      VolumeSet set;
      for (size_t i = 1; i < cabinets.size(); ++i)
        set.volumes.push_back({names.Name(i), cabinets[i].size, cabinets[i].sha256});
      for (const cab::CabJoinedFile& j : writer.joined_files()) set.joined.push_back({j.name, j.parts});
      const std::string record = SerializeVolumeSet(set);
      if (record.size() + 8 > reserved) {
        *error = "the set has more volumes than its first file has room to name; choose a larger --volume-size";
        ok = false;
      }
      header += record;
      AppendLE32(&header, static_cast<uint32_t>(record.size()));
      AppendLE32(&header, kRecordVolumeSet);
    }
    header += hash_record;
    AppendLE32(&header, static_cast<uint32_t>(hash_record.size()));
    AppendLE32(&header, kRecordFileHashes);
    for (const std::string& text : options.defines_texts) {
      if (text.empty()) continue;  // a record is never empty
      header += text;
      AppendLE32(&header, static_cast<uint32_t>(text.size()));
      AppendLE32(&header, kRecordDefinesText);
    }
    header.append(kPayloadSignature, kPayloadSignatureSize);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.close();
    if (ok && !out) {
      *error = "cannot write '" + temp_output + "'";
      ok = false;
    }
    result->installer_size = stub_size + 8 + cabinet_size + header.size();
    if (ok && is_set && result->installer_size > volume_size) {
      *error = "internal error: the installer would be larger than the volume size";
      ok = false;
    }
  }
  std::remove(cabinet_path.c_str());
  cabinets.erase(cabinets.begin());
  // The volumes take their names first: the installer that names them comes last.
  for (size_t i = 0; ok && i < cabinets.size(); ++i) {
    if (std::rename(cabinets[i].path.c_str(), names.Path(i + 1).c_str()) != 0) {
      *error = "cannot write '" + names.Path(i + 1) + "'";
      ok = false;
    }
    cabinets[i].path = names.Path(i + 1);
  }
  if (ok && std::rename(temp_output.c_str(), options.output_path.c_str()) != 0) {
    *error = "cannot write '" + options.output_path + "'";
    ok = false;
  }
  if (!ok) {
    std::remove(temp_output.c_str());
    remove_all();
    return false;
  }
  chmod(options.output_path.c_str(), 0755);
  RemoveStaleVolumes(names, cabinets.size());
  result->volumes = cabinets;
  result->joined = writer.joined_files();
  return true;
}
