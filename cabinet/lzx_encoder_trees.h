// Sending a tree's code lengths in an LZX block header: each range of lengths
// is coded against the lengths of the previous block (delta modulo 17), with
// run-length symbols, through a small Huffman code of its own, the pretree.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cabinet/lzx_encoder_format.h"

namespace cab {
namespace lzxenc {

class PretreeCoding {
 public:
  // Works out the symbols that turn prev[0..count) into next[0..count) and
  // the pretree that codes them.
  void Plan(const uint8_t* prev, const uint8_t* next, size_t count);
  // Size of the coded range in bits, the 20 pretree lengths included.
  uint32_t bits() const { return bits_; }
  void Write(LzxBitWriter& writer) const;

 private:
  struct Op {
    uint8_t symbol;      // 0..16 delta, 17/18 zero runs, 19 same-value run
    uint8_t extra_bits;  // run length field size
    uint8_t extra;       // run length field
    uint8_t delta;       // for symbol 19: the delta symbol of the run's value
  };
  std::vector<Op> ops_;
  uint8_t lengths_[kPretreeSize] = {};
  uint16_t codes_[kPretreeSize] = {};
  uint32_t bits_ = 0;
};

}  // namespace lzxenc
}  // namespace cab
