// The status thread: with "-msgwnd", posts the registered message
// "ZelInstallStub_GetStatus" to the caller's window every 100 ms, with the
// overall percent of the running extraction as wParam (-1 once the run is
// aborted) and 0 as lParam. Windows only.
#pragma once

constexpr char kStatusMessageName[] = "ZelInstallStub_GetStatus";
constexpr unsigned kStatusIntervalMs = 100;

// Starts the thread when the status window names an existing window.
void StartStatusThread();
// Stops it and waits for it; nothing when it was never started.
void StopStatusThread();
