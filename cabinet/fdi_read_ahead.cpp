// Decoding runs ahead of the writes: while the caller writes one file, a
// second thread reads the folder's data in large pieces and decodes the
// next blocks into a few large buffers (slots), handed over in folder order
// through two semaphores, so memory stays bounded whatever the cabinet's
// size. Everything the caller sees still happens on the caller's thread and
// in the same order: a failure found ahead (a bad checksum, a decoding
// error) is reported when the writes reach the block it was found in, after
// every file before it was written and closed. The caller's callbacks are
// never called at the same time: each call goes through the context's gate.
#include "cabinet/fdi_copy_run.h"

#include <new>

namespace fdi {
namespace engine {

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

}  // namespace engine
}  // namespace fdi
