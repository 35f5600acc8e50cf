// A stand-in for a prerequisite installer:
//   exit_code CODE [MILLISECONDS [MARKER]]
// creates the file MARKER (when given) holding its command line, waits the
// given time and exits with CODE (decimal, may be negative). A GUI program,
// so that starting it opens no console.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int code = __argc > 1 ? std::atoi(__argv[1]) : 0;
  int wait = __argc > 2 ? std::atoi(__argv[2]) : 0;
  if (__argc > 3) {
    HANDLE marker = CreateFileA(__argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) {
      const char* line = GetCommandLineA();
      DWORD written = 0;
      WriteFile(marker, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
      CloseHandle(marker);
    }
  }
  if (wait > 0) Sleep(static_cast<DWORD>(wait));
  return code;
}
