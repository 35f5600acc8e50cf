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

  // The table as a decoding loop wants it: a pointer and a width that it
  // can keep in registers while it stores output bytes (a byte store may
  // alias any member, a local copy cannot).
  struct Lookup {
    const uint32_t* entries;
    unsigned root_bits;

    // Decodes one symbol; -1 for a bit pattern that is no code. The reader
    // must hold at least kMaxCodeLength bits (call Refill() first).
    template <class Reader>
    int Decode(Reader& reader) const {
      const uint32_t e = entries[reader.Peek(root_bits)];
      if (EntryLength(e) != 0) {
        reader.Drop(EntryLength(e));
        return static_cast<int>(EntryValue(e));
      }
      const unsigned sub_bits = EntrySubBits(e);
      if (sub_bits == 0) return -1;
      const uint32_t peeked = reader.Peek(root_bits + sub_bits);
      const uint32_t index = Reader::kLsbFirst ? (peeked >> root_bits) : (peeked & ((1u << sub_bits) - 1));
      const uint32_t s = entries[EntryValue(e) + index];
      if (EntryLength(s) == 0) return -1;
      reader.Drop(EntryLength(s));
      return static_cast<int>(EntryValue(s));
    }
  };
  Lookup GetLookup() const { return Lookup{entries_.data(), root_bits_}; }
  // For a decoder that knows the root width as a constant, which makes each
  // lookup a shift by a constant: Lookup{table.Entries(), kRootBits}.
  const uint32_t* Entries() const { return entries_.data(); }

  template <class Reader>
  int Decode(Reader& reader) const {
    return GetLookup().Decode(reader);
  }

 private:
  // An entry packs, from the low bits: the code length (5 bits), the width
  // of a second-level table (5 bits) and a value (22 bits). It is a symbol
  // (length != 0: its full code length), a link to a second-level table
  // (length 0, width != 0, value = its first entry) or no code (all 0).
  static uint32_t MakeEntry(uint32_t value, unsigned length, unsigned sub_bits) {
    return (value << 10) | (sub_bits << 5) | length;
  }
  static unsigned EntryLength(uint32_t e) { return e & 31; }
  static unsigned EntrySubBits(uint32_t e) { return (e >> 5) & 31; }
  static uint32_t EntryValue(uint32_t e) { return e >> 10; }

  void Fill(uint32_t table_start, unsigned table_bits, uint32_t code, unsigned code_bits, uint32_t entry,
            bool lsb_first);

  unsigned max_symbols_;
  unsigned root_bits_;
  bool empty_ = true;
  std::vector<uint32_t> entries_;
  std::vector<uint16_t> sorted_;  // symbols in canonical order, scratch
};

}  // namespace cab
