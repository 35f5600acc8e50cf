// LZX as used in cabinets: a window of 2^15 to 2^21 bytes, verbatim,
// aligned-offset and uncompressed blocks, and the Intel E8 call translation.
//
// Each cabinet data block carries one frame of (at most) 32768 output bytes;
// the bit stream restarts at every data block while the LZX block state
// (current block, trees, repeated offsets, window) runs on across them.
//
// Nearly every symbol is decoded by a fast loop that needs no bounds checks
// (enough input, block and window are known to remain) and copies matches
// in whole words; a careful loop, checking everything, decodes the last
// symbols of each input, block and window. Both report damage the same way.
#pragma once

#include <cstdint>
#include <vector>

#include "cabinet/bit_reader.h"
#include "cabinet/decompressor.h"
#include "cabinet/huffman_table.h"
#include "cabinet/lzx_format.h"

namespace cab {

class LzxDecoder : public Decompressor {
 public:
  static constexpr unsigned kMinWindowBits = lzx::kMinWindowBits;
  static constexpr unsigned kMaxWindowBits = lzx::kMaxWindowBits;

  explicit LzxDecoder(unsigned window_bits);
  const char* FormatName() const override { return "LZX"; }
  void Reset() override;
  bool DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) override;

 private:
  bool ReadBlockHeader();
  bool ReadLengths(uint8_t* lengths, unsigned first, unsigned last);
  bool DecodeSymbols(uint64_t frame_end);
  bool DecodeSymbolsFast(uint64_t frame_end);
  template <bool kAligned>
  bool DecodeSymbolsFast(uint64_t frame_end);
  void CopyMatch(uint32_t dst, uint32_t offset, uint32_t length);
  bool CopyUncompressed(uint64_t frame_end);

  const uint32_t window_size_;
  // The buffer holds at least two frames, so that a frame is still whole
  // when a match that ends it runs over into the next one. window_ has
  // kWindowSlack bytes more, which the fast loop's wide copies may spill
  // into.
  const uint32_t buffer_size_;
  const uint32_t buffer_mask_;
  const unsigned main_symbols_;
  std::vector<uint8_t> window_;
  std::vector<uint8_t> swapped_input_;  // the block with its words byte-swapped

  WordBitReader reader_;

  // Folder state.
  bool header_read_ = false;
  bool translation_on_ = false;
  uint32_t translation_size_ = 0;
  uint64_t produced_ = 0;    // bytes decoded in this folder (window position, unmasked)
  uint64_t delivered_ = 0;   // bytes handed out in frames
  uint32_t frames_ = 0;      // frames handed out
  lzx::BlockType block_type_ = lzx::kBlockNone;
  uint32_t block_remaining_ = 0;
  bool odd_block_ = false;   // the current uncompressed block has odd length
  size_t raw_pos_ = 0;       // next raw byte of an uncompressed block in the input
  uint32_t repeated_[3] = {1, 1, 1};

  uint8_t main_lengths_[lzx::kMaxMainTreeSize];
  uint8_t length_lengths_[lzx::kLengthTreeSize];
  uint8_t aligned_lengths_[lzx::kAlignedTreeSize];
  HuffmanTable main_tree_;
  HuffmanTable length_tree_;
  HuffmanTable aligned_tree_;
  HuffmanTable pretree_;
};

}  // namespace cab
