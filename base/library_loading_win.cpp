#include <windows.h>

#include "base/library_loading.h"

namespace {

// The LoadLibraryEx and SetDefaultDllDirectories flags of Windows 7 (and
// Vista and Server 2008 with update KB2533623); older headers lack them.
constexpr DWORD kSearchDllLoadFolder = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD kSearchSystemFolder = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);

FARPROC Kernel32Function(const char* name) {
  // kernel32 is in every process from its start; no load, no search.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel ? GetProcAddress(kernel, name) : nullptr;
}

// Whether RestrictLibrarySearch() found SetDefaultDllDirectories: then the
// LOAD_LIBRARY_SEARCH_* flags are understood by LoadLibraryEx.
bool g_searchFlagsKnown = false;

}  // namespace

LibrarySearch RestrictLibrarySearch() {
  auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(Kernel32Function("SetDefaultDllDirectories")));
  if (set_default && set_default(kSearchSystemFolder)) {
    g_searchFlagsKnown = true;
    return LibrarySearch::kSystemFolderOnly;
  }
  auto set_directory =
      reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(Kernel32Function("SetDllDirectoryA")));
  if (set_directory && set_directory("")) return LibrarySearch::kCurrentFolderOff;
  return LibrarySearch::kUnchanged;
}

void* LoadSystemLibrary(const char* name) {
  char folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string path(folder, length);
  path += '\\';
  path += name;
  return LoadLibraryAt(path);
}

void* LoadLibraryAt(const std::string& full_path) {
  if (!IsFullPath(full_path)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Its own dependencies: beside it, then the system folder. Without the
  // search flags, the altered search path starts in its folder as well.
  const DWORD flags = g_searchFlagsKnown ? (kSearchDllLoadFolder | kSearchSystemFolder) : LOAD_WITH_ALTERED_SEARCH_PATH;
  return LoadLibraryExA(full_path.c_str(), nullptr, flags);
}
