#include "driver/payload.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

bool Seek64(FILE* f, int64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(f, offset, origin) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), origin) == 0;
#endif
}

int64_t Tell64(FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<int64_t>(ftello(f));
#endif
}

uint32_t LittleEndian32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

PayloadFile::~PayloadFile() { Close(); }

bool PayloadFile::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "rb");
  return file_ != nullptr;
}

void PayloadFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

int64_t PayloadFile::Length() {
  if (!file_ || !Seek64(file_, 0, SEEK_END)) return -1;
  return Tell64(file_);
}

bool PayloadFile::ReadAt(int64_t offset, void* buffer, size_t size) {
  if (!file_ || offset < 0 || !Seek64(file_, offset, SEEK_SET)) return false;
  return std::fread(buffer, 1, size, file_) == size;
}

int64_t FindPayloadEnd(PayloadFile& file) {
  int64_t length = file.Length();
  if (length < 0) return -1;
  int64_t position = length > kSignatureSearchSpan ? length - kSignatureSearchSpan : 0;

  // A sliding window as long as the signature; every byte shifts it by one.
  uint8_t window[kPayloadSignatureSize];
  size_t filled = 0;
  int64_t found = -1;
  uint8_t block[1024];
  while (position < length) {
    size_t n = static_cast<size_t>(std::min<int64_t>(sizeof block, length - position));
    if (!file.ReadAt(position, block, n)) break;
    for (size_t i = 0; i < n; ++i) {
      if (filled < kPayloadSignatureSize) {
        window[filled++] = block[i];
      } else {
        std::memmove(window, window + 1, kPayloadSignatureSize - 1);
        window[kPayloadSignatureSize - 1] = block[i];
      }
      if (filled == kPayloadSignatureSize &&
          std::memcmp(window, kPayloadSignature, kPayloadSignatureSize) == 0) {
        found = position + static_cast<int64_t>(i) + 1 - static_cast<int64_t>(kPayloadSignatureSize);
      }
    }
    position += static_cast<int64_t>(n);
  }
  return found;
}

bool ReadPayloadRecords(PayloadFile& file, int64_t end, PayloadRecords* records) {
  while (end > 0) {
    uint8_t field[4];
    if (!file.ReadAt(end, field, 4)) return false;
    uint32_t type = LittleEndian32(field);
    if (end < 4 || !file.ReadAt(end - 4, field, 4)) return false;
    uint32_t length = LittleEndian32(field);
    if (length == 0 || static_cast<int64_t>(length) > end - 4) return false;
    int64_t start = end - 4 - static_cast<int64_t>(length);
    switch (type) {
      case kRecordDefinesText: {
        std::string text(length, '\0');
        if (!file.ReadAt(start, &text[0], length)) return false;
        // The walk runs from the last record to the first: prepend.
        records->attachedTexts.insert(records->attachedTexts.begin(), std::move(text));
        break;
      }
      case kRecordCabinet:
        // The cabinet's position is handed to 32-bit file callbacks.
        if (start > INT32_MAX) return false;
        records->cabinetOffset = static_cast<int32_t>(start);
        records->cabinetLength = length;
        break;
      case kRecordSkipped:
        break;
      default:
        return false;
    }
    end = start - 4;
  }
  return true;
}

bool LocatePayload(PayloadFile& file, PayloadRecords* records) {
  int64_t position = FindPayloadEnd(file);
  if (position < 0) position = file.Length();
  if (position < 0) return false;
  return ReadPayloadRecords(file, position - 4, records);
}
