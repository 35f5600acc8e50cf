// Round trip of the writer's LZX encoder through the reader's LZX decoder.
// The first two bytes choose the window (15..21 bits), level, E8 translation
// and how often the rest is repeated (so that small inputs still span several
// frames and reach matches across them); the decoded frames must equal the
// input exactly.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cabinet/cab_format.h"
#include "cabinet/decompressor.h"
#include "cabinet/lzx_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  cab::LzxEncoderOptions options;
  options.window_bits = 15 + data[0] % 7;
  options.level = 1 + (data[0] / 7) % 5;
  options.e8_translation = (data[1] & 0x80) != 0;
  options.e8_translation_size = 1 + (static_cast<uint32_t>(data[1]) << 12);
  const size_t repeats = 1 + (data[1] & 0x3F);
  std::vector<uint8_t> input;
  for (size_t i = 0; i < repeats; ++i) input.insert(input.end(), data + 2, data + size);

  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint32_t> sizes;
  cab::LzxEncoder encoder;
  auto sink = [&](const uint8_t* p, size_t n, uint32_t u) {
    if (n > cab::kMaxBlockCompressed) abort();
    frames.emplace_back(p, p + n);
    sizes.push_back(u);
    return true;
  };
  if (!encoder.Start(options, sink)) abort();
  for (size_t at = 0; at < input.size(); at += cab::LzxEncoder::kFrameSize) {
    size_t n = input.size() - at < cab::LzxEncoder::kFrameSize ? input.size() - at : cab::LzxEncoder::kFrameSize;
    if (!encoder.AddFrame(input.data() + at, n)) abort();
  }
  if (!encoder.Finish()) abort();

  auto decoder = cab::CreateDecompressor(cab::MakeLzxType(options.window_bits));
  std::vector<uint8_t> out(cab::LzxEncoder::kFrameSize);
  size_t at = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!decoder->DecodeBlock(frames[i].data(), frames[i].size(), out.data(), sizes[i])) abort();
    if (std::memcmp(out.data(), input.data() + at, sizes[i]) != 0) abort();
    at += sizes[i];
  }
  if (at != input.size()) abort();
  return 0;
}
