// The driver's wait for the install worker when no progress page is there
// to answer the worker's not-running question (the page could not be
// created): the question is asked with a message box of the driver's own
// and the worker gets the answer, instead of both waiting for ever.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "driver/worker_threads.h"
#include "engine/install_context.h"

namespace {

std::atomic<int> g_workerAnswer{0};

DWORD WINAPI AskingWorker(LPVOID) {
  g_workerAnswer = RunInstallContext().AskProductNotRunning();
  ::Run().done = true;
  return 0;
}

BOOL CALLBACK FindOwnBox(HWND window, LPARAM found) {
  DWORD process = 0;
  char name[16] = {};
  GetWindowThreadProcessId(window, &process);
  GetClassNameA(window, name, sizeof name);
  if (process != GetCurrentProcessId() || lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Presses Cancel on the first message box of this process.
DWORD WINAPI PressCancel(LPVOID) {
  for (int i = 0; i < 600; ++i) {
    HWND box = nullptr;
    EnumWindows(FindOwnBox, reinterpret_cast<LPARAM>(&box));
    if (box) {
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    Sleep(100);
  }
  return 1;
}

DWORD WINAPI Wait(LPVOID) {
  WaitForWorker();
  return 0;
}

TEST(WorkerWait, AnswersTheWorkersQuestionWithoutAPage) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the question is a message box: it needs a display";
  ConnectRunHandlers();
  RunState& run = ::Run();
  run.silent = false;
  run.askEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  run.answerEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(StartWorkerThread(AskingWorker));
  HANDLE presser = CreateThread(nullptr, 0, PressCancel, nullptr, 0, nullptr);
  // The wait runs on a thread of its own, so that a wait that never ends
  // fails the test rather than hanging it.
  HANDLE waiter = CreateThread(nullptr, 0, Wait, nullptr, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(waiter, 60000), WAIT_OBJECT_0) << "the worker's question was never answered";
  EXPECT_EQ(g_workerAnswer, IDCANCEL);
  EXPECT_EQ(WaitForSingleObject(presser, 10000), WAIT_OBJECT_0);
  for (HANDLE h : {presser, waiter, static_cast<HANDLE>(run.askEvent), static_cast<HANDLE>(run.answerEvent)})
    CloseHandle(h);
  run.askEvent = run.answerEvent = nullptr;
}

}  // namespace
