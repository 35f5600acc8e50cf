#include "xml/byte_source.h"

#include <algorithm>
#include <cstring>

namespace BrioCommon {
namespace {

class FileSource : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  ~FileSource() override { std::fclose(file_); }

  bool Size(uint64_t* size) override {
    long here = std::ftell(file_);
    if (here < 0 || std::fseek(file_, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file_);
    if (std::fseek(file_, here, SEEK_SET) != 0 || end < 0) return false;
    *size = static_cast<uint64_t>(end);
    return true;
  }

 protected:
  size_t ReadRaw(uint8_t* out, size_t count) override {
    size_t got = std::fread(out, 1, count, file_);
    if (got < count && std::ferror(file_)) failed_ = true;
    return got;
  }
  bool SeekRaw(uint64_t offset) override {
    if (offset > 0x7FFFFFFF) return false;
    return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
  }

 private:
  std::FILE* file_;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const std::string& bytes) : bytes_(bytes) {}

  bool Size(uint64_t* size) override {
    *size = bytes_.size();
    return true;
  }

 protected:
  size_t ReadRaw(uint8_t* out, size_t count) override {
    size_t n = std::min(count, bytes_.size() - pos_);
    std::memcpy(out, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  bool SeekRaw(uint64_t offset) override {
    if (offset > bytes_.size()) return false;
    pos_ = static_cast<size_t>(offset);
    return true;
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;
constexpr uint8_t kEndOfText = 0x1A;

}  // namespace

std::unique_ptr<ByteSource> ByteSource::OpenFile(const std::string& file_name) {
  // Always opened as stored: text mode is applied by Read so that every
  // platform translates alike.
  std::FILE* file = std::fopen(file_name.c_str(), "rb");
  if (!file) return nullptr;
  return std::unique_ptr<ByteSource>(new FileSource(file));
}

std::unique_ptr<ByteSource> ByteSource::FromMemory(const std::string& bytes) {
  return std::unique_ptr<ByteSource>(new MemorySource(bytes));
}

bool ByteSource::RefillRaw() {
  raw_pos_ = 0;
  raw_len_ = ReadRaw(raw_, sizeof raw_);
  return raw_len_ > 0;
}

size_t ByteSource::Read(uint8_t* out, size_t count) {
  size_t produced = 0;
  while (produced < count && !ended_) {
    if (raw_pos_ == raw_len_ && !RefillRaw()) {
      ended_ = true;
      break;
    }
    if (!text_mode_) {
      size_t n = std::min(count - produced, raw_len_ - raw_pos_);
      std::memcpy(out + produced, raw_ + raw_pos_, n);
      produced += n;
      raw_pos_ += n;
      continue;
    }
    uint8_t b = raw_[raw_pos_++];
    if (b == kEndOfText) {
      ended_ = true;
      break;
    }
    if (b == kCR) {
      // Look one byte ahead, across a refill when needed; a CR at the very
      // end of the input stays a CR.
      if (raw_pos_ == raw_len_ && !RefillRaw()) {
        out[produced++] = kCR;
        ended_ = true;
        break;
      }
      if (raw_[raw_pos_] == kLF) {
        ++raw_pos_;
        b = kLF;
      }
    }
    out[produced++] = b;
  }
  return produced;
}

bool ByteSource::Seek(uint64_t offset) {
  raw_pos_ = raw_len_ = 0;
  ended_ = false;
  return SeekRaw(offset);
}

}  // namespace BrioCommon
