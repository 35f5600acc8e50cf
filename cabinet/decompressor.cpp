#include "cabinet/decompressor.h"

#include <new>

#include "cabinet/cab_format.h"
#include "cabinet/lzx_decoder.h"
#include "cabinet/mszip_decoder.h"
#include "cabinet/quantum_decoder.h"

namespace cab {

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
