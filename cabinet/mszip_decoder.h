// MSZIP: every data block is the two bytes "CK" and a deflate stream
// (RFC 1951) that ends with a final block; the last 32768 bytes of output
// stay available to the matches of the folder's next block.
#pragma once

#include <cstdint>
#include <vector>

#include "cabinet/bit_reader.h"
#include "cabinet/decompressor.h"
#include "cabinet/huffman_table.h"

namespace cab {

class MszipDecoder : public Decompressor {
 public:
  static constexpr size_t kHistorySize = 32768;

  MszipDecoder();
  const char* FormatName() const override { return "MSZIP"; }
  bool Allocated() const override { return window_.allocated(); }
  void Reset() override;
  bool DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) override;

 private:
  bool ReadDynamicTables(LsbBitReader& reader);
  bool Inflate(LsbBitReader& reader, const HuffmanTable& literals, const HuffmanTable& distances);
  bool CopyStored(LsbBitReader& reader);

  // window_[0, kHistorySize) holds the history, the block being decoded
  // is written from kHistorySize on.
  WindowBuffer window_;
  size_t history_size_ = 0;  // valid history bytes, ending at kHistorySize
  size_t out_pos_ = 0;       // next write position in window_
  size_t out_limit_ = 0;     // kHistorySize + the block's announced size

  HuffmanTable fixed_literals_;
  HuffmanTable fixed_distances_;
  HuffmanTable literals_;
  HuffmanTable distances_;
  HuffmanTable code_lengths_;
};

}  // namespace cab
