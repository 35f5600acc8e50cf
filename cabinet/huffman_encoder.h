// Prefix-code construction for the writer's compressors (LZX and deflate):
// optimal code lengths under a length limit, and canonical code values.
#pragma once
#include <cstddef>
#include <cstdint>

#include "cabinet/byte_order.h"  // ReverseBits, which the encoders use beside these

namespace cab {

// The longest code any caller asks for (LZX main and length trees).
constexpr unsigned kMaxHuffmanLength = 16;

// Fills lengths[0..num_symbols) with the code length of every symbol: 0 for a
// symbol of frequency 0, otherwise 1..max_length, so that the total coded size
// sum(freq * length) is the smallest possible under the limit (package-merge).
// With two or more used symbols the code is complete (the Kraft sum is exactly
// 1); a single used symbol gets length 1. Ties are broken by symbol number, so
// equal inputs always give equal codes. Requires num_symbols <= 2^max_length
// and num_symbols <= 65536.
void BuildHuffmanLengths(const uint32_t* freqs, size_t num_symbols, unsigned max_length,
                         uint8_t* lengths);

// Assigns canonical code values: shorter codes first, and within one length
// in increasing symbol order. codes[i] holds the lengths[i] bits of symbol i,
// most significant bit first (the first bit sent). Unused symbols get 0.
void BuildCanonicalCodes(const uint8_t* lengths, size_t num_symbols, uint16_t* codes);

// Makes sure at least two symbols have a non-zero frequency, by raising the
// lowest-numbered unused ones to 1. Decoders accept only complete codes, and a
// code of one symbol is not complete.
void EnsureTwoSymbols(uint32_t* freqs, size_t num_symbols);

}  // namespace cab
