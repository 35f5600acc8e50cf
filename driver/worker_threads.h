// The configuration-extraction thread and the wait for a worker. Windows only.
#pragma once

class InstallJob;

// Clears the done flag and the progress values, then extracts the cabinet
// entries under the run's entry prefix on a new thread; a failed extraction
// sets the failed flag. The done flag is set in either case.
void StartConfigExtraction();

// Clears the done flag and the progress values and runs the install worker
// (engine/install_worker.h) for `job` on a new thread; the done flag is set
// when it ends. The caller has set the entry prefix "files\", the
// destination folder and emptied the extracted-files list, and keeps the job
// alive until then.
void StartInstallWorker(InstallJob& job);

// Sleeps 100 ms at a time until the done flag is set, asking the install
// worker's not-running question meanwhile (ShowNotRunningPrompt) when the
// worker raises it through the ask event: no page is there to answer it.
void WaitForWorker();

// The shared start of both worker threads: done flag cleared, progress
// values zeroed, then the thread. When no thread can be made the work
// counts as failed and aborted, and done is set at once so nobody waits.
bool StartWorkerThread(unsigned long(__stdcall* body)(void*), void* argument = nullptr);
