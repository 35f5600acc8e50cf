#include "cabinet/huffman_encoder.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace cab {

// Package-merge in its list form. Level 1 holds the used symbols ordered by
// weight; each further level merges the symbols with the pairwise "packages"
// of the level below. Taking the first 2n-2 items of the top level, the items
// taken at each level are a prefix of it: the leaves in that prefix are the
// lightest symbols, and each gets one more bit of length for every level
// whose prefix includes it, while the packages in the prefix say how long the
// prefix one level down is.
//
// The block planner of the LZX writer builds a dozen codes for every frame
// on the thread that orders the output, so this is kept lean: one sort of
// packed (weight, symbol) keys, flat arrays, and the levels stop being built
// once a level's list equals the one below (all further levels would be the
// same list again).
void BuildHuffmanLengths(const uint32_t* freqs, size_t num_symbols, unsigned max_length,
                         uint8_t* lengths) {
  std::fill(lengths, lengths + num_symbols, 0);
  // Weight in the high bits, symbol in the low 16: sorting the keys orders
  // by weight with ties by symbol number.
  std::vector<uint64_t> keys;
  keys.reserve(num_symbols);
  for (size_t i = 0; i < num_symbols; ++i)
    if (freqs[i] != 0) keys.push_back(uint64_t(freqs[i]) << 16 | i);
  const size_t n = keys.size();
  if (n == 0) return;
  if (n == 1) {
    lengths[keys[0] & 0xFFFF] = 1;
    return;
  }
  std::sort(keys.begin(), keys.end());

  // Level k's list: weights in lists[k % 2], and for each prefix length the
  // number of packages in it (packages_before[k][i], items 0..i-1).
  const size_t width = 2 * n;
  // Only the levels built are written, so the arrays are left uninitialized.
  std::unique_ptr<uint64_t[]> lists(new uint64_t[2 * width]);
  std::unique_ptr<uint32_t[]> packages_before(new uint32_t[size_t(max_length) * (width + 1)]);
  std::vector<size_t> sizes(max_length);
  uint64_t* below = lists.get();
  for (size_t i = 0; i < n; ++i) below[i] = keys[i] >> 16;
  sizes[0] = n;
  std::fill(packages_before.get(), packages_before.get() + n + 1, 0u);
  unsigned built = 1;  // levels with a list of their own; the rest repeat the last
  for (unsigned level = 1; level < max_length; ++level) {
    uint64_t* current = lists.get() + (level % 2) * width;
    uint32_t* before = packages_before.get() + level * (width + 1);
    const size_t num_pairs = sizes[level - 1] / 2;
    size_t leaf = 0, pair = 0, size = 0;
    before[0] = 0;
    while (leaf < n || pair < num_pairs) {
      const uint64_t leaf_weight = leaf < n ? keys[leaf] >> 16 : 0;
      const uint64_t package = pair < num_pairs ? below[2 * pair] + below[2 * pair + 1] : 0;
      if (pair >= num_pairs || (leaf < n && leaf_weight <= package)) {
        current[size] = leaf_weight;
        ++leaf;
      } else {
        current[size] = package;
        ++pair;
      }
      ++size;
      before[size] = static_cast<uint32_t>(pair);
    }
    sizes[level] = size;
    built = level + 1;
    if (size == sizes[level - 1] && std::equal(current, current + size, below)) break;
    below = current;
  }

  // hits[j]: levels whose taken prefix holds exactly j leaves; a symbol's
  // length is the number of levels that took it.
  std::vector<uint32_t> hits(n + 1, 0);
  size_t take = 2 * n - 2;
  for (int level = static_cast<int>(max_length) - 1; level >= 0 && take > 0; --level) {
    const unsigned list = static_cast<unsigned>(level) < built ? static_cast<unsigned>(level) : built - 1;
    const size_t prefix = take < sizes[list] ? take : sizes[list];
    const size_t packages = packages_before[list * (width + 1) + prefix];
    ++hits[prefix - packages];
    take = 2 * packages;
  }
  uint32_t taken = 0;
  for (size_t i = n; i-- > 0;) {
    taken += hits[i + 1];
    lengths[keys[i] & 0xFFFF] = static_cast<uint8_t>(taken);
  }
}

void BuildCanonicalCodes(const uint8_t* lengths, size_t num_symbols, uint16_t* codes) {
  unsigned count[kMaxHuffmanLength + 1] = {};
  for (size_t i = 0; i < num_symbols; ++i) ++count[lengths[i]];
  count[0] = 0;
  unsigned next[kMaxHuffmanLength + 2] = {};
  unsigned code = 0;
  for (unsigned len = 1; len <= kMaxHuffmanLength; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  for (size_t i = 0; i < num_symbols; ++i)
    codes[i] = lengths[i] ? static_cast<uint16_t>(next[lengths[i]]++) : 0;
}

void EnsureTwoSymbols(uint32_t* freqs, size_t num_symbols) {
  size_t used = 0;
  for (size_t i = 0; i < num_symbols; ++i) used += freqs[i] != 0;
  for (size_t i = 0; i < num_symbols && used < 2; ++i) {
    if (freqs[i] == 0) {
      freqs[i] = 1;
      ++used;
    }
  }
}

}  // namespace cab
