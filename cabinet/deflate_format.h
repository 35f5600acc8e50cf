// The deflate format (RFC 1951) as MSZIP blocks carry it, written down once
// for the decoder (mszip_decoder) and the encoder (deflate_encoder): the
// length and distance codes with their extra bits, the order of the code
// length code, and the fixed codes.
#pragma once

#include <cstdint>

namespace cab {
namespace deflate {

constexpr uint32_t kWindowSize = 32768;  // the farthest a match reaches back
constexpr unsigned kEndOfBlock = 256;
constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 258;
constexpr unsigned kNumLengthCodes = 29;    // literal/length symbols 257..285
constexpr unsigned kNumDistanceCodes = 30;  // distance symbols 0..29
constexpr unsigned kNumLitLenCodes = kEndOfBlock + 1 + kNumLengthCodes;
constexpr unsigned kNumCodeLengthCodes = 19;

// Length symbol 257 + i stands for kLengthBase[i] plus kLengthExtra[i] bits.
inline constexpr uint16_t kLengthBase[kNumLengthCodes] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,
                                                          15, 17, 19, 23, 27, 31, 35, 43,  51,  59,
                                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t kLengthExtra[kNumLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance symbol i stands for kDistanceBase[i] plus kDistanceExtra[i] bits.
inline constexpr uint16_t kDistanceBase[kNumDistanceCodes] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr uint8_t kDistanceExtra[kNumDistanceCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// Order in which a dynamic block sends the code length code's lengths.
inline constexpr uint8_t kCodeLengthOrder[kNumCodeLengthCodes] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                  11, 4,  12, 3, 13, 2, 14, 1, 15};

// The fixed codes of a block of type 1 (RFC 1951, 3.2.6) by their code
// lengths. Both alphabets hold two reserved symbols that shape the code
// though no stream uses them: 288 literal/length and 32 distance symbols.
constexpr unsigned kNumFixedLitLenCodes = kNumLitLenCodes + 2;
constexpr unsigned kNumFixedDistanceCodes = kNumDistanceCodes + 2;
constexpr uint8_t FixedLitLenLength(unsigned symbol) {
  return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}
constexpr uint8_t kFixedDistanceLength = 5;

}  // namespace deflate
}  // namespace cab
