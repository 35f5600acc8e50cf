#include "base/sha256.h"

#include <algorithm>
#include <cstring>

namespace base {
namespace {

// The first 32 bits of the fractional parts of the square roots of the first
// 8 primes (5.3.3).
constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

}  // namespace

void Sha256::Reset() {
  std::memcpy(state_, kInitialState, sizeof state_);
  pending_size_ = 0;
  total_bytes_ = 0;
}

void Sha256::Update(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  total_bytes_ += size;
  if (pending_size_ > 0) {
    size_t take = std::min(size, sizeof pending_ - pending_size_);
    std::memcpy(pending_ + pending_size_, p, take);
    pending_size_ += take;
    p += take;
    size -= take;
    if (pending_size_ < sizeof pending_) return;
    Compress(pending_, 1);
    pending_size_ = 0;
  }
  const size_t blocks = size / 64;
  if (blocks > 0) Compress(p, blocks);
  p += blocks * 64;
  size -= blocks * 64;
  std::memcpy(pending_, p, size);
  pending_size_ = size;
}

Sha256Digest Sha256::Finish() {
  // Padding (5.1.1): a one bit, zeros, then the message length in bits as a
  // 64-bit big-endian number, ending on a block boundary.
  const uint64_t bits = total_bytes_ * 8;
  uint8_t tail[72] = {0x80};
  size_t zeros = (pending_size_ < 56 ? 56 : 120) - pending_size_;
  for (int i = 0; i < 8; ++i) tail[zeros + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Update(tail, zeros + 8);
  Sha256Digest digest;
  for (int i = 0; i < 8; ++i)
    for (int k = 0; k < 4; ++k) digest[4 * i + k] = static_cast<uint8_t>(state_[i] >> (24 - 8 * k));
  Reset();
  return digest;
}

Sha256Digest Sha256Of(const void* data, size_t size) {
  Sha256 hash;
  hash.Update(data, size);
  return hash.Finish();
}

std::string Sha256Hex(const Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace base
