// Writes bits into 32-bit words, most significant bit first, stored as
// little-endian bytes: the counterpart of BitReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace BrioCommon {

class BitWriter {
 public:
  // Appends the low `count` bits of `value` (at most 32), highest first.
  void Write(uint32_t value, unsigned count);
  // A packed unsigned integer whose four bytes the reader takes as a
  // big-endian number (counts, indices) or a little-endian one (lengths).
  void WritePackedBigEndian(uint32_t value);
  void WritePackedLittleEndian(uint32_t value);
  // String bytes, laid out so that BitReader::Read in chunks of at most 256
  // bytes delivers them in order.
  void WriteBytes(const uint8_t* bytes, size_t count);

  size_t BitCount() const { return bit_count_; }
  // The words written so far, the last one completed with zero bits.
  std::string ToBytes() const;

 private:
  // `bytes` as the reader's output area holds them after the flag bits.
  void WritePackedBytes(const uint8_t bytes[4]);

  std::vector<uint32_t> words_;
  size_t bit_count_ = 0;
};

}  // namespace BrioCommon
