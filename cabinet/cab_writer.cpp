#include "cabinet/cab_writer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"
#include "cabinet/deflate_encoder.h"

namespace cab {
namespace {

constexpr size_t kFrame = kMaxBlockUncompressed;
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

// One folder's compressed stream: gathers the folder's bytes into 32768-byte
// frames, compresses each and writes the CFDATA blocks.
class CabWriter::FolderStream {
 public:
  FolderStream(std::ostream& out, const CabFolderOptions& options, uint64_t folder_bytes)
      : out_(out), options_(options), folder_bytes_(folder_bytes) {}

  bool Begin() {
    frame_.resize(kFrame);
    if (options_.compression == CabCompression::kMszip) deflate_.Reset();
    if (options_.compression == CabCompression::kLzx) {
      LzxEncoderOptions lo;
      lo.window_bits = options_.lzx_window_bits;
      lo.level = options_.lzx_level;
      lo.e8_translation = options_.lzx_e8_translation;
      lo.threads = options_.lzx_threads;
      // Translation stops at 1 GB into the folder; a larger size adds nothing.
      lo.e8_translation_size = options_.lzx_e8_translation_size != 0
                                   ? options_.lzx_e8_translation_size
                                   : static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(folder_bytes_, 1u << 30)));
      if (!lzx_.Start(lo, [this](const uint8_t* data, size_t size, uint32_t uncompressed) {
            return WriteBlock(data, size, uncompressed);
          })) {
        error_ = lzx_.error();
        return false;
      }
    }
    return true;
  }

  bool Add(const uint8_t* data, size_t size) {
    while (size > 0) {
      size_t take = std::min(size, kFrame - fill_);
      std::memcpy(frame_.data() + fill_, data, take);
      fill_ += take;
      data += take;
      size -= take;
      if (fill_ == kFrame && !CompressFrame()) return false;
    }
    return true;
  }

  bool End() {
    if (fill_ > 0 && !CompressFrame()) return false;
    if (options_.compression == CabCompression::kLzx && !lzx_.Finish()) {
      if (error_.empty()) error_ = lzx_.error();
      return false;
    }
    return true;
  }

  uint32_t blocks() const { return blocks_; }
  uint64_t bytes_written() const { return bytes_written_; }
  const std::string& error() const { return error_; }
  const LzxEncoderStats& lzx_stats() const { return lzx_.stats(); }
  void set_block_done(std::function<void(uint32_t)> f) { block_done_ = std::move(f); }

 private:
  bool CompressFrame() {
    const size_t size = fill_;
    fill_ = 0;
    switch (options_.compression) {
      case CabCompression::kStored:
        return WriteBlock(frame_.data(), size, static_cast<uint32_t>(size));
      case CabCompression::kMszip:
        packed_.assign({'C', 'K'});
        deflate_.CompressBlock(frame_.data(), size, &packed_);
        return WriteBlock(packed_.data(), packed_.size(), static_cast<uint32_t>(size));
      case CabCompression::kLzx:
        if (!lzx_.AddFrame(frame_.data(), size)) {
          if (error_.empty()) error_ = lzx_.error();
          return false;
        }
        return true;
    }
    return false;
  }

  bool WriteBlock(const uint8_t* data, size_t size, uint32_t uncompressed) {
    if (size > 0xFFFF) {
      error_ = "a compressed data block is larger than 65535 bytes";
      return false;
    }
    if (blocks_ == 0xFFFF) {
      error_ = "a folder holds more than 65535 data blocks";
      return false;
    }
    uint8_t header[kDataHeaderSize];
    StoreField(header, cfdata::kCompressedSize, static_cast<uint32_t>(size));
    StoreField(header, cfdata::kUncompressedSize, uncompressed);
    StoreField(header, cfdata::kChecksum,
               DataBlockChecksum(data, static_cast<uint16_t>(size), static_cast<uint16_t>(uncompressed)));
    out_.write(reinterpret_cast<const char*>(header), sizeof header);
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out_) {
      error_ = "the cabinet could not be written";
      return false;
    }
    ++blocks_;
    bytes_written_ += sizeof header + size;
    if (block_done_) block_done_(uncompressed);
    return true;
  }

  std::ostream& out_;
  CabFolderOptions options_;
  uint64_t folder_bytes_;
  std::vector<uint8_t> frame_;
  size_t fill_ = 0;
  std::vector<uint8_t> packed_;
  DeflateEncoder deflate_;
  LzxEncoder lzx_;
  uint32_t blocks_ = 0;
  uint64_t bytes_written_ = 0;
  std::string error_;
  std::function<void(uint32_t)> block_done_;
};

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
  if (!folder_open_ && !StartFolder(CabFolderOptions())) return false;
  if (folders_.back().bytes + entry.size > kMaxFolderBytes) {
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
  e.date = date;
  e.time = time;
  e.attributes = attributes;
  return AddEntry(std::move(e));
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

bool CabWriter::WriteFolder(std::ostream& out, Folder& folder, uint64_t* written, uint64_t total) {
  FolderStream stream(out, folder.options, folder.bytes);
  stream.set_block_done([&](uint32_t n) {
    *written += n;
    if (progress_) progress_(*written, total);
  });
  if (!stream.Begin()) return Fail(stream.error());
  std::vector<uint8_t> chunk(256 * 1024);
  for (size_t index : folder.files) {
    const Entry& e = files_[index];
    if (e.source_path.empty()) {
      if (!stream.Add(e.data.data(), e.data.size())) return Fail(stream.error());
      continue;
    }
    std::ifstream in(std::filesystem::u8path(e.source_path), std::ios::binary);
    if (!in) return Fail("Failed to read file '" + e.source_path + "'");
    uint64_t left = e.size;
    while (left > 0) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
      in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(want));
      if (static_cast<size_t>(in.gcount()) != want)
        return Fail("File '" + e.source_path + "' changed while the cabinet was written");
      if (!stream.Add(chunk.data(), want)) return Fail(stream.error());
      left -= want;
    }
    if (in.peek() != std::char_traits<char>::eof())
      return Fail("File '" + e.source_path + "' changed while the cabinet was written");
  }
  if (!stream.End()) return Fail(stream.error());
  folder.blocks = static_cast<uint16_t>(stream.blocks());
  const LzxEncoderStats& s = stream.lzx_stats();
  if (folder.options.compression == CabCompression::kLzx) {
    lzx_stats_.frames += s.frames;
    lzx_stats_.verbatim_blocks += s.verbatim_blocks;
    lzx_stats_.aligned_blocks += s.aligned_blocks;
    lzx_stats_.uncompressed_blocks += s.uncompressed_blocks;
    lzx_stats_.literals += s.literals;
    lzx_stats_.matches += s.matches;
    lzx_stats_.repeat_matches += s.repeat_matches;
    lzx_stats_.compressed_bytes += s.compressed_bytes;
  }
  return true;
}

bool CabWriter::Write(std::ostream& out) {
  error_.clear();
  lzx_stats_ = LzxEncoderStats();
  if (files_.empty()) return Fail("the cabinet has no files");
  // Folders left without files are not written; renumber the others.
  std::vector<Folder*> folders;
  for (Folder& f : folders_) {
    if (f.files.empty()) continue;
    for (size_t index : f.files) files_[index].folder = static_cast<uint16_t>(folders.size());
    folders.push_back(&f);
  }

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
  for (Folder* f : folders) {
    f->data_offset = static_cast<uint32_t>(position);
    const std::streampos before = out.tellp();
    if (!WriteFolder(out, *f, &written, total)) return false;
    position += static_cast<uint64_t>(out.tellp() - before);
    if (position > kMaxCabinetBytes) return Fail("the cabinet is larger than 4 GB");
  }

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
