// The interface every folder decoder (MSZIP, Quantum, LZX) offers the
// cabinet engine: one call per data block, state carried from block to block
// within a folder, Reset() at the start of each folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace cab {

class Decompressor {
 public:
  virtual ~Decompressor() = default;

  // Forgets all history; the next block is the first of a folder.
  virtual void Reset() = 0;

  // Decodes one data block of in_size bytes into exactly out_size bytes
  // (at most 32768). False when the block is damaged or does not yield
  // out_size bytes; the folder must then be Reset() before further use.
  virtual bool DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) = 0;
};

// A decoder for a folder's compression type (CFFOLDER.typeCompress), or
// null when the type or its window size is not supported. Stored folders
// (type 0) need no decoder and also give null.
std::unique_ptr<Decompressor> CreateDecompressor(uint16_t compression_type);

}  // namespace cab
