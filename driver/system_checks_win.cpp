// Administrator rights and free disk space; the DirectX query lives in its
// own file.
#include <windows.h>

#include "base/library_loading.h"
#include "base/string_utils.h"
#include "driver/system_checks.h"

namespace {

constexpr int kTokenElevationClass = 20;  // TokenElevation

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD, PDWORD);
using GetDiskFreeSpaceExAFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

bool IsElevated() {
  HMODULE advapi = static_cast<HMODULE>(LoadSystemLibrary("advapi32.dll"));
  if (!advapi) return false;
  bool elevated = false;
  auto open_token = reinterpret_cast<OpenProcessTokenFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "OpenProcessToken")));
  auto get_information = reinterpret_cast<GetTokenInformationFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "GetTokenInformation")));
  HANDLE token = nullptr;
  if (open_token && get_information && open_token(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD value = 0, returned = 0;
    if (get_information(token, kTokenElevationClass, &value, sizeof value, &returned) &&
        returned == sizeof value) {
      elevated = value != 0;
    }
    CloseHandle(token);
  }
  FreeLibrary(advapi);
  return elevated;
}

}  // namespace

bool IsAdministrator() {
  if (IsVista()) return IsElevated();
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

int64_t GetFreeDiskSpace(const std::string& root) {
  auto free_space_ex = reinterpret_cast<GetDiskFreeSpaceExAFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
  if (free_space_ex) {
    ULARGE_INTEGER available, total, total_free;
    if (!free_space_ex(root.c_str(), &available, &total, &total_free)) return -1;
    return static_cast<int64_t>(available.QuadPart);
  }
  DWORD sectors_per_cluster, bytes_per_sector, free_clusters, clusters;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters, &clusters))
    return -1;
  return static_cast<int64_t>(sectors_per_cluster) * bytes_per_sector * free_clusters;
}
