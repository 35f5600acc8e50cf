#include "cabinet/cab_writer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

#include "cabinet/cab_checksum.h"
#include "cabinet/cab_folder_stream.h"
#include "cabinet/cab_format.h"
#include "cabinet/cab_parts.h"

namespace cab {
namespace {

constexpr uint64_t kMaxCabinetBytes = 0xFFFFFFFFull;
constexpr size_t kMaxFolders = kFolderContinuedFromPrev;  // 0xFFFD and up mean continuation
constexpr size_t kMaxFiles = 0xFFFF;

uint8_t AsciiLower(uint8_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// An entry name must be a relative path that stays inside the folder it is
// extracted to, made of names Windows accepts.
bool CheckName(const std::string& name, std::string* why) {
  if (name.empty() || name.size() > kMaxNameLength) {
    *why = "must be 1 to 255 bytes long";
    return false;
  }
  size_t start = 0;
  for (;;) {
    size_t end = name.find('\\', start);
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") {
      *why = "must be a relative path without empty, '.' or '..' parts";
      return false;
    }
    for (unsigned char c : part) {
      if (c < 0x20 || std::strchr("/:*?\"<>|", c) != nullptr) {
        *why = "holds a character not allowed in file names";
        return false;
      }
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

}  // namespace

uint16_t DosDate(int year, int month, int day) {
  if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t DosTime(int hour, int minute, int second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

CabWriter::CabWriter() = default;
CabWriter::~CabWriter() = default;

bool CabWriter::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool CabWriter::StartFolder(const CabFolderOptions& options) {
  if (options.compression == CabCompression::kLzx &&
      (options.lzx_window_bits < 15 || options.lzx_window_bits > 21))
    return Fail("LZX window must be 15 to 21 bits");
  if (options.compression == CabCompression::kLzx &&
      (options.lzx_level < LzxEncoderOptions::kFastest || options.lzx_level > LzxEncoderOptions::kBest))
    return Fail("LZX level must be 1 to 5");
  if (folder_open_ && folders_.back().files.empty()) {
    folders_.back().options = options;  // an empty folder is just reconfigured
    return true;
  }
  if (folders_.size() >= kMaxFolders) return Fail("too many folders");
  Folder folder;
  folder.options = options;
  folders_.push_back(folder);
  folder_open_ = true;
  return true;
}

bool CabWriter::AddEntry(Entry entry) {
  std::string why;
  if (!CheckName(entry.name, &why)) return Fail("Entry name '" + entry.name + "' " + why);
  if (files_.size() >= kMaxFiles) return Fail("too many files");
  // Windows would extract two names that differ only in case to one file.
  for (const Entry& e : files_) {
    if (e.name.size() == entry.name.size() &&
        std::equal(e.name.begin(), e.name.end(), entry.name.begin(),
                   [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }))
      return Fail("Entry name '" + entry.name + "' is already in the cabinet");
  }
  if (entry.size > kMaxFolderBytes) return Fail("File '" + entry.name + "' is too large for a cabinet");
  if (part_size_ == 0 || part_size_ > kMaxFolderBytes) return Fail("the part size must be 1 to 2147450880 bytes");
  if (folder_size_ == 0 || folder_size_ > kMaxFolderBytes) return Fail("the folder size must be 1 to 2147450880 bytes");
  if (!folder_open_ && !StartFolder(CabFolderOptions())) return false;
  if (!folders_.back().files.empty() && folders_.back().bytes + entry.size > folder_size_) {
    CabFolderOptions same = folders_.back().options;
    if (!StartFolder(same)) return false;
  }
  Folder& folder = folders_.back();
  entry.folder = static_cast<uint16_t>(folders_.size() - 1);
  folder.files.push_back(files_.size());
  folder.bytes += entry.size;
  files_.push_back(std::move(entry));
  return true;
}

bool CabWriter::AddFile(const std::string& name, const std::string& source_path, uint16_t date,
                        uint16_t time, uint16_t attributes) {
  std::error_code ec;
  auto size = std::filesystem::file_size(std::filesystem::u8path(source_path), ec);
  if (ec) return Fail("Failed to read file '" + source_path + "'");
  Entry e;
  e.name = name;
  e.source_path = source_path;
  e.size = size;
  e.source_size = size;
  e.date = date;
  e.time = time;
  e.attributes = attributes;
  if (size > part_size_) return AddParts(e);
  return AddEntry(std::move(e));
}

bool CabWriter::AddParts(const Entry& whole) {
  const uint64_t count = (whole.size + part_size_ - 1) / part_size_;
  if (count > kMaxFiles) return Fail("File '" + whole.name + "' would need more parts than a cabinet holds files");
  const uint32_t parts = static_cast<uint32_t>(count);
  // An entry that has a part's name already is refused by AddEntry as a
  // second entry of that name.
  for (uint32_t i = 1; i <= parts; ++i) {
    Entry part = whole;
    part.name = PartEntryName(whole.name, i, parts);
    part.source_offset = uint64_t{i - 1} * part_size_;
    part.size = std::min(part_size_, whole.size - part.source_offset);
    if (!AddEntry(std::move(part))) return false;
  }
  joined_.push_back({whole.name, parts});
  return true;
}

uint64_t CabWriter::total_bytes() const {
  uint64_t total = 0;
  for (const Entry& e : files_) total += e.size;
  return total;
}

bool CabWriter::AddFileData(const std::string& name, std::vector<uint8_t> data, uint16_t date,
                            uint16_t time, uint16_t attributes) {
  Entry e;
  e.name = name;
  e.size = data.size();
  e.data = std::move(data);
  e.date = date;
  e.time = time;
  e.attributes = attributes;
  return AddEntry(std::move(e));
}

bool CabWriter::CompressFolder(Folder& folder, unsigned lzx_threads, const BlockSink& sink, std::string* error,
                               LzxEncoderStats* stats) const {
  auto fail = [error](const std::string& message) {
    *error = message;
    return false;
  };
  CabFolderOptions options = folder.options;
  if (options.lzx_threads == 0) options.lzx_threads = lzx_threads;
  CabFolderStream stream(options, folder.bytes, sink);
  if (!stream.Begin()) return fail(stream.error());
  std::vector<uint8_t> chunk(256 * 1024);
  for (size_t index : folder.files) {
    const Entry& e = files_[index];
    if (e.source_path.empty()) {
      if (!stream.Add(e.data.data(), e.data.size())) return fail(stream.error());
      continue;
    }
    std::ifstream in(std::filesystem::u8path(e.source_path), std::ios::binary);
    if (!in) return fail("Failed to read file '" + e.source_path + "'");
    if (e.source_offset != 0 && !in.seekg(static_cast<std::streamoff>(e.source_offset)))
      return fail("File '" + e.source_path + "' changed while the cabinet was written");
    uint64_t left = e.size;
    while (left > 0) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
      in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(want));
      if (static_cast<size_t>(in.gcount()) != want)
        return fail("File '" + e.source_path + "' changed while the cabinet was written");
      if (!stream.Add(chunk.data(), want)) return fail(stream.error());
      left -= want;
    }
    if (e.source_offset + e.size == e.source_size && in.peek() != std::char_traits<char>::eof())
      return fail("File '" + e.source_path + "' changed while the cabinet was written");
  }
  if (!stream.End()) return fail(stream.error());
  folder.blocks = static_cast<uint16_t>(stream.blocks());
  *stats = folder.options.compression == CabCompression::kLzx ? stream.lzx_stats() : LzxEncoderStats();
  return true;
}

std::vector<CabWriter::Folder*> CabWriter::UsedFolders() {
  // Folders left without files are not written; renumber the others.
  std::vector<Folder*> folders;
  for (Folder& f : folders_) {
    if (f.files.empty()) continue;
    for (size_t index : f.files) files_[index].folder = static_cast<uint16_t>(folders.size());
    folders.push_back(&f);
  }
  return folders;
}

bool CabWriter::Write(std::ostream& out) {
  error_.clear();
  lzx_stats_ = LzxEncoderStats();
  if (files_.empty()) return Fail("the cabinet has no files");
  std::vector<Folder*> folders = UsedFolders();

  const uint64_t files_offset = kHeaderSize + kFolderSize * folders.size();
  uint64_t header_bytes = files_offset;
  for (const Entry& e : files_) header_bytes += kFileEntrySize + e.name.size() + 1;
  if (header_bytes > kMaxCabinetBytes) return Fail("the cabinet is larger than 4 GB");

  const std::streampos start = out.tellp();
  if (start == std::streampos(-1)) return Fail("the cabinet's stream is not seekable");

  // Header and folder table for now with their sizes unknown; the file table
  // is final.
  std::vector<uint8_t> head(static_cast<size_t>(files_offset), 0);
  std::vector<uint8_t> table;
  table.reserve(static_cast<size_t>(header_bytes - files_offset));
  uint64_t total = 0;
  for (Folder* f : folders) {
    uint64_t offset = 0;
    for (size_t index : f->files) {
      const Entry& e = files_[index];
      uint8_t entry[kFileEntrySize];
      StoreField(entry, cffile::kSize, static_cast<uint32_t>(e.size));
      StoreField(entry, cffile::kFolderOffset, static_cast<uint32_t>(offset));
      StoreField(entry, cffile::kFolderIndex, e.folder);
      StoreField(entry, cffile::kDate, e.date);
      StoreField(entry, cffile::kTime, e.time);
      StoreField(entry, cffile::kAttributes, e.attributes);
      table.insert(table.end(), entry, entry + sizeof entry);
      table.insert(table.end(), e.name.begin(), e.name.end());
      table.push_back(0);
      offset += e.size;
    }
    total += offset;
  }
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  out.write(reinterpret_cast<const char*>(table.data()), static_cast<std::streamsize>(table.size()));
  if (!out) return Fail("the cabinet could not be written");

  uint64_t position = header_bytes;
  uint64_t written = 0;
  FolderHooks hooks;
  hooks.begin = [&](size_t i) {
    folders[i]->data_offset = static_cast<uint32_t>(position);
    return true;
  };
  hooks.block = [&](const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed) {
    out.write(reinterpret_cast<const char*>(header), kDataHeaderSize);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) return Fail("the cabinet could not be written");
    position += kDataHeaderSize + size;
    written += uncompressed;
    if (progress_) progress_(written, total);
    return true;
  };
  hooks.end = [&](size_t) { return position <= kMaxCabinetBytes || Fail("the cabinet is larger than 4 GB"); };
  if (!WriteFolders(folders, hooks)) return false;

  uint8_t* h = head.data();
  std::memcpy(h + cfheader::kSignature.offset, kSignature, cfheader::kSignature.size);
  StoreField(h, cfheader::kCabinetSize, static_cast<uint32_t>(position));
  StoreField(h, cfheader::kFilesOffset, static_cast<uint32_t>(files_offset));
  StoreField(h, cfheader::kVersion, kVersion);
  StoreField(h, cfheader::kFolderCount, static_cast<uint32_t>(folders.size()));
  StoreField(h, cfheader::kFileCount, static_cast<uint32_t>(files_.size()));
  StoreField(h, cfheader::kFlags, 0);
  StoreField(h, cfheader::kSetId, set_id_);
  StoreField(h, cfheader::kCabinetIndex, 0);
  for (size_t i = 0; i < folders.size(); ++i) {
    uint8_t* p = h + kHeaderSize + kFolderSize * i;
    const CabFolderOptions& o = folders[i]->options;
    uint16_t type = o.compression == CabCompression::kStored  ? kCompressNone
                    : o.compression == CabCompression::kMszip ? kCompressMszip
                                                              : MakeLzxType(o.lzx_window_bits);
    StoreField(p, cffolder::kDataOffset, folders[i]->data_offset);
    StoreField(p, cffolder::kBlockCount, folders[i]->blocks);
    StoreField(p, cffolder::kCompression, type);
  }
  const std::streampos end = out.tellp();
  out.seekp(start);
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  out.seekp(end);
  out.flush();
  if (!out) return Fail("the cabinet could not be written");
  return true;
}

bool CabWriter::WriteToFile(const std::string& path) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  if (!out) return Fail("Failed to create file '" + path + "'");
  if (!Write(out)) return false;
  out.close();
  if (!out) return Fail("Failed to write file '" + path + "'");
  return true;
}

}  // namespace cab
