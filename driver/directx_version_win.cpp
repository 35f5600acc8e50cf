// The DirectX version query: the diagnostics provider first, the versions of
// the DirectX system libraries when the provider cannot answer.
#include <windows.h>
#include <ole2.h>
#include <dxdiag.h>

#include <vector>

#include "base/library_loading.h"
#include "driver/directx_version.h"
#include "driver/system_checks.h"

namespace {

// The provider's class and interface, spelled out so that no import library
// of GUIDs is needed.
const CLSID kDxDiagProviderClass = {0xA65B8071, 0x3BFE, 0x4213, {0x9A, 0x5B, 0x49, 0x1D, 0xA4, 0x46, 0x1C, 0xA7}};
const IID kDxDiagProviderInterface = {0x9C6B4CB0, 0x23F8, 0x49CC, {0xA3, 0xED, 0x45, 0xA5, 0x50, 0x00, 0xA6, 0xD2}};
constexpr DWORD kDxDiagHeaderVersion = 111;

template <typename T>
void Release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

bool ReadUnsigned(IDxDiagContainer* container, const wchar_t* name, uint32_t* out) {
  VARIANT value;
  VariantInit(&value);
  bool ok = SUCCEEDED(container->GetProp(name, &value)) && value.vt == VT_UI4;
  if (ok) *out = value.ulVal;
  VariantClear(&value);
  return ok;
}

bool ReadLetter(IDxDiagContainer* container, const wchar_t* name, char* out) {
  VARIANT value;
  VariantInit(&value);
  bool ok = SUCCEEDED(container->GetProp(name, &value)) && value.vt == VT_BSTR && value.bstrVal &&
            value.bstrVal[0] != 0;
  if (ok) {
    char ansi[8] = {};
    WideCharToMultiByte(CP_ACP, 0, value.bstrVal, 1, ansi, sizeof ansi, nullptr, nullptr);
    *out = ansi[0];
  }
  VariantClear(&value);
  return ok;
}

// The version library is not one of the system's known libraries: it is
// loaded from the system folder when it is needed, never imported (an
// import would be looked for beside the installer first).
class VersionLibrary {
 public:
  using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

  VersionLibrary() : module_(static_cast<HMODULE>(LoadSystemLibrary("version.dll"))) {
    if (!module_) return;
    size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(module_, "GetFileVersionInfoSizeA")));
    info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(module_, "GetFileVersionInfoA")));
    query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(module_, "VerQueryValueA")));
  }
  ~VersionLibrary() {
    if (module_) FreeLibrary(module_);
  }
  VersionLibrary(const VersionLibrary&) = delete;
  VersionLibrary& operator=(const VersionLibrary&) = delete;
  bool Ready() const { return size && info && query; }

  SizeFn size = nullptr;
  InfoFn info = nullptr;
  QueryFn query = nullptr;

 private:
  HMODULE module_;
};

bool ReadFileVersion(const std::string& path, FileVersion* version) {
  VersionLibrary library;
  if (!library.Ready()) return false;
  DWORD ignored = 0;
  DWORD size = library.size(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<char> block(size);
  if (!library.info(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!library.query(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
      length < sizeof(VS_FIXEDFILEINFO))
    return false;
  version->major = HIWORD(fixed->dwFileVersionMS);
  version->minor = LOWORD(fixed->dwFileVersionMS);
  version->build = HIWORD(fixed->dwFileVersionLS);
  version->revision = LOWORD(fixed->dwFileVersionLS);
  return true;
}

}  // namespace

bool DirectXFromDiagnostics(DirectXVersion* version) {
  bool com_ready = SUCCEEDED(CoInitialize(nullptr));
  bool ok = false;
  IDxDiagProvider* provider = nullptr;
  IDxDiagContainer* root = nullptr;
  IDxDiagContainer* system_info = nullptr;
  if (SUCCEEDED(CoCreateInstance(kDxDiagProviderClass, nullptr, CLSCTX_INPROC_SERVER, kDxDiagProviderInterface,
                                 reinterpret_cast<void**>(&provider)))) {
    DXDIAG_INIT_PARAMS params = {};
    params.dwSize = sizeof params;
    params.dwDxDiagHeaderVersion = kDxDiagHeaderVersion;
    params.bAllowWHQLChecks = FALSE;
    params.pReserved = nullptr;
    if (SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(&root)) &&
        SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &system_info))) {
      DirectXVersion found;
      ok = ReadUnsigned(system_info, L"dwDirectXVersionMajor", &found.major) &&
           ReadUnsigned(system_info, L"dwDirectXVersionMinor", &found.minor) &&
           ReadLetter(system_info, L"szDirectXVersionLetter", &found.letter);
      if (ok) *version = found;
    }
  }
  Release(system_info);
  Release(root);
  Release(provider);
  if (com_ready) CoUninitialize();
  return ok;
}

DirectXVersion DirectXFromLibrariesIn(const std::string& folder) {
  if (folder.empty()) return DirectXVersion();
  std::string prefix = folder;
  if (prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  return DirectXFromFileVersions(
      [&](const std::string& file, FileVersion* v) { return ReadFileVersion(prefix + file, v); });
}

namespace {

std::string SystemFolder() {
  char system_folder[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryA(system_folder, sizeof system_folder);
  return (length > 0 && length < sizeof system_folder) ? std::string(system_folder, length) : "";
}

}  // namespace

uint32_t GetDirectXVersion() {
  DirectXVersion version;
  if (!DirectXFromDiagnostics(&version)) version = DirectXFromLibrariesIn(SystemFolder());
  return PackDirectXVersion(version);
}

bool MachineHasDirectX(uint32_t minimum) {
  return DirectXAtLeast(
      minimum, [] { return DirectXFromLibrariesIn(SystemFolder()); }, DirectXFromDiagnostics);
}
