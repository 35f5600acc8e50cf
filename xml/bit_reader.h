// Reads a stream of bits packed into 32-bit little-endian words, most
// significant bit of each word first: the packed binary XML form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace BrioCommon {

class BitReader {
 public:
  // The bytes become words of four bytes each in little-endian order; a
  // final partial word is completed with zero bytes.
  explicit BitReader(const std::string& bytes);

  size_t BitsLeft() const { return total_bits_ - position_; }

  // Reads `count` bits into `out`: each whole group of 32 bits becomes one
  // 32-bit word (first bit read = most significant) stored little-endian; the
  // remaining bits fill successive bytes eight at a time, the last byte taking
  // a shorter group as a number (first bit read = most significant). Fails,
  // consuming nothing, when fewer than `count` bits remain.
  bool Read(size_t count, uint8_t* out);
  // Reads up to 32 bits as one number, first bit most significant.
  bool ReadNumber(unsigned count, uint32_t* value);

  // A packed unsigned integer: a 0 sign bit, then a flag bit per byte that is
  // 1 while the byte is zero, then the remaining bytes; the four bytes are
  // taken as a big-endian number (counts, indices) or a little-endian one
  // (string lengths).
  bool ReadPackedBigEndian(uint32_t* value);
  bool ReadPackedLittleEndian(uint32_t* value);

 private:
  bool ReadPackedBytes(uint8_t bytes[4]);
  bool NextBit();

  std::vector<uint32_t> words_;
  size_t total_bits_ = 0;
  size_t position_ = 0;
};

}  // namespace BrioCommon
