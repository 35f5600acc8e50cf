#include <windows.h>
#include <shellapi.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include "base/string_utils.h"
#include "engine/desktop_launch.h"

namespace {

constexpr int kTokenElevationTypeClass = 18;  // TokenElevationType (Windows Vista)

// Spelled out so that no import library of GUIDs is needed.
const CLSID kShellWindowsClass = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const GUID kTopLevelBrowserService = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// A COM pointer released when it goes.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** out() { return &p_; }
  void** out_void() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

class ScopedBstr {
 public:
  explicit ScopedBstr(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return;
    value_ = SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (value_) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, value_, n);
  }
  ~ScopedBstr() { SysFreeString(value_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_ = nullptr;
};

VARIANT Text(BSTR text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text;  // owned by the caller
  return v;
}

// The desktop's shell: its folder view's Application object, which opens
// files in the shell's own process.
bool OpenThroughDesktopShell(const std::string& file, const std::string& directory) {
  Com<IShellWindows> windows;
  if (FAILED(CoCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                              windows.out_void())))
    return false;
  VARIANT location, root;
  VariantInit(&location);
  VariantInit(&root);
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  long window = 0;
  Com<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.out()) != S_OK ||
      !desktop.get())
    return false;
  Com<IServiceProvider> services;
  Com<IShellBrowser> browser;
  Com<IShellView> view;
  Com<IDispatch> background;
  Com<IShellFolderViewDual> folder_view;
  Com<IDispatch> application;
  Com<IShellDispatch2> shell;
  if (FAILED(desktop->QueryInterface(__uuidof(IServiceProvider), services.out_void())) ||
      FAILED(services->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser), browser.out_void())) ||
      FAILED(browser->QueryActiveShellView(view.out())) || !view.get() ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.out_void())) ||
      FAILED(background->QueryInterface(__uuidof(IShellFolderViewDual), folder_view.out_void())) ||
      FAILED(folder_view->get_Application(application.out())) || !application.get() ||
      FAILED(application->QueryInterface(__uuidof(IShellDispatch2), shell.out_void())))
    return false;
  ScopedBstr path(file), folder(directory), verb("open");
  VARIANT no_arguments, show;
  VariantInit(&no_arguments);
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return path.get() && SUCCEEDED(shell->ShellExecute(path.get(), no_arguments, Text(folder.get()), Text(verb.get()), show));
}

bool OpenDirectly(const std::string& file, const std::string& directory) {
  const HINSTANCE result =
      ShellExecuteA(nullptr, "open", file.c_str(), nullptr, directory.empty() ? nullptr : directory.c_str(), SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

TokenKind CurrentTokenKind() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return TokenKind::kNoElevation;
  DWORD type = 0, returned = 0;
  const bool read = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevationTypeClass), &type,
                                        sizeof type, &returned) &&
                    returned == sizeof type;
  CloseHandle(token);
  if (!read) return TokenKind::kNoElevation;
  switch (type) {
    case 1: return TokenKind::kDefault;
    case 2: return TokenKind::kElevated;
    case 3: return TokenKind::kLimited;
    default: return TokenKind::kNoElevation;
  }
}

bool OpenAsDesktopUser(const std::string& file, const std::string& directory, LaunchRoute* route) {
  for (LaunchRoute candidate : LaunchRoutesFor(CurrentTokenKind())) {
    const bool opened = candidate == LaunchRoute::kDesktopShell ? OpenThroughDesktopShell(file, directory)
                                                                : OpenDirectly(file, directory);
    if (!opened) continue;
    if (route) *route = candidate;
    return true;
  }
  return false;
}
