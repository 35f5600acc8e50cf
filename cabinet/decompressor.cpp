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

std::unique_ptr<Decompressor> CreateDecompressor(uint16_t compression_type) {
  const unsigned window_bits = CompressionWindowBits(compression_type);
  switch (compression_type & kCompressMask) {
    case kCompressMszip:
      return std::unique_ptr<Decompressor>(new (std::nothrow) MszipDecoder());
    case kCompressQuantum:
      if (window_bits < QuantumDecoder::kMinWindowBits || window_bits > QuantumDecoder::kMaxWindowBits)
        return nullptr;
      return std::unique_ptr<Decompressor>(new (std::nothrow) QuantumDecoder(window_bits));
    case kCompressLzx:
      if (window_bits < LzxDecoder::kMinWindowBits || window_bits > LzxDecoder::kMaxWindowBits)
        return nullptr;
      return std::unique_ptr<Decompressor>(new (std::nothrow) LzxDecoder(window_bits));
    default:
      return nullptr;
  }
}

}  // namespace cab
