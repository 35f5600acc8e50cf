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

void TranslateE8ToRelative(uint8_t* frame, size_t size, uint32_t frame_offset, uint32_t translation_size) {
  if (size <= kTranslationTail) return;
  const int64_t file_size = translation_size;
  uint8_t* const end = frame + (size - kTranslationTail);
  // Most bytes are no 0xE8: the library's byte search skips them many at a
  // time.
  for (uint8_t* p = frame; p < end; p += 5) {
    p = static_cast<uint8_t*>(std::memchr(p, 0xE8, static_cast<size_t>(end - p)));
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
