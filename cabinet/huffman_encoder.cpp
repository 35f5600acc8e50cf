#include "cabinet/huffman_encoder.h"

#include <algorithm>
#include <vector>

namespace cab {

// Package-merge in its list form. Level 1 holds the used symbols ordered by
// weight; each further level merges the symbols with the pairwise "packages"
// of the level below. Taking the first 2n-2 items of the top level, the items
// taken at each level are a prefix of it: the leaves in that prefix are the
// lightest symbols, and each gets one more bit of length for every level
// whose prefix includes it, while the packages in the prefix say how long the
// prefix one level down is.
void BuildHuffmanLengths(const uint32_t* freqs, size_t num_symbols, unsigned max_length,
                         uint8_t* lengths) {
  std::fill(lengths, lengths + num_symbols, 0);
  std::vector<uint32_t> order;
  order.reserve(num_symbols);
  for (size_t i = 0; i < num_symbols; ++i)
    if (freqs[i] != 0) order.push_back(static_cast<uint32_t>(i));
  const size_t n = order.size();
  if (n == 0) return;
  if (n == 1) {
    lengths[order[0]] = 1;
    return;
  }
  std::stable_sort(order.begin(), order.end(),
                   [freqs](uint32_t a, uint32_t b) { return freqs[a] < freqs[b]; });

  // levels[k] = the item list of level k+1, each item a weight plus whether it
  // is a package; only the package flags are needed after the merge.
  std::vector<std::vector<uint8_t>> is_package(max_length);
  std::vector<uint64_t> below, current;
  below.reserve(2 * n);
  current.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) below.push_back(freqs[order[i]]);
  is_package[0].assign(n, 0);
  for (unsigned level = 1; level < max_length; ++level) {
    current.clear();
    std::vector<uint8_t>& flags = is_package[level];
    flags.clear();
    size_t leaf = 0, pair = 0;
    const size_t num_pairs = below.size() / 2;
    while (leaf < n || pair < num_pairs) {
      uint64_t package = pair < num_pairs ? below[2 * pair] + below[2 * pair + 1] : 0;
      if (pair >= num_pairs || (leaf < n && freqs[order[leaf]] <= package)) {
        current.push_back(freqs[order[leaf++]]);
        flags.push_back(0);
      } else {
        current.push_back(package);
        flags.push_back(1);
        ++pair;
      }
    }
    below.swap(current);
  }

  size_t take = 2 * n - 2;
  for (int level = static_cast<int>(max_length) - 1; level >= 0 && take > 0; --level) {
    const std::vector<uint8_t>& flags = is_package[level];
    size_t leaves = 0, packages = 0;
    for (size_t i = 0; i < take && i < flags.size(); ++i) (flags[i] ? packages : leaves)++;
    for (size_t i = 0; i < leaves; ++i) ++lengths[order[i]];
    take = 2 * packages;
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
