// Bit readers over one compressed block held in memory.
//
// Every cabinet data block arrives whole, so a reader only ever sees a
// bounded buffer. Reads past its end yield zero bits instead of touching
// memory that is not there; the reader counts them so that the decoder can
// reject a block that really needed bits it does not have (Overrun()).
// Peeking ahead of the end is normal (a Huffman lookup peeks more bits than
// the code it finds), only consuming them is an error.
//
//   LsbBitReader: deflate order, bits taken from the low end of each byte.
//   WordBitReader: LZX order, 16-bit little-endian words read from their
//                  most significant bit down.
//   MsbBitReader: Quantum order, bytes read from their most significant bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cab {

class LsbBitReader {
 public:
  static constexpr bool kLsbFirst = true;
  // Refill guarantees at least this many bits in the buffer.
  static constexpr unsigned kGuaranteedBits = 56;

  LsbBitReader(const uint8_t* data, size_t size) : next_(data), end_(data + size) {}

  void Refill() {
    if (end_ - next_ >= 8) {
      uint64_t word;
      std::memcpy(&word, next_, 8);
      word = FromLittleEndian(word);
      bits_ |= word << count_;
      unsigned take = (63 - count_) >> 3;
      next_ += take;
      count_ += take * 8;
      return;
    }
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (next_ < end_) {
        byte = *next_++;
      } else {
        padding_bits_ += 8;
      }
      bits_ |= byte << count_;
      count_ += 8;
    }
  }

  // n <= 32; the caller has refilled enough bits.
  uint32_t Peek(unsigned n) const { return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1)); }
  void Drop(unsigned n) {
    bits_ >>= n;
    count_ -= n;
  }
  uint32_t Read(unsigned n) {
    if (count_ < n) Refill();
    uint32_t v = Peek(n);
    Drop(n);
    return v;
  }
  unsigned BitsInBuffer() const { return count_; }

  // Drops the bits up to the next byte boundary.
  void AlignToByte() { Drop(count_ & 7); }

  // After AlignToByte(): copies n whole bytes from the stream. False when the
  // block does not hold them.
  bool ReadBytes(uint8_t* out, size_t n) {
    // Bytes still held in the bit buffer come first.
    while (n > 0 && count_ >= 8) {
      if (Overrun()) return false;
      *out++ = static_cast<uint8_t>(bits_);
      Drop(8);
      --n;
    }
    if (Overrun()) return false;
    if (n == 0) return true;
    // The buffer is empty now; whatever padding it held was never consumed.
    padding_bits_ = 0;
    bits_ = 0;
    count_ = 0;
    if (static_cast<size_t>(end_ - next_) < n) return false;
    std::memcpy(out, next_, n);
    next_ += n;
    return true;
  }

  // True when bits beyond the end of the block have been consumed.
  bool Overrun() const { return count_ < padding_bits_; }
  // True when every byte of the block has been consumed (up to padding).
  size_t UnreadBytes() const {
    size_t held = count_ >= padding_bits_ ? (count_ - padding_bits_) / 8 : 0;
    return static_cast<size_t>(end_ - next_) + held;
  }

 private:
  static uint64_t FromLittleEndian(uint64_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(v);
#else
    return v;
#endif
  }

  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
  unsigned padding_bits_ = 0;
};

// Bits left-aligned in a 64-bit buffer: the oldest unread bit is bit 63.
// Below the count_ valid bits the buffer holds either zeros or the very
// stream bits that follow, so a refill may OR a whole 64-bit load into it
// (four words at once, however many of them fit) and count only the words
// that fit whole.
//
// The fast refill reads a copy of the block with the two bytes of every
// word swapped (SwapWords()): the words are then big-endian and four of
// them come in stream order with one byte-reversing load. The careful path
// reads the block itself, as do callers of Data() (raw bytes).
class WordBitReader {
 public:
  static constexpr bool kLsbFirst = false;
  // Refill guarantees at least this many bits in the buffer.
  static constexpr unsigned kGuaranteedBits = 48;
  // RefillFast() reads this many bytes and advances by at most 6 of them.
  static constexpr size_t kFastRefillBytes = 8;

  WordBitReader() = default;
  WordBitReader(const uint8_t* data, size_t size) { Reset(data, size); }

  // swapped: SwapWords() of the same size bytes, which enables RefillFast(),
  // or null.
  void Reset(const uint8_t* data, size_t size, const uint8_t* swapped = nullptr) {
    data_ = data;
    swapped_ = swapped;
    size_ = size;
    pos_ = 0;
    bits_ = 0;
    count_ = 0;
    padding_bits_ = 0;
  }

  // Swaps the bytes of each whole word of in[size] into out (an odd last
  // byte is left out).
  static void SwapWords(const uint8_t* in, size_t size, uint8_t* out) {
    size_t i = 0;
    // Runs of a fixed length, which the compiler turns into vector code.
    for (; i + 64 <= size; i += 64) {
      uint16_t w[32];
      std::memcpy(w, in + i, 64);
      for (uint16_t& x : w) x = static_cast<uint16_t>((x >> 8) | (x << 8));
      std::memcpy(out + i, w, 64);
    }
    for (; i + 2 <= size; i += 2) {
      out[i] = in[i + 1];
      out[i + 1] = in[i];
    }
  }

  void Refill() {
    if (FastRefillReady() && BytesLeft() >= kFastRefillBytes) {
      RefillFast();
      return;
    }
    while (count_ < 48) {
      uint64_t word = 0;
      if (size_ - pos_ >= 2) {
        word = data_[pos_] | (data_[pos_ + 1] << 8);
        pos_ += 2;
      } else {
        // An odd last byte is taken as the low half of a final word.
        if (pos_ < size_) {
          word = data_[pos_++];
        } else {
          padding_bits_ += 16;
        }
      }
      bits_ |= word << (48 - count_);
      count_ += 16;
    }
  }

  // Whether RefillFast() may be used (given enough bytes left): there is a
  // swapped copy and the reader stands on a word of it (the raw bytes of an
  // LZX uncompressed block can leave it on an odd byte).
  bool FastRefillReady() const { return swapped_ != nullptr && (pos_ & 1) == 0; }

  // Refill() for a caller that knows FastRefillReady() and
  // BytesLeft() >= kFastRefillBytes.
  void RefillFast() {
    uint64_t v;
    std::memcpy(&v, swapped_ + pos_, 8);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    bits_ |= v >> count_;
    // Count the words that fit whole: 0 to 3 of them, which takes count_
    // to 48..63.
    pos_ += (~count_ >> 3) & 6;
    count_ |= 48;
  }
  size_t BytesLeft() const { return size_ - pos_; }

  // 1 <= n <= 32; the caller has refilled enough bits.
  uint32_t Peek(unsigned n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
  void Drop(unsigned n) {
    bits_ <<= n;
    count_ -= n;
  }
  uint32_t Read(unsigned n) {
    if (n == 0) return 0;
    if (count_ < n) Refill();
    uint32_t v = Peek(n);
    Drop(n);
    return v;
  }
  unsigned BitsInBuffer() const { return count_; }

  // Bits consumed since Reset(), padding included.
  size_t BitPosition() const { return pos_ * 8 + padding_bits_ - count_; }

  // Moves to a byte position of the block, emptying the bit buffer; used
  // around the raw bytes of LZX uncompressed blocks.
  bool SeekToByte(size_t offset) {
    if (offset > size_) return false;
    pos_ = offset;
    bits_ = 0;
    count_ = 0;
    padding_bits_ = 0;
    return true;
  }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

  bool Overrun() const { return count_ < padding_bits_; }

  // A decoding loop may take the stream over as a Cursor (while
  // FastRefillReady()) and hand it back: Cursor at BitPosition(), then
  // SeekToBit(cursor.position).
  struct Cursor;
  Cursor TakeCursor() const;
  // A bit position inside the block, with no padding consumed.
  void SeekToBit(size_t bit) {
    SeekToByte(bit / 16 * 2);
    Refill();
    Drop(bit % 16);
  }

 private:
  const uint8_t* data_ = nullptr;
  const uint8_t* swapped_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
  unsigned padding_bits_ = 0;
};

// The swapped copy of a block read as one big-endian bit stream: a refill
// is one load at the byte the position falls in, shifted by the bits of
// that byte already used. The buffer is the machine's word: 64 bits yield
// at least 57 after a refill, 32 bits at least 25 (a 32-bit processor
// shifts a 64-bit value in several instructions, each Drop() among them,
// and has too few registers to hold one). The caller keeps the load inside
// the copy (position / 8 + 8 <= limit_bytes).
struct WordBitReader::Cursor {
  using Word = uintptr_t;
  static constexpr bool kLsbFirst = false;
  static constexpr unsigned kWordBits = sizeof(Word) * 8;
  static constexpr unsigned kGuaranteedBits = kWordBits - 7;

  const uint8_t* stream;
  size_t limit_bytes;  // the whole words of the block
  size_t position;     // bits consumed since the block's start
  Word bits = 0;       // left-aligned

  void Refill() {
    Word v;
    std::memcpy(&v, stream + position / 8, sizeof v);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_BIG_ENDIAN__
    if constexpr (sizeof v == 8) {
      v = static_cast<Word>(__builtin_bswap64(v));
    } else {
      v = static_cast<Word>(__builtin_bswap32(static_cast<uint32_t>(v)));
    }
#endif
    bits = v << (position % 8);
  }
  // 1 <= n <= kGuaranteedBits, after a Refill() that left n bits.
  uint32_t Peek(unsigned n) const { return static_cast<uint32_t>(bits >> (kWordBits - n)); }
  void Drop(unsigned n) {
    bits <<= n;
    position += n;
  }
};

inline WordBitReader::Cursor WordBitReader::TakeCursor() const {
  return Cursor{swapped_, size_ & ~size_t{1}, BitPosition()};
}

// Bytes read from their most significant bit; Quantum's arithmetic decoder
// takes one bit at a time and its raw extra bits come from the same stream.
class MsbBitReader {
 public:
  MsbBitReader() = default;
  void Reset(const uint8_t* data, size_t size) {
    next_ = data;
    end_ = data + size;
    bits_ = 0;
    count_ = 0;
    padding_bits_ = 0;
  }
  uint32_t Read(unsigned n) {
    if (n == 0) return 0;
    while (count_ < n) {
      uint64_t byte = 0;
      if (next_ < end_) {
        byte = *next_++;
      } else {
        padding_bits_ += 8;
      }
      bits_ = (bits_ << 8) | byte;
      count_ += 8;
    }
    count_ -= n;
    return static_cast<uint32_t>((bits_ >> count_) & ((uint64_t{1} << n) - 1));
  }
  // Bits read past the end of the block; the arithmetic decoder legitimately
  // looks up to 16 bits ahead of what the encoder flushed.
  unsigned PaddingConsumed() const { return padding_bits_ > count_ ? padding_bits_ - count_ : 0; }

 private:
  const uint8_t* next_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
  unsigned padding_bits_ = 0;
};

}  // namespace cab
