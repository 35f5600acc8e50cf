// Reading a cabinet's header and its file table through the caller's
// callbacks: positioned reads, the header's optional fields and strings,
// one file entry at a time.
#include "cabinet/fdi_copy_run.h"

#include <cstring>
#include <string>

#include "cabinet/byte_order.h"

namespace fdi {
namespace engine {

using cab::Load16;
using cab::Load32;

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
  if (!ReadAt(handle, 0, raw, sizeof raw) || std::memcmp(raw, cab::kSignature, 4) != 0) {
    ctx_.Fail(kErrorNotACabinet);
    return false;
  }
  if (Load16(raw + 24) != cab::kVersion) {
    ctx_.Fail(kErrorUnknownCabinetVersion);
    return false;
  }
  h->files_offset = Load32(raw + 16);
  h->folder_count = Load16(raw + 26);
  h->file_count = Load16(raw + 28);
  h->flags = Load16(raw + 30);
  h->set_id = Load16(raw + 32);
  h->cabinet_index = Load16(raw + 34);
  uint32_t offset = cab::kHeaderSize;
  if (h->flags & cab::kFlagReservePresent) {
    uint8_t reserve[4];
    if (!ReadAt(handle, offset, reserve, 4)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    h->header_reserve = Load16(reserve);
    h->folder_reserve = reserve[2];
    h->data_reserve = reserve[3];
    offset += 4 + h->header_reserve;
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
  e->size = Load32(raw);
  e->folder_offset = Load32(raw + 4);
  e->folder = Load16(raw + 8);
  e->date = Load16(raw + 10);
  e->time = Load16(raw + 12);
  e->attribs = Load16(raw + 14);
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
