#include "cabinet/cab_checksum.h"

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t words = size / 4;
  for (size_t i = 0; i < words; ++i, data += 4) {
    sum ^= static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
           (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  }
  uint32_t tail = 0;
  switch (size & 3) {
    case 3: tail |= static_cast<uint32_t>(*data++) << 16;  // fall through
    case 2: tail |= static_cast<uint32_t>(*data++) << 8;   // fall through
    case 1: tail |= static_cast<uint32_t>(*data++);
  }
  return sum ^ tail;
}
