// The copy loop of one FDICopy call: the cabinet's header, then every file
// entry handed to the caller through the notifications, and the files it
// asks for written.
#include "cabinet/fdi_copy_run.h"

#include <string>

namespace fdi {
namespace engine {

bool CopyRun::Run(const std::string& folder, const char* name, bool follow_set) {
  folder_path_ = folder;
  follow_set_ = follow_set;
  const std::string path = folder + name;
  if (path.size() > kMaxCabinetPath) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  ctx_.header_handle = ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  if (ctx_.header_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  ctx_.data_handle = ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  if (ctx_.data_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  if (!ReadHeader(ctx_.header_handle, &header_)) return false;
  cabinet_path_ = path;
  data_header_ = header_;
  announced_ = header_.cabinet_index;

  for (;;) {
    if (!WalkCabinet()) return false;
    if (!follow_set_ || stop_after_walk_ || !(header_.flags & cab::kFlagNextCabinet)) return true;
    if (!MoveToNextCabinet()) return false;
  }
}

bool CopyRun::WalkCabinet() {
  last_folder_continues_ = false;
  {
    Notification n;
    n.name1 = header_.next_cabinet.c_str();
    n.name2 = header_.next_disk.c_str();
    n.name3 = folder_path_.c_str();
    n.setId = header_.set_id;
    n.cabinetIndex = header_.cabinet_index;
    if (Notify(kCabinetInfo, n) == -1) {
      ctx_.Fail(kErrorUserAbort);
      return false;
    }
  }

  uint32_t position = header_.files_offset;
  uint32_t remaining = header_.file_count;
  {
    Notification n;
    n.size = position;
    n.folderIndex = static_cast<uint16_t>(remaining);
    if (Notify(kEnumerate, n) == -1) {
      ctx_.Fail(kErrorUserAbort);
      return false;
    }
    // The callback may move the walk through the file table.
    if (n.size >= 0 && n.size <= 0xFFFFFFFF) position = static_cast<uint32_t>(n.size);
    remaining = n.folderIndex;
  }
  for (uint32_t index = 0; remaining > 0; ++index) {
    FileEntry entry;
    if (!ReadFileEntry(position, &entry)) {
      ctx_.Fail(kErrorCorruptCabinet);
      return false;
    }
    entry.position = position;
    entry.index = index;
    position += entry.entry_size;
    --remaining;
    if (entry.folder == cab::kFolderContinuedToNext || entry.folder == cab::kFolderContinuedPrevAndNext)
      last_folder_continues_ = true;
    if (!HandleEntry(entry)) return false;
  }
  Notification n;
  n.size = position;
  n.folderIndex = 0;
  const intptr_t next = Notify(kEnumerate, n);
  if (next == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  stop_after_walk_ = next == 1;
  return true;
}

bool CopyRun::HandleEntry(const FileEntry& e) {
  if (e.folder == cab::kFolderContinuedFromPrev || e.folder == cab::kFolderContinuedPrevAndNext) {
    Notification n;
    n.name1 = e.name;
    n.name2 = header_.prev_cabinet.c_str();
    n.name3 = header_.prev_disk.c_str();
    n.folderIndex = e.folder;
    n.cabinetIndex = header_.cabinet_index;
    if (Notify(kPartialFile, n) == -1) {
      ctx_.Fail(kErrorUserAbort);
      return false;
    }
    return true;
  }
  if (e.folder == cab::kFolderContinuedToNext ? header_.folder_count == 0 : e.folder >= header_.folder_count)
    return true;  // no such folder: passed over without a word

  Notification n;
  n.name1 = e.name;
  n.size = e.size;
  n.date = e.date;
  n.time = e.time;
  n.attribs = e.attribs;
  n.folderIndex = e.folder;
  n.cabinetFolder = static_cast<uint16_t>(e.folder == cab::kFolderContinuedToNext ? header_.folder_count - 1 : e.folder);
  n.cabinetIndex = header_.cabinet_index;
  n.folderCompression = FolderCompression(n.cabinetFolder);
  n.entryPosition = e.position;
  n.entryIndex = e.index;
  const intptr_t handle = Notify(kCopyFile, n);
  if (handle == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  if (handle == 0) return true;

  if (!WriteFile(e, handle)) {
    // The output would otherwise stay open; the caller never sees it again.
    ctx_.Close(handle);
    return false;
  }

  Notification c;
  c.name1 = e.name;
  c.handle = handle;
  c.date = e.date;
  c.time = e.time;
  c.attribs = static_cast<uint16_t>(e.attribs & ~cab::kAttribExecute);
  c.size = (e.attribs & cab::kAttribExecute) ? 1 : 0;
  c.folderIndex = e.folder;
  const intptr_t result = Notify(kCloseFileInfo, c);
  if (result == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  if (result == 0) {
    ctx_.Fail(kErrorTargetFile);
    return false;
  }
  return true;
}

}  // namespace engine
}  // namespace fdi
