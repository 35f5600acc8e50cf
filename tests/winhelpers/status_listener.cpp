// A program that drives the installer the way a calling application does,
// for the end-to-end tests under Wine.
//
//   status_listener listen OUT BUTTON INSTALLER [ARGS...]
//       Creates a window, runs INSTALLER ARGS -msgwnd=<its handle>, and
//       records every "ZelInstallStub_GetStatus" message it receives until
//       the installer has ended. Message boxes and pages of the installer
//       are answered with BUTTON (ok, cancel; none leaves them alone) once
//       two status messages have arrived while the box was up. OUT receives the lines
//         S <wParam>            one per status message, as a signed number
//         B <caption>|<text>    one per message box answered
//         EXIT <code>           the installer's exit code
//
//   status_listener waitpid OUT MILLISECONDS INSTALLER [ARGS...]
//       Starts a copy of itself that sleeps MILLISECONDS, then runs
//       INSTALLER -waitpid=<its id> ARGS. OUT receives
//         SLEEPER_ENDED_FIRST <0|1>   whether the sleeper had ended when the
//                                     installer ended
//         ELAPSED <ms>                how long the installer ran
//         EXIT <code>
//
//   status_listener sleep MILLISECONDS
//
//   status_listener hold PATH MILLISECONDS MARKER
//       Opens PATH without sharing it with anyone (as a running game holds
//       its files), creates MARKER once it holds it, and keeps it open for
//       MILLISECONDS.
//
//   status_listener fill PATH BYTES
//       Creates PATH with BYTES bytes (as a program that takes disk space,
//       a prerequisite installing itself); exit code 3 when they do not fit.
//
//   status_listener fileinfo PATH...
//       Prints "<attributes hex> <last write UTC> <creation UTC> PATH" per
//       path, times as YYYY-MM-DD hh:mm:ss, or "missing PATH".
//
//   Run without arguments (as a copied game.exe that the installer
//   launches), it writes the file <its own path>.ran and exits.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

bool StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                  PROCESS_INFORMATION* process) {
  std::string command = QuoteArgument(program);
  for (const std::string& a : arguments) command += " " + a;
  std::vector<char> buffer(command.begin(), command.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        process) != 0;
}

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}

// ---- listen ----

struct Listener {
  FILE* out = nullptr;
  UINT status_message = 0;
  DWORD installer_id = 0;
  WPARAM button = 0;  // 0: leave message boxes alone
  HWND pending_box = nullptr;
  int statuses_since_box = 0;
  std::vector<HWND> answered;
};

Listener g_listener;

LRESULT CALLBACK ListenerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == g_listener.status_message && message != 0) {
    std::fprintf(g_listener.out, "S %d\n", static_cast<int>(wparam));
    std::fflush(g_listener.out);
    if (g_listener.pending_box) ++g_listener.statuses_since_box;
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

BOOL CALLBACK FindInstallerBox(HWND window, LPARAM) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  if (process_id != g_listener.installer_id) return TRUE;
  char class_name[32] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (std::string(class_name) != "#32770") return TRUE;
  // The preparation window (no caption) is not a box to answer; nor is a
  // box still being built (shown only once its texts are set: a silent
  // run's first window also loads the display driver first).
  if (!(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) || !IsWindowVisible(window)) return TRUE;
  for (HWND done : g_listener.answered)
    if (done == window) return TRUE;
  g_listener.pending_box = window;
  return FALSE;
}

void AnswerBoxWhenDue() {
  if (!g_listener.button) return;
  if (!g_listener.pending_box) {
    g_listener.statuses_since_box = 0;
    EnumWindows(FindInstallerBox, 0);
    return;
  }
  if (g_listener.statuses_since_box < 2) return;
  HWND box = g_listener.pending_box;
  if (!IsWindow(box)) {  // closed by itself meanwhile
    g_listener.pending_box = nullptr;
    return;
  }
  wchar_t caption[512] = {}, text[2048] = {};
  GetWindowTextW(box, caption, 512);
  // The text of a message box is the static control with id 0xFFFF.
  GetDlgItemTextW(box, 0xFFFF, text, 2048);
  std::fprintf(g_listener.out, "B %s|%s\n", Utf8(caption).c_str(), Utf8(text).c_str());
  std::fflush(g_listener.out);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(g_listener.button, BN_CLICKED), 0);
  g_listener.answered.push_back(box);
  g_listener.pending_box = nullptr;
}

int Listen(int argc, char** argv) {
  if (argc < 5) return 2;
  g_listener.out = std::fopen(argv[2], "w");
  if (!g_listener.out) return 3;
  const std::string button = argv[3];
  g_listener.button = button == "ok" ? IDOK : button == "cancel" ? IDCANCEL : 0;
  g_listener.status_message = RegisterWindowMessageA("ZelInstallStub_GetStatus");

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = ListenerWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "StatusListenerWindow";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("StatusListenerWindow", "status listener", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, window_class.hInstance, nullptr);
  if (!window) return 4;

  std::vector<std::string> arguments(argv + 5, argv + argc);
  char handle[32];
  std::snprintf(handle, sizeof handle, "-msgwnd=%lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
  arguments.push_back(handle);
  PROCESS_INFORMATION process = {};
  if (!StartProcess(argv[4], arguments, &process)) return 5;
  g_listener.installer_id = process.dwProcessId;

  for (;;) {
    DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (wait == WAIT_OBJECT_0) break;
    AnswerBoxWhenDue();
  }
  // Posts made just before the installer ended may still be queued.
  Sleep(100);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);

  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  std::fprintf(g_listener.out, "EXIT %lu\n", static_cast<unsigned long>(code));
  std::fclose(g_listener.out);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  DestroyWindow(window);
  return 0;
}

// ---- waitpid ----

int WaitPid(int argc, char** argv) {
  if (argc < 5) return 2;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  PROCESS_INFORMATION sleeper = {};
  if (!StartProcess(self, {"sleep", argv[3]}, &sleeper)) return 5;

  std::vector<std::string> arguments;
  arguments.push_back("-waitpid=" + std::to_string(sleeper.dwProcessId));
  arguments.insert(arguments.end(), argv + 5, argv + argc);
  const DWORD start = GetTickCount();
  PROCESS_INFORMATION installer = {};
  if (!StartProcess(argv[4], arguments, &installer)) return 5;
  WaitForSingleObject(installer.hProcess, INFINITE);
  const DWORD elapsed = GetTickCount() - start;
  const bool sleeper_ended = WaitForSingleObject(sleeper.hProcess, 0) == WAIT_OBJECT_0;
  DWORD code = 0;
  GetExitCodeProcess(installer.hProcess, &code);

  FILE* out = std::fopen(argv[2], "w");
  if (!out) return 3;
  std::fprintf(out, "SLEEPER_ENDED_FIRST %d\nELAPSED %lu\nEXIT %lu\n", sleeper_ended ? 1 : 0,
               static_cast<unsigned long>(elapsed), static_cast<unsigned long>(code));
  std::fclose(out);
  WaitForSingleObject(sleeper.hProcess, INFINITE);
  return 0;
}

// ---- fileinfo ----

std::string UtcText(const FILETIME& time) {
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&time, &t)) return "invalid";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

int FileInfo(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(argv[i], GetFileExInfoStandard, &data)) {
      std::printf("missing %s\n", argv[i]);
      continue;
    }
    std::printf("%04lX %s %s %s\n", static_cast<unsigned long>(data.dwFileAttributes),
                UtcText(data.ftLastWriteTime).c_str(), UtcText(data.ftCreationTime).c_str(), argv[i]);
  }
  return 0;
}

// The program file of the process that started this one, empty when it has
// ended or cannot be found.
std::string ParentProgram() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return std::string();
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  std::vector<PROCESSENTRY32> all;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    all.push_back(entry);
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  for (const PROCESSENTRY32& process : all)
    if (process.th32ProcessID == parent) return process.szExeFile;
  return std::string();
}

// The token's elevation type: 1 default, 2 full (elevated), 3 limited; 0
// when the system does not say.
int ElevationType() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  DWORD type = 0, returned = 0;
  if (!GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(18), &type, sizeof type, &returned)) type = 0;
  CloseHandle(token);
  return static_cast<int>(type);
}

// "<its own path>.ran", with who started it and how elevated it runs:
//   parent=<program file>
//   elevation=<type>
int MarkLaunched() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  FILE* marker = std::fopen((std::string(self) + ".ran").c_str(), "w");
  if (!marker) return 1;
  std::fprintf(marker, "parent=%s\nelevation=%d\n", ParentProgram().c_str(), ElevationType());
  std::fclose(marker);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return MarkLaunched();
  const std::string mode = argv[1];
  if (mode == "listen") return Listen(argc, argv);
  if (mode == "waitpid") return WaitPid(argc, argv);
  if (mode == "sleep" && argc > 2) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return 0;
  }
  if (mode == "hold" && argc > 4) {
    HANDLE held = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 3;
    HANDLE marker = CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    CloseHandle(held);
    return 0;
  }
  if (mode == "fill" && argc > 3) {
    HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    std::vector<char> block(65536, 'f');
    DWORD written = 0;
    bool ok = true;
    for (long left = std::atol(argv[3]); ok && left > 0; left -= static_cast<long>(written))
      ok = WriteFile(file, block.data(), static_cast<DWORD>(left < 65536 ? left : 65536), &written, nullptr) &&
           written > 0;
    CloseHandle(file);
    return ok ? 0 : 3;
  }
  if (mode == "fileinfo") return FileInfo(argc, argv);
  return 2;
}
