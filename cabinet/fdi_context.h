// The engine context behind fdi.h's opaque handle: the caller's callbacks,
// called one at a time through the gate whichever thread calls them, the
// two handles on the cabinet, the block buffers and the current decoder.
// Shared by the files of the engine; nothing outside cabinet/fdi_* includes
// it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/thread_primitives.h"
#include "cabinet/cab_format.h"
#include "cabinet/decompressor.h"
#include "cabinet/fdi.h"

namespace fdi {
namespace engine {

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

}  // namespace engine

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
  void* user = nullptr;  // of the current (or last) FDICopy call, for the file callbacks

  Handle header_handle = engine::kNoHandle;
  Handle data_handle = engine::kNoHandle;
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
    if (header_handle != engine::kNoHandle) Close(header_handle);
    if (data_handle != engine::kNoHandle) Close(data_handle);
    header_handle = data_handle = engine::kNoHandle;
  }

  // The callbacks, one at a time whichever thread calls them.
  base::Mutex gate;
  Handle Open(const char* path, int flags, int permission) {
    base::MutexLock lock(gate);
    return open(user, path, flags, permission);
  }
  uint32_t Read(Handle h, void* buffer, uint32_t count) {
    base::MutexLock lock(gate);
    return read(user, h, buffer, count);
  }
  uint32_t Write(Handle h, const void* buffer, uint32_t count) {
    base::MutexLock lock(gate);
    return write(user, h, buffer, count);
  }
  int Close(Handle h) {
    base::MutexLock lock(gate);
    return close(user, h);
  }
  int64_t Seek(Handle h, int64_t distance, int origin) {
    base::MutexLock lock(gate);
    return seek(user, h, distance, origin);
  }
  // Seek and read as one step: nothing else moves the handle in between.
  bool ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size, uint32_t* got) {
    base::MutexLock lock(gate);
    if (seek(user, h, offset, kSeekStart) != static_cast<int64_t>(offset)) return false;
    *got = size == 0 ? 0 : read(user, h, buffer, size);
    return *got != 0xFFFFFFFFu;
  }
};

}  // namespace fdi
