// Shared by the decoder fuzz targets: the input is a window-size byte and
// then frames, each [2-byte output size][2-byte input size][input bytes],
// decoded in order by one decoder as the engine would: the first failed
// frame ends the folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cabinet/decompressor.h"

namespace cabfuzz {

inline void DecodeFrames(cab::Decompressor& decoder, const uint8_t* data, size_t size) {
  static std::vector<uint8_t> out(32768);
  size_t at = 0;
  while (size - at >= 4) {
    size_t out_size = (data[at] | (data[at + 1] << 8)) % 32769;
    size_t in_size = data[at + 2] | (data[at + 3] << 8);
    at += 4;
    if (in_size > size - at) in_size = size - at;
    if (!decoder.DecodeBlock(data + at, in_size, out.data(), out_size)) return;
    at += in_size;
  }
}

}  // namespace cabfuzz
