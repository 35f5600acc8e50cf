// Windows side of the configuration seam: the registry, the system folders,
// the known-folder helper and the message box.
#include <windows.h>
#include <shlobj.h>

#include "base/library_loading.h"
#include "base/system_seam.h"

namespace seam {
namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
  }
  return HKEY_LOCAL_MACHINE;
}

std::string FolderFrom(UINT (WINAPI *query)(LPSTR, UINT)) {
  char buffer[261];
  UINT length = query(buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return std::string(buffer, length);
}

}  // namespace

bool QueryRegistryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                        KeyOpen open, size_t capacity, std::string* data) {
  data->clear();
  HKEY key = nullptr;
  LONG status = open == KeyOpen::Legacy
                    ? RegOpenKeyA(RootKey(root), subkey.c_str(), &key)
                    : RegOpenKeyExA(RootKey(root), subkey.c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return false;
  std::string buffer(capacity, '\0');
  DWORD size = static_cast<DWORD>(capacity);
  status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                            reinterpret_cast<BYTE*>(&buffer[0]), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  buffer.resize(size < capacity ? size : capacity);
  *data = buffer;
  return true;
}

bool WriteRegistryString(RegistryRoot root, const std::string& subkey, const std::string& name,
                         const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void DeleteRegistryValue(RegistryRoot root, const std::string& subkey, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootKey(root), subkey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

std::string WindowsFolder() { return FolderFrom(GetWindowsDirectoryA); }
std::string SystemFolder() { return FolderFrom(GetSystemDirectoryA); }

std::string CommonAppDataFolder() {
  using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  const int kCommonAppData = 35;  // CSIDL_COMMON_APPDATA
  for (const char* library : {"shell32.dll", "shfolder.dll"}) {
    HMODULE module = static_cast<HMODULE>(LoadSystemLibrary(library));
    if (!module) continue;
    auto getFolderPath = reinterpret_cast<GetFolderPathFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
    if (!getFolderPath) {
      FreeLibrary(module);
      continue;
    }
    char path[MAX_PATH] = {};
    HRESULT result = getFolderPath(nullptr, kCommonAppData, nullptr, 0, path);
    FreeLibrary(module);
    return SUCCEEDED(result) ? std::string(path) : std::string();
  }
  return std::string();
}

std::vector<WString> KnownFolderPaths(const std::vector<FolderId>& ids) {
  // The three functions exist from Windows Vista on; they are looked up by
  // name so that the installer still starts on Windows XP.
  using GetIdListFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, LPITEMIDLIST*);
  using FreeFn = void(WINAPI*)(LPITEMIDLIST);
  using LocalizedNameFn = HRESULT(WINAPI*)(LPCWSTR, LPWSTR, UINT, int*);
  const DWORD kDontVerifyNoAlias = 0x5000;

  std::vector<WString> paths(ids.size());
  HMODULE shell = static_cast<HMODULE>(LoadSystemLibrary("shell32.dll"));
  if (!shell) return paths;
  auto getIdList = reinterpret_cast<GetIdListFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderIDList")));
  auto freeIdList = reinterpret_cast<FreeFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ILFree")));
  auto localizedName = reinterpret_cast<LocalizedNameFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "SHGetLocalizedName")));
  (void)localizedName;  // part of the helper's set; folder paths do not need it
  if (getIdList && freeIdList) {
    for (size_t i = 0; i < ids.size(); ++i) {
      GUID guid;
      guid.Data1 = ids[i].data1;
      guid.Data2 = ids[i].data2;
      guid.Data3 = ids[i].data3;
      for (int b = 0; b < 8; ++b) guid.Data4[b] = ids[i].data4[b];
      LPITEMIDLIST list = nullptr;
      if (FAILED(getIdList(guid, kDontVerifyNoAlias, nullptr, &list)) || !list) continue;
      wchar_t buffer[MAX_PATH] = {};
      if (SHGetPathFromIDListW(list, buffer)) {
        for (const wchar_t* p = buffer; *p; ++p) paths[i].push_back(static_cast<WChar>(*p));
      }
      freeIdList(list);
    }
  }
  FreeLibrary(shell);
  return paths;
}

void ShowErrorBox(const WString& caption, const WString& text) {
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(caption.c_str()), MB_OK | MB_ICONERROR);
}

std::string UserUiLanguage() {
  const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
  char language[16] = {}, country[16] = {};
  if (!GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, language, sizeof language)) return std::string();
  if (!GetLocaleInfoA(locale, LOCALE_SISO3166CTRYNAME, country, sizeof country) || !country[0]) return language;
  return std::string(language) + "-" + country;
}

}  // namespace seam
