// CabWriter::WriteSet: the folders' blocks cut into a set of cabinets.
//
// The blocks are compressed once and come in folder order, as for a single
// cabinet (WriteFolders). Each goes to the cabinet being filled while it
// fits; the block that does not fit is split: its first part (with no
// uncompressed size) ends the cabinet exactly at its size, the rest begins
// the next one, and the folder runs on there. A cabinet's header and file
// table come before its data but are known only when it is closed. Where
// every folder is stored, each block's size is known without reading a
// byte: a second cutter (the planner) runs ahead on the sizes alone and
// hands over each cabinet's header by the time its data starts, so every
// byte is written once, in place, and cabinet 0 straight behind the program
// in front of it. A compressed block's size is known only once it is
// compressed, so there the blocks wait in a scratch file and are copied
// behind the header when the cabinet closes. Either way the same inputs give
// the same bytes.
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
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"
#include "cabinet/cab_writer.h"

namespace cab {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// Where a cutter puts the cabinets it closes.
enum class CutterOutput {
  kScratch,  // blocks wait in the scratch file until their cabinet closes
  kDirect,   // the planner's header first, then each block in place
  kPlan,     // nothing written: each closed cabinet's header is kept for kDirect
};

// A cabinet's header (up to its data) as the planner closed it.
struct PlannedCabinet {
  std::vector<uint8_t> head;
  uint64_t size = 0;
};

}  // namespace

class CabWriter::SetCutter {
 public:
  SetCutter(CabWriter& writer, const CabSetLayout& layout, std::vector<Folder*> folders,
            std::vector<CabSetCabinet>* cabinets, CutterOutput output)
      : w_(writer), layout_(layout), folders_(std::move(folders)), cabinets_(cabinets), output_(output),
        start_(w_.files_.size()) {
    for (Folder* f : folders_) {
      uint64_t offset = 0;
      for (size_t index : f->files) {
        start_[index] = offset;
        offset += w_.files_[index].size;
        total_ += w_.files_[index].size;
      }
    }
  }

  // Writes the whole set.
  bool Run() {
    if (output_ == CutterOutput::kDirect) {
      planner_ = std::make_unique<SetCutter>(w_, layout_, folders_, nullptr, CutterOutput::kPlan);
      planner_->StartCabinet();
    }
    StartCabinet();
    if (!BeginOutput()) return false;
    FolderHooks hooks;
    hooks.begin = [this](size_t fi) {
      BeginFolder(fi);
      return true;
    };
    hooks.block = [this](const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed) {
      return Block(header, data, size, uncompressed);
    };
    hooks.end = [this](size_t) { return EndFolder(); };
    if (!w_.WriteFolders(folders_, hooks)) return Failed(CabSetError::kWriteFailed);
    return Close(false);
  }

  // The first failure: the planner's where it ran into it first.
  CabSetError error() const {
    if (planner_ && planner_->error_ != CabSetError::kNone) return planner_->error_;
    return error_;
  }

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

  void BeginFolder(size_t fi) {
    folder_ = fi;
    position_ = 0;
    cursor_ = 0;
    pending_ = 0;
    listed_.clear();
    for (size_t index : FolderFiles()) pending_ += EntrySize(index);
    parts_.push_back(NewPart(false));
    header_bytes_ += kFolderSize;
  }

  bool EndFolder() {
    // Only a folder of empty files has files left: it has no block.
    if (cursor_ < FolderFiles().size()) {
      if (!Fits(0) && (!MoveFolderToNextCabinet() || !Fits(0)))
        return Failed(CabSetError::kBlockTooLarge, "a folder's file entries are larger than a volume");
      Introduce(position_);
    }
    return true;
  }

  // The planner's next step on stored block sizes (as CabFolderStream cuts a
  // stored folder: whole frames, the last one shorter). False once it has
  // failed or has nothing left to do.
  bool PlanStep() {
    if (error_ != CabSetError::kNone || plan_done_) return false;
    if (plan_folder_ == folders_.size()) {
      plan_done_ = true;
      return Close(false);
    }
    const uint64_t bytes = folders_[plan_folder_]->bytes;
    if (!plan_in_folder_) {
      BeginFolder(plan_folder_);
      plan_in_folder_ = true;
      return true;
    }
    if (position_ < bytes) {
      static const uint8_t kNoData[kMaxBlockUncompressed] = {};
      const uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(kMaxBlockUncompressed, bytes - position_));
      return Block(nullptr, kNoData, size, size);
    }
    plan_in_folder_ = false;
    ++plan_folder_;
    return EndFolder();
  }

  // The header of the cabinet just started, from the planner.
  bool NextPlanned(PlannedCabinet* planned) {
    while (planner_->planned_.empty())
      if (!planner_->PlanStep()) return Failed(planner_->error_ == CabSetError::kNone ? CabSetError::kWriteFailed : planner_->error_,
                                                "internal error: the set's plan ended early");
    *planned = std::move(planner_->planned_.front());
    planner_->planned_.pop_front();
    return true;
  }

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

  // Where the cabinet just started receives its data: the scratch file, or
  // (direct) the cabinet itself behind the header the planner made.
  bool BeginOutput() {
    if (output_ == CutterOutput::kPlan) return true;
    if (output_ == CutterOutput::kScratch) {
      scratch_.close();
      scratch_.clear();
      scratch_.open(std::filesystem::u8path(layout_.scratch_path), std::ios::binary | std::ios::trunc);
      if (!scratch_) return Failed(CabSetError::kWriteFailed, "Failed to create file '" + layout_.scratch_path + "'");
      return true;
    }
    PlannedCabinet planned;
    if (!NextPlanned(&planned) || !OpenCabinet()) return false;
    planned_head_ = std::move(planned.head);
    planned_size_ = planned.size;
    return Emit(planned_head_.data(), planned_head_.size());
  }

  // Lists the cabinet being started (first, so that a failure removes it)
  // and opens its file, or takes the stream cabinet 0 goes to.
  bool OpenCabinet() {
    CabSetCabinet cabinet;
    out_ = layout_.first_cabinet_stream;
    if (cabinet_ != 0 || out_ == nullptr) {
      cabinet.path = layout_.path(cabinet_);
      out_file_.clear();
      out_file_.open(std::filesystem::u8path(cabinet.path), std::ios::binary | std::ios::trunc);
      out_ = &out_file_;
    }
    cabinets_->push_back(cabinet);
    if (!*out_) return Failed(CabSetError::kWriteFailed, "Failed to create file '" + cabinet.path + "'");
    // Only a cabinet of its own is checked by its hash.
    hashing_ = !cabinet.path.empty();
    hash_ = base::Sha256();
    written_ = 0;
    return true;
  }

  // Bytes of the cabinet being written, in order.
  bool Emit(const void* data, size_t size) {
    if (hashing_) hash_.Update(data, size);
    out_->write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    written_ += size;
    if (!*out_) return Failed(CabSetError::kWriteFailed, "Failed to write file '" + OutputName() + "'");
    return true;
  }

  std::string OutputName() const { return cabinets_->back().path.empty() ? "the installer" : cabinets_->back().path; }

  // Ends the cabinet being written at the size its header gives.
  bool FinishCabinet(uint64_t size) {
    if (out_ == &out_file_) out_file_.close();
    else out_->flush();
    if (!*out_ || written_ != size) return Failed(CabSetError::kWriteFailed, "Failed to write file '" + OutputName() + "'");
    cabinets_->back().size = size;
    if (hashing_) cabinets_->back().sha256 = hash_.Finish();
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
    if (output_ != CutterOutput::kPlan) {
      uint8_t header[kDataHeaderSize];
      StoreField(header, cfdata::kCompressedSize, static_cast<uint32_t>(size));
      StoreField(header, cfdata::kUncompressedSize, uncompressed);
      StoreField(header, cfdata::kChecksum,
                 DataBlockChecksum(data, static_cast<uint16_t>(size), static_cast<uint16_t>(uncompressed)));
      if (output_ == CutterOutput::kDirect) {
        if (!Emit(header, kDataHeaderSize) || !Emit(data, size)) return false;
      } else {
        scratch_.write(reinterpret_cast<const char*>(header), kDataHeaderSize);
        scratch_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!scratch_) return Failed(CabSetError::kWriteFailed, "Failed to write file '" + layout_.scratch_path + "'");
      }
    }
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
    if (w_.progress_ && output_ != CutterOutput::kPlan) w_.progress_(done_, total_);
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
    if (!Close(true)) return false;
    ++cabinet_;
    StartCabinet();
    if (continue_folder) {
      parts_.push_back(NewPart(true));
      parts_.back().files = listed_;
      header_bytes_ += kFolderSize;
      for (size_t index : listed_) header_bytes_ += EntrySize(index);
    }
    return BeginOutput();
  }

  bool FirstFilesWhole() const {
    size_t whole = 0;
    for (const Part& p : parts_) whole += p.to_next_from == kNone ? p.files.size() : p.to_next_from;
    return whole >= layout_.first_cabinet_files;
  }

  // Writes the cabinet: header, folder and file tables, then its data (or,
  // written in place, checks the header against the planner's; planning,
  // keeps it).
  bool Close(bool has_next) {
    if (output_ == CutterOutput::kScratch) {
      scratch_.close();
      if (!scratch_) return Failed(CabSetError::kWriteFailed, "Failed to write file '" + layout_.scratch_path + "'");
    }
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
    switch (output_) {
      case CutterOutput::kPlan:
        planned_.push_back({std::move(head), cabinet_size});
        return true;
      case CutterOutput::kDirect:
        if (head != planned_head_ || cabinet_size != planned_size_)
          return Failed(CabSetError::kWriteFailed, "internal error: a cabinet of the set differs from its plan");
        return FinishCabinet(cabinet_size);
      case CutterOutput::kScratch:
        break;
    }
    return WriteCabinet(head, cabinet_size);
  }

  // The header, then the blocks the scratch file holds.
  bool WriteCabinet(const std::vector<uint8_t>& head, uint64_t size) {
    std::ifstream in(std::filesystem::u8path(layout_.scratch_path), std::ios::binary);
    if (!OpenCabinet()) return false;
    if (!in) return Failed(CabSetError::kWriteFailed, "Failed to read file '" + layout_.scratch_path + "'");
    if (!Emit(head.data(), head.size())) return false;
    std::vector<char> buffer(1 << 20);
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      const std::streamsize n = in.gcount();
      if (n <= 0) break;
      if (!Emit(buffer.data(), static_cast<size_t>(n))) return false;
    }
    if (in.bad()) return Failed(CabSetError::kWriteFailed, "Failed to read file '" + layout_.scratch_path + "'");
    return FinishCabinet(size);
  }

  CabWriter& w_;
  const CabSetLayout& layout_;
  std::vector<Folder*> folders_;
  std::vector<CabSetCabinet>* cabinets_;  // null for the planner
  const CutterOutput output_;
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
  // The cabinet being written, in kScratch when it closes, in kDirect from
  // its start: its file (or layout_.first_cabinet_stream), bytes, hash.
  std::ofstream out_file_;
  std::ostream* out_ = nullptr;
  uint64_t written_ = 0;
  bool hashing_ = false;
  base::Sha256 hash_;
  // kDirect: the planner and the header it made for the cabinet being written.
  std::unique_ptr<SetCutter> planner_;
  std::vector<uint8_t> planned_head_;
  uint64_t planned_size_ = 0;
  // kPlan: the headers closed but not yet taken (at most two), and where on
  // the folders' sizes the planner is.
  std::deque<PlannedCabinet> planned_;
  size_t plan_folder_ = 0;
  bool plan_in_folder_ = false, plan_done_ = false;
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
  std::vector<Folder*> folders = UsedFolders();
  const bool stored = std::all_of(folders.begin(), folders.end(),
                                  [](const Folder* f) { return f->options.compression == CabCompression::kStored; });
  bool ok = false;
  CabSetError error = CabSetError::kNone;
  {
    SetCutter cutter(*this, layout, std::move(folders), cabinets, stored ? CutterOutput::kDirect : CutterOutput::kScratch);
    ok = cutter.Run();
    error = cutter.error();
  }  // its files closed
  std::error_code ignored;
  if (!stored) std::filesystem::remove(std::filesystem::u8path(layout.scratch_path), ignored);
  if (ok) return true;
  set_error_ = error == CabSetError::kNone ? CabSetError::kWriteFailed : error;
  if (error_.empty()) error_ = "the cabinet could not be written";
  for (const CabSetCabinet& c : *cabinets)
    if (!c.path.empty()) std::filesystem::remove(std::filesystem::u8path(c.path), ignored);
  cabinets->clear();
  return false;
}

}  // namespace cab
