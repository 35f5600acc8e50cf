// LZX as used in cabinets: a window of 2^15 to 2^21 bytes, verbatim,
// aligned-offset and uncompressed blocks, and the Intel E8 call translation.
//
// Each cabinet data block carries one frame of (at most) 32768 output bytes;
// the bit stream restarts at every data block while the LZX block state
// (current block, trees, repeated offsets, window) runs on across them.
#pragma once

#include <cstdint>
#include <vector>

#include "cabinet/bit_reader.h"
#include "cabinet/decompressor.h"
#include "cabinet/huffman_table.h"

namespace cab {

class LzxDecoder : public Decompressor {
 public:
  static constexpr unsigned kMinWindowBits = 15;
  static constexpr unsigned kMaxWindowBits = 21;

  explicit LzxDecoder(unsigned window_bits);
  void Reset() override;
  bool DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) override;

 private:
  enum BlockType { kNoBlock = 0, kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

  bool ReadBlockHeader();
  bool ReadLengths(uint8_t* lengths, unsigned first, unsigned last);
  bool DecodeSymbols(size_t frame_end);
  bool CopyUncompressed(size_t frame_end);
  void TranslateCalls(uint8_t* data, size_t size) const;

  const uint32_t window_size_;
  // The buffer holds at least two frames, so that a frame is still whole
  // when a match that ends it runs over into the next one.
  const uint32_t buffer_size_;
  const uint32_t buffer_mask_;
  const unsigned main_symbols_;
  std::vector<uint8_t> window_;

  WordBitReader reader_;

  // Folder state.
  bool header_read_ = false;
  bool translation_on_ = false;
  uint32_t translation_size_ = 0;
  uint64_t produced_ = 0;    // bytes decoded in this folder (window position, unmasked)
  uint64_t delivered_ = 0;   // bytes handed out in frames
  uint32_t frames_ = 0;      // frames handed out
  BlockType block_type_ = kNoBlock;
  uint32_t block_remaining_ = 0;
  bool odd_block_ = false;   // the current uncompressed block has odd length
  size_t raw_pos_ = 0;       // next raw byte of an uncompressed block in the input
  uint32_t repeated_[3] = {1, 1, 1};

  uint8_t main_lengths_[256 + 50 * 8];
  uint8_t length_lengths_[249];
  uint8_t aligned_lengths_[8];
  HuffmanTable main_tree_;
  HuffmanTable length_tree_;
  HuffmanTable aligned_tree_;
  HuffmanTable pretree_;
};

}  // namespace cab
