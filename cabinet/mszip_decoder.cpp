#include "cabinet/mszip_decoder.h"

#include <cstring>

#include "cabinet/deflate_format.h"

namespace cab {

using namespace deflate;

namespace {

constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
// The tables hold the two reserved codes of each alphabet too.
constexpr unsigned kLiteralTableSize = kNumFixedLitLenCodes;
constexpr unsigned kDistanceTableSize = kNumFixedDistanceCodes;

}  // namespace

MszipDecoder::MszipDecoder()
    : window_(2 * kHistorySize),
      fixed_literals_(kLiteralTableSize, kLiteralRootBits),
      fixed_distances_(kDistanceTableSize, kDistanceRootBits),
      literals_(kLiteralTableSize, kLiteralRootBits),
      distances_(kDistanceTableSize, kDistanceRootBits),
      code_lengths_(kNumCodeLengthCodes, 7) {
  uint8_t lengths[kLiteralTableSize];
  for (unsigned i = 0; i < kLiteralTableSize; ++i) lengths[i] = FixedLitLenLength(i);
  fixed_literals_.Build(lengths, kLiteralTableSize, true);
  for (unsigned i = 0; i < kDistanceTableSize; ++i) lengths[i] = kFixedDistanceLength;
  fixed_distances_.Build(lengths, kDistanceTableSize, true);
}

void MszipDecoder::Reset() { history_size_ = 0; }

bool MszipDecoder::DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  ClearError();
  if (in_size < 2 || in[0] != 'C' || in[1] != 'K') return Fail(DecodeError::kBadSignature);
  if (out_size > kHistorySize) return Fail(DecodeError::kBadFrameSize);
  LsbBitReader reader(in + 2, in_size - 2);
  out_pos_ = kHistorySize;
  out_limit_ = kHistorySize + out_size;

  for (;;) {
    reader.Refill();
    const bool final_block = reader.Read(1) != 0;
    const unsigned type = reader.Read(2);
    if (reader.Overrun()) return Fail(DecodeError::kInputEnds);
    bool ok;
    switch (type) {
      case 0:
        ok = CopyStored(reader);
        break;
      case 1:
        ok = Inflate(reader, fixed_literals_, fixed_distances_);
        break;
      case 2:
        ok = ReadDynamicTables(reader) && Inflate(reader, literals_, distances_);
        break;
      default:
        ok = Fail(DecodeError::kBadBlockType);
    }
    if (!ok || reader.Overrun()) return FailBlock(reader.Overrun());
    if (final_block) break;
    // A stream that fills its block exactly and then runs out of input is
    // accepted without a final block.
    if (out_pos_ == out_limit_ && reader.UnreadBytes() == 0) break;
  }
  if (out_pos_ != out_limit_) return Fail(DecodeError::kOutputSize);

  std::memcpy(out, &window_[kHistorySize], out_size);
  // Keep the last 32768 bytes of history plus this block for the next one.
  const size_t keep = history_size_ + out_size < kHistorySize ? history_size_ + out_size : kHistorySize;
  std::memmove(&window_[kHistorySize - keep], &window_[kHistorySize + out_size - keep], keep);
  history_size_ = keep;
  return true;
}

bool MszipDecoder::CopyStored(LsbBitReader& reader) {
  reader.AlignToByte();
  uint8_t header[4];
  if (!reader.ReadBytes(header, 4)) return Fail(DecodeError::kInputEnds);
  const unsigned length = header[0] | (header[1] << 8);
  const unsigned inverted = header[2] | (header[3] << 8);
  if ((length ^ 0xFFFF) != inverted || length > out_limit_ - out_pos_) return Fail(DecodeError::kBadBlockSize);
  if (!reader.ReadBytes(&window_[out_pos_], length)) return Fail(DecodeError::kInputEnds);
  out_pos_ += length;
  return true;
}

bool MszipDecoder::ReadDynamicTables(LsbBitReader& reader) {
  reader.Refill();
  const unsigned num_literals = reader.Read(5) + 257;
  const unsigned num_distances = reader.Read(5) + 1;
  const unsigned num_code_lengths = reader.Read(4) + 4;
  if (num_literals > kNumLitLenCodes || num_distances > kNumDistanceCodes) return Fail(DecodeError::kBadHuffmanTable);

  uint8_t lengths[kLiteralTableSize + kDistanceTableSize] = {};
  for (unsigned i = 0; i < num_code_lengths; ++i) lengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(reader.Read(3));
  if (reader.Overrun()) return Fail(DecodeError::kInputEnds);
  if (!code_lengths_.Build(lengths, kNumCodeLengthCodes, true)) return Fail(DecodeError::kBadHuffmanTable);

  // Literal/length and distance lengths form one sequence; repeats may
  // cross from one to the other.
  const unsigned total = num_literals + num_distances;
  uint8_t all[kLiteralTableSize + kDistanceTableSize] = {};
  unsigned n = 0;
  while (n < total) {
    reader.Refill();
    const int sym = code_lengths_.Decode(reader);
    if (sym < 0) return Fail(DecodeError::kBadHuffmanCode);
    if (sym < 16) {
      all[n++] = static_cast<uint8_t>(sym);
      continue;
    }
    unsigned repeat;
    uint8_t value = 0;
    if (sym == 16) {
      if (n == 0) return Fail(DecodeError::kBadHuffmanTable);
      value = all[n - 1];
      repeat = 3 + reader.Read(2);
    } else if (sym == 17) {
      repeat = 3 + reader.Read(3);
    } else {
      repeat = 11 + reader.Read(7);
    }
    if (repeat > total - n) return Fail(DecodeError::kBadHuffmanTable);
    while (repeat--) all[n++] = value;
    if (reader.Overrun()) return false;
  }
  if (all[kEndOfBlock] == 0) return Fail(DecodeError::kBadHuffmanTable);  // a block must be able to end
  return literals_.Build(all, num_literals, true) && distances_.Build(all + num_literals, num_distances, true);
}

bool MszipDecoder::Inflate(LsbBitReader& reader, const HuffmanTable& literals, const HuffmanTable& distances) {
  uint8_t* const window = window_.data();
  size_t pos = out_pos_;
  const size_t limit = out_limit_;
  for (;;) {
    // One refill covers the longest symbol: 15 + 5 + 15 + 13 bits.
    reader.Refill();
    const int sym = literals.Decode(reader);
    if (sym < 256) {
      if (sym < 0) return Fail(DecodeError::kBadHuffmanCode);
      if (pos == limit) return Fail(DecodeError::kOutputSize);
      window[pos++] = static_cast<uint8_t>(sym);
      continue;
    }
    if (sym == static_cast<int>(kEndOfBlock)) break;
    const unsigned code = static_cast<unsigned>(sym) - 257;
    if (code >= kNumLengthCodes) return Fail(DecodeError::kBadHuffmanCode);
    const unsigned length = kLengthBase[code] + reader.Read(kLengthExtra[code]);
    const int dsym = distances.Decode(reader);
    if (dsym < 0 || dsym >= static_cast<int>(kNumDistanceCodes)) return Fail(DecodeError::kBadHuffmanCode);
    const size_t distance = kDistanceBase[dsym] + reader.Read(kDistanceExtra[dsym]);
    if (reader.Overrun()) return Fail(DecodeError::kInputEnds);
    if (distance > pos - kHistorySize + history_size_ || length > limit - pos) return Fail(DecodeError::kBadMatch);
    const uint8_t* src = window + pos - distance;
    uint8_t* dst = window + pos;
    if (distance >= length) {
      std::memcpy(dst, src, length);
    } else {
      for (unsigned i = 0; i < length; ++i) dst[i] = src[i];
    }
    pos += length;
  }
  out_pos_ = pos;
  return !reader.Overrun();
}

}  // namespace cab
