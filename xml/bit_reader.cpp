#include "xml/bit_reader.h"

#include <cstring>

namespace BrioCommon {

BitReader::BitReader(const std::string& bytes) {
  words_.resize((bytes.size() + 3) / 4, 0);
  for (size_t i = 0; i < bytes.size(); ++i)
    words_[i / 4] |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * (i % 4));
  total_bits_ = words_.size() * 32;
}

bool BitReader::NextBit() {
  uint32_t word = words_[position_ / 32];
  bool bit = (word >> (31 - position_ % 32)) & 1;
  ++position_;
  return bit;
}

bool BitReader::ReadNumber(unsigned count, uint32_t* value) {
  if (count > 32 || BitsLeft() < count) return false;
  uint32_t v = 0;
  for (unsigned i = 0; i < count; ++i) v = (v << 1) | (NextBit() ? 1 : 0);
  *value = v;
  return true;
}

bool BitReader::Read(size_t count, uint8_t* out) {
  if (BitsLeft() < count) return false;
  size_t filled = 0;
  for (; count >= 32; count -= 32, filled += 4) {
    uint32_t word;
    ReadNumber(32, &word);
    out[filled] = static_cast<uint8_t>(word);
    out[filled + 1] = static_cast<uint8_t>(word >> 8);
    out[filled + 2] = static_cast<uint8_t>(word >> 16);
    out[filled + 3] = static_cast<uint8_t>(word >> 24);
  }
  while (count > 0) {
    unsigned group = count >= 8 ? 8 : static_cast<unsigned>(count);
    uint32_t byte;
    ReadNumber(group, &byte);
    out[filled++] = static_cast<uint8_t>(byte);
    count -= group;
  }
  return true;
}

bool BitReader::ReadPackedBytes(uint8_t bytes[4]) {
  size_t start = position_;
  uint32_t bit;
  if (!ReadNumber(1, &bit) || bit != 0) {
    position_ = start;
    return false;
  }
  std::memset(bytes, 0, 4);
  size_t zero_bytes = 0;
  while (zero_bytes < 4) {
    if (!ReadNumber(1, &bit)) {
      position_ = start;
      return false;
    }
    if (bit == 0) break;
    ++zero_bytes;
  }
  if (zero_bytes < 4 && !Read(8 * (4 - zero_bytes), bytes + zero_bytes)) {
    position_ = start;
    return false;
  }
  return true;
}

bool BitReader::ReadPackedBigEndian(uint32_t* value) {
  uint8_t b[4];
  if (!ReadPackedBytes(b)) return false;
  *value = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
  return true;
}

bool BitReader::ReadPackedLittleEndian(uint32_t* value) {
  uint8_t b[4];
  if (!ReadPackedBytes(b)) return false;
  *value = b[0] | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  return true;
}

}  // namespace BrioCommon
