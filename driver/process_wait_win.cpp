// "-waitpid" on Windows: wait for another process to end.
#include <windows.h>

#include "driver/command_line.h"

void WaitForProcessToEnd(int process_id) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(process_id));
  if (!process) return;
  WaitForSingleObject(process, INFINITE);
  Sleep(10);
  CloseHandle(process);
}
