// The UI driver's ruler inside the program it drives. A font belongs to the
// process that made it, so the text of a control can be measured only there:
// ui_driver hooks this library into the page's thread and sends the page its
// registered message; the hook then measures the text of every static,
// button and edit child with the child's own font, laid out as the control
// lays it out (wrapped in its width for statics and multi-line buttons, one
// line otherwise), adds what the control draws beside it (a push button's
// edges, a check box's box, an edit's border), and writes the room the text
// needs, one line per child, into the shared section the driver reads:
//   <window handle, hex> <width> <height>
// An edit scrolls its text: its width is given as 0.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kSectionSize = 65536;

UINT MeasureMessage() {
  static const UINT message = RegisterWindowMessageA("ui_driver.measure");
  return message;
}

std::string Measure(HWND child) {
  wchar_t text[4096] = {};
  const int length = GetWindowTextW(child, text, 4096);
  if (length <= 0) return std::string();
  char class_name[32] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  RECT client;
  GetClientRect(child, &client);
  UINT format = DT_CALCRECT | DT_EXPANDTABS;
  const bool is_static = lstrcmpiA(class_name, "Static") == 0;
  const bool is_button = lstrcmpiA(class_name, "Button") == 0;
  const bool is_edit = lstrcmpiA(class_name, "Edit") == 0;
  if (!is_static && !is_button && !is_edit) return std::string();
  RECT extent = {0, 0, 0, 0};
  if (is_static || (is_button && (style & BS_MULTILINE))) {
    format |= DT_WORDBREAK;
    extent.right = client.right;
  } else {
    format |= DT_SINGLELINE;
  }
  if (is_static && (style & SS_NOPREFIX)) format |= DT_NOPREFIX;
  HDC dc = GetDC(child);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  DrawTextW(dc, text, length, &extent, format);
  if (old) SelectObject(dc, old);
  ReleaseDC(child, dc);
  long width = extent.right - extent.left, height = extent.bottom - extent.top;
  const LONG kind = style & BS_TYPEMASK;
  if (is_edit) {
    width = 0;
    height += 2 * GetSystemMetrics(SM_CYBORDER);
  } else if (is_button && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON)) {
    width += 2 * GetSystemMetrics(SM_CXEDGE);
    height += 2 * GetSystemMetrics(SM_CYEDGE);
  } else if (is_button && kind != BS_GROUPBOX) {
    width += GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
    if (height < GetSystemMetrics(SM_CYMENUCHECK)) height = GetSystemMetrics(SM_CYMENUCHECK);
  }
  char line[64];
  std::snprintf(line, sizeof line, "%lx %ld %ld\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(child)),
                width, height);
  return line;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MeasureHook(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && message->message == MeasureMessage()) {
    std::string lines;
    for (HWND child = GetWindow(message->hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      lines += Measure(child);
    HANDLE section = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "ui_driver.extents");
    char* view = section ? static_cast<char*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, kSectionSize)) : nullptr;
    if (view) {
      lstrcpynA(view, lines.c_str(), kSectionSize);
      UnmapViewOfFile(view);
    }
    if (section) CloseHandle(section);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
