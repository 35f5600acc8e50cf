// The interface every folder decoder (MSZIP, Quantum, LZX) offers the
// cabinet engine: one call per data block, state carried from block to block
// within a folder, Reset() at the start of each folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace cab {

// Why a data block could not be decoded.
enum class DecodeError {
  kNone,
  kBadFrameSize,      // the block announces no output or more than a frame
  kBadSignature,      // an MSZIP block without its "CK"
  kBadBlockType,
  kBadBlockSize,
  kBadHuffmanTable,   // code lengths that make no prefix code
  kBadHuffmanCode,    // a bit pattern that is no symbol of its tree
  kBadMatch,          // a match before the window or past the block's end
  kInputEnds,         // the compressed bytes end before the block does
  kOutputSize,        // the block makes fewer or more bytes than it states
};

// A short English description, such as "invalid Huffman table".
const char* DecodeErrorText(DecodeError error);

// A decoder's history window, allocated without throwing (the Windows
// programs are built without exceptions): a failed allocation leaves it
// empty, and CreateDecompressor then reports the decoder out of memory.
// Zeroed, as the decoders expect of a new window.
class WindowBuffer {
 public:
  explicit WindowBuffer(size_t size) : bytes_(new (std::nothrow) uint8_t[size]()), size_(bytes_ ? size : 0) {}
  bool allocated() const { return bytes_ != nullptr; }
  size_t size() const { return size_; }
  uint8_t* data() { return bytes_.get(); }
  uint8_t* begin() { return bytes_.get(); }
  uint8_t* end() { return bytes_.get() + size_; }
  uint8_t& operator[](size_t i) { return bytes_[i]; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};

class Decompressor {
 public:
  virtual ~Decompressor() = default;

  // False when the decoder could not get its memory; it must not be used.
  virtual bool Allocated() const { return true; }

  // "MSZIP", "Quantum" or "LZX", for messages.
  virtual const char* FormatName() const = 0;
  // Why the last DecodeBlock() failed; kNone after a success.
  DecodeError LastError() const { return error_; }

  // Forgets all history; the next block is the first of a folder.
  virtual void Reset() = 0;

  // Decodes one data block of in_size bytes into exactly out_size bytes
  // (at most 32768). False when the block is damaged or does not yield
  // out_size bytes; the folder must then be Reset() before further use.
  virtual bool DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) = 0;

 protected:
  // Called first by every DecodeBlock().
  void ClearError() { error_ = DecodeError::kNone; }
  // Records why the block failed (the first reason found wins) and returns
  // false, so that a failing check reads `return Fail(...)`.
  bool Fail(DecodeError error) {
    if (error_ == DecodeError::kNone) error_ = error;
    return false;
  }
  // Ends a failed block. A failure found after the compressed bytes ran out
  // (the reader then supplies zero bits) is reported as their end, whatever
  // check noticed it.
  bool FailBlock(bool input_ended) {
    if (input_ended) error_ = DecodeError::kInputEnds;
    return Fail(DecodeError::kInputEnds);
  }

 private:
  DecodeError error_ = DecodeError::kNone;
};

// A decoder for a folder's compression type (CFFOLDER.typeCompress), or
// null when the type or its window size is not supported. Stored folders
// (type 0) need no decoder and also give null. Null with *out_of_memory set
// when the memory for the decoder could not be had.
std::unique_ptr<Decompressor> CreateDecompressor(uint16_t compression_type, bool* out_of_memory = nullptr);

}  // namespace cab
