// Windows side of the extraction seam: C runtime descriptors, file times and
// attributes through the Windows API.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "cabinet/cab_file_io.h"
#include "cabinet/cab_format.h"

namespace cab {
namespace io {

// The engine's flag numbering is the C runtime's own.
static_assert(fdi::kOpenWriteOnly == _O_WRONLY && fdi::kOpenCreate == _O_CREAT &&
                  fdi::kOpenTruncate == _O_TRUNC && fdi::kOpenBinary == _O_BINARY &&
                  fdi::kOpenSequential == _O_SEQUENTIAL && fdi::kPermissionWrite == _S_IWRITE &&
                  fdi::kPermissionRead == _S_IREAD,
              "open flags must match the C runtime");

fdi::Handle Open(const char* path, int flags, int permission) {
  int fd = _open(path, flags | _O_NOINHERIT, permission);
  return fd < 0 ? -1 : fd;
}

uint32_t Read(fdi::Handle handle, void* buffer, uint32_t count) {
  int n = _read(static_cast<int>(handle), buffer, count);
  return n < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
}

uint32_t Write(fdi::Handle handle, const void* buffer, uint32_t count) {
  int n = _write(static_cast<int>(handle), buffer, count);
  return n < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
}

int Close(fdi::Handle handle) { return _close(static_cast<int>(handle)) == 0 ? 0 : -1; }

int64_t Seek(fdi::Handle handle, int64_t distance, int origin) {
  __int64 r = _lseeki64(static_cast<int>(handle), distance, origin);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void MakeReplaceable(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
}

static void SetDosFileTimeOf(HANDLE file, uint16_t dos_date, uint16_t dos_time) {
  FILETIME local, utc;
  if (DosDateTimeToFileTime(dos_date, dos_time, &local) && LocalFileTimeToFileTime(&local, &utc))
    SetFileTime(file, &utc, nullptr, &utc);
}

void SetDosFileTime(const std::string& path, uint16_t dos_date, uint16_t dos_time) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SetDosFileTimeOf(file, dos_date, dos_time);
  CloseHandle(file);
}

void SetDosFileTime(fdi::Handle handle, uint16_t dos_date, uint16_t dos_time) {
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(static_cast<int>(handle)));
  if (file != INVALID_HANDLE_VALUE) SetDosFileTimeOf(file, dos_date, dos_time);
}

void SetCabinetAttributes(const std::string& path, uint16_t attributes) {
  DWORD value = attributes & (cab::kAttribReadOnly | cab::kAttribHidden | cab::kAttribSystem | cab::kAttribArchive);
  SetFileAttributesA(path.c_str(), value ? value : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace io
}  // namespace cab
