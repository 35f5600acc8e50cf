// The cabinet decompression engine: the published cabinet decompression
// interface (FDICreate, FDICopy, FDIDestroy with its callbacks,
// notifications and error numbers), in a namespace of its own so that it
// never meets the system's declarations of the same names.
//
// The engine never touches the file system: every read, write, seek and
// allocation goes through the caller's callbacks, and the caller decides per
// entry whether and where it is written (the copy-file notification).
#pragma once

#include <cstdint>
#include <string>

namespace fdi {

using Handle = intptr_t;

// Open flags and permissions, numbered as the Windows C runtime numbers
// them; the open callback translates them for its platform.
constexpr int kOpenReadOnly = 0x0000;
constexpr int kOpenWriteOnly = 0x0001;
constexpr int kOpenReadWrite = 0x0002;
constexpr int kOpenSequential = 0x0020;
constexpr int kOpenCreate = 0x0100;
constexpr int kOpenTruncate = 0x0200;
constexpr int kOpenExclusive = 0x0400;
constexpr int kOpenBinary = 0x8000;
constexpr int kPermissionWrite = 0x0080;
constexpr int kPermissionRead = 0x0100;

constexpr int kSeekStart = 0;
constexpr int kSeekCurrent = 1;

// Processor types of FDICreate.
constexpr int kCpuUnknown = -1;
constexpr int kCpu80286 = 0;
constexpr int kCpu80386 = 1;

// Callbacks. Read and write return the byte count done, or 0xFFFFFFFF on
// error; close returns 0 on success; seek returns the new position or -1.
// Positions are 64-bit so that cabinets near the format's 4 GB limit work.
// The file callbacks get the user pointer of the FDICopy call they serve
// (as the notifications do), so that copies with values of their own can
// run at the same time in one process.
using AllocFn = void* (*)(uint32_t size);
using FreeFn = void (*)(void* block);
using OpenFn = Handle (*)(void* user, const char* path, int flags, int permission);
using ReadFn = uint32_t (*)(void* user, Handle handle, void* buffer, uint32_t count);
using WriteFn = uint32_t (*)(void* user, Handle handle, const void* buffer, uint32_t count);
using CloseFn = int (*)(void* user, Handle handle);
using SeekFn = int64_t (*)(void* user, Handle handle, int64_t distance, int origin);

enum ErrorCode : int32_t {
  kErrorNone = 0,
  kErrorCabinetNotFound = 1,
  kErrorNotACabinet = 2,
  kErrorUnknownCabinetVersion = 3,
  kErrorCorruptCabinet = 4,
  kErrorAllocFail = 5,
  kErrorBadCompressionType = 6,
  kErrorDecompressorFailure = 7,
  kErrorTargetFile = 8,
  kErrorReserveMismatch = 9,
  kErrorWrongCabinet = 10,
  kErrorUserAbort = 11,
};

// Filled by the engine; the caller owns it for the context's lifetime.
struct ErrorRecord {
  int32_t code = kErrorNone;
  int32_t type = 0;  // the platform error number, when one applies
  bool error = false;
  // What exactly was wrong, when the engine knows more than the code says:
  // "bad block checksum in folder 0", "LZX: invalid Huffman table in folder 1".
  std::string detail;
};

enum NotificationType : int {
  kCabinetInfo = 0,
  kPartialFile = 1,
  kCopyFile = 2,
  kCloseFileInfo = 3,
  kNextCabinet = 4,
  kEnumerate = 5,
};

// What each notification carries:
//   kCabinetInfo:   name1 next cabinet, name2 next disk, name3 cabinet folder,
//                   setId, cabinetIndex.
//   kEnumerate:     size = position of the next file entry in the cabinet,
//                   folderIndex = file entries still to read; the callback
//                   may change both. Sent again once the cabinet's walk has
//                   ended: returning 1 then ends the copy there, however
//                   far the set goes on (kCopyFollowSet).
//   kPartialFile:   name1 file, name2 first cabinet, name3 first disk,
//                   folderIndex (a continued-folder number), cabinetIndex.
//   kCopyFile:      name1 file, size, date, time, attribs, folderIndex,
//                   cabinetFolder, folderCompression, cabinetIndex,
//                   entryPosition and entryIndex (where the entry lies in
//                   the file table: a later kEnumerate may start a walk
//                   there). Return 0 to skip, -1 to abort, otherwise the
//                   handle.
//   kCloseFileInfo: name1 file, handle, date, time, attribs (without the
//                   run-after-extraction bit; size is 1 when it was set).
//                   Return nonzero when the file was closed.
//   kNextCabinet:   name1 next cabinet, name2 next disk, name3 folder, error.
// Sizes are 64-bit so that entries of 2 GB and more stay positive.
struct Notification {
  int64_t size = 0;
  const char* name1 = nullptr;
  const char* name2 = nullptr;
  const char* name3 = nullptr;
  void* user = nullptr;
  Handle handle = 0;
  uint16_t date = 0;
  uint16_t time = 0;
  uint16_t attribs = 0;
  uint16_t setId = 0;
  uint16_t cabinetIndex = 0;
  uint16_t folderIndex = 0;
  int32_t error = kErrorNone;
  uint32_t entryPosition = 0;  // kCopyFile: the entry's offset in the cabinet
  uint32_t entryIndex = 0;     // kCopyFile: its number in the walk, from 0
  // kCopyFile: the entry's folder among this cabinet's folders, also for a
  // file that runs on into the next cabinet (in its last folder).
  uint16_t cabinetFolder = 0;
  // kCopyFile: that folder's compression (its typeCompress; 0: stored).
  uint16_t folderCompression = 0;
};

using NotifyFn = intptr_t (*)(NotificationType type, Notification* notification);
// Accepted for the interface's sake; the engine never calls it.
using DecryptFn = int (*)(void* info);

struct Context;

// A new engine context, or null (error code 5) when it cannot be allocated.
Context* FDICreate(AllocFn alloc, FreeFn free, OpenFn open, ReadFn read, WriteFn write, CloseFn close,
                   SeekFn seek, int cpu_type, ErrorRecord* error);

// FDICopy flags. kCopyFollowSet: after the cabinet's own file table, walk
// the tables of the cabinets that follow it in its set (its next cabinet,
// that one's next, ...) in the same call. A folder continued across
// cabinets is then one folder: the files of a later cabinet that lie in it
// take their offsets in the whole folder, and it is decoded once, in order.
// kNextCabinet comes once for each following cabinet, before anything is
// read from it (the caller may check the file then, or refuse it with -1);
// kCabinetInfo once for each cabinet whose table is walked. Without the
// flag, the call walks the one table, as the published interface does.
constexpr int kCopyFollowSet = 0x0001;

// Extracts through the notifications every entry of the cabinet at
// cabinet_folder + cabinet_name (together at most 256 characters). user
// reaches every notification and file callback of this call.
bool FDICopy(Context* context, const char* cabinet_name, const char* cabinet_folder, int flags,
             NotifyFn notify, DecryptFn decrypt, void* user);

// Releases the decoder, the buffers and the context; closes any handle the
// engine still holds.
bool FDIDestroy(Context* context);

// A short English description of an error code, for tools and messages.
const char* ErrorText(int32_t code);

}  // namespace fdi
