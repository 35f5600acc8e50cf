#include "wizard/shell_names_win.h"

#include <shlobj.h>

#include "base/library_loading.h"

namespace {

// FOLDERID_UserProfiles {0762D272-C50A-4BB0-A382-697DCD729B80}
const GUID kUserProfiles = {0x0762D272, 0xC50A, 0x4BB0, {0xA3, 0x82, 0x69, 0x7D, 0xCD, 0x72, 0x9B, 0x80}};
constexpr DWORD kDontVerifyNoAlias = 0x5000;  // KF_FLAG_DONT_VERIFY | KF_FLAG_NO_ALIAS

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

WString FromWide(const wchar_t* text) { return WString(reinterpret_cast<const char16_t*>(text)); }
const wchar_t* ToWide(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

ShellNameHelper::ShellNameHelper() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version) || version.dwMajorVersion < 6) return;
  shell_ = static_cast<HMODULE>(LoadSystemLibrary("shell32.dll"));
  if (!shell_) return;
  getKnownFolderIdList_ = Lookup<GetKnownFolderIdListFn>(shell_, "SHGetKnownFolderIDList");
  ilFree_ = Lookup<IlFreeFn>(shell_, "ILFree");
  getLocalizedName_ = Lookup<GetLocalizedNameFn>(shell_, "SHGetLocalizedName");
}

ShellNameHelper::~ShellNameHelper() {
  if (module_) FreeLibrary(module_);
  if (shell_) FreeLibrary(shell_);
}

bool ShellNameHelper::Available() const { return getKnownFolderIdList_ && ilFree_ && getLocalizedName_; }

WString ShellNameHelper::UserProfilesFolder() {
  if (profilesRead_) return profiles_;
  profilesRead_ = true;
  void* list = nullptr;
  if (SUCCEEDED(getKnownFolderIdList_(kUserProfiles, kDontVerifyNoAlias, nullptr, &list)) && list) {
    wchar_t path[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListW(static_cast<LPCITEMIDLIST>(list), path)) profiles_ = Upper(FromWide(path));
    ilFree_(list);
  }
  return profiles_;
}

bool ShellNameHelper::LocalizedName(const WString& folder, WString* name) {
  wchar_t module_path[MAX_PATH + 1] = {};
  int id = 0;
  if (FAILED(getLocalizedName_(ToWide(folder), module_path, MAX_PATH, &id))) return false;
  wchar_t expanded[MAX_PATH + 1] = {};
  if (!ExpandEnvironmentStringsW(module_path, expanded, MAX_PATH)) return false;
  if (modulePath_ != expanded) {
    if (module_) FreeLibrary(module_);
    // Only a file named by its full path: a bare name would be looked for
    // along the search path, beside the installer first.
    module_ = IsFullPath(Narrow(FromWide(expanded)))
                  ? LoadLibraryExW(expanded, nullptr, LOAD_LIBRARY_AS_DATAFILE | DONT_RESOLVE_DLL_REFERENCES)
                  : nullptr;
    modulePath_ = expanded;
  }
  if (!module_) return false;
  wchar_t text[MAX_PATH + 1] = {};
  if (LoadStringW(module_, static_cast<UINT>(id), text, MAX_PATH) <= 0 || !text[0]) return false;
  *name = FromWide(text);
  return true;
}

bool ShellNameHelper::ListFolder(const WString& folder, std::vector<FolderEntry>* entries) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(ToWide(folder + u"\\*.*"), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    entries->push_back({FromWide(data.cFileName), (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return true;
}

std::string DisplayPathOf(const std::string& path) {
  ShellNameHelper shell;
  return ToDisplayPath(shell, path);
}

std::string FileSystemPathOf(const std::string& path) {
  ShellNameHelper shell;
  return ToFileSystemPath(shell, path);
}
