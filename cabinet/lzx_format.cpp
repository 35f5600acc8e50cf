#include "cabinet/lzx_format.h"

#include <cstring>

#include "cabinet/byte_order.h"

namespace cab {
namespace lzx {

void TranslateE8ToAbsolute(uint8_t* frame, uint32_t size, uint32_t frame_offset, uint32_t translation_size) {
  if (frame_offset >= kE8Limit || size <= kTranslationTail) return;
  const int64_t file_size = translation_size;
  for (uint32_t i = 0; i < size - kTranslationTail; ++i) {
    if (frame[i] != 0xE8) continue;
    const int64_t current = static_cast<int64_t>(frame_offset) + i;
    const int64_t relative = static_cast<int32_t>(Load32(frame + i + 1));
    if (relative >= -current && relative < file_size) {
      const int64_t absolute = relative < file_size - current ? relative + current : relative - file_size;
      Store32(frame + i + 1, static_cast<uint32_t>(static_cast<int32_t>(absolute)));
    }
    i += 4;
  }
}

namespace {

// The first 0xE8 in [p, end), or nullptr. Most bytes are no 0xE8, so the
// search looks at a machine word at a time (a word holds one exactly when
// the word XOR 0xE8E8... has a zero byte, which the borrow test below finds
// without false alarms). A word may reach past end into the frame's tail,
// which the translation never touches but is there to read. Not the C
// library's memchr: in some Windows C runtimes it is a loop over single
// bytes, two to three times slower than this in the installer's decoding
// under emulation.
uint8_t* FindE8(uint8_t* p, uint8_t* const end) {
  static_assert(kTranslationTail >= sizeof(size_t), "a word from before end stays inside the frame");
  constexpr size_t kOnes = ~size_t{0} / 0xFF;  // 0x0101...01
  constexpr size_t kHighBits = kOnes * 0x80;
  constexpr size_t kPattern = kOnes * 0xE8;
  for (;; p += sizeof(size_t)) {
    if (p >= end) return nullptr;
    size_t word;
    std::memcpy(&word, p, sizeof word);
    word ^= kPattern;
    if ((word - kOnes) & ~word & kHighBits) break;
  }
  while (*p != 0xE8) ++p;  // the word holds one
  return p < end ? p : nullptr;
}

}  // namespace

void TranslateE8ToRelative(uint8_t* frame, size_t size, uint32_t frame_offset, uint32_t translation_size) {
  if (size <= kTranslationTail) return;
  const int64_t file_size = translation_size;
  uint8_t* const end = frame + (size - kTranslationTail);
  for (uint8_t* p = frame; p < end; p += 5) {
    p = FindE8(p, end);
    if (p == nullptr) break;
    const int64_t current = static_cast<int64_t>(frame_offset) + (p - frame);
    const int64_t absolute = static_cast<int32_t>(Load32(p + 1));
    if (absolute >= -current && absolute < file_size) {
      const int64_t relative = absolute >= 0 ? absolute - current : absolute + file_size;
      Store32(p + 1, static_cast<uint32_t>(relative));
    }
  }
}

}  // namespace lzx
}  // namespace cab
