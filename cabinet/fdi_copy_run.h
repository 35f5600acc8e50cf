// One FDICopy call over one cabinet (a CopyRun) and the values it passes
// around: the parts of a cabinet header, a file entry, and the read-ahead's
// slots and failures. Its members are defined by concern:
//   fdi_cabinet_reader.cpp  the cabinet header and the file table;
//   fdi_folder_cursor.cpp   a folder's data blocks, decoded in order, and
//                           the writes of one file from them;
//   fdi_read_ahead.cpp      the thread that decodes ahead of the writes;
//   fdi_copy_run.cpp        the copy loop over the file entries;
//   fdi_cabinet_set.cpp     following a set from one cabinet to the next.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/thread_primitives.h"
#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"
#include "cabinet/fdi_context.h"

namespace fdi {
namespace engine {

// The parts of a cabinet header the copy needs.
struct CabinetHeader {
  uint32_t files_offset = 0;
  uint16_t folder_count = 0;
  uint16_t file_count = 0;
  uint16_t flags = 0;
  uint16_t set_id = 0;
  uint16_t cabinet_index = 0;
  uint16_t header_reserve = 0;
  uint8_t folder_reserve = 0;
  uint8_t data_reserve = 0;
  std::string prev_cabinet, prev_disk, next_cabinet, next_disk;
  uint32_t folders_offset = 0;  // first CFFOLDER
};

// Why a data block could not be had. folder_lost: the decoder's state is
// undefined, so the folder must start over before it is read again.
struct BlockFailure {
  int32_t code = kErrorNone;  // kErrorNone: already reported
  std::string detail;
  bool folder_lost = false;
};

enum class BlockResult {
  kDecoded,
  kFailed,
  kOtherCabinet,  // the folder goes on in the next cabinet (read-ahead stops there)
};

// A piece of the cabinet's data read at once by the read-ahead thread:
// cabinet bytes [offset, offset + size).
struct RawWindow {
  uint8_t* data = nullptr;
  uint32_t offset = 0;
  uint32_t size = 0;
};

// One buffer of decoded folder bytes [start, start + size). end says
// whether more slots follow (kDecoded) or why the decoding stopped after
// this slot's bytes.
struct Slot {
  uint8_t* data = nullptr;
  uint64_t start = 0;
  uint32_t size = 0;
  BlockResult end = BlockResult::kDecoded;
  BlockFailure failure;
};

struct FileEntry {
  uint32_t size = 0;
  uint32_t folder_offset = 0;
  uint16_t folder = 0;
  uint16_t date = 0, time = 0, attribs = 0;
  char name[cab::kMaxNameLength + 1] = {};
  uint32_t entry_size = 0;  // bytes the entry takes in the file table
  uint32_t position = 0;    // where it lies in the cabinet
  uint32_t index = 0;       // its number in the walk of the table
};

// One FDICopy call over one cabinet.
class CopyRun {
 public:
  CopyRun(Context& ctx, NotifyFn notify, void* user) : ctx_(ctx), notify_(notify), user_(user) {}
  ~CopyRun() { StopReadAhead(); }

  bool Run(const std::string& folder, const char* name, bool follow_set);

 private:
  // The read-ahead of one folder: the thread, its slots and hand-over.
  struct ReadAhead {
    explicit ReadAhead(Context& c) : ctx(c) {}
    ~ReadAhead() {
      for (Slot& s : slots)
        if (s.data) ctx.free(s.data);
      if (raw.data) ctx.free(raw.data);
    }
    Context& ctx;
    base::Thread thread;
    base::Semaphore free_slots{kSlotCount};
    base::Semaphore filled_slots{0};
    std::atomic<bool> stop{false};
    Slot slots[kSlotCount];
    RawWindow raw;
    uint64_t position = 0;   // the decoding thread's place in the folder
    unsigned produce = 0;    // next slot the thread fills
    unsigned consume = 0;    // slot the caller's thread reads
    bool holding = false;    // the caller's thread holds slots[consume]
  };
  static void DecodeAheadThread(void* run) { static_cast<CopyRun*>(run)->DecodeAhead(); }
  void StartReadAhead();
  void StopReadAhead();
  void DecodeAhead();
  bool ReportBlockFailure(const BlockFailure& failure);
  // The next decoded bytes of the folder into the view (view_, block_start_,
  // block_size_), from the read-ahead when it runs.
  bool NextData();

  bool ReadAt(Handle h, uint32_t offset, void* buffer, uint32_t size);
  // ReadAt on the data handle, through the raw window when one is given.
  bool ReadData(RawWindow* raw, uint32_t offset, void* buffer, uint32_t size);
  // Reads a zero-terminated string of at most 255 characters at *offset.
  bool ReadString(Handle h, uint32_t* offset, std::string* out);
  bool ReadHeader(Handle h, CabinetHeader* header);
  bool ReadFileEntry(uint32_t offset, FileEntry* entry);
  // The typeCompress of a folder of the cabinet walked (0 when unreadable:
  // the copy meets that itself).
  uint16_t FolderCompression(unsigned index);
  intptr_t Notify(NotificationType type, Notification& n) {
    n.user = user_;
    base::MutexLock lock(ctx_.gate);
    return notify_(type, &n);
  }

  bool HandleEntry(const FileEntry& entry);
  // The kCabinetInfo notification and the walk through the file table of
  // the cabinet in header_.
  bool WalkCabinet();
  // Following a set: makes the next cabinet the one whose table is walked.
  bool MoveToNextCabinet();
  // The kNextCabinet notification for the cabinet after `from` (following
  // a set: once per cabinet).
  bool AnnounceNext(const CabinetHeader& from);
  // Whether next is the cabinet after previous in its set.
  bool CheckFollows(const CabinetHeader& previous, const CabinetHeader& next);
  bool StartFolder(unsigned index);
  bool OpenNextCabinet();
  // Reads and decodes the folder's next data block into output. may_span:
  // the block may continue in the next cabinet (only the caller's thread
  // opens it); otherwise the cursor stays before such a block.
  BlockResult DecodeNextBlock(uint8_t* output, uint32_t* size, bool may_span, RawWindow* raw,
                              BlockFailure* failure);
  bool WriteFile(const FileEntry& entry, Handle out);

  Context& ctx_;
  NotifyFn notify_;
  void* user_;
  std::string folder_path_;
  std::string cabinet_path_;
  CabinetHeader header_;       // the cabinet whose file table is walked
  CabinetHeader data_header_;  // the cabinet the data handle reads: header_,
                               // or a following one the folder runs on into
  bool data_elsewhere_ = false;
  unsigned data_folder_ = 0;   // the folder's index in data_header_'s cabinet

  // Following a set (kCopyFollowSet).
  bool follow_set_ = false;
  bool stop_after_walk_ = false;         // the caller ended the copy after this cabinet's walk
  uint32_t compression_of_ = 0xFFFFFFFFu;  // FolderCompression's last answer: cabinet << 16 | folder
  uint16_t compression_ = 0;
  int announced_ = -1;                   // the last cabinet index kNextCabinet named
  bool last_folder_continues_ = false;   // header_'s last folder goes on in the next cabinet
  bool first_folder_continued_ = false;  // header_'s folder 0 continues the previous one's last
  // Where the folder that header_'s folder 0 continues began: decoding it
  // again starts there.
  struct FolderOrigin {
    std::string path;
    CabinetHeader header;
    unsigned folder = 0;
  } origin_;
  bool spanned_ = false;        // the caller's thread decoded into a following cabinet
  unsigned detail_folder_ = 0;  // the folder named in failure details

  // Folder cursor: view_ holds folder bytes [block_start_, block_start_ +
  // block_size_), in ctx_.output or a read-ahead slot. While the read-ahead
  // runs, its thread alone moves the block cursor (next_block_offset_,
  // blocks_left_, the decoder, ctx_.input).
  std::unique_ptr<ReadAhead> ahead_;
  const uint8_t* view_ = nullptr;
  int folder_ = -1;
  uint16_t folder_type_ = 0;
  uint32_t next_block_offset_ = 0;
  uint32_t blocks_left_ = 0;
  uint64_t block_start_ = 0;
  uint32_t block_size_ = 0;
};

}  // namespace engine
}  // namespace fdi
