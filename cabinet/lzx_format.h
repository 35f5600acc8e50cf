// The LZX format as cabinets use it, written down once for the decoder
// (lzx_decoder) and the encoder (lzx_encoder*): frame and window sizes, the
// trees and their sizes, position slots, block types, and the Intel E8 call
// translation with its inverse side by side.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cab {
namespace lzx {

// Every cabinet data block carries one frame of at most this many bytes.
constexpr uint32_t kFrameSize = 32768;
constexpr unsigned kMinWindowBits = 15;
constexpr unsigned kMaxWindowBits = 21;

constexpr unsigned kNumChars = 256;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kNumPrimaryLengths = 7;  // lengths 2..8 live in the main tree
constexpr unsigned kLengthTreeSize = kMaxMatch - kMinMatch - kNumPrimaryLengths + 1;  // lengths 9..257
constexpr unsigned kAlignedTreeSize = 8;
constexpr unsigned kPretreeSize = 20;
constexpr unsigned kMaxPositionSlots = 50;  // for a 21-bit window
constexpr unsigned kMaxMainTreeSize = kNumChars + 8 * kMaxPositionSlots;
constexpr unsigned kNumRepeats = 3;          // repeated offsets R0..R2

// Longest code of each tree, bounded by how its lengths are sent.
constexpr unsigned kMainMaxCodeLength = 16;
constexpr unsigned kLengthMaxCodeLength = 16;
constexpr unsigned kAlignedMaxCodeLength = 7;   // lengths are sent in 3 bits
constexpr unsigned kPretreeMaxCodeLength = 15;  // lengths are sent in 4 bits

enum BlockType : unsigned { kBlockNone = 0, kBlockVerbatim = 1, kBlockAligned = 2, kBlockUncompressed = 3 };

// Position slots of a window of 2^window_bits bytes (kMinWindowBits to
// kMaxWindowBits).
constexpr unsigned kPositionSlotCounts[kMaxWindowBits - kMinWindowBits + 1] = {30, 32, 34, 36, 38, 42, 50};
constexpr unsigned NumPositionSlots(unsigned window_bits) {
  return kPositionSlotCounts[window_bits - kMinWindowBits];
}

// Footer bits and base of each position slot. A match offset is sent
// "formatted": offset + 2, so that formatted values 0..2 name the repeated
// offsets R0..R2.
struct PositionSlots {
  uint32_t base[kMaxPositionSlots + 1];
  uint8_t extra[kMaxPositionSlots + 1];
  constexpr PositionSlots() : base(), extra() {
    uint32_t b = 0;
    for (unsigned s = 0; s <= kMaxPositionSlots; ++s) {
      unsigned e = s < 4 ? 0 : (s - 2) / 2;
      if (e > 17) e = 17;
      base[s] = b;
      extra[s] = static_cast<uint8_t>(e);
      b += 1u << e;
    }
  }
};
constexpr PositionSlots kSlots;

// Every offset a window's position slots can code lies inside the window:
// the slots end where the window does (formatted offset 2^window_bits, that
// is offset 2^window_bits - 2). A decoder checks only the repeated offsets.
constexpr bool SlotsEndAtTheWindow() {
  for (unsigned bits = kMinWindowBits; bits <= kMaxWindowBits; ++bits)
    if (kSlots.base[NumPositionSlots(bits)] != (uint32_t{1} << bits)) return false;
  return true;
}
static_assert(SlotsEndAtTheWindow(), "position slots reach beyond the window");

// E8 translation: the encoder rewrites the 32-bit operand after each 0xE8
// byte (an x86 CALL) from relative to absolute, the decoder back. It covers
// the first kTranslatedFrames frames of a folder, and never starts in the
// last kTranslationTail bytes of a frame.
constexpr uint32_t kTranslatedFrames = 32768;
constexpr uint32_t kE8Limit = kTranslatedFrames * kFrameSize;  // 1 GB
constexpr uint32_t kTranslationTail = 10;

// Encoder side: relative to absolute, for the frame that starts frame_offset
// bytes into the folder; translation_size is the size the stream header
// announces.
void TranslateE8ToAbsolute(uint8_t* frame, uint32_t size, uint32_t frame_offset, uint32_t translation_size);
// Decoder side: absolute back to relative.
void TranslateE8ToRelative(uint8_t* frame, size_t size, uint32_t frame_offset, uint32_t translation_size);

}  // namespace lzx
}  // namespace cab
