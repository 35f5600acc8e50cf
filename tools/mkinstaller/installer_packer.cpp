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

bool PackInstaller(const PackOptions& options, std::string* error) {
  std::vector<PackedEntry> entries;
  if (!CollectEntries(options.cfg_dir, options.files_dir, options.added_entries, &entries, error)) return false;

  cab::CabWriter writer;
  writer.StartFolder(options.compression);
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
  }
  if (options.progress) writer.SetProgress(options.progress);

  std::string cabinet_path = options.output_path + ".cab.tmp";
  if (!writer.WriteToFile(cabinet_path)) {
    *error = "cannot write the cabinet: " + writer.error();
    std::remove(cabinet_path.c_str());
    return false;
  }

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
    for (const std::string& text : options.defines_texts) {
      if (text.empty()) continue;  // a record is never empty
      header += text;
      AppendLE32(&header, static_cast<uint32_t>(text.size()));
      AppendLE32(&header, kRecordDefinesText);
    }
    header.append(kPayloadSignature, kPayloadSignatureSize);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.close();
    ok = static_cast<bool>(out);
    if (!ok) *error = "cannot write '" + temp_output + "'";
  }
  std::remove(cabinet_path.c_str());
  if (ok && std::rename(temp_output.c_str(), options.output_path.c_str()) != 0) {
    *error = "cannot write '" + options.output_path + "'";
    ok = false;
  }
  if (!ok) std::remove(temp_output.c_str());
  if (ok) chmod(options.output_path.c_str(), 0755);
  return ok;
}
