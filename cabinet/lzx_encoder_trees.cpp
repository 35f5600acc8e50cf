#include "cabinet/lzx_encoder_trees.h"

#include "cabinet/huffman_encoder.h"

namespace cab {
namespace lzxenc {
namespace {

inline uint8_t Delta(uint8_t prev, uint8_t next) {
  return static_cast<uint8_t>((prev + 17 - next) % 17);
}

}  // namespace

void PretreeCoding::Plan(const uint8_t* prev, const uint8_t* next, size_t count) {
  ops_.clear();
  size_t i = 0;
  while (i < count) {
    const uint8_t value = next[i];
    size_t run = 1;
    while (i + run < count && next[i + run] == value) ++run;
    if (value == 0) {
      // Zeros: 20..51 with symbol 18, 4..19 with symbol 17.
      while (run >= 4) {
        size_t take;
        if (run >= 20) {
          take = run < 51 ? run : 51;
          ops_.push_back(Op{18, 5, static_cast<uint8_t>(take - 20), 0});
        } else {
          take = run;
          ops_.push_back(Op{17, 4, static_cast<uint8_t>(take - 4), 0});
        }
        i += take;
        run -= take;
      }
    } else {
      // Equal non-zero lengths: 4 or 5 at a time with symbol 19, whose value
      // is one delta against the previous length of the run's first entry.
      while (run >= 4) {
        size_t take = run < 5 ? run : 5;
        ops_.push_back(Op{19, 1, static_cast<uint8_t>(take - 4), Delta(prev[i], value)});
        i += take;
        run -= take;
      }
    }
    for (; run > 0; --run, ++i) ops_.push_back(Op{Delta(prev[i], next[i]), 0, 0, 0});
  }

  uint32_t freqs[kPretreeSize] = {};
  for (const Op& op : ops_) {
    ++freqs[op.symbol];
    if (op.symbol == 19) ++freqs[op.delta];
  }
  EnsureTwoSymbols(freqs, kPretreeSize);
  BuildHuffmanLengths(freqs, kPretreeSize, kPretreeMaxCodeLength, lengths_);
  BuildCanonicalCodes(lengths_, kPretreeSize, codes_);
  bits_ = 4 * kPretreeSize;
  for (const Op& op : ops_) {
    bits_ += lengths_[op.symbol] + op.extra_bits;
    if (op.symbol == 19) bits_ += lengths_[op.delta];
  }
}

void PretreeCoding::Write(LzxBitWriter& writer) const {
  for (unsigned i = 0; i < kPretreeSize; ++i) writer.Put(lengths_[i], 4);
  for (const Op& op : ops_) {
    writer.Put(codes_[op.symbol], lengths_[op.symbol]);
    if (op.extra_bits) writer.Put(op.extra, op.extra_bits);
    if (op.symbol == 19) writer.Put(codes_[op.delta], lengths_[op.delta]);
  }
}

}  // namespace lzxenc
}  // namespace cab
