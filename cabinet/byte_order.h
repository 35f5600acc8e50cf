// Little-endian loads and stores: the byte order of every multi-byte field of
// the cabinet format, of LZX and of deflate; and the reversal of a prefix
// code's bits, which deflate sends first bit lowest. One copy for the whole
// folder.
#pragma once

#include <cstdint>

namespace cab {

inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Load32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Store16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Store32(uint8_t* p, uint32_t v) {
  Store16(p, static_cast<uint16_t>(v));
  Store16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Reverses the low `bits` bits of `code`.
inline uint32_t ReverseBits(uint32_t code, unsigned bits) {
  uint32_t out = 0;
  for (unsigned i = 0; i < bits; ++i) {
    out = (out << 1) | (code & 1);
    code >>= 1;
  }
  return out;
}

}  // namespace cab
