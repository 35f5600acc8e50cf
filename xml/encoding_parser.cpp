#include "xml/encoding_parser.h"

#include <algorithm>

#include "xml/byte_source.h"

namespace BrioCommon {
namespace {

// Pushback entry that stands for a failed read rather than a character.
constexpr uint32_t kIllegalMarker = 0x10000;
constexpr WChar kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

EncodingParser::EncodingParser() : decoder_(&EncodingParser::Decode8Bit) {}

EncodingParser::~EncodingParser() = default;

void EncodingParser::ResetBuffers() {
  bytes_.clear();
  bytes_pos_ = 0;
  pushback_.clear();
}

void EncodingParser::DetectEncoding() {
  if (forced_) return;
  uint64_t size = bytes_.size() - bytes_pos_;
  if (source_ && !source_->Size(&size)) size = 0;
  decoder_ = &EncodingParser::Decode8Bit;
  // The marks are only looked at, never taken: the decoders drop them.
  if (size > 1 && Fill(2) >= 2) {
    uint8_t b0 = static_cast<uint8_t>(bytes_[bytes_pos_]);
    uint8_t b1 = static_cast<uint8_t>(bytes_[bytes_pos_ + 1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF))
      decoder_ = &EncodingParser::DecodeUTF16;
  }
  if (decoder_ == &EncodingParser::Decode8Bit && size > 2 && Fill(3) >= 3) {
    if (static_cast<uint8_t>(bytes_[bytes_pos_]) == 0xEF &&
        static_cast<uint8_t>(bytes_[bytes_pos_ + 1]) == 0xBB &&
        static_cast<uint8_t>(bytes_[bytes_pos_ + 2]) == 0xBF)
      decoder_ = &EncodingParser::DecodeUTF8;
  }
}

void EncodingParser::SetEncoding(int code) {
  switch (code) {
    case EncodingUTF8: decoder_ = &EncodingParser::DecodeUTF8; break;
    case EncodingUTF16: decoder_ = &EncodingParser::DecodeUTF16; break;
    default: decoder_ = &EncodingParser::Decode8Bit; break;
  }
  forced_ = true;
}

int EncodingParser::GetEncoding() const {
  if (decoder_ == &EncodingParser::DecodeUTF8) return EncodingUTF8;
  if (decoder_ == &EncodingParser::DecodeUTF16) return EncodingUTF16;
  return Encoding8Bit;
}

bool EncodingParser::Open(const std::string& file_name) {
  ResetBuffers();
  source_.reset();
  source_ = ByteSource::OpenFile(file_name);
  if (!source_) return false;
  StartSource();
  return true;
}

void EncodingParser::OpenMemory(const std::string& bytes) {
  ResetBuffers();
  source_ = ByteSource::FromMemory(bytes);
  StartSource();
}

void EncodingParser::StartSource() {
  source_->SetTextMode(!binary_mode_);
  DetectEncoding();
  if (!binary_mode_ && GetEncoding() == EncodingUTF16) {
    // Text-mode rules work on bytes: in UTF-16 a 0x1A or a 0D 0A pair can be
    // half of a character (U+011A is the bytes 1A 01), so such a file is read
    // as stored and no character is lost.
    ResetBuffers();
    source_->SetTextMode(false);
    source_->Seek(0);
  }
  first_char_ = true;
  utf16_swap_ = false;
}

bool EncodingParser::ReopenRawAt(uint64_t offset) {
  ResetBuffers();
  if (!source_) return false;
  source_->SetTextMode(false);
  return source_->Seek(offset);
}

bool EncodingParser::Close() {
  if (!source_) return false;
  source_.reset();
  return true;
}

bool EncodingParser::AtEnd() {
  if (!pushback_.empty() || bytes_pos_ < bytes_.size()) return false;
  return source_ ? source_->AtEnd() : true;
}

void EncodingParser::SetSourceBytes(const std::string& bytes) {
  bytes_ = bytes;
  bytes_pos_ = 0;
  pushback_.clear();
  source_.reset();
  DetectEncoding();
}

void EncodingParser::SetSourceText(const WString& text) {
  pushback_.assign(text.rbegin(), text.rend());
  bytes_.clear();
  bytes_pos_ = 0;
  source_.reset();
}

int EncodingParser::ReadChar(WChar* out) {
  if (!out) return CharInternal;
  if (!pushback_.empty()) {
    uint32_t c = pushback_.back();
    pushback_.pop_back();
    if (c == kIllegalMarker) return CharIllegal;
    *out = static_cast<WChar>(c);
    return CharOk;
  }
  // Fast path: a buffered ASCII byte is itself in 8-bit and UTF-8 input.
  if (bytes_pos_ < bytes_.size() && !first_char_ && decoder_ != &EncodingParser::DecodeUTF16) {
    uint8_t b = static_cast<uint8_t>(bytes_[bytes_pos_]);
    if (b < 0x80) {
      ++bytes_pos_;
      *out = b;
      return CharOk;
    }
  }
  return (this->*decoder_)(out);
}

void EncodingParser::UnreadChar(WChar c) { pushback_.push_back(c); }

void EncodingParser::UnreadText(const WString& text) {
  pushback_.insert(pushback_.end(), text.rbegin(), text.rend());
}

void EncodingParser::UnreadIllegal() { pushback_.push_back(kIllegalMarker); }

size_t EncodingParser::Fill(size_t count) {
  size_t available = bytes_.size() - bytes_pos_;
  if (available >= count || !source_) return available;
  // Drop what was consumed before growing the buffer.
  bytes_.erase(0, bytes_pos_);
  bytes_pos_ = 0;
  while (bytes_.size() < count && !source_->AtEnd()) {
    uint8_t chunk[kFileReadSize];
    size_t got = source_->Read(chunk, sizeof chunk);
    bytes_.append(reinterpret_cast<const char*>(chunk), got);
    if (got == 0) break;
  }
  return bytes_.size();
}

size_t EncodingParser::ReadBytes(uint8_t* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    size_t available = Fill(std::min(count - done, kFileReadSize));
    if (available == 0) break;
    size_t n = std::min(available, count - done);
    std::copy(bytes_.begin() + bytes_pos_, bytes_.begin() + bytes_pos_ + n, out + done);
    bytes_pos_ += n;
    done += n;
  }
  return done;
}

bool EncodingParser::SourceFailed() const { return source_ && source_->Failed(); }

int EncodingParser::Decode8Bit(WChar* out) {
  if (Fill(1) == 0) return CharEnd;
  *out = static_cast<uint8_t>(bytes_[bytes_pos_++]);
  first_char_ = false;
  return CharOk;
}

int EncodingParser::DecodeUTF8(WChar* out) {
  for (;;) {
    if (Fill(1) == 0) return CharEnd;
    bool first = first_char_;
    first_char_ = false;
    uint32_t lead = static_cast<uint8_t>(bytes_[bytes_pos_++]);
    size_t extra;
    uint32_t code, min_code;
    if (lead < 0x80) {
      extra = 0, code = lead, min_code = 0;
    } else if (lead < 0xC0) {
      return CharIllegal;
    } else if (lead < 0xE0) {
      extra = 1, code = lead & 0x1F, min_code = 0x80;
    } else if (lead < 0xF0) {
      extra = 2, code = lead & 0x0F, min_code = 0x800;
    } else if (lead < 0xF8) {
      extra = 3, code = lead & 0x07, min_code = 0x10000;
    } else {
      return CharIllegal;
    }
    size_t available = Fill(extra);
    for (size_t i = 0; i < extra; ++i) {
      if (i >= available) return CharIllegal;
      uint32_t b = static_cast<uint8_t>(bytes_[bytes_pos_]);
      if ((b & 0xC0) != 0x80) return CharIllegal;
      ++bytes_pos_;
      code = (code << 6) | (b & 0x3F);
    }
    if (code < min_code) return CharIllegal;  // over-long form
    if ((code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
      return CharIllegal;
    if (first && code == 0xFEFF) continue;  // byte-order mark
    if (code <= 0xFFFF) {
      *out = static_cast<WChar>(code);
    } else if (code <= 0x10FFFF) {
      // Beyond 16 bits: a surrogate pair, the low half read next.
      code -= 0x10000;
      *out = static_cast<WChar>(0xD800 + (code >> 10));
      pushback_.push_back(0xDC00 + (code & 0x3FF));
    } else {
      *out = kReplacement;  // no UTF-16 form exists
    }
    return CharOk;
  }
}

int EncodingParser::DecodeUTF16(WChar* out) {
  for (;;) {
    size_t available = Fill(2);
    if (available == 0) return CharEnd;
    if (available == 1) {
      ++bytes_pos_;
      return CharIllegal;
    }
    auto unit_at = [this](size_t pos) {
      uint32_t lo = static_cast<uint8_t>(bytes_[pos]);
      uint32_t hi = static_cast<uint8_t>(bytes_[pos + 1]);
      return utf16_swap_ ? (lo << 8) | hi : (hi << 8) | lo;
    };
    uint32_t unit = unit_at(bytes_pos_);
    bytes_pos_ += 2;
    if (first_char_) {
      first_char_ = false;
      if (unit == 0xFEFF) continue;
      if (unit == 0xFFFE) {
        utf16_swap_ = true;  // bytes FE FF: big-endian
        continue;
      }
    }
    if (IsHighSurrogate(unit)) {
      if (Fill(2) < 2) {
        bytes_pos_ = bytes_.size();
        return CharIllegal;
      }
      uint32_t low = unit_at(bytes_pos_);
      if (!IsLowSurrogate(low)) return CharIllegal;
      bytes_pos_ += 2;
      pushback_.push_back(low);
    }
    *out = static_cast<WChar>(unit);
    return CharOk;
  }
}

}  // namespace BrioCommon
