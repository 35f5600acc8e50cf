// A library for the "Function@library.dll" form of a program record. Its one
// function, Touch, records each call: it counts them in the calling
// process's environment variable TOUCH_LIBRARY_CALLS and appends a line to
// "touched.txt" beside the library.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" __declspec(dllexport) void Touch() {
  char count[32] = {};
  GetEnvironmentVariableA("TOUCH_LIBRARY_CALLS", count, sizeof count);
  std::snprintf(count, sizeof count, "%d", std::atoi(count) + 1);
  SetEnvironmentVariableA("TOUCH_LIBRARY_CALLS", count);

  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&Touch), &self))
    return;
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  std::string marker(path, length);
  marker = marker.substr(0, marker.find_last_of('\\') + 1) + "touched.txt";
  HANDLE file = CreateFileA(marker.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, "touched\r\n", 9, &written, nullptr);
  CloseHandle(file);
}
