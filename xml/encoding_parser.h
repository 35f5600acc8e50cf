// A character source over a file, a byte string or a wide string, which
// decodes 8-bit, UTF-8 or UTF-16 input one 16-bit character at a time and
// lets the reader push characters back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/string_utils.h"

namespace BrioCommon {

class ByteSource;

class EncodingParser {
 public:
  enum Encoding {
    Encoding8Bit = 0,  // one byte per character (the default)
    EncodingUTF8 = 1,
    EncodingUTF16 = 2,  // byte order chosen by the byte-order mark
  };
  enum CharStatus {
    CharOk = 0,        // a character was delivered
    CharIllegal = 1,   // bytes were consumed but do not form a valid character
    CharEnd = 2,       // no more input
    CharInternal = 3,  // no output location was given
  };
  // Bytes requested from a file per refill of the byte buffer.
  static constexpr size_t kFileReadSize = 16384;

  EncodingParser();
  EncodingParser(const EncodingParser&) = delete;
  EncodingParser& operator=(const EncodingParser&) = delete;

  // Looks at the first bytes for a byte-order mark (FF FE / FE FF selects
  // UTF-16, EF BB BF selects UTF-8, anything else 8-bit); does nothing once an
  // encoding was forced with SetEncoding. The mark stays in the input.
  virtual void DetectEncoding();
  virtual ~EncodingParser();
  virtual void SetEncoding(int code);
  virtual int GetEncoding() const;
  // Opens the file in text mode unless SetBinaryMode(true): a CR LF pair is
  // read as LF alone and a byte 0x1A ends the input, alike on every platform.
  // Those byte rules apply to 8-bit and UTF-8 input only; UTF-16 input is
  // always read as stored.
  virtual bool Open(const std::string& file_name);
  virtual bool Close();
  virtual bool AtEnd();
  virtual void SetSourceBytes(const std::string& bytes);
  virtual void SetSourceText(const WString& text);
  virtual int ReadChar(WChar* out);
  virtual void UnreadChar(WChar c);
  virtual void UnreadText(const WString& text);

  void SetBinaryMode(bool binary) { binary_mode_ = binary; }

 protected:
  // Like Open, over bytes held in memory (text-mode rules, detection and the
  // first-character flag included). Never fails.
  void OpenMemory(const std::string& bytes);
  // Reopens the current source as raw bytes positioned at `offset`; the byte
  // and pushback buffers are emptied. False when there is no source.
  bool ReopenRawAt(uint64_t offset);
  // Takes up to `count` raw bytes from the byte buffer and the source, with
  // no decoding; returns how many were delivered.
  size_t ReadBytes(uint8_t* out, size_t count);
  // True when the source reported a read error (not merely its end).
  bool SourceFailed() const;
  // Makes a later ReadChar report CharIllegal once, after the characters
  // pushed back before it: used to put back a failed read.
  void UnreadIllegal();

 private:
  using Decoder = int (EncodingParser::*)(WChar* out);
  int Decode8Bit(WChar* out);
  int DecodeUTF8(WChar* out);
  int DecodeUTF16(WChar* out);
  // Makes at least `count` bytes available in the byte buffer when the
  // source still has them; returns how many are available.
  size_t Fill(size_t count);
  // Applies the open mode, detects the encoding and arms the first-character
  // flag for a source just opened.
  void StartSource();
  void ResetBuffers();

  // Pushed-back characters; the next one read is at the back. Values above
  // 0xFFFF are markers (see UnreadIllegal).
  std::vector<uint32_t> pushback_;
  Decoder decoder_;
  bool forced_ = false;
  bool first_char_ = false;
  bool utf16_swap_ = false;
  bool binary_mode_ = false;
  std::string bytes_;      // raw bytes not yet decoded, from bytes_pos_ on
  size_t bytes_pos_ = 0;
  std::unique_ptr<ByteSource> source_;
};

}  // namespace BrioCommon
