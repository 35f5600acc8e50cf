// The cabinet engine behind fdi.h: header and file-table parsing, the
// folder cursor that decodes a folder's data blocks in order, and the copy
// loop that hands every file entry to the caller.
//
// Decoding runs ahead of the writes: while the caller writes one file, a
// second thread reads the folder's data in large pieces and decodes the
// next blocks into a few large buffers (slots), handed over in folder order
// through two semaphores, so memory stays bounded whatever the cabinet's
// size. Everything the caller sees still happens on the caller's thread and
// in the same order: a failure found ahead (a bad checksum, a decoding
// error) is reported when the writes reach the block it was found in, after
// every file before it was written and closed. The caller's callbacks are
// never called at the same time: each call goes through the context's gate.
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "cabinet/byte_order.h"
#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"
#include "cabinet/decompressor.h"
#include "cabinet/fdi.h"
#include "base/thread_primitives.h"

namespace fdi {
namespace {

// A data block's compressed bytes may exceed 32768 by the decoders'
// worst-case growth (6144 for LZX, 10240 for Quantum).
constexpr uint32_t kInputBufferSize = cab::kMaxBlockUncompressed + 10240;
constexpr uint32_t kOutputBufferSize = cab::kMaxBlockUncompressed;
constexpr size_t kMaxCabinetPath = 256;
constexpr Handle kNoHandle = -1;

// Read-ahead: slots of decoded output, and the piece of the cabinet read at
// once. Three slots let the decoder fill two while the caller writes from
// the third.
constexpr uint32_t kSlotBytes = 32 * cab::kMaxBlockUncompressed;
constexpr unsigned kSlotCount = 3;
constexpr uint32_t kRawWindowBytes = 1024 * 1024;

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
    if (header_handle != kNoHandle) Close(header_handle);
    if (data_handle != kNoHandle) Close(data_handle);
    header_handle = data_handle = kNoHandle;
  }

  // The callbacks, one at a time whichever thread calls them.
  base::Mutex gate;
  Handle Open(const char* path, int flags, int permission) {
    base::MutexLock lock(gate);
    return open(path, flags, permission);
  }
  uint32_t Read(Handle h, void* buffer, uint32_t count) {
    base::MutexLock lock(gate);
    return read(h, buffer, count);
  }
  uint32_t Write(Handle h, const void* buffer, uint32_t count) {
    base::MutexLock lock(gate);
    return write(h, buffer, count);
  }
  int Close(Handle h) {
    base::MutexLock lock(gate);
    return close(h);
  }
  int64_t Seek(Handle h, int64_t distance, int origin) {
    base::MutexLock lock(gate);
    return seek(h, distance, origin);
  }
  // Seek and read as one step: nothing else moves the handle in between.
  bool ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size, uint32_t* got) {
    base::MutexLock lock(gate);
    if (seek(h, offset, kSeekStart) != static_cast<int64_t>(offset)) return false;
    *got = size == 0 ? 0 : read(h, buffer, size);
    return *got != 0xFFFFFFFFu;
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

// Why a data block could not be had. folder_lost: the decoder's state is
// undefined, so the folder must start over before it is read again.
struct BlockFailure {
  int32_t code = kErrorNone;  // kErrorNone: already reported
  std::string detail;
  bool folder_lost = false;
};

enum class BlockResult {
  kDecoded,
  kFailed,
  kOtherCabinet,  // the folder goes on in the next cabinet (read-ahead stops there)
};

// A piece of the cabinet's data read at once by the read-ahead thread:
// cabinet bytes [offset, offset + size).
struct RawWindow {
  uint8_t* data = nullptr;
  uint32_t offset = 0;
  uint32_t size = 0;
};

// One buffer of decoded folder bytes [start, start + size). end says
// whether more slots follow (kDecoded) or why the decoding stopped after
// this slot's bytes.
struct Slot {
  uint8_t* data = nullptr;
  uint64_t start = 0;
  uint32_t size = 0;
  BlockResult end = BlockResult::kDecoded;
  BlockFailure failure;
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
  ~CopyRun() { StopReadAhead(); }

  bool Run(const std::string& folder, const char* name);

 private:
  // The read-ahead of one folder: the thread, its slots and hand-over.
  struct ReadAhead {
    explicit ReadAhead(Context& c) : ctx(c) {}
    ~ReadAhead() {
      for (Slot& s : slots)
        if (s.data) ctx.free(s.data);
      if (raw.data) ctx.free(raw.data);
    }
    Context& ctx;
    base::Thread thread;
    base::Semaphore free_slots{kSlotCount};
    base::Semaphore filled_slots{0};
    std::atomic<bool> stop{false};
    Slot slots[kSlotCount];
    RawWindow raw;
    uint64_t position = 0;   // the decoding thread's place in the folder
    unsigned produce = 0;    // next slot the thread fills
    unsigned consume = 0;    // slot the caller's thread reads
    bool holding = false;    // the caller's thread holds slots[consume]
  };
  static void DecodeAheadThread(void* run) { static_cast<CopyRun*>(run)->DecodeAhead(); }
  void StartReadAhead();
  void StopReadAhead();
  void DecodeAhead();
  bool ReportBlockFailure(const BlockFailure& failure);
  // The next decoded bytes of the folder into the view (view_, block_start_,
  // block_size_), from the read-ahead when it runs.
  bool NextData();

  bool ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size);
  // ReadAt on the data handle, through the raw window when one is given.
  bool ReadData(RawWindow* raw, uint32_t offset, void* buffer, uint32_t size);
  // Reads a zero-terminated string of at most 255 characters at *offset.
  bool ReadString(Handle h, uint32_t* offset, std::string* out);
  bool ReadHeader(Handle h, CabinetHeader* header);
  bool ReadFileEntry(uint32_t offset, FileEntry* entry);
  intptr_t Notify(NotificationType type, Notification& n) {
    n.user = user_;
    base::MutexLock lock(ctx_.gate);
    return notify_(type, &n);
  }

  bool HandleEntry(const FileEntry& entry);
  bool StartFolder(unsigned index);
  bool OpenNextCabinet();
  // Reads and decodes the folder's next data block into output. may_span:
  // the block may continue in the next cabinet (only the caller's thread
  // opens it); otherwise the cursor stays before such a block.
  BlockResult DecodeNextBlock(uint8_t* output, uint32_t* size, bool may_span, RawWindow* raw,
                              BlockFailure* failure);
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

  // Folder cursor: view_ holds folder bytes [block_start_, block_start_ +
  // block_size_), in ctx_.output or a read-ahead slot. While the read-ahead
  // runs, its thread alone moves the block cursor (next_block_offset_,
  // blocks_left_, the decoder, ctx_.input).
  std::unique_ptr<ReadAhead> ahead_;
  const uint8_t* view_ = nullptr;
  int folder_ = -1;
  uint16_t folder_type_ = 0;
  uint32_t next_block_offset_ = 0;
  uint32_t blocks_left_ = 0;
  uint64_t block_start_ = 0;
  uint32_t block_size_ = 0;
};

bool CopyRun::ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size) {
  uint32_t got = 0;
  return ctx_.ReadAt(h, offset, buffer, size, &got) && got == size;
}

bool CopyRun::ReadData(RawWindow* raw, uint32_t offset, void* buffer, uint32_t size) {
  if (!raw) return ReadAt(ctx_.data_handle, offset, buffer, size);
  const uint64_t end = uint64_t{offset} + size;
  if (offset < raw->offset || end > uint64_t{raw->offset} + raw->size) {
    // One large read from here on; a short one only at the end of the file.
    uint32_t got = 0;
    raw->offset = offset;
    raw->size = 0;
    if (!ctx_.ReadAt(ctx_.data_handle, offset, raw->data, kRawWindowBytes, &got) || got > kRawWindowBytes)
      return false;
    raw->size = got;
    if (end > uint64_t{offset} + got) return false;
  }
  std::memcpy(buffer, raw->data + (offset - raw->offset), size);
  return true;
}

bool CopyRun::ReadString(Handle h, uint32_t* offset, std::string* out) {
  char buffer[cab::kMaxNameLength + 1];
  if (ctx_.Seek(h, *offset, kSeekStart) != static_cast<int64_t>(*offset)) return false;
  uint32_t got = ctx_.Read(h, buffer, sizeof buffer);
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
  if (ctx_.Seek(ctx_.header_handle, offset, kSeekStart) != static_cast<int64_t>(offset)) return false;
  uint32_t got = ctx_.Read(ctx_.header_handle, raw, sizeof raw);
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
  StopReadAhead();
  if (data_elsewhere_) {
    // The previous folder ran on into a following cabinet; this one's data
    // is in the first cabinet again.
    if (ctx_.data_handle != kNoHandle) ctx_.Close(ctx_.data_handle);
    ctx_.data_handle = ctx_.Open(cabinet_path_.c_str(), kOpenBinary | kOpenReadOnly, 0);
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
  view_ = ctx_.output;
  StartReadAhead();
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
  if (ctx_.data_handle != kNoHandle) ctx_.Close(ctx_.data_handle);
  ctx_.data_handle = path.size() > kMaxCabinetPath ? kNoHandle
                                                  : ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
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

// A block split between two cabinets comes as a part with no uncompressed
// size at the end of one and the rest at the start of the next; the parts
// are joined before decoding.
BlockResult CopyRun::DecodeNextBlock(uint8_t* output, uint32_t* size, bool may_span, RawWindow* raw,
                                     BlockFailure* failure) {
  const uint32_t first_block_offset = next_block_offset_;
  const uint32_t first_blocks_left = blocks_left_;
  uint32_t gathered = 0;
  uint16_t uncompressed = 0;
  for (;;) {
    if (blocks_left_ == 0) {
      if (!may_span) {
        next_block_offset_ = first_block_offset;
        blocks_left_ = first_blocks_left;
        return BlockResult::kOtherCabinet;
      }
      if (!OpenNextCabinet()) return BlockResult::kFailed;
      continue;
    }
    uint8_t head[cab::kDataHeaderSize];
    if (!ReadData(raw, next_block_offset_, head, sizeof head)) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
    const uint32_t checksum = Load32(head);
    const uint16_t compressed = Load16(head + 4);
    uncompressed = Load16(head + 6);
    if (compressed > kInputBufferSize - gathered || uncompressed > kOutputBufferSize) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
    const uint64_t data_offset = uint64_t{next_block_offset_} + cab::kDataHeaderSize + data_header_.data_reserve;
    uint8_t* part = ctx_.input + gathered;
    if (data_offset + compressed > 0xFFFFFFFFu ||
        !ReadData(raw, static_cast<uint32_t>(data_offset), part, compressed)) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
    if (checksum != 0 && cab::DataBlockChecksum(part, compressed, uncompressed) != checksum) {
      failure->code = kErrorCorruptCabinet;
      failure->detail = "bad block checksum in folder " + std::to_string(folder_);
      return BlockResult::kFailed;
    }
    next_block_offset_ = static_cast<uint32_t>(data_offset + compressed);
    --blocks_left_;
    gathered += compressed;
    if (uncompressed != 0) break;
    // Only a cabinet's last block may be the first part of a split one.
    if (blocks_left_ != 0) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
  }

  bool ok;
  const bool stored = (folder_type_ & cab::kCompressMask) == cab::kCompressNone;
  if (stored) {
    ok = gathered == uncompressed;
    if (ok) std::memcpy(output, ctx_.input, uncompressed);
  } else {
    ok = ctx_.decoder->DecodeBlock(ctx_.input, gathered, output, uncompressed);
  }
  if (!ok) {
    const std::string where = " in folder " + std::to_string(folder_);
    failure->code = kErrorDecompressorFailure;
    failure->detail = stored ? "stored block of the wrong size" + where
                             : std::string(ctx_.decoder->FormatName()) + ": " +
                                   cab::DecodeErrorText(ctx_.decoder->LastError()) + where;
    // The decoder's state is undefined now; the folder restarts if needed.
    failure->folder_lost = true;
    return BlockResult::kFailed;
  }
  *size = uncompressed;
  return BlockResult::kDecoded;
}

bool CopyRun::ReportBlockFailure(const BlockFailure& failure) {
  if (failure.code != kErrorNone) ctx_.Fail(failure.code, failure.detail);
  if (failure.folder_lost) folder_ = -1;
  if (failure.code == kErrorAllocFail) {
    ctx_.decoder.reset();
    ctx_.has_decoder_type = false;
  }
  return false;
}

// Starts decoding the folder ahead from the cursor, when a thread, its
// buffers and the gate can be had; otherwise the folder is decoded on the
// caller's thread as its data is needed.
void CopyRun::StartReadAhead() {
  if (!ctx_.gate.Valid()) return;
  std::unique_ptr<ReadAhead> ahead(new (std::nothrow) ReadAhead(ctx_));
  if (!ahead || !ahead->free_slots.Valid() || !ahead->filled_slots.Valid()) return;
  for (Slot& slot : ahead->slots) {
    slot.data = static_cast<uint8_t*>(ctx_.alloc(kSlotBytes));
    if (!slot.data) return;
  }
  ahead->raw.data = static_cast<uint8_t*>(ctx_.alloc(kRawWindowBytes));
  if (!ahead->raw.data) return;
  ahead->position = block_start_ + block_size_;
  ahead_ = std::move(ahead);
  if (!ahead_->thread.Start(DecodeAheadThread, this)) ahead_.reset();
}

// Ends the read-ahead wherever it is. The block cursor is then somewhere
// ahead of the view: the folder must start over before it is read again.
void CopyRun::StopReadAhead() {
  if (!ahead_) return;
  ahead_->stop = true;
  ahead_->free_slots.Release();  // wakes the thread if it waits for a slot
  ahead_->thread.Join();
  ahead_.reset();
  folder_ = -1;
}

// The read-ahead thread: fills slot after slot until the folder's blocks in
// this cabinet are all decoded, a block fails, or it is told to stop.
void CopyRun::DecodeAhead() {
  ReadAhead& a = *ahead_;
  for (;;) {
    a.free_slots.Acquire();
    if (a.stop) return;
    Slot& slot = a.slots[a.produce];
    a.produce = (a.produce + 1) % kSlotCount;
    slot.start = a.position;
    slot.size = 0;
    slot.end = BlockResult::kDecoded;
    slot.failure = BlockFailure();
    while (slot.size + cab::kMaxBlockUncompressed <= kSlotBytes && !a.stop) {
      uint32_t size = 0;
      BlockResult result;
      // As in FDICopy: where exceptions are on, a failed allocation on this
      // thread becomes the block's failure instead of ending the program.
#if __cpp_exceptions
      try {
#endif
        result = DecodeNextBlock(slot.data + slot.size, &size, false, &a.raw, &slot.failure);
#if __cpp_exceptions
      } catch (const std::bad_alloc&) {
        slot.failure.code = kErrorAllocFail;
        slot.failure.folder_lost = true;
        result = BlockResult::kFailed;
      }
#endif
      if (result != BlockResult::kDecoded) {
        slot.end = result;
        break;
      }
      slot.size += size;
    }
    a.position += slot.size;
    const bool last = slot.end != BlockResult::kDecoded;
    a.filled_slots.Release();
    if (last) return;
  }
}

bool CopyRun::NextData() {
  if (ahead_) {
    ReadAhead& a = *ahead_;
    for (;;) {
      if (a.holding) {
        Slot& held = a.slots[a.consume];
        if (held.end != BlockResult::kDecoded) {
          // The thread has ended after this slot; the block cursor stands
          // where its decoding stopped.
          const BlockResult end = held.end;
          const BlockFailure failure = held.failure;
          a.thread.Join();
          ahead_.reset();
          if (end == BlockResult::kFailed) return ReportBlockFailure(failure);
          break;  // the folder goes on in the next cabinet: read here
        }
        a.consume = (a.consume + 1) % kSlotCount;
        a.holding = false;
        a.free_slots.Release();
      }
      a.filled_slots.Acquire();
      a.holding = true;
      const Slot& slot = a.slots[a.consume];
      if (slot.size > 0) {
        view_ = slot.data;
        block_start_ = slot.start;
        block_size_ = slot.size;
        return true;
      }
    }
  }
  uint32_t size = 0;
  BlockFailure failure;
  if (DecodeNextBlock(ctx_.output, &size, true, nullptr, &failure) != BlockResult::kDecoded)
    return ReportBlockFailure(failure);
  view_ = ctx_.output;
  block_start_ += block_size_;
  block_size_ = size;
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
      if (!NextData()) return false;
      continue;
    }
    const uint32_t skip = static_cast<uint32_t>(at - block_start_);
    uint64_t available = block_size_ - skip;
    const uint32_t count = static_cast<uint32_t>(end - at < available ? end - at : available);
    if (ctx_.Write(out, view_ + skip, count) != count) {
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
  ctx_.header_handle = ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  if (ctx_.header_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  ctx_.data_handle = ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
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
    ctx_.Close(handle);
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
