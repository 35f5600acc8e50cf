#include "cabinet/huffman_table.h"

#include "cabinet/byte_order.h"

namespace cab {

HuffmanTable::HuffmanTable(unsigned max_symbols, unsigned root_bits)
    : max_symbols_(max_symbols), root_bits_(root_bits) {
  entries_.resize(size_t{1} << root_bits_);
  sorted_.reserve(max_symbols_);
}

// Writes entry into every slot of a table (root or second level) whose index
// starts with the given code, in the reader's bit order.
void HuffmanTable::Fill(uint32_t table_start, unsigned table_bits, uint32_t code,
                        unsigned code_bits, uint32_t entry, bool lsb_first) {
  const unsigned free_bits = table_bits - code_bits;
  if (lsb_first) {
    // The code's first bit is the index's lowest bit; the bits after the
    // code vary in the high part.
    uint32_t base = ReverseBits(code, code_bits);
    for (uint32_t k = 0; k < (1u << free_bits); ++k) entries_[table_start + base + (k << code_bits)] = entry;
  } else {
    uint32_t base = code << free_bits;
    for (uint32_t k = 0; k < (1u << free_bits); ++k) entries_[table_start + base + k] = entry;
  }
}

bool HuffmanTable::Build(const uint8_t* lengths, unsigned count, bool lsb_first) {
  empty_ = true;
  if (count > max_symbols_) return false;

  unsigned length_count[kMaxCodeLength + 1] = {};
  for (unsigned s = 0; s < count; ++s) {
    if (lengths[s] > kMaxCodeLength) return false;
    length_count[lengths[s]]++;
  }
  length_count[0] = 0;

  // Kraft check: a code may leave patterns unused but never reuse one.
  int32_t left = 1;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    left = left * 2 - static_cast<int32_t>(length_count[len]);
    if (left < 0) return false;
  }

  // Canonical order: by length, then by symbol.
  uint32_t first_code[kMaxCodeLength + 2] = {};
  unsigned offsets[kMaxCodeLength + 2] = {};
  uint32_t code = 0;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    code = (code + length_count[len - 1]) << 1;
    first_code[len] = code;
    offsets[len + 1] = offsets[len] + length_count[len];
  }
  const unsigned used = offsets[kMaxCodeLength + 1];
  sorted_.assign(used, 0);
  {
    unsigned next[kMaxCodeLength + 2];
    for (unsigned len = 0; len <= kMaxCodeLength + 1; ++len) next[len] = offsets[len];
    for (unsigned s = 0; s < count; ++s)
      if (lengths[s] != 0) sorted_[next[lengths[s]]++] = static_cast<uint16_t>(s);
  }

  entries_.assign(size_t{1} << root_bits_, 0);
  if (used == 0) return true;
  empty_ = false;

  // Walk the codes in canonical order; codes increase, so codes longer than
  // the root share a root prefix in runs, and within a run the last code is
  // the longest.
  unsigned i = 0;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    uint32_t c = first_code[len];
    for (unsigned n = 0; n < length_count[len]; ++n, ++i, ++c) {
      if (len > root_bits_) break;
      Fill(0, root_bits_, c, len, MakeEntry(sorted_[i], len, 0), lsb_first);
    }
    if (len > root_bits_) break;
  }
  if (i == used) return true;

  // Long codes: gather (code, length) in canonical order.
  struct Long {
    uint32_t code;
    unsigned length;
    uint16_t symbol;
  };
  std::vector<Long> longs;
  longs.reserve(used - i);
  for (unsigned len = root_bits_ + 1; len <= kMaxCodeLength; ++len) {
    uint32_t c = first_code[len];
    for (unsigned n = 0; n < length_count[len]; ++n) longs.push_back({c++, len, sorted_[i++]});
  }

  size_t k = 0;
  while (k < longs.size()) {
    const uint32_t prefix = longs[k].code >> (longs[k].length - root_bits_);
    size_t end = k;
    unsigned max_len = 0;
    while (end < longs.size() && (longs[end].code >> (longs[end].length - root_bits_)) == prefix) {
      max_len = longs[end].length;
      ++end;
    }
    const unsigned sub_bits = max_len - root_bits_;
    const uint32_t start = static_cast<uint32_t>(entries_.size());
    entries_.resize(entries_.size() + (size_t{1} << sub_bits));

    uint32_t root_index = lsb_first ? ReverseBits(prefix, root_bits_) : prefix;
    entries_[root_index] = MakeEntry(start, 0, sub_bits);

    for (; k < end; ++k) {
      const unsigned rest = longs[k].length - root_bits_;
      Fill(start, sub_bits, longs[k].code & ((1u << rest) - 1), rest, MakeEntry(longs[k].symbol, longs[k].length, 0),
           lsb_first);
    }
  }
  return true;
}

}  // namespace cab
