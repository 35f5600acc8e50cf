// Reading a cabinet's header and its file table through the caller's
// callbacks: positioned reads, the header's optional fields and strings,
// one file entry at a time.
#include "cabinet/fdi_copy_run.h"

#include <cstring>
#include <string>

#include "cabinet/cab_format.h"

namespace fdi {
namespace engine {

using cab::LoadField;
namespace cfheader = cab::cfheader;
namespace cffile = cab::cffile;
namespace cffolder = cab::cffolder;

uint16_t CopyRun::FolderCompression(unsigned index) {
  const uint32_t key = uint32_t{header_.cabinet_index} << 16 | index;
  if (key == compression_of_) return compression_;
  uint8_t raw[cab::kFolderSize];
  const uint64_t offset = header_.folders_offset + uint64_t{index} * (cab::kFolderSize + header_.folder_reserve);
  compression_of_ = key;
  compression_ = offset <= 0xFFFFFFFFu && ReadAt(ctx_.header_handle, static_cast<uint32_t>(offset), raw, sizeof raw)
                     ? static_cast<uint16_t>(LoadField(raw, cffolder::kCompression))
                     : 0;
  return compression_;
}

bool CopyRun::ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size) {
  uint32_t got = 0;
  return ctx_.ReadAt(h, offset, buffer, size, &got) && got == size;
}

bool CopyRun::ReadData(RawWindow* raw, uint32_t offset, void* buffer, uint32_t size) {
  if (!raw) return ReadAt(ctx_.data_handle, offset, buffer, size);
  const uint64_t end = uint64_t{offset} + size;
  if (offset < raw->offset || end > uint64_t{raw->offset} + raw->size) {
    // One large read from here on; a short one only at the end of the file.
    uint32_t got = 0;
    raw->offset = offset;
    raw->size = 0;
    if (!ctx_.ReadAt(ctx_.data_handle, offset, raw->data, kRawWindowBytes, &got) || got > kRawWindowBytes)
      return false;
    raw->size = got;
    if (end > uint64_t{offset} + got) return false;
  }
  std::memcpy(buffer, raw->data + (offset - raw->offset), size);
  return true;
}

bool CopyRun::ReadString(Handle h, uint32_t* offset, std::string* out) {
  char buffer[cab::kMaxNameLength + 1];
  if (ctx_.Seek(h, *offset, kSeekStart) != static_cast<int64_t>(*offset)) return false;
  uint32_t got = ctx_.Read(h, buffer, sizeof buffer);
  if (got == 0xFFFFFFFFu || got > sizeof buffer) return false;
  const void* end = std::memchr(buffer, 0, got);
  if (!end) return false;  // unterminated or longer than 255 characters
  out->assign(buffer, static_cast<size_t>(static_cast<const char*>(end) - buffer));
  *offset += static_cast<uint32_t>(out->size() + 1);
  return true;
}

bool CopyRun::ReadHeader(Handle handle, CabinetHeader* h) {
  uint8_t raw[cab::kHeaderSize];
  if (!ReadAt(handle, 0, raw, sizeof raw) ||
      std::memcmp(raw + cfheader::kSignature.offset, cab::kSignature, cfheader::kSignature.size) != 0) {
    ctx_.Fail(kErrorNotACabinet);
    return false;
  }
  if (LoadField(raw, cfheader::kVersion) != cab::kVersion) {
    ctx_.Fail(kErrorUnknownCabinetVersion);
    return false;
  }
  h->files_offset = LoadField(raw, cfheader::kFilesOffset);
  h->folder_count = LoadField(raw, cfheader::kFolderCount);
  h->file_count = LoadField(raw, cfheader::kFileCount);
  h->flags = LoadField(raw, cfheader::kFlags);
  h->set_id = LoadField(raw, cfheader::kSetId);
  h->cabinet_index = LoadField(raw, cfheader::kCabinetIndex);
  uint32_t offset = cab::kHeaderSize;
  if (h->flags & cab::kFlagReservePresent) {
    uint8_t reserve[cfheader::kReserveSizesSize];
    if (!ReadAt(handle, offset, reserve, sizeof reserve)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    h->header_reserve = LoadField(reserve, cfheader::kHeaderReserve);
    h->folder_reserve = LoadField(reserve, cfheader::kFolderReserve);
    h->data_reserve = LoadField(reserve, cfheader::kDataReserve);
    offset += sizeof reserve + h->header_reserve;
  }
  if (h->flags & cab::kFlagPrevCabinet) {
    if (!ReadString(handle, &offset, &h->prev_cabinet) || !ReadString(handle, &offset, &h->prev_disk)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
  }
  if (h->flags & cab::kFlagNextCabinet) {
    if (!ReadString(handle, &offset, &h->next_cabinet) || !ReadString(handle, &offset, &h->next_disk)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
  }
  h->folders_offset = offset;
  return true;
}

bool CopyRun::ReadFileEntry(uint32_t offset, FileEntry* e) {
  uint8_t raw[cab::kFileEntrySize + cab::kMaxNameLength + 1];
  if (ctx_.Seek(ctx_.header_handle, offset, kSeekStart) != static_cast<int64_t>(offset)) return false;
  uint32_t got = ctx_.Read(ctx_.header_handle, raw, sizeof raw);
  if (got == 0xFFFFFFFFu || got > sizeof raw || got < cab::kFileEntrySize + 1) return false;
  e->size = LoadField(raw, cffile::kSize);
  e->folder_offset = LoadField(raw, cffile::kFolderOffset);
  e->folder = LoadField(raw, cffile::kFolderIndex);
  e->date = LoadField(raw, cffile::kDate);
  e->time = LoadField(raw, cffile::kTime);
  e->attribs = LoadField(raw, cffile::kAttributes);
  const uint8_t* name = raw + cab::kFileEntrySize;
  const void* end = std::memchr(name, 0, got - cab::kFileEntrySize);
  if (!end) return false;
  size_t length = static_cast<const uint8_t*>(end) - name;
  std::memcpy(e->name, name, length);
  e->name[length] = '\0';
  e->entry_size = static_cast<uint32_t>(cab::kFileEntrySize + length + 1);
  return true;
}

}  // namespace engine
}  // namespace fdi
