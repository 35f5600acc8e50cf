// The cabinet engine behind fdi.h: header and file-table parsing, the
// folder cursor that decodes a folder's data blocks in order, and the copy
// loop that hands every file entry to the caller.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "cabinet/byte_order.h"
#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"
#include "cabinet/decompressor.h"
#include "cabinet/fdi.h"

namespace fdi {
namespace {

// A data block's compressed bytes may exceed 32768 by the decoders'
// worst-case growth (6144 for LZX, 10240 for Quantum).
constexpr uint32_t kInputBufferSize = cab::kMaxBlockUncompressed + 10240;
constexpr uint32_t kOutputBufferSize = cab::kMaxBlockUncompressed;
constexpr size_t kMaxCabinetPath = 256;
constexpr Handle kNoHandle = -1;

using cab::Load16;
using cab::Load32;

}  // namespace

struct Context {
  AllocFn alloc = nullptr;
  FreeFn free = nullptr;
  OpenFn open = nullptr;
  ReadFn read = nullptr;
  WriteFn write = nullptr;
  CloseFn close = nullptr;
  SeekFn seek = nullptr;
  int cpu_type = kCpuUnknown;
  ErrorRecord* error = nullptr;

  Handle header_handle = kNoHandle;
  Handle data_handle = kNoHandle;
  uint8_t* input = nullptr;   // one compressed data block
  uint8_t* output = nullptr;  // one decompressed data block

  std::unique_ptr<cab::Decompressor> decoder;
  uint16_t decoder_type = 0;
  bool has_decoder_type = false;

  void Fail(int32_t code, const std::string& detail = std::string()) {
    if (error && !error->error) {
      error->code = code;
      error->type = 0;
      error->error = true;
      error->detail = detail;
    }
  }
  void CloseHandles() {
    if (header_handle != kNoHandle) close(header_handle);
    if (data_handle != kNoHandle) close(data_handle);
    header_handle = data_handle = kNoHandle;
  }
};

namespace {

// The parts of a cabinet header the copy needs.
struct CabinetHeader {
  uint32_t files_offset = 0;
  uint16_t folder_count = 0;
  uint16_t file_count = 0;
  uint16_t flags = 0;
  uint16_t set_id = 0;
  uint16_t cabinet_index = 0;
  uint16_t header_reserve = 0;
  uint8_t folder_reserve = 0;
  uint8_t data_reserve = 0;
  std::string prev_cabinet, prev_disk, next_cabinet, next_disk;
  uint32_t folders_offset = 0;  // first CFFOLDER
};

struct FileEntry {
  uint32_t size = 0;
  uint32_t folder_offset = 0;
  uint16_t folder = 0;
  uint16_t date = 0, time = 0, attribs = 0;
  char name[cab::kMaxNameLength + 1] = {};
  uint32_t entry_size = 0;  // bytes the entry takes in the file table
};

// One FDICopy call over one cabinet.
class CopyRun {
 public:
  CopyRun(Context& ctx, NotifyFn notify, void* user) : ctx_(ctx), notify_(notify), user_(user) {}

  bool Run(const std::string& folder, const char* name);

 private:
  bool ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size);
  // Reads a zero-terminated string of at most 255 characters at *offset.
  bool ReadString(Handle h, uint32_t* offset, std::string* out);
  bool ReadHeader(Handle h, CabinetHeader* header);
  bool ReadFileEntry(uint32_t offset, FileEntry* entry);
  intptr_t Notify(NotificationType type, Notification& n) {
    n.user = user_;
    return notify_(type, &n);
  }

  bool HandleEntry(const FileEntry& entry);
  bool StartFolder(unsigned index);
  bool OpenNextCabinet();
  bool NextBlock();
  bool WriteFile(const FileEntry& entry, Handle out);

  Context& ctx_;
  NotifyFn notify_;
  void* user_;
  std::string folder_path_;
  std::string cabinet_path_;
  CabinetHeader header_;       // the cabinet whose file table is walked
  CabinetHeader data_header_;  // the cabinet the data handle reads: header_,
                               // or a following one the folder runs on into
  bool data_elsewhere_ = false;
  unsigned data_folder_ = 0;   // the folder's index in data_header_'s cabinet

  // Folder cursor: the block in ctx_.output holds folder bytes
  // [block_start_, block_start_ + block_size_).
  int folder_ = -1;
  uint16_t folder_type_ = 0;
  uint32_t next_block_offset_ = 0;
  uint32_t blocks_left_ = 0;
  uint64_t block_start_ = 0;
  uint32_t block_size_ = 0;
};

bool CopyRun::ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size) {
  if (ctx_.seek(h, offset, kSeekStart) != static_cast<int64_t>(offset)) return false;
  return size == 0 || ctx_.read(h, buffer, size) == size;
}

bool CopyRun::ReadString(Handle h, uint32_t* offset, std::string* out) {
  char buffer[cab::kMaxNameLength + 1];
  if (ctx_.seek(h, *offset, kSeekStart) != static_cast<int64_t>(*offset)) return false;
  uint32_t got = ctx_.read(h, buffer, sizeof buffer);
  if (got == 0xFFFFFFFFu || got > sizeof buffer) return false;
  const void* end = std::memchr(buffer, 0, got);
  if (!end) return false;  // unterminated or longer than 255 characters
  out->assign(buffer, static_cast<size_t>(static_cast<const char*>(end) - buffer));
  *offset += static_cast<uint32_t>(out->size() + 1);
  return true;
}

bool CopyRun::ReadHeader(Handle handle, CabinetHeader* h) {
  uint8_t raw[cab::kHeaderSize];
  if (!ReadAt(handle, 0, raw, sizeof raw) || std::memcmp(raw, cab::kSignature, 4) != 0) {
    ctx_.Fail(kErrorNotACabinet);
    return false;
  }
  if (Load16(raw + 24) != cab::kVersion) {
    ctx_.Fail(kErrorUnknownCabinetVersion);
    return false;
  }
  h->files_offset = Load32(raw + 16);
  h->folder_count = Load16(raw + 26);
  h->file_count = Load16(raw + 28);
  h->flags = Load16(raw + 30);
  h->set_id = Load16(raw + 32);
  h->cabinet_index = Load16(raw + 34);
  uint32_t offset = cab::kHeaderSize;
  if (h->flags & cab::kFlagReservePresent) {
    uint8_t reserve[4];
    if (!ReadAt(handle, offset, reserve, 4)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    h->header_reserve = Load16(reserve);
    h->folder_reserve = reserve[2];
    h->data_reserve = reserve[3];
    offset += 4 + h->header_reserve;
  }
  if (h->flags & cab::kFlagPrevCabinet) {
    if (!ReadString(handle, &offset, &h->prev_cabinet) || !ReadString(handle, &offset, &h->prev_disk)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
  }
  if (h->flags & cab::kFlagNextCabinet) {
    if (!ReadString(handle, &offset, &h->next_cabinet) || !ReadString(handle, &offset, &h->next_disk)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
  }
  h->folders_offset = offset;
  return true;
}

bool CopyRun::ReadFileEntry(uint32_t offset, FileEntry* e) {
  uint8_t raw[cab::kFileEntrySize + cab::kMaxNameLength + 1];
  if (ctx_.seek(ctx_.header_handle, offset, kSeekStart) != static_cast<int64_t>(offset)) return false;
  uint32_t got = ctx_.read(ctx_.header_handle, raw, sizeof raw);
  if (got == 0xFFFFFFFFu || got > sizeof raw || got < cab::kFileEntrySize + 1) return false;
  e->size = Load32(raw);
  e->folder_offset = Load32(raw + 4);
  e->folder = Load16(raw + 8);
  e->date = Load16(raw + 10);
  e->time = Load16(raw + 12);
  e->attribs = Load16(raw + 14);
  const uint8_t* name = raw + cab::kFileEntrySize;
  const void* end = std::memchr(name, 0, got - cab::kFileEntrySize);
  if (!end) return false;
  size_t length = static_cast<const uint8_t*>(end) - name;
  std::memcpy(e->name, name, length);
  e->name[length] = '\0';
  e->entry_size = static_cast<uint32_t>(cab::kFileEntrySize + length + 1);
  return true;
}

// Positions the cursor before the first data block of a folder and makes
// sure a decoder for its compression type is ready and reset.
bool CopyRun::StartFolder(unsigned index) {
  if (data_elsewhere_) {
    // The previous folder ran on into a following cabinet; this one's data
    // is in the first cabinet again.
    if (ctx_.data_handle != kNoHandle) ctx_.close(ctx_.data_handle);
    ctx_.data_handle = ctx_.open(cabinet_path_.c_str(), kOpenBinary | kOpenReadOnly, 0);
    if (ctx_.data_handle == kNoHandle) {
      ctx_.Fail(kErrorCabinetNotFound);
      return false;
    }
    data_header_ = header_;
    data_elsewhere_ = false;
  }
  uint8_t raw[cab::kFolderSize];
  const uint64_t offset = header_.folders_offset + uint64_t{index} * (cab::kFolderSize + header_.folder_reserve);
  if (offset > 0xFFFFFFFFu || !ReadAt(ctx_.header_handle, static_cast<uint32_t>(offset), raw, sizeof raw)) {
    ctx_.Fail(kErrorCorruptCabinet);
    return false;
  }
  folder_ = -1;
  const uint16_t type = Load16(raw + 6);
  const unsigned method = type & cab::kCompressMask;
  if (method > cab::kCompressLzx) {
    ctx_.Fail(kErrorBadCompressionType);
    return false;
  }
  if (method != cab::kCompressNone) {
    if (!ctx_.decoder || !ctx_.has_decoder_type || ctx_.decoder_type != type) {
      ctx_.decoder.reset();
      ctx_.has_decoder_type = false;
      bool out_of_memory = false;
      ctx_.decoder = cab::CreateDecompressor(type, &out_of_memory);
      if (!ctx_.decoder) {
        // No memory for the window, or an unsupported window size of a
        // known method.
        ctx_.Fail(out_of_memory ? kErrorAllocFail : kErrorDecompressorFailure);
        return false;
      }
      ctx_.decoder_type = type;
      ctx_.has_decoder_type = true;
    } else {
      ctx_.decoder->Reset();
    }
  }
  folder_ = static_cast<int>(index);
  data_folder_ = index;
  folder_type_ = type;
  next_block_offset_ = Load32(raw);
  blocks_left_ = Load16(raw + 4);
  block_start_ = 0;
  block_size_ = 0;
  return true;
}

// Moves the data handle to the cabinet that the current folder runs on
// into: the last folder of a cabinet with a next cabinet continues as the
// first folder of that one.
bool CopyRun::OpenNextCabinet() {
  if (!(data_header_.flags & cab::kFlagNextCabinet) || data_folder_ + 1 != data_header_.folder_count) {
    // The file table claims more data than the folder has.
    ctx_.Fail(kErrorCorruptCabinet);
    return false;
  }
  Notification n;
  n.name1 = data_header_.next_cabinet.c_str();
  n.name2 = data_header_.next_disk.c_str();
  n.name3 = folder_path_.c_str();
  n.setId = data_header_.set_id;
  n.cabinetIndex = static_cast<uint16_t>(data_header_.cabinet_index + 1);
  if (Notify(kNextCabinet, n) == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  const std::string path = folder_path_ + data_header_.next_cabinet;
  if (ctx_.data_handle != kNoHandle) ctx_.close(ctx_.data_handle);
  ctx_.data_handle = path.size() > kMaxCabinetPath ? kNoHandle
                                                  : ctx_.open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  data_elsewhere_ = true;
  if (ctx_.data_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  CabinetHeader next;
  if (!ReadHeader(ctx_.data_handle, &next)) return false;
  if (next.set_id != data_header_.set_id || next.cabinet_index != data_header_.cabinet_index + 1) {
    ctx_.Fail(kErrorWrongCabinet);
    return false;
  }
  if (next.folder_reserve != data_header_.folder_reserve || next.data_reserve != data_header_.data_reserve) {
    ctx_.Fail(kErrorReserveMismatch);
    return false;
  }
  uint8_t raw[cab::kFolderSize];
  if (next.folder_count == 0 || !ReadAt(ctx_.data_handle, next.folders_offset, raw, sizeof raw)) {
    ctx_.Fail(kErrorCorruptCabinet);
    return false;
  }
  data_header_ = next;
  data_folder_ = 0;
  next_block_offset_ = Load32(raw);
  blocks_left_ = Load16(raw + 4);
  return true;
}

// Reads and decodes the folder's next data block into ctx_.output. A block
// split between two cabinets comes as a part with no uncompressed size at
// the end of one and the rest at the start of the next; the parts are
// joined before decoding.
bool CopyRun::NextBlock() {
  uint32_t gathered = 0;
  uint16_t uncompressed = 0;
  for (;;) {
    if (blocks_left_ == 0) {
      if (!OpenNextCabinet()) return false;
      continue;
    }
    uint8_t raw[cab::kDataHeaderSize];
    if (!ReadAt(ctx_.data_handle, next_block_offset_, raw, sizeof raw)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    const uint32_t checksum = Load32(raw);
    const uint16_t compressed = Load16(raw + 4);
    uncompressed = Load16(raw + 6);
    if (compressed > kInputBufferSize - gathered || uncompressed > kOutputBufferSize) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    const uint64_t data_offset = uint64_t{next_block_offset_} + cab::kDataHeaderSize + data_header_.data_reserve;
    uint8_t* part = ctx_.input + gathered;
    if (data_offset + compressed > 0xFFFFFFFFu ||
        !ReadAt(ctx_.data_handle, static_cast<uint32_t>(data_offset), part, compressed)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    if (checksum != 0 && cab::DataBlockChecksum(part, compressed, uncompressed) != checksum) {
      ctx_.Fail(kErrorCorruptCabinet, "bad block checksum in folder " + std::to_string(folder_));
      return false;
    }
    next_block_offset_ = static_cast<uint32_t>(data_offset + compressed);
    --blocks_left_;
    gathered += compressed;
    if (uncompressed != 0) break;
    // Only a cabinet's last block may be the first part of a split one.
    if (blocks_left_ != 0) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
  }

  bool ok;
  const bool stored = (folder_type_ & cab::kCompressMask) == cab::kCompressNone;
  if (stored) {
    ok = gathered == uncompressed;
    if (ok) std::memcpy(ctx_.output, ctx_.input, uncompressed);
  } else {
    ok = ctx_.decoder->DecodeBlock(ctx_.input, gathered, ctx_.output, uncompressed);
  }
  if (!ok) {
    const std::string where = " in folder " + std::to_string(folder_);
    ctx_.Fail(kErrorDecompressorFailure,
              stored ? "stored block of the wrong size" + where
                     : std::string(ctx_.decoder->FormatName()) + ": " +
                           cab::DecodeErrorText(ctx_.decoder->LastError()) + where);
    // The decoder's state is undefined now; the folder restarts if needed.
    folder_ = -1;
    return false;
  }
  block_start_ += block_size_;
  block_size_ = uncompressed;
  return true;
}

bool CopyRun::WriteFile(const FileEntry& entry, Handle out) {
  const unsigned folder_index = entry.folder == cab::kFolderContinuedToNext
                                    ? static_cast<unsigned>(header_.folder_count - 1)
                                    : entry.folder;
  const uint64_t begin = entry.folder_offset;
  const uint64_t end = begin + entry.size;
  // A file that lies before the cursor needs the folder decoded again from
  // its first block.
  if (folder_ != static_cast<int>(folder_index) || begin < block_start_) {
    if (!StartFolder(folder_index)) return false;
  }
  uint64_t at = begin;
  while (at < end) {
    if (at >= block_start_ + block_size_) {
      if (!NextBlock()) return false;
      continue;
    }
    const uint32_t skip = static_cast<uint32_t>(at - block_start_);
    uint64_t available = block_size_ - skip;
    const uint32_t count = static_cast<uint32_t>(end - at < available ? end - at : available);
    if (ctx_.write(out, ctx_.output + skip, count) != count) {
      ctx_.Fail(kErrorTargetFile);
      return false;
    }
    at += count;
  }
  return true;
}

bool CopyRun::Run(const std::string& folder, const char* name) {
  folder_path_ = folder;
  const std::string path = folder + name;
  if (path.size() > kMaxCabinetPath) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  ctx_.header_handle = ctx_.open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  if (ctx_.header_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  ctx_.data_handle = ctx_.open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  if (ctx_.data_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  if (!ReadHeader(ctx_.header_handle, &header_)) return false;
  cabinet_path_ = path;
  data_header_ = header_;

  {
    Notification n;
    n.name1 = header_.next_cabinet.c_str();
    n.name2 = header_.next_disk.c_str();
    n.name3 = folder_path_.c_str();
    n.setId = header_.set_id;
    n.cabinetIndex = header_.cabinet_index;
    if (Notify(kCabinetInfo, n) == -1) {
      ctx_.Fail(kErrorUserAbort);
      return false;
    }
  }

  uint32_t position = header_.files_offset;
  uint32_t remaining = header_.file_count;
  {
    Notification n;
    n.size = position;
    n.folderIndex = static_cast<uint16_t>(remaining);
    if (Notify(kEnumerate, n) == -1) {
      ctx_.Fail(kErrorUserAbort);
      return false;
    }
    // The callback may move the walk through the file table.
    if (n.size >= 0 && n.size <= 0xFFFFFFFF) position = static_cast<uint32_t>(n.size);
    remaining = n.folderIndex;
  }
  while (remaining > 0) {
    FileEntry entry;
    if (!ReadFileEntry(position, &entry)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    position += entry.entry_size;
    --remaining;
    if (!HandleEntry(entry)) return false;
  }
  Notification n;
  n.size = position;
  n.folderIndex = 0;
  if (Notify(kEnumerate, n) == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  return true;
}

bool CopyRun::HandleEntry(const FileEntry& e) {
  if (e.folder == cab::kFolderContinuedFromPrev || e.folder == cab::kFolderContinuedPrevAndNext) {
    Notification n;
    n.name1 = e.name;
    n.name2 = header_.prev_cabinet.c_str();
    n.name3 = header_.prev_disk.c_str();
    if (Notify(kPartialFile, n) == -1) {
      ctx_.Fail(kErrorUserAbort);
      return false;
    }
    return true;
  }
  if (e.folder == cab::kFolderContinuedToNext ? header_.folder_count == 0 : e.folder >= header_.folder_count)
    return true;  // no such folder: passed over without a word

  Notification n;
  n.name1 = e.name;
  n.size = e.size;
  n.date = e.date;
  n.time = e.time;
  n.attribs = e.attribs;
  n.folderIndex = e.folder;
  const intptr_t handle = Notify(kCopyFile, n);
  if (handle == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  if (handle == 0) return true;

  if (!WriteFile(e, handle)) {
    // The output would otherwise stay open; the caller never sees it again.
    ctx_.close(handle);
    return false;
  }

  Notification c;
  c.name1 = e.name;
  c.handle = handle;
  c.date = e.date;
  c.time = e.time;
  c.attribs = static_cast<uint16_t>(e.attribs & ~cab::kAttribExecute);
  c.size = (e.attribs & cab::kAttribExecute) ? 1 : 0;
  c.folderIndex = e.folder;
  const intptr_t result = Notify(kCloseFileInfo, c);
  if (result == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  if (result == 0) {
    ctx_.Fail(kErrorTargetFile);
    return false;
  }
  return true;
}

}  // namespace

Context* FDICreate(AllocFn alloc, FreeFn free, OpenFn open, ReadFn read, WriteFn write, CloseFn close,
                   SeekFn seek, int cpu_type, ErrorRecord* error) {
  if (error) *error = ErrorRecord();
  if (!alloc || !free || !open || !read || !write || !close || !seek) {
    if (error) {
      error->code = kErrorAllocFail;
      error->error = true;
    }
    return nullptr;
  }
  void* memory = alloc(sizeof(Context));
  uint8_t* input = memory ? static_cast<uint8_t*>(alloc(kInputBufferSize)) : nullptr;
  uint8_t* output = input ? static_cast<uint8_t*>(alloc(kOutputBufferSize)) : nullptr;
  if (!output) {
    if (input) free(input);
    if (memory) free(memory);
    if (error) {
      error->code = kErrorAllocFail;
      error->error = true;
    }
    return nullptr;
  }
  Context* ctx = new (memory) Context();
  ctx->alloc = alloc;
  ctx->free = free;
  ctx->open = open;
  ctx->read = read;
  ctx->write = write;
  ctx->close = close;
  ctx->seek = seek;
  ctx->cpu_type = cpu_type;
  ctx->error = error;
  ctx->input = input;
  ctx->output = output;
  return ctx;
}

bool FDICopy(Context* ctx, const char* cabinet_name, const char* cabinet_folder, int flags, NotifyFn notify,
             DecryptFn decrypt, void* user) {
  if (!ctx || !notify || !cabinet_name) return false;
  if (ctx->error) *ctx->error = ErrorRecord();
  bool ok = false;
  // The decoders' windows and the block buffers are checked allocations;
  // where exceptions are on (the host), any other failed allocation ends
  // the copy with the same error.
#if __cpp_exceptions
  try {
#endif
    CopyRun run(*ctx, notify, user);
    ok = run.Run(cabinet_folder ? cabinet_folder : "", cabinet_name);
#if __cpp_exceptions
  } catch (const std::bad_alloc&) {
    ctx->decoder.reset();
    ctx->has_decoder_type = false;
    ctx->Fail(kErrorAllocFail);
    ok = false;
  }
#endif
  ctx->CloseHandles();
  return ok;
}

bool FDIDestroy(Context* ctx) {
  if (!ctx) return false;
  ctx->CloseHandles();
  FreeFn free = ctx->free;
  free(ctx->input);
  free(ctx->output);
  ctx->~Context();
  free(ctx);
  return true;
}

const char* ErrorText(int32_t code) {
  switch (code) {
    case kErrorNone: return "no error";
    case kErrorCabinetNotFound: return "cabinet not found";
    case kErrorNotACabinet: return "not a cabinet";
    case kErrorUnknownCabinetVersion: return "unknown cabinet version";
    case kErrorCorruptCabinet: return "corrupt cabinet";
    case kErrorAllocFail: return "out of memory";
    case kErrorBadCompressionType: return "unknown compression type";
    case kErrorDecompressorFailure: return "decompression failed";
    case kErrorTargetFile: return "failure writing the target file";
    case kErrorReserveMismatch: return "reserve sizes differ between cabinets";
    case kErrorWrongCabinet: return "wrong cabinet";
    case kErrorUserAbort: return "aborted";
    default: return "unknown error";
  }
}

}  // namespace fdi
