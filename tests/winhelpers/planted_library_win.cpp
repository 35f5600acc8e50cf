// A library as an attacker would leave it beside a program, in the current
// folder or in TMP, under the name of a system library that is not one of the
// system's known libraries (version.dll, uxtheme.dll, riched32.dll, ...).
// Loaded, it appends the loading program's path to "<its own path>.loaded";
// it does nothing else. It exports the version functions a program might
// import, so that a program that imports version.dll starts with it.
#include <windows.h>

namespace {

void RecordLoad(HMODULE self) {
  char own[MAX_PATH] = {}, program[MAX_PATH] = {};
  const DWORD own_length = GetModuleFileNameA(self, own, MAX_PATH - 8);
  const DWORD program_length = GetModuleFileNameA(nullptr, program, MAX_PATH - 2);
  if (own_length == 0) return;
  lstrcpyA(own + own_length, ".loaded");
  HANDLE file = CreateFileA(own, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  program[program_length] = '\r';
  program[program_length + 1] = '\n';
  DWORD written = 0;
  WriteFile(file, program, program_length + 2, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) RecordLoad(self);
  return TRUE;
}

// Exported under the system's names by planted_library.def.
extern "C" {
DWORD WINAPI PlantedVersionSize(LPCSTR, LPDWORD) { return 0; }
BOOL WINAPI PlantedVersionInfo(LPCSTR, DWORD, DWORD, LPVOID) { return FALSE; }
BOOL WINAPI PlantedQueryValue(LPCVOID, LPCSTR, LPVOID*, PUINT) { return FALSE; }
}
