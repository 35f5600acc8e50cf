#include "uninstaller/uninstall_ui_win.h"

#include <windows.h>
#include <commctrl.h>

namespace {

constexpr wchar_t kProgressClass[] = L"ZelkonUninstallProgress";
// Measures at 96 pixels per inch, scaled to the system's DPI (the program
// declares itself DPI aware, so nothing stretches the window for it).
constexpr int kWidth = 460, kHeight = 130;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE: return 0;  // the work decides when the window goes
    default: return DefWindowProcW(window, message, wparam, lparam);
  }
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

const wchar_t* W(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

bool AskYesNo(const WString& caption, const WString& text, bool default_no) {
  const UINT style = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | (default_no ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
  return MessageBoxW(nullptr, W(text), W(caption), style) == IDYES;
}

void ShowMessage(const WString& caption, const WString& text, bool error) {
  MessageBoxW(nullptr, W(text), W(caption), MB_OK | MB_SETFOREGROUND | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

ProgressWindow::ProgressWindow(const WString& caption) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ProgressProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_WAIT);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kProgressClass;
  RegisterClassW(&window_class);
  const int dpi = ScreenDpi();
  auto px = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  const int width = px(kWidth), height = px(kHeight);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressClass, W(caption), WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                x, y, width, height, nullptr, nullptr, instance, nullptr);
  window_ = window;
  if (!window) return;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND text = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS, px(16), px(14),
                              width - px(40), px(20), window, nullptr, instance, nullptr);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, px(16), px(44), width - px(40), px(20),
                             window, nullptr, instance, nullptr);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  text_ = text;
  bar_ = bar;
  PumpMessages();
}

ProgressWindow::~ProgressWindow() {
  if (window_) DestroyWindow(static_cast<HWND>(window_));
  PumpMessages();
}

void ProgressWindow::Update(int percent, const std::string& doing) {
  if (!window_) return;
  SendMessageA(static_cast<HWND>(bar_), PBM_SETPOS, percent, 0);
  SetWindowTextA(static_cast<HWND>(text_), doing.c_str());
  PumpMessages();
}
