// The checksum of a cabinet data block. It folds the bytes into 32-bit
// little-endian words with XOR; a trailing group of 1 to 3 bytes is packed
// with its first byte in the highest position used. A CFDATA block's stored
// value is CabChecksum(header fields after the checksum,
//                      CabChecksum(block data, 0)).
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);
