#include "cabinet/decompressor.h"

#include <new>

#include "cabinet/cab_format.h"
#include "cabinet/lzx_decoder.h"
#include "cabinet/mszip_decoder.h"
#include "cabinet/quantum_decoder.h"

namespace cab {

const char* DecodeErrorText(DecodeError error) {
  static const struct {
    DecodeError error;
    const char* text;
  } kTexts[] = {
      {DecodeError::kNone, "no error"},
      {DecodeError::kBadFrameSize, "invalid frame size"},
      {DecodeError::kBadSignature, "missing block signature"},
      {DecodeError::kBadBlockType, "invalid block type"},
      {DecodeError::kBadBlockSize, "invalid block size"},
      {DecodeError::kBadHuffmanTable, "invalid Huffman table"},
      {DecodeError::kBadHuffmanCode, "invalid Huffman code"},
      {DecodeError::kBadMatch, "match outside the window or the block"},
      {DecodeError::kInputEnds, "compressed data ends early"},
      {DecodeError::kOutputSize, "output size differs from the stated size"},
  };
  for (const auto& entry : kTexts)
    if (entry.error == error) return entry.text;
  return "unknown decoding error";
}

std::unique_ptr<Decompressor> CreateDecompressor(uint16_t compression_type, bool* out_of_memory) {
  if (out_of_memory) *out_of_memory = false;
  const unsigned window_bits = CompressionWindowBits(compression_type);
  std::unique_ptr<Decompressor> decoder;
  switch (compression_type & kCompressMask) {
    case kCompressMszip:
      decoder.reset(new (std::nothrow) MszipDecoder());
      break;
    case kCompressQuantum:
      if (window_bits < QuantumDecoder::kMinWindowBits || window_bits > QuantumDecoder::kMaxWindowBits)
        return nullptr;
      decoder.reset(new (std::nothrow) QuantumDecoder(window_bits));
      break;
    case kCompressLzx:
      if (window_bits < LzxDecoder::kMinWindowBits || window_bits > LzxDecoder::kMaxWindowBits)
        return nullptr;
      decoder.reset(new (std::nothrow) LzxDecoder(window_bits));
      break;
    default:
      return nullptr;
  }
  if (!decoder || !decoder->Allocated()) {
    if (out_of_memory) *out_of_memory = true;
    return nullptr;
  }
  return decoder;
}

}  // namespace cab
