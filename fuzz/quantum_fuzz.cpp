// libFuzzer target: the Quantum decoder over a sequence of frames; the first
// byte picks the window (10 to 21 bits).
#include <memory>

#include "cabinet/quantum_decoder.h"
#include "fuzz/cab_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static std::unique_ptr<cab::QuantumDecoder> decoders[12];
  const unsigned bits = 10 + data[0] % 12;
  auto& decoder = decoders[bits - 10];
  if (!decoder) decoder.reset(new cab::QuantumDecoder(bits));
  decoder->Reset();
  cabfuzz::DecodeFrames(*decoder, data + 1, size - 1);
  return 0;
}
