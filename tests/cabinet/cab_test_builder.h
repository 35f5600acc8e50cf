// Test helpers for the cabinet tests:
//  - BuildCabinet() lays out small cabinets byte by byte (stored folders, or
//    MSZIP folders whose blocks are deflate stored blocks), with reserved
//    areas, neighbour names and checksums as asked, so that tests can make
//    exactly the damaged or unusual cabinet they need;
//  - RunEngine() runs the engine over a cabinet held in memory and collects
//    the extracted files in memory (the file system is not what these tests
//    are about; extraction tests use the real callbacks).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"

namespace cabtest {

struct TestEntry {
  std::string name;
  std::vector<uint8_t> data;
  uint16_t folder = 0;
  uint16_t date = 0x5A21;  // 2025-01-01
  uint16_t time = 0x6000;  // 12:00:00
  uint16_t attribs = cab::kAttribArchive;
};

struct CabinetLayout {
  std::vector<uint16_t> folder_types = {cab::kCompressNone};
  uint16_t header_reserve = 0;
  uint8_t folder_reserve = 0;
  uint8_t data_reserve = 0;
  bool reserve_field = false;  // write the reserve sizes even when all are 0
  bool checksums = true;
  std::string prev_cabinet, prev_disk, next_cabinet, next_disk;
  uint16_t set_id = 0x1234;
  uint16_t cabinet_index = 0;
  size_t block_size = 32768;
};

// Where the parts of a built cabinet lie, for tests that damage them.
struct BuiltCabinet {
  std::vector<uint8_t> bytes;
  size_t folders_offset = 0;
  size_t files_offset = 0;
  std::vector<size_t> block_offsets;  // every CFDATA header, in file order
};

inline void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}
inline void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
// Sets a field of the record that starts at v[record].
inline void PutField(std::vector<uint8_t>& v, size_t record, cab::Field f, uint32_t x) {
  cab::StoreField(v.data() + record, f, x);
}
inline uint32_t GetField(const std::vector<uint8_t>& v, size_t record, cab::Field f) {
  return cab::LoadField(v.data() + record, f);
}
inline void Append(std::vector<uint8_t>& v, const void* p, size_t n) {
  v.insert(v.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
}
inline void AppendString(std::vector<uint8_t>& v, const std::string& s) { Append(v, s.c_str(), s.size() + 1); }

inline BuiltCabinet BuildCabinet(const std::vector<TestEntry>& entries, const CabinetLayout& layout = {}) {
  BuiltCabinet out;
  std::vector<uint8_t>& v = out.bytes;
  v.assign(cab::kHeaderSize, 0);
  std::memcpy(v.data() + cab::cfheader::kSignature.offset, cab::kSignature, cab::cfheader::kSignature.size);
  PutField(v, 0, cab::cfheader::kVersion, cab::kVersion);
  PutField(v, 0, cab::cfheader::kFolderCount, static_cast<uint32_t>(layout.folder_types.size()));
  PutField(v, 0, cab::cfheader::kFileCount, static_cast<uint32_t>(entries.size()));
  uint16_t flags = 0;
  const bool reserve = layout.reserve_field || layout.header_reserve || layout.folder_reserve || layout.data_reserve;
  if (!layout.prev_cabinet.empty()) flags |= cab::kFlagPrevCabinet;
  if (!layout.next_cabinet.empty()) flags |= cab::kFlagNextCabinet;
  if (reserve) flags |= cab::kFlagReservePresent;
  PutField(v, 0, cab::cfheader::kFlags, flags);
  PutField(v, 0, cab::cfheader::kSetId, layout.set_id);
  PutField(v, 0, cab::cfheader::kCabinetIndex, layout.cabinet_index);
  if (reserve) {
    const size_t at = v.size();
    v.insert(v.end(), cab::cfheader::kReserveSizesSize, 0);
    PutField(v, at, cab::cfheader::kHeaderReserve, layout.header_reserve);
    PutField(v, at, cab::cfheader::kFolderReserve, layout.folder_reserve);
    PutField(v, at, cab::cfheader::kDataReserve, layout.data_reserve);
    v.insert(v.end(), layout.header_reserve, 0xAB);
  }
  if (flags & cab::kFlagPrevCabinet) {
    AppendString(v, layout.prev_cabinet);
    AppendString(v, layout.prev_disk);
  }
  if (flags & cab::kFlagNextCabinet) {
    AppendString(v, layout.next_cabinet);
    AppendString(v, layout.next_disk);
  }

  // Each folder's uncompressed stream is its entries' data in table order.
  const size_t folder_count = layout.folder_types.size();
  std::vector<std::vector<uint8_t>> streams(folder_count);
  std::vector<uint32_t> entry_offsets;
  for (const TestEntry& e : entries) {
    if (e.folder < folder_count) {
      entry_offsets.push_back(static_cast<uint32_t>(streams[e.folder].size()));
      Append(streams[e.folder], e.data.data(), e.data.size());
    } else {
      entry_offsets.push_back(0);
    }
  }

  out.folders_offset = v.size();
  v.insert(v.end(), folder_count * (cab::kFolderSize + layout.folder_reserve), 0);
  out.files_offset = v.size();
  PutField(v, 0, cab::cfheader::kFilesOffset, static_cast<uint32_t>(out.files_offset));
  for (size_t i = 0; i < entries.size(); ++i) {
    const TestEntry& e = entries[i];
    size_t at = v.size();
    v.insert(v.end(), cab::kFileEntrySize, 0);
    PutField(v, at, cab::cffile::kSize, static_cast<uint32_t>(e.data.size()));
    PutField(v, at, cab::cffile::kFolderOffset, entry_offsets[i]);
    PutField(v, at, cab::cffile::kFolderIndex, e.folder);
    PutField(v, at, cab::cffile::kDate, e.date);
    PutField(v, at, cab::cffile::kTime, e.time);
    PutField(v, at, cab::cffile::kAttributes, e.attribs);
    AppendString(v, e.name);
  }

  for (size_t f = 0; f < folder_count; ++f) {
    const size_t folder_at = out.folders_offset + f * (cab::kFolderSize + layout.folder_reserve);
    PutField(v, folder_at, cab::cffolder::kDataOffset, static_cast<uint32_t>(v.size()));
    PutField(v, folder_at, cab::cffolder::kCompression, layout.folder_types[f]);
    uint16_t blocks = 0;
    const std::vector<uint8_t>& s = streams[f];
    for (size_t pos = 0; pos < s.size(); pos += layout.block_size, ++blocks) {
      const size_t n = std::min(layout.block_size, s.size() - pos);
      std::vector<uint8_t> data;
      if ((layout.folder_types[f] & cab::kCompressMask) == cab::kCompressMszip) {
        // "CK", then one final deflate block of the stored kind.
        const uint8_t head[7] = {'C', 'K', 0x01, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                 static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)};
        Append(data, head, sizeof head);
      }
      Append(data, s.data() + pos, n);
      out.block_offsets.push_back(v.size());
      const size_t at = v.size();
      v.insert(v.end(), cab::kDataHeaderSize, 0);
      PutField(v, at, cab::cfdata::kCompressedSize, static_cast<uint32_t>(data.size()));
      PutField(v, at, cab::cfdata::kUncompressedSize, static_cast<uint32_t>(n));
      if (layout.checksums)
        PutField(v, at, cab::cfdata::kChecksum,
                 cab::DataBlockChecksum(data.data(), static_cast<uint16_t>(data.size()), static_cast<uint16_t>(n)));
      v.insert(v.end(), layout.data_reserve, 0xCD);
      Append(v, data.data(), data.size());
    }
    PutField(v, folder_at, cab::cffolder::kBlockCount, blocks);
  }
  PutField(v, 0, cab::cfheader::kCabinetSize, static_cast<uint32_t>(v.size()));
  return out;
}

// A cabinet laid out exactly as given: blocks with the sizes they carry
// (a block with uncompressed size 0 is the first part of a split block),
// file entries with their folder offsets. For spanning sets.
struct RawBlock {
  std::vector<uint8_t> data;
  uint16_t uncompressed = 0;
};
struct RawFile {
  std::string name;
  uint32_t size = 0;
  uint32_t offset = 0;
  uint16_t folder = 0;
};
inline std::vector<uint8_t> BuildRawCabinet(const CabinetLayout& layout,
                                            const std::vector<std::vector<RawBlock>>& folders,
                                            const std::vector<RawFile>& files) {
  std::vector<TestEntry> none;
  CabinetLayout empty_layout = layout;
  empty_layout.folder_types.assign(folders.size(), cab::kCompressNone);
  // The header and names from the builder, then everything else by hand.
  std::vector<uint8_t> v = BuildCabinet(none, empty_layout).bytes;
  const size_t folders_offset = v.size() - folders.size() * (cab::kFolderSize + layout.folder_reserve);
  PutField(v, 0, cab::cfheader::kFileCount, static_cast<uint32_t>(files.size()));
  PutField(v, 0, cab::cfheader::kFilesOffset, static_cast<uint32_t>(v.size()));
  for (const RawFile& f : files) {
    size_t at = v.size();
    v.insert(v.end(), cab::kFileEntrySize, 0);
    PutField(v, at, cab::cffile::kSize, f.size);
    PutField(v, at, cab::cffile::kFolderOffset, f.offset);
    PutField(v, at, cab::cffile::kFolderIndex, f.folder);
    PutField(v, at, cab::cffile::kAttributes, cab::kAttribArchive);
    AppendString(v, f.name);
  }
  for (size_t i = 0; i < folders.size(); ++i) {
    const size_t folder_at = folders_offset + i * (cab::kFolderSize + layout.folder_reserve);
    PutField(v, folder_at, cab::cffolder::kDataOffset, static_cast<uint32_t>(v.size()));
    PutField(v, folder_at, cab::cffolder::kBlockCount, static_cast<uint32_t>(folders[i].size()));
    for (const RawBlock& b : folders[i]) {
      const size_t at = v.size();
      v.insert(v.end(), cab::kDataHeaderSize, 0);
      PutField(v, at, cab::cfdata::kCompressedSize, static_cast<uint32_t>(b.data.size()));
      PutField(v, at, cab::cfdata::kUncompressedSize, b.uncompressed);
      PutField(v, at, cab::cfdata::kChecksum,
               cab::DataBlockChecksum(b.data.data(), static_cast<uint16_t>(b.data.size()), b.uncompressed));
      v.insert(v.end(), layout.data_reserve, 0xCD);
      Append(v, b.data.data(), b.data.size());
    }
  }
  PutField(v, 0, cab::cfheader::kCabinetSize, static_cast<uint32_t>(v.size()));
  return v;
}

// Zeroes every data block's checksum so that damage reaches the decoders.
inline void ClearChecksums(std::vector<uint8_t>& v) {
  if (v.size() < cab::kHeaderSize) return;
  const size_t folders = GetField(v, 0, cab::cfheader::kFolderCount);
  const uint32_t flags = GetField(v, 0, cab::cfheader::kFlags);
  size_t at = cab::kHeaderSize, folder_reserve = 0, data_reserve = 0;
  if (flags & cab::kFlagReservePresent) {
    folder_reserve = GetField(v, at, cab::cfheader::kFolderReserve);
    data_reserve = GetField(v, at, cab::cfheader::kDataReserve);
    at += cab::cfheader::kReserveSizesSize + GetField(v, at, cab::cfheader::kHeaderReserve);
  }
  for (int names = ((flags & cab::kFlagPrevCabinet) ? 2 : 0) + ((flags & cab::kFlagNextCabinet) ? 2 : 0); names > 0;
       --names)
    while (at < v.size() && v[at++] != 0) {
    }
  for (size_t f = 0; f < folders; ++f, at += cab::kFolderSize + folder_reserve) {
    size_t block = GetField(v, at, cab::cffolder::kDataOffset);
    for (size_t n = GetField(v, at, cab::cffolder::kBlockCount); n > 0 && block + cab::kDataHeaderSize <= v.size();
         --n) {
      PutField(v, block, cab::cfdata::kChecksum, 0);
      block += cab::kDataHeaderSize + data_reserve + GetField(v, block, cab::cfdata::kCompressedSize);
    }
  }
}

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A deterministic byte pattern that compresses a little.
inline std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    v[i] = static_cast<uint8_t>((x >> 16) % 23 + 'a');
  }
  return v;
}

// ---- The engine over memory -------------------------------------------

struct EngineRun {
  bool ok = false;
  fdi::ErrorRecord error;
  std::map<std::string, std::vector<uint8_t>> files;  // by entry name
  std::vector<std::string> copy_order;                // copy-file notifications
  std::vector<int> notifications;                     // every notification type in order
  std::map<std::string, fdi::Notification> closed;    // close-file-info by name (names not kept)
  size_t leaked_handles = 0;  // cabinet handles still open after FDICopy
  std::vector<std::string> next_cabinets;  // next-cabinet notifications
};

namespace internal {

struct MemoryFile {
  const std::vector<uint8_t>* input = nullptr;
  std::string output_name;
  int64_t position = 0;
};

struct MemoryState {
  const std::vector<uint8_t>* cabinet = nullptr;
  const std::map<std::string, std::vector<uint8_t>>* set = nullptr;  // by path, when given
  std::map<intptr_t, MemoryFile> open;
  intptr_t next = 100;
  EngineRun* run = nullptr;
  intptr_t (*decide)(const fdi::Notification&) = nullptr;
  intptr_t (*decide_next)(const fdi::Notification&) = nullptr;
};

inline MemoryState& State() {
  static MemoryState s;
  return s;
}

inline void* Alloc(uint32_t size) { return ::operator new(size ? size : 1); }
inline void Free(void* p) { ::operator delete(p); }
inline fdi::Handle Open(void*, const char* path, int, int) {
  MemoryState& s = State();
  const std::vector<uint8_t>* input = s.cabinet;
  if (s.set) {
    auto it = s.set->find(path);
    if (it == s.set->end()) return -1;
    input = &it->second;
  }
  intptr_t h = s.next++;
  s.open[h].input = input;
  return h;
}
inline uint32_t Read(void*, fdi::Handle h, void* buffer, uint32_t count) {
  MemoryFile& f = State().open.at(h);
  const int64_t size = static_cast<int64_t>(f.input->size());
  if (f.position >= size) return 0;
  uint32_t n = static_cast<uint32_t>(std::min<int64_t>(count, size - f.position));
  std::memcpy(buffer, f.input->data() + f.position, n);
  f.position += n;
  return n;
}
inline uint32_t Write(void*, fdi::Handle h, const void* buffer, uint32_t count) {
  MemoryFile& f = State().open.at(h);
  Append(State().run->files[f.output_name], buffer, count);
  return count;
}
inline int Close(void*, fdi::Handle h) { return State().open.erase(h) == 1 ? 0 : -1; }
inline int64_t Seek(void*, fdi::Handle h, int64_t distance, int origin) {
  MemoryFile& f = State().open.at(h);
  int64_t p = origin == fdi::kSeekStart ? distance : f.position + distance;
  if (p < 0) return -1;
  f.position = p;
  return p;
}
inline intptr_t Notify(fdi::NotificationType type, fdi::Notification* n) {
  MemoryState& s = State();
  s.run->notifications.push_back(type);
  if (type == fdi::kCopyFile) {
    s.run->copy_order.push_back(n->name1);
    if (s.decide) {
      intptr_t d = s.decide(*n);
      if (d != 1) return d;
    }
    intptr_t h = s.next++;
    s.open[h].output_name = n->name1;
    s.run->files[n->name1];  // an empty entry still appears
    return h;
  }
  if (type == fdi::kNextCabinet) {
    s.run->next_cabinets.push_back(n->name1);
    return s.decide_next ? s.decide_next(*n) : 0;
  }
  if (type == fdi::kCloseFileInfo) {
    fdi::Notification copy = *n;
    copy.name1 = copy.name2 = copy.name3 = nullptr;
    s.run->closed[n->name1] = copy;
    return Close(nullptr, n->handle) == 0 ? 1 : 0;
  }
  return 0;
}

}  // namespace internal

// Runs FDICopy over the cabinet bytes. decide (optional) answers each
// copy-file notification: 1 extracts, 0 skips, -1 aborts.
inline EngineRun RunEngine(const std::vector<uint8_t>& cabinet,
                           intptr_t (*decide)(const fdi::Notification&) = nullptr,
                           const std::map<std::string, std::vector<uint8_t>>* set = nullptr,
                           intptr_t (*decide_next)(const fdi::Notification&) = nullptr) {
  EngineRun run;
  internal::MemoryState& s = internal::State();
  s = internal::MemoryState();
  s.cabinet = &cabinet;
  s.set = set;
  s.run = &run;
  s.decide = decide;
  s.decide_next = decide_next;
  fdi::Context* ctx = fdi::FDICreate(internal::Alloc, internal::Free, internal::Open, internal::Read,
                                     internal::Write, internal::Close, internal::Seek, fdi::kCpu80386, &run.error);
  if (!ctx) return run;
  run.ok = fdi::FDICopy(ctx, "memory.cab", "", 0, internal::Notify, nullptr, nullptr);
  fdi::FDIDestroy(ctx);
  run.leaked_handles = s.open.size();
  s = internal::MemoryState();
  return run;
}

}  // namespace cabtest
