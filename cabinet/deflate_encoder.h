// Deflate (RFC 1951) compressor for MSZIP folders. Each call compresses one
// CFDATA block into a complete deflate stream (its last block marked final);
// matches may reach back into the blocks compressed before, up to 32768
// bytes, because an MSZIP reader keeps that history across the folder's
// blocks. Each stream is the cheapest of stored, fixed-code and dynamic-code
// forms.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cabinet/match_finder.h"

namespace cab {

class DeflateEncoder {
 public:
  static constexpr size_t kMaxBlock = 32768;

  // Starts a new folder: no history.
  void Reset();
  // Appends the deflate stream for `size` bytes (1..kMaxBlock) to `out`.
  void CompressBlock(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

 private:
  struct Token {
    uint16_t length;    // 0 for a literal
    uint16_t value;     // literal byte, or distance - 1
  };
  void Parse(uint32_t start, uint32_t size);

  MatchFinder finder_;
  uint32_t pos_ = 0;
  std::vector<Token> tokens_;
  bool ready_ = false;
};

}  // namespace cab
