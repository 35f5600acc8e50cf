#include "cabinet/quantum_decoder.h"

#include <algorithm>
#include <cstring>

namespace cab {
namespace {

constexpr unsigned kPositionSlots = 42;
constexpr unsigned kLengthSlots = 27;
constexpr unsigned kRescaleThreshold = 3800;
constexpr unsigned kFrequencyStep = 8;
constexpr unsigned kFirstReorder = 4;
constexpr unsigned kReorderInterval = 50;
constexpr uint32_t kFrameSize = 32768;
// Bits the arithmetic decoder may read beyond the end of a block: it keeps
// 16 bits of look-ahead that the encoder need not have flushed.
constexpr unsigned kAllowedLookAheadBits = 32;

struct SlotTables {
  uint32_t position_base[kPositionSlots];
  uint8_t position_extra[kPositionSlots];
  uint8_t length_base[kLengthSlots];
  uint8_t length_extra[kLengthSlots];
  constexpr SlotTables() : position_base(), position_extra(), length_base(), length_extra() {
    uint32_t b = 0;
    for (unsigned i = 0; i < kPositionSlots; ++i) {
      unsigned e = i < 4 ? 0 : (i - 2) / 2;
      position_extra[i] = static_cast<uint8_t>(e);
      position_base[i] = b;
      b += 1u << e;
    }
    unsigned lb = 0;
    for (unsigned i = 0; i < kLengthSlots; ++i) {
      unsigned e = (i < 6 || i == kLengthSlots - 1) ? 0 : (i - 2) / 4;
      length_extra[i] = static_cast<uint8_t>(e);
      length_base[i] = static_cast<uint8_t>(lb);
      lb += 1u << e;
    }
  }
};
constexpr SlotTables kTables;

}  // namespace

void QuantumDecoder::Model::Init(unsigned first, unsigned n) {
  count = n;
  first_symbol = first;
  time_to_reorder = kFirstReorder;
  for (unsigned i = 0; i < n; ++i) {
    symbols[i] = static_cast<uint16_t>(first + i);
    cumulative[i] = static_cast<uint16_t>(n - i);
  }
  cumulative[n] = 0;
}

void QuantumDecoder::Model::Update(unsigned index) {
  for (unsigned i = 0; i <= index; ++i) cumulative[i] = static_cast<uint16_t>(cumulative[i] + kFrequencyStep);
  if (cumulative[0] > kRescaleThreshold) Rescale();
}

void QuantumDecoder::Model::Rescale() {
  if (--time_to_reorder == 0) {
    // Every so often: halve the individual frequencies (rounding up) and
    // move the most frequent symbols to the front.
    time_to_reorder = kReorderInterval;
    for (unsigned i = 0; i < count; ++i)
      cumulative[i] = static_cast<uint16_t>((cumulative[i] - cumulative[i + 1] + 1) >> 1);
    for (unsigned i = 0; i + 1 < count; ++i) {
      for (unsigned j = i + 1; j < count; ++j) {
        if (cumulative[i] < cumulative[j]) {
          std::swap(cumulative[i], cumulative[j]);
          std::swap(symbols[i], symbols[j]);
        }
      }
    }
    for (unsigned i = count; i-- > 0;) cumulative[i] = static_cast<uint16_t>(cumulative[i] + cumulative[i + 1]);
  } else {
    // Otherwise halve the cumulative counts, keeping every symbol's
    // frequency above zero.
    for (unsigned i = count; i-- > 0;) {
      cumulative[i] >>= 1;
      if (cumulative[i] <= cumulative[i + 1]) cumulative[i] = static_cast<uint16_t>(cumulative[i + 1] + 1);
    }
  }
}

QuantumDecoder::QuantumDecoder(unsigned window_bits)
    : window_bits_(window_bits),
      window_size_(1u << window_bits),
      buffer_size_(std::max(1u << window_bits, 2 * kFrameSize)),
      buffer_mask_(buffer_size_ - 1),
      window_(buffer_size_) {
  Reset();
}

void QuantumDecoder::Reset() {
  std::fill(window_.begin(), window_.end(), 0);
  produced_ = 0;
  delivered_ = 0;
  const unsigned slots = window_bits_ * 2;
  selector_.Init(0, 7);
  for (unsigned i = 0; i < 4; ++i) literals_[i].Init(i * 64, 64);
  positions3_.Init(0, std::min(slots, 24u));
  positions4_.Init(0, std::min(slots, 36u));
  positions_.Init(0, std::min(slots, kPositionSlots));
  lengths_.Init(0, kLengthSlots);
}

unsigned QuantumDecoder::DecodeSymbol(Model& model) {
  const uint32_t range = ((high_ - low_) & 0xFFFF) + 1;
  const uint32_t total = model.cumulative[0];
  const uint32_t target = ((((code_ - low_ + 1) & 0xFFFF) * total) - 1) / range;

  unsigned i = 1;
  while (i < model.count && model.cumulative[i] > target) ++i;
  const unsigned index = i - 1;
  const unsigned symbol = model.symbols[index];

  high_ = (low_ + (model.cumulative[index] * range) / total - 1) & 0xFFFF;
  low_ = (low_ + (model.cumulative[index + 1] * range) / total) & 0xFFFF;
  model.Update(index);

  // Shift out the bits on which low and high agree; when they straddle the
  // middle by one bit (01... and 10...), drop the second bit instead.
  for (;;) {
    if ((low_ ^ high_) & 0x8000) {
      if ((low_ & 0x4000) && !(high_ & 0x4000)) {
        code_ ^= 0x4000;
        low_ &= 0x3FFF;
        high_ |= 0x4000;
      } else {
        break;
      }
    }
    low_ = (low_ << 1) & 0xFFFF;
    high_ = ((high_ << 1) | 1) & 0xFFFF;
    code_ = ((code_ << 1) | reader_.Read(1)) & 0xFFFF;
  }
  return symbol;
}

void QuantumDecoder::Copy(uint32_t offset, uint32_t length) {
  uint8_t* const window = window_.data();
  uint32_t dst = static_cast<uint32_t>(produced_) & buffer_mask_;
  uint32_t src = (dst - offset) & buffer_mask_;
  for (uint32_t i = 0; i < length; ++i) window[(dst + i) & buffer_mask_] = window[(src + i) & buffer_mask_];
  produced_ += length;
}

bool QuantumDecoder::DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  ClearError();
  if (out_size == 0 || out_size > kFrameSize) return Fail(DecodeError::kBadFrameSize);
  reader_.Reset(in, in_size);
  high_ = 0xFFFF;
  low_ = 0;
  code_ = reader_.Read(16);

  const uint64_t frame_start = delivered_;
  const uint64_t frame_end = delivered_ + out_size;
  while (produced_ < frame_end) {
    const unsigned selector = DecodeSymbol(selector_);
    if (selector < 4) {
      window_[produced_ & buffer_mask_] = static_cast<uint8_t>(DecodeSymbol(literals_[selector]));
      ++produced_;
      continue;
    }
    uint32_t length;
    unsigned slot;
    if (selector == 4) {
      length = 3;
      slot = DecodeSymbol(positions3_);
    } else if (selector == 5) {
      length = 4;
      slot = DecodeSymbol(positions4_);
    } else {
      const unsigned length_slot = DecodeSymbol(lengths_);
      length = kTables.length_base[length_slot] + reader_.Read(kTables.length_extra[length_slot]) + 5;
      slot = DecodeSymbol(positions_);
    }
    const uint32_t offset = kTables.position_base[slot] + reader_.Read(kTables.position_extra[slot]) + 1;
    if (offset > window_size_) return Fail(DecodeError::kBadMatch);
    Copy(offset, length);
    if (reader_.PaddingConsumed() > kAllowedLookAheadBits) return Fail(DecodeError::kInputEnds);
  }
  if (reader_.PaddingConsumed() > kAllowedLookAheadBits) return Fail(DecodeError::kInputEnds);

  const uint32_t start = static_cast<uint32_t>(frame_start) & buffer_mask_;
  const size_t first = std::min<size_t>(out_size, buffer_size_ - start);
  std::memcpy(out, &window_[start], first);
  std::memcpy(out + first, &window_[0], out_size - first);
  delivered_ = frame_end;
  return true;
}

}  // namespace cab
