// Windows side of the string utilities: file tests, folder creation and
// removal, and the version tests.
#include <windows.h>

#include "base/string_utils.h"

bool FileExists(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(path.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}

bool FileExists(const WString& path) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(reinterpret_cast<const wchar_t*>(path.c_str()), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}

// The folder itself first: one call where only it is missing (an install
// makes each folder of the product once, most of whose parents are there by
// then), where making every level from the drive down costs a call per
// level.
void MakeDirectories(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
}

bool DeleteDirectoryContents(const std::string& folder) {
  if (folder.size() < 2) return false;
  std::string base = folder;
  if (base.back() != '\\' && base.back() != '/') base += '\\';
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((base + "*.*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string full = base + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!DeleteTree(full)) ok = false;
    } else {
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_ARCHIVE);
      if (!DeleteFileA(full.c_str())) ok = false;
    }
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return ok;
}

bool DeleteTree(const std::string& folder) {
  bool contents = DeleteDirectoryContents(folder);
  bool self = RemoveDirectoryA(RemoveTrailingSlash(folder).c_str()) != 0;
  return contents && self;
}

namespace {

struct VersionAnswer {
  bool known = false;
  DWORD major = 0;
  DWORD platform = 0;
};

const VersionAnswer& Version() {
  static VersionAnswer answer = [] {
    VersionAnswer a;
    OSVERSIONINFOEXA ex = {};
    ex.dwOSVersionInfoSize = sizeof ex;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
      a.known = true;
      a.major = ex.dwMajorVersion;
      a.platform = ex.dwPlatformId;
    } else {
      OSVERSIONINFOA basic = {};
      basic.dwOSVersionInfoSize = sizeof basic;
      if (GetVersionExA(&basic)) {
        a.known = true;
        a.major = basic.dwMajorVersion;
        a.platform = basic.dwPlatformId;
      }
    }
    return a;
  }();
  return answer;
}

}  // namespace

bool IsVista() { return Version().known && Version().major > 5; }
bool IsWin9x() { return Version().known && Version().platform == VER_PLATFORM_WIN32_WINDOWS; }
