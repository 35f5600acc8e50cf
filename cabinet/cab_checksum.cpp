#include "cabinet/cab_checksum.h"

namespace cab {

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t words = size / 4;
  for (; words > 0; --words, data += 4)
    sum ^= data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
  // The remaining bytes fill the low end in reverse: the last byte is the
  // lowest one.
  uint32_t tail = 0;
  switch (size % 4) {
    case 3:
      tail |= static_cast<uint32_t>(*data++) << 16;
      // fall through
    case 2:
      tail |= static_cast<uint32_t>(*data++) << 8;
      // fall through
    case 1:
      tail |= *data;
      break;
    default:
      break;
  }
  return sum ^ tail;
}

uint32_t DataBlockChecksum(const uint8_t* data, uint16_t compressed_size, uint16_t uncompressed_size) {
  const uint8_t sizes[4] = {static_cast<uint8_t>(compressed_size), static_cast<uint8_t>(compressed_size >> 8),
                            static_cast<uint8_t>(uncompressed_size), static_cast<uint8_t>(uncompressed_size >> 8)};
  return CabChecksum(sizes, 4, CabChecksum(data, compressed_size, 0));
}

}  // namespace cab
