// The payload attached to the installer's executable: a chain of records
// (data, 32-bit length, 32-bit type) written after the executable image and
// closed by a 20-byte signature. Records are walked backwards from the
// signature to the start of the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/sha256.h"

constexpr char kPayloadSignature[] = "!zelkoninstallersig!";
constexpr size_t kPayloadSignatureSize = 20;
// Only this many bytes at the end of the file are searched for the signature,
// so that a certificate table may follow it without the whole file being read.
constexpr int64_t kSignatureSearchSpan = 100000;

enum PayloadRecordType : uint32_t {
  kRecordDefinesText = 0,
  kRecordCabinet = 1,
  kRecordSkipped = 2,
  kRecordVolumeSet = 3,
  kRecordFileHashes = 4,
};

// The volume-set record, present only when the cabinet record holds the first
// cabinet of a set whose other cabinets lie beside the installer as files, or
// when a file is stored as parts. It lies inside the installer, so a
// signature over the installer covers each volume through its hash.
// Little-endian: u32 version (1); u32 V, then V x {u16 n, n bytes of the
// volume's file name, u64 size, 32-byte SHA-256 of the whole file}; u32 J,
// then J x {u16 n, n bytes of the entry name without its part suffix, u32
// part count}.
constexpr uint32_t kVolumeSetVersion = 1;

struct VolumeEntry {
  std::string name;  // a file name beside the installer: no path, no separators
  uint64_t size = 0;
  base::Sha256Digest sha256{};
};

// A file stored as consecutive entries "<name>.001", "<name>.002", ...
// (cabinet/cab_parts.h)
struct JoinedFileEntry {
  std::string name;  // as in the cabinet, e.g. files\big.pak
  uint32_t parts = 0;
};

struct VolumeSet {
  std::vector<VolumeEntry> volumes;  // in chain order: the cabinet after the installer's first
  std::vector<JoinedFileEntry> joined;
};

enum class VolumeSetError {
  kNone,
  kTruncated,
  kUnknownVersion,
  kBadVolumeName,
  kDuplicateVolumeName,
  kBadJoinedName,
  kBadPartCount,
  kTrailingBytes,
};
const char* VolumeSetErrorText(VolumeSetError error);

VolumeSetError ParseVolumeSet(const uint8_t* data, size_t size, VolumeSet* set);
// The record's bytes; the set must be one ParseVolumeSet accepts.
std::string SerializeVolumeSet(const VolumeSet& set);

// The file-hash record, written by every installer mkinstaller builds: the
// size and SHA-256 of each product file, so that an installed game can be
// checked against the installer it came from without reading the cabinet.
// It lies inside the installer, so a signature over the installer covers
// it. Little-endian: u32 version (1); u32 N, then N x {u16 n, n bytes of the
// entry name as in the cabinet ("files\data\a.pak"; a file stored as parts
// under its joined name, once), u64 size, 32-byte SHA-256 of the whole file},
// only entries under "files\", in cabinet order.
constexpr uint32_t kFileHashesVersion = 1;

struct FileHashEntry {
  std::string name;  // as in the cabinet, e.g. files\data\a.pak
  uint64_t size = 0;
  base::Sha256Digest sha256{};
};

enum class FileHashesError {
  kNone,
  kTruncated,
  kUnknownVersion,
  kBadName,
  kDuplicateName,
  kTrailingBytes,
};
const char* FileHashesErrorText(FileHashesError error);

FileHashesError ParseFileHashes(const uint8_t* data, size_t size, std::vector<FileHashEntry>* files);
// The record's bytes; the list must be one ParseFileHashes accepts.
std::string SerializeFileHashes(const std::vector<FileHashEntry>& files);
// The installer's identity: the SHA-256 of the file-hash record's bytes, as
// 64 lowercase hexadecimal digits.
std::string InstallerIdOf(const std::string& record);

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
  bool hasVolumeSet = false;
  VolumeSet volumeSet;
  // An installer built before the record existed has none.
  bool hasFileHashes = false;
  std::vector<FileHashEntry> fileHashes;
  std::string installerId;  // InstallerIdOf the record; empty without one
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

// Walks the chain backwards from the type field at offset end. A malformed
// volume-set or file-hash record, or more than one of either, fails the walk.
bool ReadPayloadRecords(PayloadFile& file, int64_t end, PayloadRecords* records);

// The driver's sequence: the signature, or the file's end when there is none,
// then the walk. False means "Unable to Read Installer Data".
bool LocatePayload(PayloadFile& file, PayloadRecords* records);
