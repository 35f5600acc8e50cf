// Platform checks for the extraction tests: listing a folder, read-only
// files, and the attributes and times an extracted file ends up with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <ctime>
#endif

namespace cabtest {

inline std::vector<std::string> ListFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) out.push_back(fs::relative(it->path(), folder).generic_string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

inline void MakeReadOnly(const std::string& path) {
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
#else
  chmod(path.c_str(), 0444);
#endif
}

// Hidden has no equivalent on the host; there only read-only is checked.
inline void ExpectAttributes(const std::string& path, bool read_only, bool hidden) {
#ifdef _WIN32
  DWORD a = GetFileAttributesA(path.c_str());
  ASSERT_NE(a, INVALID_FILE_ATTRIBUTES) << path;
  EXPECT_EQ((a & FILE_ATTRIBUTE_READONLY) != 0, read_only) << path;
  EXPECT_EQ((a & FILE_ATTRIBUTE_HIDDEN) != 0, hidden) << path;
  // Wine reports every file as archived, so the archive bit is not checked.
  EXPECT_EQ(a & FILE_ATTRIBUTE_SYSTEM, 0u) << path;
#else
  (void)hidden;
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
  EXPECT_EQ((st.st_mode & 0222) == 0, read_only) << path;
#endif
}

// The file's last-write time, seen as local time, is the DOS date and time.
inline void ExpectLocalDosTime(const std::string& path, uint16_t date, uint16_t time) {
#ifdef _WIN32
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  FILETIME created, written, local;
  ASSERT_TRUE(GetFileTime(h, &created, nullptr, &written));
  CloseHandle(h);
  WORD d = 0, t = 0;
  ASSERT_TRUE(FileTimeToLocalFileTime(&written, &local));
  ASSERT_TRUE(FileTimeToDosDateTime(&local, &d, &t));
  EXPECT_EQ(d, date) << path;
  EXPECT_EQ(t, time) << path;
  EXPECT_EQ(CompareFileTime(&created, &written), 0) << path;
#else
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
  struct tm local;
  time_t when = st.st_mtime;
  localtime_r(&when, &local);
  EXPECT_EQ(local.tm_year - 80, date >> 9) << path;
  EXPECT_EQ(local.tm_mon + 1, (date >> 5) & 15) << path;
  EXPECT_EQ(local.tm_mday, date & 31) << path;
  EXPECT_EQ(local.tm_hour, time >> 11) << path;
  EXPECT_EQ(local.tm_min, (time >> 5) & 63) << path;
  EXPECT_EQ(local.tm_sec, (time & 31) * 2) << path;
#endif
}

}  // namespace cabtest
