// A small UI-automation program for the end-to-end tests of the wizard: it
// starts a program under Wine and drives its windows from a script, the way
// a person would click through them.
//
//   ui_driver OUT SCRIPT PROGRAM [ARGS...]
//
// SCRIPT holds one command per line; OUT receives one line per result and,
// at the end, "EXIT <code>". The program is ended after a failed command
// (FAILED <command>), and when it is still running a minute after the
// script (STILL RUNNING), so that no test waits for a window nobody closes.
//
//   wait TITLE        wait (60 s, times WINE_TIMEOUT_SCALE) for a visible dialog of the
//                     program with this caption; it becomes the current window.   -> WINDOW
//   page HEADER       the same for the page whose header line (IDC_HEADER_LINE)
//                     shows HEADER (pages may share one caption)
//   box               wait for a message box of the program; it becomes the
//                     current window.                           -> BOX caption|text
//   dialog            wait for any other dialog of the program (a folder
//                     browser); it becomes the current window.  -> DIALOG caption
//   list              the current window and its controls:
//                       W x y w h client-x client-y client-w client-h caption
//                       C id class visible enabled x y w h text   (client coords;
//                       CR and LF in texts written as \r and \n, also by get)
//   measure           as list, and after each control with a text the text's
//                     extent as the control lays it out, measured inside the
//                     program with the control's font (ui_measure.dll):
//                       X width height
//   dpi N             tell the current window it is now on a monitor of N
//                     dots per inch (WM_DPICHANGED), with the rectangle Windows
//                     suggests: its client scaled from the DPI it had, its
//                     frame and top-left corner kept
//   click ID          press a button (its parent is told, as by a click)
//   answer ID         press a button of the current message box, then return to
//                     the page it came from
//   type ID TEXT      replace the text of an edit
//   check ID 0|1      set a check box and tell the page
//   get ID            -> TEXT id text
//   move X Y          move the current window (outer top-left corner)
//   gone              wait until the current window is closed
//   pause NAME        -> PAUSE NAME; then wait for the file OUT.NAME.go (the
//                     test takes a screenshot meanwhile)
//   tree              the selected folder of a folder browser, from the tree
//                     item to its root: -> TREE label<label<...
//   sleep MS
//   selection ID      the selection of a rich edit: -> SELECTION start end text
//   linkclick ID POS  press and release the left button on the character at
//                     POS of a rich edit (as a click on a link there)
//   format ID POS     the character format at POS of a rich edit (selects it):
//                     -> FORMAT pos link bold underline (0 or 1 each)
//   pick ID INDEX     select item INDEX of a combo box and tell the page
//   dropdown ID       open a combo box's list
//   key ID VK         press and release a key (decimal code) in a control
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

FILE* g_out = nullptr;
DWORD g_process = 0;

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
  return out;
}

std::wstring TextOf(HWND window) {
  wchar_t text[4096] = {};
  // WM_GETTEXT reaches windows of other processes (GetWindowText does not
  // ask them for controls).
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// Texts of multi-line controls stay on one output line: CR and LF are
// written as \r and \n.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}

void Emit(const std::string& line) {
  std::fprintf(g_out, "%s\n", line.c_str());
  std::fflush(g_out);
}

struct Search {
  std::wstring title;
  std::wstring header;  // the text of the page's header line (IDC_HEADER_LINE)
  bool messageBox = false;
  bool anyDialog = false;
  HWND exclude = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK FindWindowOfProgram(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != g_process || !IsWindowVisible(window) || window == search->exclude) return TRUE;
  if (ClassOf(window) != "#32770") return TRUE;
  const bool is_box = GetDlgItem(window, 0xFFFF) != nullptr;
  if (search->anyDialog) {
    search->found = window;
    return FALSE;
  }
  if (!search->header.empty()) {
    HWND header = GetDlgItem(window, IDC_HEADER_LINE);
    if (is_box || !header || TextOf(header) != search->header) return TRUE;
  } else if (search->messageBox ? !is_box : (is_box || TextOf(window) != search->title)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// How many times longer everything may take: WINE_TIMEOUT_SCALE from the
// test run (above 1 where Wine's 32-bit code runs emulated).
int TimeScale() {
  const char* value = std::getenv("WINE_TIMEOUT_SCALE");
  int scale = value ? std::atoi(value) : 1;
  return scale > 0 ? scale : 1;
}

HWND WaitForWindow(Search search, HANDLE program) {
  for (int i = 0; i < 600 * TimeScale(); ++i) {
    search.found = nullptr;
    EnumWindows(FindWindowOfProgram, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      Sleep(150);  // let the page finish its set-up
      return search.found;
    }
    if (WaitForSingleObject(program, 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

std::string Rect(HWND window, HWND relative_to) {
  RECT r;
  GetWindowRect(window, &r);
  if (relative_to) MapWindowPoints(nullptr, relative_to, reinterpret_cast<POINT*>(&r), 2);
  char text[80];
  std::snprintf(text, sizeof text, "%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return text;
}

// Text extents by window handle ("X width height"), from the last measure.
std::map<HWND, std::string> g_extents;

BOOL CALLBACK ListChild(HWND child, LPARAM parent) {
  if (GetParent(child) != reinterpret_cast<HWND>(parent)) return TRUE;
  char head[160];
  std::snprintf(head, sizeof head, "C %d %s %d %d ", GetDlgCtrlID(child), ClassOf(child).c_str(),
                IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0);
  Emit(head + Rect(child, reinterpret_cast<HWND>(parent)) + " " + OneLine(Utf8(TextOf(child))));
  const auto extent = g_extents.find(child);
  if (extent != g_extents.end()) Emit(extent->second);
  return TRUE;
}

// Hooks ui_measure.dll (beside this program) into the page's thread and asks
// it for the text extents of the page's children.
void MeasureTexts(HWND page) {
  g_extents.clear();
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string library_path = path;
  library_path = library_path.substr(0, library_path.find_last_of("\\/") + 1) + "ui_measure.dll";
  static HMODULE library = LoadLibraryA(library_path.c_str());
  const HOOKPROC hook_procedure =
      library ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "MeasureHook"))) : nullptr;
  const DWORD size = 65536;
  HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, "ui_driver.extents");
  char* view = section ? static_cast<char*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, size)) : nullptr;
  HHOOK hook = view && hook_procedure ? SetWindowsHookExA(WH_CALLWNDPROC, hook_procedure, library,
                                                           GetWindowThreadProcessId(page, nullptr))
                                      : nullptr;
  if (hook) {
    view[0] = '\0';
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(page, RegisterWindowMessageA("ui_driver.measure"), 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    UnhookWindowsHookEx(hook);
    std::istringstream lines(std::string(view, strnlen(view, size)));
    unsigned long handle = 0;
    long width = 0, height = 0;
    while (lines >> std::hex >> handle >> std::dec >> width >> height)
      g_extents[reinterpret_cast<HWND>(static_cast<ULONG_PTR>(handle))] =
          "X " + std::to_string(width) + " " + std::to_string(height);
  } else {
    Emit("NO MEASURE");
  }
  if (view) UnmapViewOfFile(view);
  if (section) CloseHandle(section);
}

// The DPI each page was last told, for the next "dpi" command.
std::map<HWND, int> g_toldDpi;

void TellDpi(HWND window, int dpi) {
  HDC screen = GetDC(nullptr);
  const int system_dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const int from = g_toldDpi.count(window) ? g_toldDpi[window] : system_dpi;
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  const RECT suggested = {outer.left, outer.top,
                          outer.right - client.right + MulDiv(client.right, dpi, from),
                          outer.bottom - client.bottom + MulDiv(client.bottom, dpi, from)};
  // The rectangle travels by address: it is written into the program.
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, g_process);
  void* remote = process ? VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE) : nullptr;
  if (remote && WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr)) {
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
    g_toldDpi[window] = dpi;
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (process) CloseHandle(process);
  Sleep(200);
}

void List(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  char text[160];
  std::snprintf(text, sizeof text, "W %s %ld %ld %ld %ld ", Rect(window, nullptr).c_str(), origin.x, origin.y,
                client.right, client.bottom);
  Emit(text + Utf8(TextOf(window)));
  EnumChildWindows(window, ListChild, reinterpret_cast<LPARAM>(window));
}

// The selected item of the folder browser's tree and its ancestors' labels,
// read through a buffer in the program's memory.
std::string SelectedTreePath(HWND browser) {
  HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
  for (HWND child = nullptr; !tree && (child = FindWindowExA(browser, child, nullptr, nullptr));)
    tree = FindWindowExA(child, nullptr, "SysTreeView32", nullptr);
  if (!tree) return "no tree";
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, g_process);
  if (!process) return "no access";
  const size_t size = sizeof(TVITEMW) + 520;
  char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  std::string path;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  while (item && remote) {
    TVITEMW request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
    request.cchTextMax = 260;
    WriteProcessMemory(process, remote, &request, sizeof request, nullptr);
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
    wchar_t label[261] = {};
    ReadProcessMemory(process, remote + sizeof(TVITEMW), label, 520, nullptr);
    path += (path.empty() ? "" : "<") + Utf8(label);
    item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return path;
}

std::string Rest(std::istringstream& in) {
  std::string rest;
  std::getline(in, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  return rest;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string out_path = argv[1];
  g_out = std::fopen(out_path.c_str(), "wb");  // plain "\n" line ends
  if (!g_out) return 3;
  std::ifstream script(argv[2]);
  std::string command = std::string("\"") + argv[3] + "\"";
  for (int i = 4; i < argc; ++i) command += std::string(" ") + argv[i];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION program = {};
  std::vector<char> line_buffer(command.begin(), command.end());
  line_buffer.push_back('\0');
  if (!CreateProcessA(argv[3], line_buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &program))
    return 4;
  g_process = program.dwProcessId;

  HWND current = nullptr, page = nullptr;
  bool failed = false;
  std::string line;
  while (!failed && std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb.empty() || verb[0] == '#') continue;
    if (verb == "wait" || verb == "page") {
      Search search;
      (verb == "wait" ? search.title : search.header) = Wide(Rest(in));
      search.exclude = page;  // a new page, not the one just left
      current = page = WaitForWindow(search, program.hProcess);
      if (current)
        Emit("WINDOW " + Utf8(TextOf(current)));
      else
        failed = true;
    } else if (verb == "box") {
      Search search;
      search.messageBox = true;
      current = WaitForWindow(search, program.hProcess);
      if (current)
        Emit("BOX " + Utf8(TextOf(current)) + "|" + Utf8(TextOf(GetDlgItem(current, 0xFFFF))));
      else
        failed = true;
    } else if (verb == "dialog") {
      Search search;
      search.anyDialog = true;
      search.exclude = page;
      current = WaitForWindow(search, program.hProcess);
      if (current)
        Emit("DIALOG " + Utf8(TextOf(current)));
      else
        failed = true;
    } else if (verb == "list") {
      g_extents.clear();
      List(current);
    } else if (verb == "measure") {
      MeasureTexts(current);
      List(current);
      g_extents.clear();
    } else if (verb == "dpi") {
      int dpi = 0;
      in >> dpi;
      TellDpi(current, dpi);
    } else if (verb == "click" || verb == "answer") {
      int id = 0;
      in >> id;
      PostMessageW(current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(current, id)));
      if (verb == "answer") {
        for (int i = 0; i < 100 && IsWindow(current); ++i) Sleep(50);
        current = page;
      }
    } else if (verb == "type") {
      int id = 0;
      in >> id;
      const std::wstring text = Wide(Rest(in));
      SendMessageW(GetDlgItem(current, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (verb == "check") {
      int id = 0, state = 0;
      in >> id >> state;
      HWND box = GetDlgItem(current, id);
      SendMessageW(box, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
      PostMessageW(current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
    } else if (verb == "get") {
      int id = 0;
      in >> id;
      Emit("TEXT " + std::to_string(id) + " " + OneLine(Utf8(TextOf(GetDlgItem(current, id)))));
    } else if (verb == "move") {
      int x = 0, y = 0;
      in >> x >> y;
      SetWindowPos(current, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      Sleep(100);
    } else if (verb == "gone") {
      int i = 0;
      for (; i < 600 && IsWindow(current); ++i) Sleep(100);
      if (IsWindow(current)) failed = true;
    } else if (verb == "pause") {
      const std::string name = Rest(in);
      Emit("PAUSE " + name);
      const std::string go = out_path + "." + name + ".go";
      int i = 0;
      for (; i < 600 && GetFileAttributesA(go.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    } else if (verb == "tree") {
      Emit("TREE " + SelectedTreePath(current));
    } else if (verb == "selection") {
      int id = 0;
      in >> id;
      HWND edit = GetDlgItem(current, id);
      // Packed start and end: no buffer needs to cross the processes.
      const DWORD packed = static_cast<DWORD>(SendMessageW(edit, EM_GETSEL, 0, 0));
      const int start = LOWORD(packed), end = HIWORD(packed);
      // The window text ends paragraphs with CR LF, the positions count one.
      std::wstring text = TextOf(edit), plain;
      for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) plain += text[i];
      const std::wstring selected =
          end > start && static_cast<size_t>(end) <= plain.size() ? plain.substr(start, end - start) : L"";
      Emit("SELECTION " + std::to_string(start) + " " + std::to_string(end) + " " + Utf8(selected));
    } else if (verb == "linkclick") {
      int id = 0, position = 0;
      in >> id >> position;
      HWND edit = GetDlgItem(current, id);
      const DWORD point = static_cast<DWORD>(SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(position), 0));
      const LPARAM at = MAKELPARAM(LOWORD(point) + 2, HIWORD(point) + 3);
      SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageW(edit, WM_LBUTTONUP, 0, at);
      Sleep(200);
    } else if (verb == "format") {
      int id = 0, position = 0;
      in >> id >> position;
      HWND edit = GetDlgItem(current, id);
      SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(position), position + 1);
      // The format structure lives in the program's memory.
      HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, g_process);
      void* remote = process ? VirtualAllocEx(process, nullptr, sizeof(CHARFORMAT2W), MEM_COMMIT, PAGE_READWRITE)
                             : nullptr;
      CHARFORMAT2W format = {};
      format.cbSize = sizeof format;
      if (remote) {
        WriteProcessMemory(process, remote, &format, sizeof format, nullptr);
        SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, &format, sizeof format, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
      }
      if (process) CloseHandle(process);
      auto on = [&](DWORD mask, DWORD effect) { return (format.dwMask & mask) && (format.dwEffects & effect) ? "1" : "0"; };
      Emit("FORMAT " + std::to_string(position) + " " + on(CFM_LINK, CFE_LINK) + " " + on(CFM_BOLD, CFE_BOLD) + " " +
           on(CFM_UNDERLINE, CFE_UNDERLINE));
    } else if (verb == "pick") {
      int id = 0, index = 0;
      in >> id >> index;
      HWND combo = GetDlgItem(current, id);
      SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      PostMessageW(current, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
      Sleep(100);
    } else if (verb == "dropdown") {
      int id = 0;
      in >> id;
      SendMessageW(GetDlgItem(current, id), CB_SHOWDROPDOWN, TRUE, 0);
      Sleep(300);
    } else if (verb == "key") {
      int id = 0, key = 0;
      in >> id >> key;
      HWND control = GetDlgItem(current, id);
      PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
      PostMessageW(control, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
    } else if (verb == "sleep") {
      int ms = 0;
      in >> ms;
      Sleep(static_cast<DWORD>(ms));
    } else {
      Emit("UNKNOWN " + verb);
      failed = true;
    }
  }
  if (failed) {
    Emit("FAILED " + line);
    TerminateProcess(program.hProcess, 99);
  }
  if (WaitForSingleObject(program.hProcess, 60000 * TimeScale()) != WAIT_OBJECT_0) {
    Emit("STILL RUNNING");
    TerminateProcess(program.hProcess, 98);
    WaitForSingleObject(program.hProcess, 10000);
  }
  DWORD code = 0;
  GetExitCodeProcess(program.hProcess, &code);
  Emit("EXIT " + std::to_string(code));
  std::fclose(g_out);
  return 0;
}
