#include "tools/mkinstaller/volume_set.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <set>

#include "cabinet/cab_format.h"
#include "tools/mkinstaller/installer_packer.h"

bool ParseByteSize(const std::string& text, uint64_t* bytes) {
  static const struct {
    char suffix;
    unsigned shift;
  } kSuffixes[] = {{'K', 10}, {'M', 20}, {'G', 30}, {'k', 10}, {'m', 20}, {'g', 30}};
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 19) return false;
  unsigned shift = 0;
  if (digits + 1 == text.size()) {
    bool known = false;
    for (const auto& s : kSuffixes)
      if (text[digits] == s.suffix) shift = s.shift, known = true;
    if (!known) return false;
  } else if (digits != text.size()) {
    return false;
  }
  const uint64_t value = std::stoull(text.substr(0, digits));
  if (value == 0 || value > (UINT64_MAX >> shift)) return false;
  *bytes = value << shift;
  return true;
}

VolumeNames::VolumeNames(const std::string& output_path) {
  const size_t slash = output_path.rfind('/');
  folder_ = slash == std::string::npos ? std::string() : output_path.substr(0, slash + 1);
  installer_ = output_path.substr(folder_.size());
  const size_t dot = installer_.rfind('.');
  stem_ = dot == std::string::npos || dot == 0 ? installer_ : installer_.substr(0, dot);
}

std::string VolumeNames::Name(size_t cabinet) const {
  return cabinet == 0 ? installer_ : stem_ + "-" + std::to_string(cabinet + 1) + ".cab";
}

uint64_t MostVolumes(uint64_t payload_bytes, uint64_t entry_table_bytes, uint64_t first_cabinet_bytes,
                     uint64_t volume_size) {
  const uint64_t frames = (payload_bytes + cab::kMaxBlockUncompressed - 1) / cab::kMaxBlockUncompressed;
  const uint64_t worst = frames * (cab::kMaxBlockCompressed + cab::kDataHeaderSize) + entry_table_bytes;
  if (worst <= first_cabinet_bytes / 2) return 0;
  // Each cabinet is closed before a block that does not fit: filled to
  // within a block and a header of its size.
  const uint64_t slack = 2 * (cab::kMaxBlockCompressed + cab::kDataHeaderSize) + 4096;
  const uint64_t per_volume = volume_size > 2 * slack ? volume_size - slack : volume_size / 2;
  return worst / per_volume + 2;
}

bool IsEarlierVolume(const std::string& path, size_t cabinet, const std::string& previous_name) {
  std::ifstream in(path, std::ios::binary);
  uint8_t head[cab::kHeaderSize];
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
  const uint32_t flags = cab::LoadField(head, cab::cfheader::kFlags);
  const uint32_t index = cab::LoadField(head, cab::cfheader::kCabinetIndex);
  if (std::memcmp(head, cab::kSignature, sizeof cab::kSignature) != 0 || !(flags & cab::kFlagPrevCabinet) ||
      (flags & cab::kFlagReservePresent) || index != cabinet)
    return false;
  std::string name;
  for (char c; name.size() <= 256 && in.get(c) && c != '\0';) name += c;
  return name == previous_name;
}

std::string VolumeOverwriteProblem(const VolumeNames& names, uint64_t count, const std::vector<std::string>& inputs) {
  std::set<std::pair<dev_t, ino_t>> input_files;
  for (const std::string& input : inputs) {
    struct stat st;
    if (stat(input.c_str(), &st) == 0) input_files.insert({st.st_dev, st.st_ino});
  }
  for (uint64_t i = 1; i <= count; ++i) {
    const std::string path = names.Path(i);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (input_files.count({st.st_dev, st.st_ino}) ||
        (stat(path.c_str(), &st) == 0 && input_files.count({st.st_dev, st.st_ino})))
      return "the volume '" + path + "' would overwrite an input file; choose another output name";
    if (!S_ISREG(st.st_mode) || !IsEarlierVolume(path, i, names.Name(i - 1)))
      return "'" + path + "' exists and is not a volume of an earlier build of '" + names.Name(0) +
             "'; remove it or choose another output name";
  }
  return std::string();
}

std::string DescribeSizes(const std::vector<PackedEntry>& entries, const std::string& stub, uint64_t volume_size,
                          uint64_t part_size, bool always) {
  uint64_t payload = 0, table = 0;
  std::string parts;
  for (const PackedEntry& e : entries) {
    struct stat st;
    const uint64_t size = stat(e.source_path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    payload += size;
    table += cab::kFileEntrySize + e.name.size() + 5;
    if (size > part_size)
      parts += (parts.empty() ? "" : ", ") + e.name + " (" + std::to_string((size + part_size - 1) / part_size) + " parts)";
  }
  struct stat st;
  const uint64_t stub_size = !stub.empty() && stat(stub.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  const uint64_t first = volume_size > stub_size + 4096 ? volume_size - stub_size - 4096 : 0;
  const uint64_t most = std::min<uint64_t>(MostVolumes(payload, table, first, volume_size), kMaxSetCabinets);
  if (!always && most == 0 && parts.empty()) return std::string();
  std::string line = "sizes: payload " + std::to_string(payload) + " bytes in " + std::to_string(entries.size()) +
                     " files; every file written at most " + std::to_string(volume_size) + " bytes; ";
  line += most == 0 ? std::string("one file (the installer)")
                    : "the installer and at most " + std::to_string(most) + " volumes (fewer when compressed)";
  line += parts.empty() ? "; no file stored as parts" : "; stored as parts of " + std::to_string(part_size) + " bytes: " + parts;
  return line;
}

void RemoveStaleVolumes(const VolumeNames& names, uint64_t count) {
  for (uint64_t i = count + 1; i < kMaxSetCabinets; ++i) {
    const std::string path = names.Path(i);
    if (!IsEarlierVolume(path, i, names.Name(i - 1))) break;
    unlink(path.c_str());
  }
}
