// CabWriter::WriteSet: the folders' blocks cut into a set of cabinets.
//
// The blocks are compressed once and come in folder order, as for a single
// cabinet (WriteFolders).
// Each goes to the cabinet being filled while it fits; the block that does
// not fit is split: its first part (with no uncompressed size) ends the
// cabinet exactly at its size, the rest begins the next one, and the folder
// runs on there. A cabinet's header and file table come before its data but
// are known only when it is closed, so its blocks wait in a scratch file and
// are copied behind the header then.
//
// Readers of sets (cabextract among them) join a folder's parts by the files
// the cabinets list on both sides of each cut, so from a folder's first cut
// on every file of the folder not wholly before it is listed in every
// cabinet the folder reaches: continued to the next cabinet where the folder
// goes on, continued from the previous one where it came from. Room for
// those entries is kept in each cabinet from the folder's first block on.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"
#include "cabinet/cab_writer.h"

namespace cab {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

}  // namespace

class CabWriter::SetCutter {
 public:
  SetCutter(CabWriter& writer, const CabSetLayout& layout, std::vector<Folder*> folders,
            std::vector<CabSetCabinet>* cabinets)
      : w_(writer), layout_(layout), folders_(std::move(folders)), cabinets_(cabinets), start_(w_.files_.size()) {
    for (Folder* f : folders_) {
      uint64_t offset = 0;
      for (size_t index : f->files) {
        start_[index] = offset;
        offset += w_.files_[index].size;
        total_ += w_.files_[index].size;
      }
    }
  }

  bool Run() {
    if (!OpenScratch()) return false;
    StartCabinet();
    FolderHooks hooks;
    hooks.begin = [this](size_t fi) {
      folder_ = fi;
      position_ = 0;
      cursor_ = 0;
      pending_ = 0;
      listed_.clear();
      for (size_t index : FolderFiles()) pending_ += EntrySize(index);
      parts_.push_back(NewPart(false));
      header_bytes_ += kFolderSize;
      return true;
    };
    hooks.block = [this](const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed) {
      return Block(header, data, size, uncompressed);
    };
    hooks.end = [this](size_t) {
      // Only a folder of empty files has files left: it has no block.
      if (cursor_ < FolderFiles().size()) {
        if (!Fits(0) && (!MoveFolderToNextCabinet() || !Fits(0)))
          return Failed(CabSetError::kBlockTooLarge, "a folder's file entries are larger than a volume");
        Introduce(position_);
      }
      return true;
    };
    if (!w_.WriteFolders(folders_, hooks)) return Failed(CabSetError::kWriteFailed);
    return Close(false);
  }

  CabSetError error() const { return error_; }

 private:
  struct Part {
    size_t folder = 0;
    uint64_t data_offset = 0;      // of its first block in the cabinet's data
    uint32_t blocks = 0;
    bool continued = false;        // the folder came from the previous cabinet
    bool to_next = false;          // ... and goes on into the next
    size_t to_next_from = kNone;   // in a folder's first cut: its files from here go on
    std::vector<size_t> files;
  };

  Part NewPart(bool continued) const {
    Part p;
    p.folder = folder_;
    p.data_offset = data_bytes_;
    p.continued = continued;
    return p;
  }
  size_t EntrySize(size_t index) const { return kFileEntrySize + w_.files_[index].name.size() + 1; }
  uint64_t Budget() const { return cabinet_ == 0 ? layout_.first_cabinet_bytes : layout_.cabinet_bytes; }
  const std::vector<size_t>& FolderFiles() const { return folders_[folder_]->files; }
  // Whether bytes more data fit, with the entries the folder may still list
  // and room for the header of a split block's first part.
  bool Fits(uint64_t bytes) const {
    return header_bytes_ + pending_ + data_bytes_ + bytes + kDataHeaderSize <= Budget();
  }

  // The first failure is the one reported.
  bool Failed(CabSetError error, const std::string& message = std::string()) {
    if (error_ == CabSetError::kNone) error_ = error;
    if (!message.empty() && w_.error_.empty()) w_.error_ = message;
    return false;
  }

  bool OpenScratch() {
    scratch_.close();
    scratch_.clear();
    scratch_.open(std::filesystem::u8path(layout_.scratch_path), std::ios::binary | std::ios::trunc);
    if (!scratch_) return Failed(CabSetError::kWriteFailed, "Failed to create file '" + layout_.scratch_path + "'");
    return true;
  }

  // The header of a new cabinet as if another followed it.
  void StartCabinet() {
    header_bytes_ = kHeaderSize + layout_.name(cabinet_ + 1).size() + 2;
    if (cabinet_ > 0) header_bytes_ += layout_.name(cabinet_ - 1).size() + 2;
    data_bytes_ = 0;
  }

  // Lists the folder's files that begin before `end` (and the empty ones at
  // the folder's end once it is reached) in the current part.
  void Introduce(uint64_t end) {
    const std::vector<size_t>& files = FolderFiles();
    const uint64_t folder_bytes = folders_[folder_]->bytes;
    for (; cursor_ < files.size() && (start_[files[cursor_]] < end || (end == folder_bytes && start_[files[cursor_]] == end));
         ++cursor_) {
      parts_.back().files.push_back(files[cursor_]);
      header_bytes_ += EntrySize(files[cursor_]);
      pending_ -= EntrySize(files[cursor_]);
    }
  }

  bool WritePiece(const uint8_t* data, size_t size, uint32_t uncompressed) {
    uint8_t header[kDataHeaderSize];
    StoreField(header, cfdata::kCompressedSize, static_cast<uint32_t>(size));
    StoreField(header, cfdata::kUncompressedSize, uncompressed);
    StoreField(header, cfdata::kChecksum,
               DataBlockChecksum(data, static_cast<uint16_t>(size), static_cast<uint16_t>(uncompressed)));
    scratch_.write(reinterpret_cast<const char*>(header), kDataHeaderSize);
    scratch_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!scratch_) return Failed(CabSetError::kWriteFailed, "Failed to write file '" + layout_.scratch_path + "'");
    data_bytes_ += kDataHeaderSize + size;
    ++parts_.back().blocks;
    return true;
  }

  bool Block(const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed) {
    const uint64_t end = position_ + uncompressed;
    Part* part = &parts_.back();
    if (!Fits(kDataHeaderSize + size) && part->blocks == 0 && !part->continued) {
      // The folder has not begun here: it begins in the next cabinet.
      if (!MoveFolderToNextCabinet()) return false;
      part = &parts_.back();
    }
    if (Fits(kDataHeaderSize + size)) {
      Introduce(end);
      if (!WritePiece(data, size, uncompressed)) return false;
    } else {
      // Split: the first part fills this cabinet to its size.
      const size_t first = static_cast<size_t>(
          std::min<uint64_t>(size, Budget() - (header_bytes_ + pending_ + data_bytes_ + kDataHeaderSize)));
      if (!ListContinuingFiles() || !WritePiece(data, first, 0) || !NextCabinet(true)) return false;
      if (!Fits(kDataHeaderSize + size - first))
        return Failed(CabSetError::kBlockTooLarge, "a data block with its file entries is larger than a volume");
      if (!WritePiece(data + first, size - first, uncompressed)) return false;
    }
    (void)header;
    position_ = end;
    done_ += uncompressed;
    if (w_.progress_) w_.progress_(done_, total_);
    return true;
  }

  // The folder is cut inside the block that starts at position_: at its
  // first cut every file from the first one not wholly before the block on
  // is listed, continued to the next cabinet.
  bool ListContinuingFiles() {
    Part& part = parts_.back();
    part.to_next = true;
    if (!listed_.empty()) return true;
    const std::vector<size_t>& files = FolderFiles();
    size_t first = 0;
    while (first < files.size() && start_[files[first]] + w_.files_[files[first]].size <= position_ &&
           !(w_.files_[files[first]].size == 0 && start_[files[first]] >= position_))
      ++first;
    listed_.assign(files.begin() + first, files.end());
    Introduce(UINT64_MAX);
    part.to_next_from = part.files.size() - listed_.size();
    return true;
  }

  bool MoveFolderToNextCabinet() {
    Part moved = parts_.back();
    parts_.pop_back();
    header_bytes_ -= kFolderSize;
    if (!NextCabinet(false)) return false;
    moved.data_offset = 0;
    parts_.push_back(moved);
    header_bytes_ += kFolderSize;
    return true;
  }

  // Closes the cabinet and opens the next; with continue_folder the current
  // folder goes on there with the files it lists.
  bool NextCabinet(bool continue_folder) {
    if (cabinet_ == 0 && !FirstFilesWhole())
      return Failed(CabSetError::kFirstCabinetTooSmall, "the configuration does not fit the first cabinet of the set");
    if (cabinet_ + 1 >= layout_.max_cabinets)
      return Failed(CabSetError::kTooManyCabinets,
                    "the set needs more than " + std::to_string(layout_.max_cabinets) + " cabinets");
    if (parts_.empty() && cabinet_ != 0)
      return Failed(CabSetError::kBlockTooLarge, "a data block with its file entries is larger than a volume");
    if (!Close(true) || !OpenScratch()) return false;
    ++cabinet_;
    StartCabinet();
    if (continue_folder) {
      parts_.push_back(NewPart(true));
      parts_.back().files = listed_;
      header_bytes_ += kFolderSize;
      for (size_t index : listed_) header_bytes_ += EntrySize(index);
    }
    return true;
  }

  bool FirstFilesWhole() const {
    size_t whole = 0;
    for (const Part& p : parts_) whole += p.to_next_from == kNone ? p.files.size() : p.to_next_from;
    return whole >= layout_.first_cabinet_files;
  }

  // Writes the cabinet: header, folder and file tables, then its data.
  bool Close(bool has_next) {
    scratch_.close();
    if (!scratch_) return Failed(CabSetError::kWriteFailed, "Failed to write file '" + layout_.scratch_path + "'");
    const bool in_set = has_next || cabinet_ > 0;
    std::vector<uint8_t> head(kHeaderSize, 0);
    uint16_t flags = 0;
    auto add_name = [&](const std::string& name) {
      head.insert(head.end(), name.begin(), name.end());
      head.push_back(0);
      head.push_back(0);  // the disk's name, empty
    };
    if (cabinet_ > 0) {
      flags |= kFlagPrevCabinet;
      add_name(layout_.name(cabinet_ - 1));
    }
    if (has_next) {
      flags |= kFlagNextCabinet;
      add_name(layout_.name(cabinet_ + 1));
    }
    const size_t folders_offset = head.size();
    const size_t files_offset = folders_offset + kFolderSize * parts_.size();
    size_t file_count = 0;
    uint64_t header_size = files_offset;
    for (const Part& p : parts_) {
      file_count += p.files.size();
      for (size_t index : p.files) header_size += EntrySize(index);
    }
    if (file_count > 0xFFFF) return Failed(CabSetError::kWriteFailed, "a cabinet of the set holds too many files");
    const uint64_t cabinet_size = header_size + data_bytes_;
    if (cabinet_size > Budget() || cabinet_size > 0xFFFFFFFFull)
      return Failed(CabSetError::kWriteFailed, "internal error: a cabinet of the set is larger than its volume");
    head.resize(files_offset, 0);
    for (size_t pi = 0; pi < parts_.size(); ++pi) {
      const Part& p = parts_[pi];
      const CabFolderOptions& o = folders_[p.folder]->options;
      uint16_t type = o.compression == CabCompression::kStored  ? kCompressNone
                      : o.compression == CabCompression::kMszip ? kCompressMszip
                                                                : MakeLzxType(o.lzx_window_bits);
      uint8_t* f = head.data() + folders_offset + kFolderSize * pi;
      StoreField(f, cffolder::kDataOffset, static_cast<uint32_t>(header_size + p.data_offset));
      StoreField(f, cffolder::kBlockCount, p.blocks);
      StoreField(f, cffolder::kCompression, type);
      for (size_t k = 0; k < p.files.size(); ++k) {
        const Entry& e = w_.files_[p.files[k]];
        const bool from_prev = p.continued, to_next = p.to_next && (p.continued || k >= p.to_next_from);
        const uint16_t folder = from_prev && to_next ? kFolderContinuedPrevAndNext
                                : from_prev          ? kFolderContinuedFromPrev
                                : to_next            ? kFolderContinuedToNext
                                                     : static_cast<uint16_t>(pi);
        uint8_t entry[kFileEntrySize];
        StoreField(entry, cffile::kSize, static_cast<uint32_t>(e.size));
        StoreField(entry, cffile::kFolderOffset, static_cast<uint32_t>(start_[p.files[k]]));
        StoreField(entry, cffile::kFolderIndex, folder);
        StoreField(entry, cffile::kDate, e.date);
        StoreField(entry, cffile::kTime, e.time);
        StoreField(entry, cffile::kAttributes, e.attributes);
        head.insert(head.end(), entry, entry + sizeof entry);
        head.insert(head.end(), e.name.begin(), e.name.end());
        head.push_back(0);
      }
    }
    uint8_t* h = head.data();
    std::memcpy(h, kSignature, sizeof kSignature);
    StoreField(h, cfheader::kCabinetSize, static_cast<uint32_t>(cabinet_size));
    StoreField(h, cfheader::kFilesOffset, static_cast<uint32_t>(files_offset));
    StoreField(h, cfheader::kVersion, kVersion);
    StoreField(h, cfheader::kFolderCount, static_cast<uint32_t>(parts_.size()));
    StoreField(h, cfheader::kFileCount, static_cast<uint32_t>(file_count));
    StoreField(h, cfheader::kFlags, flags);
    StoreField(h, cfheader::kSetId, in_set ? layout_.set_id : w_.set_id_);
    StoreField(h, cfheader::kCabinetIndex, static_cast<uint32_t>(cabinet_));
    parts_.clear();
    return WriteCabinet(head, cabinet_size);
  }

  bool WriteCabinet(const std::vector<uint8_t>& head, uint64_t size) {
    CabSetCabinet cabinet;
    cabinet.path = layout_.path(cabinet_);
    cabinet.size = size;
    cabinets_->push_back(cabinet);  // listed first, so that a failure removes it
    std::ofstream out(std::filesystem::u8path(cabinet.path), std::ios::binary | std::ios::trunc);
    std::ifstream in(std::filesystem::u8path(layout_.scratch_path), std::ios::binary);
    if (!out || !in) return Failed(CabSetError::kWriteFailed, "Failed to create file '" + cabinet.path + "'");
    base::Sha256 hash;
    hash.Update(head.data(), head.size());
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    std::vector<char> buffer(1 << 20);
    uint64_t copied = 0;
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      const std::streamsize n = in.gcount();
      if (n <= 0) break;
      hash.Update(buffer.data(), static_cast<size_t>(n));
      out.write(buffer.data(), n);
      copied += static_cast<uint64_t>(n);
    }
    out.close();
    if (!out || in.bad() || copied != data_bytes_)
      return Failed(CabSetError::kWriteFailed, "Failed to write file '" + cabinet.path + "'");
    cabinets_->back().sha256 = hash.Finish();
    return true;
  }

  CabWriter& w_;
  const CabSetLayout& layout_;
  std::vector<Folder*> folders_;
  std::vector<CabSetCabinet>* cabinets_;
  std::vector<uint64_t> start_;  // each file's offset in its folder
  uint64_t total_ = 0, done_ = 0;
  std::ofstream scratch_;
  size_t cabinet_ = 0;
  std::vector<Part> parts_;  // of the cabinet being filled
  uint64_t header_bytes_ = 0, data_bytes_ = 0;
  size_t folder_ = 0, cursor_ = 0;    // the folder being written, its next file to list
  uint64_t pending_ = 0;              // entry bytes of its files not listed yet
  std::vector<size_t> listed_;        // its files listed in each cabinet since its first cut
  uint64_t position_ = 0;  // folder bytes in blocks so far
  CabSetError error_ = CabSetError::kNone;
};

bool CabWriter::WriteSet(const CabSetLayout& layout, std::vector<CabSetCabinet>* cabinets) {
  error_.clear();
  set_error_ = CabSetError::kNone;
  lzx_stats_ = LzxEncoderStats();
  cabinets->clear();
  if (files_.empty()) {
    set_error_ = CabSetError::kWriteFailed;
    return Fail("the cabinet has no files");
  }
  SetCutter cutter(*this, layout, UsedFolders(), cabinets);
  const bool ok = cutter.Run();
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::u8path(layout.scratch_path), ignored);
  if (ok) return true;
  set_error_ = cutter.error() == CabSetError::kNone ? CabSetError::kWriteFailed : cutter.error();
  if (error_.empty()) error_ = "the cabinet could not be written";
  for (const CabSetCabinet& c : *cabinets) std::filesystem::remove(std::filesystem::u8path(c.path), ignored);
  cabinets->clear();
  return false;
}

}  // namespace cab
