// Canonical Huffman decoding tables, shared by the deflate and LZX decoders.
//
// A table is built from the code length of every symbol (0 = unused) and is
// looked up with the next bits of the stream as the reader peeks them: codes
// of up to root_bits bits resolve in one lookup, longer codes through a
// second-level table that the root entry points to. The bit order of the
// stream (deflate's least-significant-first or LZX's most-significant-first)
// is fixed per reader type, so one builder serves both.
//
// Incomplete codes are accepted (unused bit patterns decode as an error);
// over-subscribed codes are rejected by Build().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cab {

class HuffmanTable {
 public:
  static constexpr unsigned kMaxCodeLength = 16;

  // root_bits: index width of the first-level table (1..kMaxCodeLength).
  HuffmanTable(unsigned max_symbols, unsigned root_bits);

  // lengths[count]: code length per symbol. lsb_first: bit order of the
  // reader that will decode with this table. False for an over-subscribed
  // code or a length above kMaxCodeLength.
  bool Build(const uint8_t* lengths, unsigned count, bool lsb_first);

  // True when no symbol has a code (every lookup fails).
  bool Empty() const { return empty_; }

  // Decodes one symbol; -1 for a bit pattern that is no code. The reader
  // must hold at least kMaxCodeLength bits (call Refill() first).
  template <class Reader>
  int Decode(Reader& reader) const {
    const Entry& e = entries_[reader.Peek(root_bits_)];
    if (e.length != 0) {
      reader.Drop(e.length);
      return static_cast<int>(e.value);
    }
    if (e.sub_bits == 0) return -1;
    uint32_t peeked = reader.Peek(root_bits_ + e.sub_bits);
    uint32_t index = Reader::kLsbFirst ? (peeked >> root_bits_)
                                       : (peeked & ((1u << e.sub_bits) - 1));
    const Entry& s = entries_[e.value + index];
    if (s.length == 0) return -1;
    reader.Drop(s.length);
    return static_cast<int>(s.value);
  }

 private:
  // A symbol (length != 0: its full code length), a link to a second-level
  // table (length 0, sub_bits != 0, value = its first entry) or no code
  // (both 0).
  struct Entry {
    uint32_t value = 0;
    uint8_t length = 0;
    uint8_t sub_bits = 0;
  };

  void Fill(uint32_t table_start, unsigned table_bits, uint32_t code, unsigned code_bits,
            const Entry& entry, bool lsb_first);

  unsigned max_symbols_;
  unsigned root_bits_;
  bool empty_ = true;
  std::vector<Entry> entries_;
  std::vector<uint16_t> sorted_;  // symbols in canonical order, scratch
};

}  // namespace cab
