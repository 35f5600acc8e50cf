// libFuzzer target: the LZX decoder over a sequence of frames; the first
// byte picks the window (15 to 21 bits).
#include <memory>

#include "cabinet/lzx_decoder.h"
#include "fuzz/cab_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static std::unique_ptr<cab::LzxDecoder> decoders[7];
  const unsigned bits = 15 + data[0] % 7;
  auto& decoder = decoders[bits - 15];
  if (!decoder) decoder.reset(new cab::LzxDecoder(bits));
  decoder->Reset();
  cabfuzz::DecodeFrames(*decoder, data + 1, size - 1);
  return 0;
}
