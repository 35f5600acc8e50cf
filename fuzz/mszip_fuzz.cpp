// libFuzzer target: the MSZIP decoder over a sequence of data blocks.
#include "cabinet/mszip_decoder.h"
#include "fuzz/cab_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static cab::MszipDecoder decoder;
  decoder.Reset();
  cabfuzz::DecodeFrames(decoder, data, size);
  return 0;
}
