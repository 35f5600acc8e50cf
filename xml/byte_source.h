// Where an EncodingParser's bytes come from: a file or a byte string, read
// either as stored or in text mode. Text mode behaves the same on every
// platform: a CR directly followed by LF is delivered as the LF alone, and a
// byte 0x1A ends the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace BrioCommon {

class ByteSource {
 public:
  // Null when the file cannot be opened.
  static std::unique_ptr<ByteSource> OpenFile(const std::string& file_name);
  static std::unique_ptr<ByteSource> FromMemory(const std::string& bytes);

  virtual ~ByteSource() = default;

  // Total size in bytes as stored; false when it cannot be told.
  virtual bool Size(uint64_t* size) = 0;

  void SetTextMode(bool text) { text_mode_ = text; }
  // Delivers up to `count` bytes (translated in text mode); fewer only at the
  // end of the input or on a read error.
  size_t Read(uint8_t* out, size_t count);
  // Repositions at a raw byte offset and forgets any end or buffered state.
  bool Seek(uint64_t offset);
  bool AtEnd() const { return ended_; }
  bool Failed() const { return failed_; }

 protected:
  // Raw reads and seeks of the underlying store; ReadRaw returns 0 at the
  // end and sets failed_ on an error.
  virtual size_t ReadRaw(uint8_t* out, size_t count) = 0;
  virtual bool SeekRaw(uint64_t offset) = 0;
  bool failed_ = false;

 private:
  bool RefillRaw();

  bool text_mode_ = false;
  bool ended_ = false;
  uint8_t raw_[4096];
  size_t raw_pos_ = 0;
  size_t raw_len_ = 0;
};

}  // namespace BrioCommon
