#include "xml/bit_writer.h"

namespace BrioCommon {

void BitWriter::Write(uint32_t value, unsigned count) {
  for (unsigned i = count; i-- > 0;) {
    if (bit_count_ % 32 == 0) words_.push_back(0);
    if ((value >> i) & 1) words_.back() |= 1u << (31 - bit_count_ % 32);
    ++bit_count_;
  }
}

// The reader fills its four-byte area as: one flag bit per leading zero byte,
// a 0 flag when fewer than four are zero, then the remaining bytes in one read.
// A read of all 32 bits is one group, assembled into a word stored
// little-endian, so with no zero byte the bits are the little-endian word of
// the area; shorter reads fill the bytes in order.
void BitWriter::WritePackedBytes(const uint8_t bytes[4]) {
  Write(0, 1);  // sign
  unsigned zero_bytes = 0;
  while (zero_bytes < 4 && bytes[zero_bytes] == 0) ++zero_bytes;
  for (unsigned i = 0; i < zero_bytes; ++i) Write(1, 1);
  if (zero_bytes == 4) return;
  Write(0, 1);
  if (zero_bytes == 0) {
    Write(bytes[0] | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
              (uint32_t(bytes[3]) << 24),
          32);
    return;
  }
  for (unsigned i = zero_bytes; i < 4; ++i) Write(bytes[i], 8);
}

void BitWriter::WritePackedBigEndian(uint32_t value) {
  const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                            uint8_t(value)};
  WritePackedBytes(bytes);
}

void BitWriter::WritePackedLittleEndian(uint32_t value) {
  const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                            uint8_t(value >> 24)};
  WritePackedBytes(bytes);
}

void BitWriter::WriteBytes(const uint8_t* bytes, size_t count) {
  // The reader takes string bytes in chunks whose size is a multiple of four
  // except for the last, so every whole group of four is a 32-bit word and
  // only the final count % 4 bytes go one at a time.
  size_t whole = count - count % 4;
  for (size_t i = 0; i < whole; i += 4)
    Write(bytes[i] | (uint32_t(bytes[i + 1]) << 8) | (uint32_t(bytes[i + 2]) << 16) |
              (uint32_t(bytes[i + 3]) << 24),
          32);
  for (size_t i = whole; i < count; ++i) Write(bytes[i], 8);
}

std::string BitWriter::ToBytes() const {
  std::string out;
  out.reserve(words_.size() * 4);
  for (uint32_t w : words_) {
    out.push_back(static_cast<char>(w));
    out.push_back(static_cast<char>(w >> 8));
    out.push_back(static_cast<char>(w >> 16));
    out.push_back(static_cast<char>(w >> 24));
  }
  return out;
}

}  // namespace BrioCommon
