// The SHA-256 compression function (FIPS 180-4, 6.2.2), apart from the rest
// of base/sha256.cpp: it is where an install of a large game spends its
// time (it reads every volume of a set), so the Windows build compiles this
// file for speed and the rest for size (cmake/StubSize.cmake).
#include "base/sha256.h"

namespace base {
namespace {

// The first 32 bits of the fractional parts of the cube roots of the first
// 64 primes (FIPS 180-4, 4.2.2).
constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t RotateRight(uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

// The round functions (4.1.2), each written with the fewest operations:
// nested rotations need fewer registers than three rotations of one value,
// which matters on a processor with few of them (the 32-bit installer).
inline uint32_t BigSigma0(uint32_t a) { return RotateRight(RotateRight(RotateRight(a, 9) ^ a, 11) ^ a, 2); }
inline uint32_t BigSigma1(uint32_t e) { return RotateRight(RotateRight(RotateRight(e, 14) ^ e, 5) ^ e, 6); }
inline uint32_t SmallSigma0(uint32_t w) { return RotateRight(w, 7) ^ RotateRight(w, 18) ^ (w >> 3); }
inline uint32_t SmallSigma1(uint32_t w) { return RotateRight(w, 17) ^ RotateRight(w, 19) ^ (w >> 10); }
inline uint32_t Choose(uint32_t e, uint32_t f, uint32_t g) { return g ^ (e & (f ^ g)); }
inline uint32_t Majority(uint32_t a, uint32_t b, uint32_t c) { return (a & b) | (c & (a | b)); }

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// One round. Instead of moving the eight working variables one place along
// after every round, each round names them in its own order; after four
// rounds the two halves of the state have traded places, and four swaps
// put the names back (3 moves a round instead of 7, in a loop small enough
// to keep the installer's code small).
#define SHA256_ROUND(a, b, c, d, e, f, g, h, k, w)                     \
  do {                                                                 \
    const uint32_t t1 = h + BigSigma1(e) + Choose(e, f, g) + (k) + (w); \
    d += t1;                                                           \
    h = t1 + BigSigma0(a) + Majority(a, b, c);                         \
  } while (0)

inline void Swap(uint32_t& x, uint32_t& y) {
  const uint32_t t = x;
  x = y;
  y = t;
}

}  // namespace

// The message schedule (6.2.2) is made first, then the rounds run four at a
// time; the state stays in locals from one block to the next. Compiled for
// speed, this takes about 0.6 of the time of the plain loop that moves all
// eight variables each round (the Windows build's 32-bit code, emulated).
void Sha256::Compress(const uint8_t* p, size_t blocks) {
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (; blocks > 0; --blocks, p += 64) {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(p + 4 * t);
    for (int t = 16; t < 64; ++t) w[t] = w[t - 16] + SmallSigma0(w[t - 15]) + w[t - 7] + SmallSigma1(w[t - 2]);
    for (int i = 0; i < 64; i += 4) {
      SHA256_ROUND(a, b, c, d, e, f, g, h, kRoundConstants[i + 0], w[i + 0]);
      SHA256_ROUND(h, a, b, c, d, e, f, g, kRoundConstants[i + 1], w[i + 1]);
      SHA256_ROUND(g, h, a, b, c, d, e, f, kRoundConstants[i + 2], w[i + 2]);
      SHA256_ROUND(f, g, h, a, b, c, d, e, kRoundConstants[i + 3], w[i + 3]);
      Swap(a, e);
      Swap(b, f);
      Swap(c, g);
      Swap(d, h);
    }
    a = state_[0] += a;
    b = state_[1] += b;
    c = state_[2] += c;
    d = state_[3] += d;
    e = state_[4] += e;
    f = state_[5] += f;
    g = state_[6] += g;
    h = state_[7] += h;
  }
}

#undef SHA256_ROUND

}  // namespace base
