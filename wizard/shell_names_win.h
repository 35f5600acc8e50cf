// The shell's localized folder names on Windows Vista and later, looked up
// at run time (SHGetKnownFolderIDList, ILFree, SHGetLocalizedName); empty on
// older systems, where paths stay as they are. Made for one conversion and
// released afterwards. Windows only.
#pragma once

#include <windows.h>

#include "wizard/display_path.h"

class ShellNameHelper : public ShellNames {
 public:
  ShellNameHelper();
  ~ShellNameHelper() override;
  ShellNameHelper(const ShellNameHelper&) = delete;
  ShellNameHelper& operator=(const ShellNameHelper&) = delete;

  bool Available() const override;
  WString UserProfilesFolder() override;
  bool LocalizedName(const WString& folder, WString* name) override;
  bool ListFolder(const WString& folder, std::vector<FolderEntry>* entries) override;

 private:
  using GetKnownFolderIdListFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, void**);
  using IlFreeFn = void(WINAPI*)(void*);
  using GetLocalizedNameFn = HRESULT(WINAPI*)(const wchar_t*, wchar_t*, UINT, int*);

  HMODULE shell_ = nullptr;
  GetKnownFolderIdListFn getKnownFolderIdList_ = nullptr;
  IlFreeFn ilFree_ = nullptr;
  GetLocalizedNameFn getLocalizedName_ = nullptr;
  // The string module of the last localized name, kept while the next
  // component names the same one.
  HMODULE module_ = nullptr;
  std::wstring modulePath_;
  bool profilesRead_ = false;
  WString profiles_;
};

// The two conversions with a helper made for the call.
std::string DisplayPathOf(const std::string& path);
std::string FileSystemPathOf(const std::string& path);
