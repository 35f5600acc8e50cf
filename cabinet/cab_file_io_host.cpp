// Host side of the extraction seam: POSIX descriptors and times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "cabinet/cab_file_io.h"
#include "cabinet/cab_format.h"

namespace cab {
namespace io {

fdi::Handle Open(const char* path, int flags, int permission) {
  int native = 0;
  switch (flags & 3) {
    case fdi::kOpenWriteOnly: native = O_WRONLY; break;
    case fdi::kOpenReadWrite: native = O_RDWR; break;
    default: native = O_RDONLY; break;
  }
  if (flags & fdi::kOpenCreate) native |= O_CREAT;
  if (flags & fdi::kOpenTruncate) native |= O_TRUNC;
  if (flags & fdi::kOpenExclusive) native |= O_EXCL;
  mode_t mode = 0;
  if (permission & fdi::kPermissionRead) mode |= 0444;
  if (permission & fdi::kPermissionWrite) mode |= 0222;
  int fd = ::open(path, native | O_CLOEXEC, mode);
  return fd < 0 ? -1 : fd;
}

uint32_t Read(fdi::Handle handle, void* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::read(static_cast<int>(handle), static_cast<char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0xFFFFFFFFu;
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

uint32_t Write(fdi::Handle handle, const void* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(handle), static_cast<const char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0xFFFFFFFFu;
    }
    done += static_cast<uint32_t>(n);
  }
  return done;
}

int Close(fdi::Handle handle) { return ::close(static_cast<int>(handle)) == 0 ? 0 : -1; }

int64_t Seek(fdi::Handle handle, int64_t distance, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(handle), static_cast<off_t>(distance), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void MakeReplaceable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::chmod(path.c_str(), st.st_mode | S_IWUSR);
}

// The access and modification times for futimens/utimensat; false when the
// date does not convert.
static bool DosTimes(uint16_t dos_date, uint16_t dos_time, struct timespec times[2]) {
  struct tm local = {};
  local.tm_year = (dos_date >> 9) + 80;
  local.tm_mon = ((dos_date >> 5) & 15) - 1;
  local.tm_mday = dos_date & 31;
  local.tm_hour = dos_time >> 11;
  local.tm_min = (dos_time >> 5) & 63;
  local.tm_sec = (dos_time & 31) * 2;
  local.tm_isdst = -1;
  time_t utc = mktime(&local);
  if (utc == static_cast<time_t>(-1)) return false;
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the last-access time stays as it is
  times[1].tv_sec = utc;
  times[1].tv_nsec = 0;
  return true;
}

void SetDosFileTime(const std::string& path, uint16_t dos_date, uint16_t dos_time) {
  struct timespec times[2];
  if (DosTimes(dos_date, dos_time, times)) ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void SetDosFileTime(fdi::Handle handle, uint16_t dos_date, uint16_t dos_time) {
  struct timespec times[2];
  if (DosTimes(dos_date, dos_time, times)) ::futimens(static_cast<int>(handle), times);
}

void SetCabinetAttributes(const std::string& path, uint16_t attributes) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return;
  mode_t mode = st.st_mode & 07777;
  if (attributes & cab::kAttribReadOnly) {
    mode &= ~static_cast<mode_t>(0222);
  } else {
    mode |= S_IWUSR;
  }
  ::chmod(path.c_str(), mode);
}

}  // namespace io
}  // namespace cab
