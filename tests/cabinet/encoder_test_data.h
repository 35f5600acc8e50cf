// Generated inputs for the writer's compressor tests: each kind aims at a
// part of the encoder (E8 calls, stored blocks, runs, far matches), and the
// same seed always gives the same bytes.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace enctest {

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

inline std::vector<uint8_t> Random(size_t size, uint64_t seed) {
  Rng rng(seed);
  std::vector<uint8_t> v(size);
  for (auto& b : v) b = static_cast<uint8_t>(rng.Next());
  return v;
}

// English-like words with a small vocabulary: plenty of short and medium matches.
inline std::vector<uint8_t> Text(size_t size, uint64_t seed) {
  static const char* kWords[] = {"the ",   "install ", "folder ", "game ",  "file ",    "and ",
                                 "of ",    "player ",  "level ",  "save\n", "config ",  "sound ",
                                 "world ", "texture ", "map ",    "to ",    "options\n", "a "};
  Rng rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < size) {
    const char* w = kWords[rng.Below(sizeof kWords / sizeof *kWords)];
    v.insert(v.end(), w, w + std::strlen(w));
  }
  v.resize(size);
  return v;
}

// x86-like code: short instruction patterns and many CALL rel32 (E8) to a
// fixed set of functions, so the displacements differ at every call site
// while the targets repeat: what the E8 translation is for.
inline std::vector<uint8_t> X86Code(size_t size, uint64_t seed) {
  static const std::vector<std::vector<uint8_t>> kOps = {
      {0x55}, {0x8B, 0xEC}, {0x83, 0xEC, 0x10}, {0x8B, 0x45, 0x08}, {0x89, 0x45, 0xFC},
      {0x5D}, {0xC3},       {0x33, 0xC0},       {0x85, 0xC0},       {0x74, 0x05},
      {0x50}, {0x6A, 0x00}, {0x8B, 0x4D, 0x0C}, {0x03, 0xC1},       {0xFF, 0x75, 0x08}};
  Rng rng(seed);
  std::vector<uint32_t> functions(300);
  for (auto& f : functions) f = rng.Below(static_cast<uint32_t>(size) + 1);
  std::vector<uint8_t> v;
  v.reserve(size + 8);
  while (v.size() < size) {
    if (rng.Below(4) == 0) {
      uint32_t target = functions[rng.Below(static_cast<uint32_t>(functions.size()))];
      uint32_t rel = target - static_cast<uint32_t>(v.size() + 5);
      v.push_back(0xE8);
      for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(rel >> (8 * i)));
    } else {
      const auto& op = kOps[rng.Below(static_cast<uint32_t>(kOps.size()))];
      v.insert(v.end(), op.begin(), op.end());
    }
  }
  v.resize(size);
  return v;
}

// Long runs of one byte, with short noise between them.
inline std::vector<uint8_t> Runs(size_t size, uint64_t seed) {
  Rng rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < size) {
    v.insert(v.end(), 1 + rng.Below(3000), static_cast<uint8_t>(rng.Below(3)));
    for (uint32_t n = rng.Below(8); n > 0; --n) v.push_back(static_cast<uint8_t>(rng.Next()));
  }
  v.resize(size);
  return v;
}

// A random chunk repeated at exactly `distance` bytes, across random filler:
// only a match reaching that far back compresses the repeat.
inline std::vector<uint8_t> FarRepeat(uint32_t distance, uint32_t chunk, uint64_t seed) {
  std::vector<uint8_t> v = Random(distance + chunk, seed);
  std::memcpy(v.data() + distance, v.data(), chunk);
  return v;
}

// Text, code, noise and runs one after the other.
inline std::vector<uint8_t> Mixed(size_t part, uint64_t seed) {
  std::vector<uint8_t> v;
  for (auto piece : {Text(part, seed), X86Code(part, seed + 1), Random(part / 2, seed + 2), Runs(part, seed + 3)})
    v.insert(v.end(), piece.begin(), piece.end());
  return v;
}

}  // namespace enctest
