// The encoder's own helpers on top of the LZX format (lzx_format.h): the slot
// of a formatted offset, the item form of a parsed frame, the statistics that
// size the Huffman trees, and the bit writer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "cabinet/lzx_format.h"

namespace cab {
namespace lzxenc {

// The format's constants, position slots and block types (lzx_format.h)
// are used here unqualified.
using namespace lzx;

inline unsigned SlotOf(uint32_t formatted) {
  if (formatted < 4) return formatted;
  if (formatted < 262144) {
    unsigned high = 31 - static_cast<unsigned>(__builtin_clz(formatted));
    return 2 * high + ((formatted >> (high - 1)) & 1);
  }
  return 36 + ((formatted - 262144) >> 17);
}

// One parsed element of a frame, packed in 32 bits: a literal is its byte
// above a zero length field; a match is its formatted offset above its length.
using Item = uint32_t;
inline Item LiteralItem(uint8_t byte) { return static_cast<uint32_t>(byte) << 9; }
inline Item MatchItem(uint32_t formatted, uint32_t length) { return (formatted << 9) | length; }
inline uint32_t ItemLength(Item item) { return item & 0x1FF; }  // 0 for a literal
inline uint32_t ItemValue(Item item) { return item >> 9; }       // byte or formatted offset

inline unsigned MainSymbolOf(unsigned slot, uint32_t length) {
  unsigned header = length - kMinMatch < kNumPrimaryLengths ? length - kMinMatch : kNumPrimaryLengths;
  return kNumChars + slot * 8 + header;
}

// R0..R2 after a match with this formatted offset, as the decoder keeps them.
inline void UpdateRepeats(uint32_t formatted, uint32_t repeats[kNumRepeats]) {
  if (formatted >= kNumRepeats) {
    repeats[2] = repeats[1];
    repeats[1] = repeats[0];
    repeats[0] = formatted - 2;
  } else if (formatted != 0) {
    uint32_t t = repeats[0];
    repeats[0] = repeats[formatted];
    repeats[formatted] = t;
  }
}

// A repeated offset whose value the parser does not know (a stretch of the
// stream parsed on its own starts with all three unknown): larger than any
// stream position, so it never matches.
constexpr uint32_t kUnknownRepeat = 0xFFFFFFFFu;

// Symbol counts of a run of items: what a block's trees are built from.
struct SymbolStats {
  uint32_t main[kMaxMainTreeSize];
  uint32_t length[kLengthTreeSize];
  uint32_t aligned[kAlignedTreeSize];
  uint64_t footer_bits;    // offset footer bits when sent verbatim
  uint32_t aligned_items;  // matches whose footer has an aligned part (>= 3 bits)

  void Clear() { std::memset(this, 0, sizeof *this); }
  void Add(const SymbolStats& o) {
    for (unsigned i = 0; i < kMaxMainTreeSize; ++i) main[i] += o.main[i];
    for (unsigned i = 0; i < kLengthTreeSize; ++i) length[i] += o.length[i];
    for (unsigned i = 0; i < kAlignedTreeSize; ++i) aligned[i] += o.aligned[i];
    footer_bits += o.footer_bits;
    aligned_items += o.aligned_items;
  }
  // Halves every count: older data weighs less in a running estimate.
  void Halve() {
    for (unsigned i = 0; i < kMaxMainTreeSize; ++i) main[i] >>= 1;
    for (unsigned i = 0; i < kLengthTreeSize; ++i) length[i] >>= 1;
    for (unsigned i = 0; i < kAlignedTreeSize; ++i) aligned[i] >>= 1;
    footer_bits >>= 1;
    aligned_items >>= 1;
  }
  void Count(Item item) {
    uint32_t len = ItemLength(item);
    if (len == 0) {
      ++main[ItemValue(item)];
      return;
    }
    uint32_t formatted = ItemValue(item);
    unsigned slot = SlotOf(formatted);
    ++main[MainSymbolOf(slot, len)];
    if (len - kMinMatch >= kNumPrimaryLengths) ++length[len - kMinMatch - kNumPrimaryLengths];
    if (formatted >= kNumRepeats) {
      unsigned extra = kSlots.extra[slot];
      footer_bits += extra;
      if (extra >= 3) {
        ++aligned_items;
        ++aligned[(formatted - kSlots.base[slot]) & 7];
      }
    }
  }
};

// The LZX bit stream: 16-bit little-endian words, each filled from its most
// significant bit.
class LzxBitWriter {
 public:
  explicit LzxBitWriter(std::vector<uint8_t>* out) : out_(out) {}
  // Sends the low `bits` bits of value (bits <= 16), high bit first. Bits
  // are held until two words are full, which halves the stores per symbol.
  void Put(uint32_t value, unsigned bits) {
    acc_ = (acc_ << bits) | value;
    count_ += bits;
    if (count_ >= 32) {
      count_ -= 32;
      const uint32_t words = static_cast<uint32_t>(acc_ >> count_);
      const size_t at = out_->size();
      out_->resize(at + 4);
      uint8_t* p = out_->data() + at;
      p[0] = static_cast<uint8_t>(words >> 16);
      p[1] = static_cast<uint8_t>(words >> 24);
      p[2] = static_cast<uint8_t>(words);
      p[3] = static_cast<uint8_t>(words >> 8);
      acc_ &= (uint64_t(1) << count_) - 1;
    }
  }
  void PutLong(uint32_t value, unsigned bits) {  // bits <= 32
    if (bits > 16) {
      Put(value >> 16, bits - 16);
      Put(value & 0xFFFF, 16);
    } else {
      Put(value, bits);
    }
  }
  // Bits of the word being filled (0..15).
  unsigned pending_bits() const { return count_ % 16; }
  // Pads with zero bits to the next 16-bit boundary and stores every bit
  // held, so that bytes may follow in out().
  void Align() {
    if (count_ % 16 != 0) Put(0, 16 - count_ % 16);
    if (count_ == 16) {
      const uint32_t word = static_cast<uint32_t>(acc_);
      out_->push_back(static_cast<uint8_t>(word));
      out_->push_back(static_cast<uint8_t>(word >> 8));
      acc_ = 0;
      count_ = 0;
    }
  }
  std::vector<uint8_t>* out() { return out_; }

 private:
  std::vector<uint8_t>* out_;
  uint64_t acc_ = 0;
  unsigned count_ = 0;  // bits held, 0..31 between calls
};

}  // namespace lzxenc
}  // namespace cab
