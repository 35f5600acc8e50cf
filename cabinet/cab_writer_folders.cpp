// CabWriter::WriteFolders: folders compressed several at once, written in
// folder order.
//
// Each folder is an independent compressed stream, so W compressors (W =
// the thread count, at most the folder count) each take the next folder not
// yet taken while the calling thread writes the blocks of the oldest folder
// not yet written as they come. A folder ahead of the one being written
// queues its blocks, at most kQueuedBlocksPerFolder of them (its compressor
// then waits), and at most W folders are taken before the oldest is written:
// queued blocks never hold more than W x kQueuedBlocksPerFolder blocks. The
// compressors' threads left over (threads / W) go to the LZX compressor
// inside each folder. Nothing about the bytes depends on which thread
// compressed what: each folder's stream depends only on its own files.
#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>

#include "base/task_runner.h"
#include "base/thread_primitives.h"
#include "cabinet/cab_format.h"
#include "cabinet/cab_writer.h"

namespace cab {
namespace {

void AddStats(const LzxEncoderStats& s, LzxEncoderStats* total) {
  total->frames += s.frames;
  total->verbatim_blocks += s.verbatim_blocks;
  total->aligned_blocks += s.aligned_blocks;
  total->uncompressed_blocks += s.uncompressed_blocks;
  total->literals += s.literals;
  total->matches += s.matches;
  total->repeat_matches += s.repeat_matches;
  total->compressed_bytes += s.compressed_bytes;
}

struct QueuedBlock {
  std::vector<uint8_t> bytes;  // CFDATA header, then the data
  uint32_t uncompressed = 0;
};

// One folder's blocks between its compressor and the writing thread. A
// slot serves folders i, i + W, i + 2W, ...: folder i + W is taken only
// after folder i is written, when both semaphores are back where they began.
struct FolderSlot {
  FolderSlot() : ready(0), room(static_cast<int>(CabWriter::kQueuedBlocksPerFolder)) {}
  base::Mutex mutex;
  std::deque<QueuedBlock> blocks;
  base::Semaphore ready;  // one release per queued block, one at the end
  base::Semaphore room;   // blocks the folder may still queue
  bool finished = false;
  bool ok = false;
  std::string error;
  LzxEncoderStats stats;
};

}  // namespace

class CabWriter::FolderPipeline {
 public:
  FolderPipeline(CabWriter& writer, const std::vector<Folder*>& folders, unsigned compressors, unsigned lzx_threads)
      : w_(writer), folders_(folders), lzx_threads_(lzx_threads), may_take_(static_cast<int>(compressors)) {
    for (unsigned i = 0; i < compressors; ++i) slots_.emplace_back(new FolderSlot);
  }

  bool Valid() const {
    if (!may_take_.Valid() || !next_mutex_.Valid()) return false;
    for (const auto& s : slots_)
      if (!s->mutex.Valid() || !s->ready.Valid() || !s->room.Valid()) return false;
    return true;
  }

  // Starts the compressors; false when no thread could be started (nothing
  // has run then).
  bool Start() {
    threads_.resize(slots_.size());
    for (auto& t : threads_) {
      t.reset(new base::Thread);
      if (!t->Start(&FolderPipeline::Compressor, this)) {
        t.reset();
        break;
      }
      ++started_;
    }
    if (started_ > 0) return true;
    threads_.clear();
    return false;
  }

  // Writes the folders' blocks in order; stops the compressors and waits for
  // them whatever happens.
  bool Write(const FolderHooks& hooks) {
    bool ok = true;
    for (size_t i = 0; ok && i < folders_.size(); ++i) {
      FolderSlot& slot = *slots_[i % slots_.size()];
      ok = hooks.begin(i);
      for (;;) {
        slot.ready.Acquire();
        QueuedBlock block;
        bool have = false;
        {
          base::MutexLock lock(slot.mutex);
          if (!slot.blocks.empty()) {
            block = std::move(slot.blocks.front());
            slot.blocks.pop_front();
            have = true;
          }
        }
        if (!have) break;  // the end: it is released after the last block
        slot.room.Release();
        if (ok)
          ok = hooks.block(block.bytes.data(), block.bytes.data() + kDataHeaderSize,
                           block.bytes.size() - kDataHeaderSize, block.uncompressed);
        if (!ok) cancel_ = true;  // the compressor's next block finds it
      }
      // The end has been seen: the compressor no longer touches the slot.
      if (ok && !slot.ok) {
        if (w_.error_.empty()) w_.error_ = slot.error;
        ok = false;
      }
      if (ok) {
        AddStats(slot.stats, &w_.lzx_stats_);
        ok = hooks.end(i);
      }
      slot.finished = false;
      slot.ok = false;
      slot.stats = LzxEncoderStats();
      if (!ok) break;
      may_take_.Release();
    }
    if (!ok) cancel_ = true;
    // Whatever waits is let go: a compressor waiting to take a folder, or
    // for room in a slot no one drains any more.
    for (unsigned i = 0; i < started_; ++i) may_take_.Release();
    for (auto& s : slots_) s->room.Release();
    for (auto& t : threads_)
      if (t) t->Join();
    if (!ok && w_.error_.empty()) w_.error_ = "the cabinet could not be written";
    return ok;
  }

 private:
  static void Compressor(void* self) { static_cast<FolderPipeline*>(self)->Compress(); }

  void Compress() {
    for (;;) {
      may_take_.Acquire();
      if (cancel_) return;
      size_t index;
      {
        base::MutexLock lock(next_mutex_);
        index = next_++;
      }
      if (index >= folders_.size()) {
        may_take_.Release();  // the others find the end too
        return;
      }
      FolderSlot& slot = *slots_[index % slots_.size()];
      auto sink = [&](const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed) {
        if (cancel_) return false;
        slot.room.Acquire();
        if (cancel_) return false;
        QueuedBlock block;
        block.bytes.reserve(kDataHeaderSize + size);
        block.bytes.assign(header, header + kDataHeaderSize);
        block.bytes.insert(block.bytes.end(), data, data + size);
        block.uncompressed = uncompressed;
        {
          base::MutexLock lock(slot.mutex);
          slot.blocks.push_back(std::move(block));
        }
        slot.ready.Release();
        return true;
      };
      std::string error;
      LzxEncoderStats stats;
      const bool ok = w_.CompressFolder(*folders_[index], lzx_threads_, sink, &error, &stats);
      {
        base::MutexLock lock(slot.mutex);
        slot.finished = true;
        slot.ok = ok;
        slot.error = error.empty() ? "the cabinet could not be written" : error;
        slot.stats = stats;
      }
      slot.ready.Release();
    }
  }

  CabWriter& w_;
  const std::vector<Folder*>& folders_;
  const unsigned lzx_threads_;
  std::vector<std::unique_ptr<FolderSlot>> slots_;
  std::vector<std::unique_ptr<base::Thread>> threads_;
  unsigned started_ = 0;
  base::Semaphore may_take_;  // folders that may be taken before the oldest is written
  base::Mutex next_mutex_;
  size_t next_ = 0;
  std::atomic<bool> cancel_{false};
};

bool CabWriter::WriteFolders(const std::vector<Folder*>& folders, const FolderHooks& hooks) {
  const unsigned threads = threads_ != 0 ? threads_ : base::ProcessorCount();
  const unsigned compressors = static_cast<unsigned>(std::min<size_t>(threads, folders.size()));
  const unsigned lzx_threads = std::max(1u, threads / std::max(1u, compressors));
  if (compressors > 1) {
    FolderPipeline pipeline(*this, folders, compressors, lzx_threads);
    if (pipeline.Valid() && pipeline.Start()) return pipeline.Write(hooks);
  }
  // One folder at a time on this thread, the blocks straight to the hooks.
  for (size_t i = 0; i < folders.size(); ++i) {
    std::string error;
    LzxEncoderStats stats;
    if (!hooks.begin(i)) return false;
    if (!CompressFolder(*folders[i], threads, hooks.block, &error, &stats)) {
      if (error_.empty()) error_ = error.empty() ? "the cabinet could not be written" : error;
      return false;
    }
    AddStats(stats, &lzx_stats_);
    if (!hooks.end(i)) return false;
  }
  return true;
}

}  // namespace cab
