#include "driver/payload.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "cabinet/cab_parts.h"

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

// The largest volume-set record a set can need: 65535 volumes and 65535
// joined files with names of 255 bytes; anything longer is not read.
constexpr uint32_t kMaxVolumeSetRecord = 64u << 20;

// Reads the record's fields in order; every read checks what is left.
class RecordCursor {
 public:
  RecordCursor(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  bool Take(size_t n, const uint8_t** p) {
    if (n > left_) return false;
    *p = data_;
    data_ += n;
    left_ -= n;
    return true;
  }
  bool Number(size_t bytes, uint64_t* value) {
    const uint8_t* p;
    if (!Take(bytes, &p)) return false;
    *value = 0;
    for (size_t i = 0; i < bytes; ++i) *value |= static_cast<uint64_t>(p[i]) << (8 * i);
    return true;
  }
  bool Name(std::string* name) {
    uint64_t n;
    const uint8_t* p;
    if (!Number(2, &n) || !Take(static_cast<size_t>(n), &p)) return false;
    name->assign(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
    return true;
  }
  size_t left() const { return left_; }

 private:
  const uint8_t* data_;
  size_t left_;
};

// As for the volume-set record: N entries of at most 255-byte names.
constexpr uint32_t kMaxFileHashesRecord = 64u << 20;

bool HasControlCharacter(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool IsVolumeFileName(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name != "." && name != ".." && !HasControlCharacter(name) &&
         name.find_first_of("/\\:") == std::string::npos;
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

void Append(std::string* out, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
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

const char* VolumeSetErrorText(VolumeSetError error) {
  switch (error) {
    case VolumeSetError::kNone: return "no error";
    case VolumeSetError::kTruncated: return "the volume-set record ends inside a field";
    case VolumeSetError::kUnknownVersion: return "the volume-set record has an unknown version";
    case VolumeSetError::kBadVolumeName: return "a volume's name is empty, too long or holds a path";
    case VolumeSetError::kDuplicateVolumeName: return "two volumes have the same name";
    case VolumeSetError::kBadJoinedName: return "a joined file's name is empty, too long or named twice";
    case VolumeSetError::kBadPartCount: return "a joined file has fewer than two parts";
    case VolumeSetError::kTrailingBytes: return "the volume-set record has bytes after its last field";
  }
  return "unknown volume-set error";
}

VolumeSetError ParseVolumeSet(const uint8_t* data, size_t size, VolumeSet* set) {
  *set = VolumeSet();
  RecordCursor in(data, size);
  uint64_t version, count;
  if (!in.Number(4, &version)) return VolumeSetError::kTruncated;
  if (version != kVolumeSetVersion) return VolumeSetError::kUnknownVersion;
  if (!in.Number(4, &count)) return VolumeSetError::kTruncated;
  std::vector<std::string> seen;
  for (uint64_t i = 0; i < count; ++i) {
    VolumeEntry volume;
    const uint8_t* hash;
    if (!in.Name(&volume.name) || !in.Number(8, &volume.size) || !in.Take(volume.sha256.size(), &hash))
      return VolumeSetError::kTruncated;
    if (!IsVolumeFileName(volume.name)) return VolumeSetError::kBadVolumeName;
    seen.push_back(LowerAscii(volume.name));
    std::copy(hash, hash + volume.sha256.size(), volume.sha256.begin());
    set->volumes.push_back(std::move(volume));
  }
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) return VolumeSetError::kDuplicateVolumeName;
  if (!in.Number(4, &count)) return VolumeSetError::kTruncated;
  seen.clear();
  for (uint64_t i = 0; i < count; ++i) {
    JoinedFileEntry joined;
    uint64_t parts;
    if (!in.Name(&joined.name) || !in.Number(4, &parts)) return VolumeSetError::kTruncated;
    joined.parts = static_cast<uint32_t>(parts);
    if (parts < 2) return VolumeSetError::kBadPartCount;
    // The last part's entry name must be one a cabinet can hold.
    if (joined.name.empty() || HasControlCharacter(joined.name) ||
        cab::PartEntryName(joined.name, joined.parts, joined.parts).size() > 255)
      return VolumeSetError::kBadJoinedName;
    seen.push_back(LowerAscii(joined.name));
    set->joined.push_back(std::move(joined));
  }
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) return VolumeSetError::kBadJoinedName;
  if (in.left() != 0) return VolumeSetError::kTrailingBytes;
  return VolumeSetError::kNone;
}

std::string SerializeVolumeSet(const VolumeSet& set) {
  std::string out;
  Append(&out, kVolumeSetVersion, 4);
  Append(&out, set.volumes.size(), 4);
  for (const VolumeEntry& v : set.volumes) {
    Append(&out, v.name.size(), 2);
    out += v.name;
    Append(&out, v.size, 8);
    out.append(v.sha256.begin(), v.sha256.end());
  }
  Append(&out, set.joined.size(), 4);
  for (const JoinedFileEntry& j : set.joined) {
    Append(&out, j.name.size(), 2);
    out += j.name;
    Append(&out, j.parts, 4);
  }
  return out;
}

const char* FileHashesErrorText(FileHashesError error) {
  switch (error) {
    case FileHashesError::kNone: return "no error";
    case FileHashesError::kTruncated: return "the file-hash record ends inside a field";
    case FileHashesError::kUnknownVersion: return "the file-hash record has an unknown version";
    case FileHashesError::kBadName: return "a hashed file's name is not under files\\ or holds a control character";
    case FileHashesError::kDuplicateName: return "two hashed files have the same name";
    case FileHashesError::kTrailingBytes: return "the file-hash record has bytes after its last field";
  }
  return "unknown file-hash error";
}

FileHashesError ParseFileHashes(const uint8_t* data, size_t size, std::vector<FileHashEntry>* files) {
  files->clear();
  RecordCursor in(data, size);
  uint64_t version, count;
  if (!in.Number(4, &version)) return FileHashesError::kTruncated;
  if (version != kFileHashesVersion) return FileHashesError::kUnknownVersion;
  if (!in.Number(4, &count)) return FileHashesError::kTruncated;
  static const char kProductPrefix[] = "files\\";
  std::vector<std::string> seen;
  for (uint64_t i = 0; i < count; ++i) {
    FileHashEntry file;
    const uint8_t* hash;
    if (!in.Name(&file.name) || !in.Number(8, &file.size) || !in.Take(file.sha256.size(), &hash))
      return FileHashesError::kTruncated;
    if (file.name.size() <= sizeof kProductPrefix - 1 || file.name.compare(0, sizeof kProductPrefix - 1, kProductPrefix) != 0 ||
        HasControlCharacter(file.name))
      return FileHashesError::kBadName;
    std::copy(hash, hash + file.sha256.size(), file.sha256.begin());
    seen.push_back(LowerAscii(file.name));
    files->push_back(std::move(file));
  }
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) return FileHashesError::kDuplicateName;
  if (in.left() != 0) return FileHashesError::kTrailingBytes;
  return FileHashesError::kNone;
}

std::string SerializeFileHashes(const std::vector<FileHashEntry>& files) {
  std::string out;
  Append(&out, kFileHashesVersion, 4);
  Append(&out, files.size(), 4);
  for (const FileHashEntry& f : files) {
    Append(&out, f.name.size(), 2);
    out += f.name;
    Append(&out, f.size, 8);
    out.append(f.sha256.begin(), f.sha256.end());
  }
  return out;
}

std::string InstallerIdOf(const std::string& record) {
  return base::Sha256Hex(base::Sha256Of(record.data(), record.size()));
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
    if (type != kRecordDefinesText && type != kRecordCabinet && type != kRecordSkipped && type != kRecordVolumeSet &&
        type != kRecordFileHashes)
      return false;
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
    } else if (record.type == kRecordVolumeSet) {
      if (records->hasVolumeSet || record.length > kMaxVolumeSetRecord) return false;
      std::vector<uint8_t> data(record.length);
      if (!file.ReadAt(record.offset, data.data(), record.length)) return false;
      if (ParseVolumeSet(data.data(), data.size(), &records->volumeSet) != VolumeSetError::kNone) return false;
      records->hasVolumeSet = true;
    } else if (record.type == kRecordFileHashes) {
      if (records->hasFileHashes || record.length > kMaxFileHashesRecord) return false;
      std::string data(record.length, '\0');
      if (!file.ReadAt(record.offset, &data[0], record.length)) return false;
      if (ParseFileHashes(reinterpret_cast<const uint8_t*>(data.data()), data.size(), &records->fileHashes) !=
          FileHashesError::kNone)
        return false;
      records->hasFileHashes = true;
      records->installerId = InstallerIdOf(data);
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
