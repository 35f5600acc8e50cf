// SHA-256 (FIPS 180-4) in portable code: the installer's payload names each
// volume of a set by the hash of its bytes, so that a signature over the
// installer alone covers every volume beside it. The authoring tool hashes
// while it writes a volume and the installer while it reads one; both feed
// the bytes in pieces of any size, so nothing needs a whole file in memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace base {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  // The digest of everything given since the last Reset; the object is reset
  // afterwards.
  Sha256Digest Finish();

 private:
  // Runs the compression function over whole 64-byte blocks.
  void Compress(const uint8_t* blocks, size_t count);

  uint32_t state_[8];
  uint8_t pending_[64];
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

Sha256Digest Sha256Of(const void* data, size_t size);
// Lower-case hexadecimal, 64 characters.
std::string Sha256Hex(const Sha256Digest& digest);

}  // namespace base
