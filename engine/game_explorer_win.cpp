// The Game Explorer step on the worker thread (COM is initialised there).
// Every failure is silent: the install goes on without a registration.
#include <windows.h>
#include <ole2.h>
#include <objbase.h>

#include "base/system_seam.h"
#include "engine/game_explorer.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "engine/registry_keys_win.h"

// The Game Explorer interface as the system declares it (the compiler's
// headers do not carry it). Outside the anonymous namespace on purpose: a
// type only this file can see, with no implementation in the program, lets
// the compiler assume that no object of it exists and drop the calls.
struct IGameExplorerObject : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddGame(BSTR gdf_binary_path, BSTR install_directory, int install_scope,
                                            GUID* instance_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveGame(GUID instance_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateGame(GUID instance_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE VerifyAccess(BSTR gdf_binary_path, BOOL* has_access) = 0;
};

namespace {

const CLSID kGameExplorerClass = {0x9A5EA990, 0x3034, 0x4D6F, {0x91, 0x28, 0x01, 0xF3, 0xC6, 0x10, 0x22, 0xBC}};
const IID kGameExplorerInterface = {0xE7B2FB72, 0xD728, 0x49B3, {0xA5, 0xF2, 0x18, 0xEB, 0xF5, 0xF1, 0x34, 0x9E}};
constexpr int kInstallForAllUsers = 3;  // GIS_ALL_USERS

bool GuidText(const GUID& guid, std::string* text) {
  WCHAR buffer[80] = {};
  int length = StringFromGUID2(guid, buffer, 80);
  if (length <= 0) return false;
  text->clear();
  for (int i = 0; i < length - 1; ++i) text->push_back(static_cast<char>(buffer[i]));
  return true;
}

BSTR ToBstr(const std::string& text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (result && length > 0)
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), result, length);
  return result;
}

// Major and minor version of the running system, asked once.
bool WindowsVersion(unsigned* major, unsigned* minor) {
  static bool asked = false, known = false;
  static unsigned cached_major = 0, cached_minor = 0;
  if (!asked) {
    asked = true;
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof extended;
    OSVERSIONINFOA basic = {};
    basic.dwOSVersionInfoSize = sizeof basic;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
      known = true;
      cached_major = extended.dwMajorVersion;
      cached_minor = extended.dwMinorVersion;
    } else if (GetVersionExA(&basic)) {
      known = true;
      cached_major = basic.dwMajorVersion;
      cached_minor = basic.dwMinorVersion;
    }
  }
  *major = cached_major;
  *minor = cached_minor;
  return known;
}

}  // namespace

bool NewGuidString(std::string* guid) {
  GUID value;
  if (FAILED(CoCreateGuid(&value))) return false;
  return GuidText(value, guid);
}

bool RegisterWithGameExplorer(const std::string& executable, const std::string& install_folder, std::string* guid) {
  // Fails harmlessly when the process's security is already set.
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                       nullptr, EOAC_NONE, nullptr);
  IGameExplorerObject* explorer = nullptr;
  if (FAILED(CoCreateInstance(kGameExplorerClass, nullptr, CLSCTX_ALL, kGameExplorerInterface,
                              reinterpret_cast<void**>(&explorer))))
    return false;
  GUID instance = {};
  BSTR path = ToBstr(executable);
  BSTR folder = ToBstr(install_folder);
  HRESULT added = (path && folder) ? explorer->AddGame(path, folder, kInstallForAllUsers, &instance) : E_OUTOFMEMORY;
  SysFreeString(path);
  SysFreeString(folder);
  std::string text;
  bool ok = SUCCEEDED(added) && GuidText(instance, &text);
  explorer->Release();
  if (ok) *guid = text;
  return ok;
}

bool RegisterForUpgradeWith(const std::string& executable, const std::string& install_folder, std::string* guid,
                            const std::function<bool(std::string*)>& new_guid) {
  std::string candidate;
  if (!new_guid(&candidate)) return false;
  for (;;) {
    HKEY games = nullptr, game = nullptr;
    DWORD disposition = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGamesToFindKey, 0, KEY_ALL_ACCESS, &games) != ERROR_SUCCESS &&
        CreateInstallKey(HKEY_LOCAL_MACHINE, kGamesToFindKey, &games, &disposition) != ERROR_SUCCESS)
      return false;
    if (CreateInstallKey(games, candidate, &game, &disposition) != ERROR_SUCCESS) {
      RegCloseKey(games);
      return false;
    }
    if (disposition == REG_OPENED_EXISTING_KEY) {
      // Another game has this GUID already: draw again.
      RegCloseKey(game);
      RegCloseKey(games);
      if (!new_guid(&candidate)) return false;
      continue;
    }
    bool written = SetStringValue(game, "GDFBinaryPath", executable) == ERROR_SUCCESS &&
                   SetStringValue(game, "GameInstallPath", install_folder) == ERROR_SUCCESS;
    RegCloseKey(game);
    RegCloseKey(games);
    if (!written) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kGamesToFindKey) + "\\" + candidate).c_str());
      return false;
    }
    *guid = candidate;
    return true;
  }
}

bool RegisterForUpgrade(const std::string& executable, const std::string& install_folder, std::string* guid) {
  return RegisterForUpgradeWith(executable, install_folder, guid, NewGuidString);
}

bool RegisterGameExplorer(InstallJob& job) {
  BrioCommon::InstallConfigParser& config = job.config;
  unsigned major = 0, minor = 0;
  if (config.GameExplorer.empty() || !WindowsVersion(&major, &minor)) return false;
  GameExplorerMethod method = GameExplorerMethodFor(major, minor);
  if (method == GameExplorerMethod::None) return false;

  std::string executable = job.ExpandText(config.GameExplorer);
  std::string install_folder = GetDirectory(executable);
  std::string guid;
  bool registered = method == GameExplorerMethod::GameExplorerObject
                        ? RegisterWithGameExplorer(executable, install_folder, &guid)
                        : RegisterForUpgrade(executable, install_folder, &guid);
  if (!registered) return false;
  job.log.AppendElement(1, "GameExplorerGuid", Widen(guid), LogValue::Verbatim);

  std::string data_folder = RemoveTrailingSlash(seam::CommonAppDataFolder());
  if (data_folder.empty()) return true;
  std::string task_folder = GameExplorerTaskFolder(data_folder, guid);
  std::string link = PlayTaskLinkPath(task_folder, config.GameExplorerLinkName);
  MakeDirectories(GetDirectory(link));
  Shortcut play;
  play.Dest = link;
  play.Target = executable;
  config.Shortcuts.push_back(play);
  job.log.AppendElement(1, "UninstallDeltree", Widen(task_folder), LogValue::Verbatim);
  if (method == GameExplorerMethod::UpgradeKey)
    job.log.AppendElement(1, "UninstallDelRegKey", Widen(std::string("HKLM\\") + kGamesToFindKey + "\\" + guid),
                     LogValue::Verbatim);
  return true;
}
