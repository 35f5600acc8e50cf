// Following a set of cabinets: the notification that names the next
// cabinet, the checks that it belongs to the set, and (kCopyFollowSet) the
// move of the file-table walk into it. A folder that runs on from one
// cabinet into the next stays one folder: the cursor reads on through it,
// and where it must start over it starts where the folder began.
#include "cabinet/fdi_copy_run.h"

namespace fdi {
namespace engine {

bool CopyRun::AnnounceNext(const CabinetHeader& from) {
  const int index = from.cabinet_index + 1;
  if (follow_set_ && index <= announced_) return true;
  Notification n;
  n.name1 = from.next_cabinet.c_str();
  n.name2 = from.next_disk.c_str();
  n.name3 = folder_path_.c_str();
  n.setId = from.set_id;
  n.cabinetIndex = static_cast<uint16_t>(index);
  if (Notify(kNextCabinet, n) == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  if (index > announced_) announced_ = index;
  return true;
}

bool CopyRun::CheckFollows(const CabinetHeader& previous, const CabinetHeader& next) {
  if (next.set_id != previous.set_id || next.cabinet_index != previous.cabinet_index + 1) {
    ctx_.Fail(kErrorWrongCabinet);
    return false;
  }
  if (next.folder_reserve != previous.folder_reserve || next.data_reserve != previous.data_reserve) {
    ctx_.Fail(kErrorReserveMismatch);
    return false;
  }
  return true;
}

bool CopyRun::MoveToNextCabinet() {
  if (!AnnounceNext(header_)) return false;
  const std::string path = folder_path_ + header_.next_cabinet;
  const Handle h =
      path.size() > kMaxCabinetPath ? kNoHandle : ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  if (h == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  ctx_.Close(ctx_.header_handle);
  ctx_.header_handle = h;
  CabinetHeader next;
  if (!ReadHeader(h, &next) || !CheckFollows(header_, next)) return false;
  const int last = static_cast<int>(header_.folder_count) - 1;
  // A folder that began in an earlier cabinet keeps its origin.
  if (last_folder_continues_ && last >= 0 && !(last == 0 && first_folder_continued_))
    origin_ = {cabinet_path_, header_, static_cast<unsigned>(last)};
  const bool same_folder = last_folder_continues_ && folder_ >= 0 && folder_ == last;
  first_folder_continued_ = last_folder_continues_;
  header_ = next;
  cabinet_path_ = path;
  if (same_folder) {
    folder_ = 0;  // the cursor reads on through the folder, now this cabinet's first
  } else {
    StopReadAhead();
    folder_ = -1;
  }
  data_elsewhere_ = data_header_.cabinet_index != header_.cabinet_index;
  return true;
}

}  // namespace engine
}  // namespace fdi
