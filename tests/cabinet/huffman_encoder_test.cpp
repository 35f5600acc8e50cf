// Length-limited code construction: complete codes within the limit, at the
// smallest total size, and canonical code values that form a prefix code.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <queue>
#include <vector>

#include "cabinet/huffman_encoder.h"
#include "tests/cabinet/encoder_test_data.h"

namespace {

// Sum of 2^-length over the used symbols, scaled by 2^limit.
uint64_t KraftScaled(const std::vector<uint8_t>& lengths, unsigned limit) {
  uint64_t sum = 0;
  for (uint8_t l : lengths)
    if (l) sum += uint64_t(1) << (limit - l);
  return sum;
}

uint64_t Cost(const std::vector<uint32_t>& freqs, const std::vector<uint8_t>& lengths) {
  uint64_t c = 0;
  for (size_t i = 0; i < freqs.size(); ++i) c += uint64_t(freqs[i]) * lengths[i];
  return c;
}

// Plain Huffman without a limit, for the optimal cost.
uint64_t UnlimitedHuffmanCost(const std::vector<uint32_t>& freqs) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> q;
  for (uint32_t f : freqs)
    if (f) q.push(f);
  if (q.size() < 2) return q.empty() ? 0 : q.top();
  uint64_t cost = 0;
  while (q.size() > 1) {
    uint64_t a = q.top();
    q.pop();
    uint64_t b = q.top();
    q.pop();
    cost += a + b;
    q.push(a + b);
  }
  return cost;
}

TEST(HuffmanEncoder, CodesAreCompleteWithinTheLimitAndOptimalWhenItDoesNotBind) {
  enctest::Rng rng(1);
  for (int round = 0; round < 200; ++round) {
    size_t n = 2 + rng.Below(700);
    std::vector<uint32_t> freqs(n);
    for (auto& f : freqs) f = rng.Below(4) == 0 ? 0 : 1 + rng.Below(rng.Below(2) ? 10 : 100000);
    freqs[rng.Below(static_cast<uint32_t>(n))] = 1;
    freqs[rng.Below(static_cast<uint32_t>(n))] = 5;
    std::vector<uint8_t> lengths(n);
    cab::BuildHuffmanLengths(freqs.data(), n, 16, lengths.data());
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(lengths[i] == 0, freqs[i] == 0);
      EXPECT_LE(lengths[i], 16);
    }
    EXPECT_EQ(KraftScaled(lengths, 16), uint64_t(1) << 16);
    const uint64_t optimal = UnlimitedHuffmanCost(freqs);
    EXPECT_GE(Cost(freqs, lengths), optimal);
    // With a limit no code reaches, the result is a plain optimal code.
    std::vector<uint8_t> loose(n);
    cab::BuildHuffmanLengths(freqs.data(), n, 40, loose.data());
    EXPECT_EQ(Cost(freqs, loose), optimal) << "round " << round;
  }
}

TEST(HuffmanEncoder, TheLimitHoldsOnSkewedFrequencies) {
  // Fibonacci weights would make a plain Huffman code as deep as the alphabet.
  std::vector<uint32_t> freqs(30);
  freqs[0] = freqs[1] = 1;
  for (size_t i = 2; i < freqs.size(); ++i) freqs[i] = freqs[i - 1] + freqs[i - 2];
  for (unsigned limit : {5u, 7u, 15u, 16u}) {
    std::vector<uint8_t> lengths(freqs.size());
    cab::BuildHuffmanLengths(freqs.data(), freqs.size(), limit, lengths.data());
    EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), limit);
    EXPECT_EQ(KraftScaled(lengths, limit), uint64_t(1) << limit) << "limit " << limit;
    // Heavier symbols never get longer codes.
    for (size_t i = 1; i < freqs.size(); ++i) EXPECT_LE(lengths[i], lengths[i - 1]);
  }
  // 32 equal symbols under a limit of 5: all five bits.
  std::vector<uint32_t> flat(32, 9);
  std::vector<uint8_t> lengths(32);
  cab::BuildHuffmanLengths(flat.data(), 32, 5, lengths.data());
  EXPECT_EQ(std::count(lengths.begin(), lengths.end(), 5), 32);
}

TEST(HuffmanEncoder, FewSymbols) {
  std::vector<uint32_t> freqs(10, 0);
  std::vector<uint8_t> lengths(10, 9);
  cab::BuildHuffmanLengths(freqs.data(), 10, 16, lengths.data());
  EXPECT_EQ(std::count(lengths.begin(), lengths.end(), 0), 10);
  freqs[4] = 7;
  cab::BuildHuffmanLengths(freqs.data(), 10, 16, lengths.data());
  EXPECT_EQ(lengths[4], 1);
  cab::EnsureTwoSymbols(freqs.data(), 10);
  EXPECT_EQ(freqs[0], 1u);
  EXPECT_EQ(freqs[4], 7u);
  cab::BuildHuffmanLengths(freqs.data(), 10, 16, lengths.data());
  EXPECT_EQ(lengths[0], 1);
  EXPECT_EQ(lengths[4], 1);
}

TEST(HuffmanEncoder, CanonicalCodesArePrefixFreeAndOrdered) {
  const std::vector<uint8_t> lengths = {3, 3, 3, 3, 3, 2, 4, 4, 0};
  std::vector<uint16_t> codes(lengths.size());
  cab::BuildCanonicalCodes(lengths.data(), lengths.size(), codes.data());
  // Shorter codes first; within a length, by symbol number.
  EXPECT_EQ(codes[5], 0b00);
  EXPECT_EQ(codes[0], 0b010);
  EXPECT_EQ(codes[4], 0b110);
  EXPECT_EQ(codes[6], 0b1110);
  EXPECT_EQ(codes[7], 0b1111);
  for (size_t a = 0; a < lengths.size(); ++a)
    for (size_t b = 0; b < lengths.size(); ++b) {
      if (a == b || !lengths[a] || !lengths[b] || lengths[a] > lengths[b]) continue;
      EXPECT_NE(codes[b] >> (lengths[b] - lengths[a]), codes[a]) << a << " prefixes " << b;
    }
  EXPECT_EQ(cab::ReverseBits(0b1101, 4), 0b1011u);
}

}  // namespace
