// The platform side of cabinet extraction: low-level file descriptors for
// the engine's callbacks, and the file times and attributes of an extracted
// file. cab_file_io_win.cpp uses the Windows C runtime and API,
// cab_file_io_host.cpp POSIX, so that extraction also runs on the host.
#pragma once

#include <cstdint>
#include <string>

#include "cabinet/fdi.h"

namespace cab {
namespace io {

// flags and permission in the engine's numbering (fdi::kOpen*,
// fdi::kPermission*); -1 on failure.
fdi::Handle Open(const char* path, int flags, int permission);
// Byte counts done, or 0xFFFFFFFF on error. Reads stop early only at the end
// of the file.
uint32_t Read(fdi::Handle handle, void* buffer, uint32_t count);
uint32_t Write(fdi::Handle handle, const void* buffer, uint32_t count);
int Close(fdi::Handle handle);
// origin 0 start, 1 current, 2 end; the new position or -1.
int64_t Seek(fdi::Handle handle, int64_t distance, int origin);

// The engine's file callbacks straight onto the functions above, for a copy
// that keeps no values of its own (the user pointer is not used).
inline fdi::Handle EngineOpen(void*, const char* path, int flags, int permission) {
  return Open(path, flags, permission);
}
inline uint32_t EngineRead(void*, fdi::Handle handle, void* buffer, uint32_t count) {
  return Read(handle, buffer, count);
}
inline uint32_t EngineWrite(void*, fdi::Handle handle, const void* buffer, uint32_t count) {
  return Write(handle, buffer, count);
}
inline int EngineClose(void*, fdi::Handle handle) { return Close(handle); }
inline int64_t EngineSeek(void*, fdi::Handle handle, int64_t distance, int origin) {
  return Seek(handle, distance, origin);
}

// Gives an existing file the plain archive attribute (on the host: makes it
// writable) so that a read-only, hidden or system file can be replaced.
void MakeReplaceable(const std::string& path);

// Sets the creation and last-write times to a DOS date and time taken as
// local time. Failures are ignored.
void SetDosFileTime(const std::string& path, uint16_t dos_date, uint16_t dos_time);
// The same through a handle Open() gave for writing, before it is closed:
// extraction sets the times of every file it writes, and opening each one
// again by name costs more than the rest of writing a small file.
void SetDosFileTime(fdi::Handle handle, uint16_t dos_date, uint16_t dos_time);

// Sets the read-only, hidden, system and archive attributes (cabinet
// attribute bits; others are ignored). On the host only read-only has an
// equivalent. Failures are ignored.
void SetCabinetAttributes(const std::string& path, uint16_t attributes);

}  // namespace io
}  // namespace cab
