#include <windows.h>

#include "cabinet/cab_extract.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "driver/worker_threads.h"
#include "engine/install_worker.h"

namespace {

DWORD WINAPI ConfigExtractionThread(LPVOID) {
  if (!ExtractRunCabinet()) Run().failed = true;
  Run().done = true;
  return 0;
}

DWORD WINAPI InstallWorkerThread(LPVOID job) {
  InstallWorker(*static_cast<InstallJob*>(job));
  Run().done = true;
  return 0;
}

}  // namespace

bool StartWorkerThread(unsigned long(__stdcall* body)(void*), void* argument) {
  RunState& run = Run();
  run.done = false;
  run.overallPercent = 0;
  run.filePercent = 0;
  run.currentFileName.Set("");
  HANDLE thread = CreateThread(nullptr, 0, body, argument, 0, nullptr);
  if (!thread) {
    run.failed = true;
    run.aborted = true;
    run.done = true;
    return false;
  }
  // Nobody joins the thread: its end is the done flag.
  CloseHandle(thread);
  return true;
}

void StartConfigExtraction() { StartWorkerThread(ConfigExtractionThread); }

void StartInstallWorker(InstallJob& job) { StartWorkerThread(InstallWorkerThread, &job); }

void WaitForWorker() {
  // The install worker hands its not-running question to the progress page
  // through the ask event. When the driver waits here instead (the page
  // could not be created), nobody else would answer and the worker would
  // wait for ever: the question is asked here, with a message box.
  RunState& run = Run();
  HANDLE ask = static_cast<HANDLE>(run.askEvent);
  HANDLE answer = static_cast<HANDLE>(run.answerEvent);
  while (!run.done) {
    if (ask && answer && WaitForSingleObject(ask, 0) == WAIT_OBJECT_0) {
      ResetEvent(ask);
      run.promptAnswer = ShowNotRunningPrompt();
      SetEvent(answer);
    }
    // Short naps: the run goes on (and a silent install ends) within a
    // fiftieth of a second of the worker's end.
    Sleep(20);
  }
}
