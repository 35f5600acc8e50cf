// One folder's compressed stream for the cabinet writer: gathers the folder's
// bytes into 32768-byte frames, compresses each (stored, MSZIP or LZX) and
// hands every finished CFDATA block, header and data, to a sink in order. A
// single cabinet writes the blocks straight to its file; a set of cabinets
// decides at each block which cabinet it goes to.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "cabinet/deflate_encoder.h"
#include "cabinet/lzx_encoder.h"

namespace cab {

class CabFolderStream {
 public:
  // header: the block's CFDATA header (kDataHeaderSize bytes, checksum in
  // place); data: its compressed bytes. False stops the folder; the sink's
  // reason is then the caller's to keep.
  using BlockSink =
      std::function<bool(const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed)>;

  CabFolderStream(const CabFolderOptions& options, uint64_t folder_bytes, BlockSink sink)
      : options_(options), folder_bytes_(folder_bytes), sink_(std::move(sink)) {}

  bool Begin();
  bool Add(const uint8_t* data, size_t size);
  bool End();

  uint32_t blocks() const { return blocks_; }
  const std::string& error() const { return error_; }
  const LzxEncoderStats& lzx_stats() const { return lzx_.stats(); }

 private:
  bool CompressFrame();
  bool WriteBlock(const uint8_t* data, size_t size, uint32_t uncompressed);

  CabFolderOptions options_;
  uint64_t folder_bytes_;
  BlockSink sink_;
  std::vector<uint8_t> frame_;
  size_t fill_ = 0;
  std::vector<uint8_t> packed_;
  DeflateEncoder deflate_;
  LzxEncoder lzx_;
  uint32_t blocks_ = 0;
  std::string error_;
};

}  // namespace cab
