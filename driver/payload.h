// The payload attached to the installer's executable: a chain of records
// (data, 32-bit length, 32-bit type) written after the executable image and
// closed by a 20-byte signature. Records are walked backwards from the
// signature to the start of the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr char kPayloadSignature[] = "!zelkoninstallersig!";
constexpr size_t kPayloadSignatureSize = 20;
// Only this many bytes at the end of the file are searched for the signature,
// so that a certificate table may follow it without the whole file being read.
constexpr int64_t kSignatureSearchSpan = 100000;

enum PayloadRecordType : uint32_t {
  kRecordDefinesText = 0,
  kRecordCabinet = 1,
  kRecordSkipped = 2,
};

// A read-only file with 64-bit positions, on stdio so that both targets share it.
class PayloadFile {
 public:
  PayloadFile() = default;
  ~PayloadFile();
  PayloadFile(const PayloadFile&) = delete;
  PayloadFile& operator=(const PayloadFile&) = delete;

  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  // -1 when the length cannot be read.
  int64_t Length();
  // Reads exactly size bytes at offset; false on a short read.
  bool ReadAt(int64_t offset, void* buffer, size_t size);

 private:
  FILE* file_ = nullptr;
};

struct PayloadRecords {
  int32_t cabinetOffset = 0;
  uint32_t cabinetLength = 0;
  std::vector<std::string> attachedTexts;  // in file order
};

// Offset of the signature's first byte (the last one in the searched tail
// wins), or -1 when there is none.
int64_t FindPayloadEnd(PayloadFile& file);

// One record of the chain as it lies in the file.
struct PayloadRecordInfo {
  uint32_t type;
  int64_t offset;   // first byte of the data
  uint32_t length;
};

// Walks the chain backwards from the type field at offset end and lists every
// record, last first; false when a length or type is bad or a read fails.
bool ListPayloadRecords(PayloadFile& file, int64_t end, std::vector<PayloadRecordInfo>* records);

// Walks the chain backwards from the type field at offset end.
bool ReadPayloadRecords(PayloadFile& file, int64_t end, PayloadRecords* records);

// The driver's sequence: the signature, or the file's end when there is none,
// then the walk. False means "Unable to Read Installer Data".
bool LocatePayload(PayloadFile& file, PayloadRecords* records);
