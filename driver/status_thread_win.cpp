#include <windows.h>

#include "driver/run_state.h"
#include "driver/status_thread.h"

namespace {

HANDLE g_stop_event = nullptr;
HANDLE g_thread = nullptr;

DWORD WINAPI StatusThread(LPVOID) {
  const UINT message = RegisterWindowMessageA(kStatusMessageName);
  HWND window = static_cast<HWND>(Run().statusWindow);
  while (WaitForSingleObject(g_stop_event, kStatusIntervalMs) != WAIT_OBJECT_0) {
    WPARAM status = Run().aborted ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(Run().overallPercent.load());
    // The caller's window may be gone; the post then fails and the next one
    // is tried all the same.
    PostMessageA(window, message, status, 0);
  }
  return 0;
}

}  // namespace

void StartStatusThread() {
  HWND window = static_cast<HWND>(Run().statusWindow);
  if (!window || !IsWindow(window)) return;
  g_stop_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!g_stop_event) return;
  g_thread = CreateThread(nullptr, 0, StatusThread, nullptr, 0, nullptr);
  if (!g_thread) {
    CloseHandle(g_stop_event);
    g_stop_event = nullptr;
  }
}

void StopStatusThread() {
  if (!g_thread) return;
  // The thread is only ever started together with its stop event.
  SetEvent(g_stop_event);
  WaitForSingleObject(g_thread, INFINITE);
  CloseHandle(g_stop_event);
  g_stop_event = nullptr;
  CloseHandle(g_thread);
  g_thread = nullptr;
}
