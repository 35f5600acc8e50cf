// The cabinet data-block checksum (CFDATA.csum): 32-bit words XORed
// together, the trailing 1 to 3 bytes packed in an order of their own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cab {

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);

// The checksum stored in a data block's header: over the compressed bytes,
// then over the 4 bytes of cbData and cbUncomp.
uint32_t DataBlockChecksum(const uint8_t* data, uint16_t compressed_size, uint16_t uncompressed_size);

}  // namespace cab
