#include "driver/payload.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The signature as the program keeps it: every byte inverted. The stub is at
// the front of every installer, and the signature among its own constants
// would be found by the search whenever the stub ends within the searched
// span of the file (a small stub, a small payload without a signature).
struct InvertedSignature {
  uint8_t bytes[kPayloadSignatureSize];
  constexpr InvertedSignature() : bytes() {
    for (size_t k = 0; k < kPayloadSignatureSize; ++k) bytes[k] = static_cast<uint8_t>(~kPayloadSignature[k]);
  }
};
constexpr InvertedSignature kInvertedSignature;

bool IsSignature(const uint8_t* window) {
  for (size_t k = 0; k < kPayloadSignatureSize; ++k)
    if (static_cast<uint8_t>(~window[k]) != kInvertedSignature.bytes[k]) return false;
  return true;
}

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
      if (filled == kPayloadSignatureSize && IsSignature(window)) {
        found = position + static_cast<int64_t>(i) + 1 - static_cast<int64_t>(kPayloadSignatureSize);
      }
    }
    position += static_cast<int64_t>(n);
  }
  return found;
}

bool ListPayloadRecords(PayloadFile& file, int64_t end, std::vector<PayloadRecordInfo>* records) {
  while (end > 0) {
    uint8_t field[4];
    if (!file.ReadAt(end, field, 4)) return false;
    uint32_t type = LittleEndian32(field);
    if (!file.ReadAt(end - 4, field, 4)) return false;
    uint32_t length = LittleEndian32(field);
    if (length == 0 || static_cast<int64_t>(length) > end - 4) return false;
    if (type != kRecordDefinesText && type != kRecordCabinet && type != kRecordSkipped) return false;
    int64_t start = end - 4 - static_cast<int64_t>(length);
    records->push_back({type, start, length});
    end = start - 4;
  }
  return true;
}

bool ReadPayloadRecords(PayloadFile& file, int64_t end, PayloadRecords* records) {
  std::vector<PayloadRecordInfo> chain;
  if (!ListPayloadRecords(file, end, &chain)) return false;
  // The chain is listed from the last record to the first: texts are put in
  // front so that they end in file order, and the cabinet nearest the start
  // of the file is the one that counts.
  for (const PayloadRecordInfo& record : chain) {
    if (record.type == kRecordDefinesText) {
      std::string text(record.length, '\0');
      if (!file.ReadAt(record.offset, &text[0], record.length)) return false;
      records->attachedTexts.insert(records->attachedTexts.begin(), std::move(text));
    } else if (record.type == kRecordCabinet) {
      // The cabinet's position is handed to 32-bit file callbacks.
      if (record.offset > INT32_MAX) return false;
      records->cabinetOffset = static_cast<int32_t>(record.offset);
      records->cabinetLength = record.length;
    }
  }
  return true;
}

bool LocatePayload(PayloadFile& file, PayloadRecords* records) {
  int64_t position = FindPayloadEnd(file);
  if (position < 0) position = file.Length();
  if (position < 0) return false;
  return ReadPayloadRecords(file, position - 4, records);
}
