// The install worker: runs the pre-install programs, opens the install log,
// extracts the product's files (with one retry after asking the user to close
// the product), registers the product with the system, runs the post-install
// programs and reports the outcome through the install context's aborted and
// failed flags. The driver runs it on a thread of its own
// (StartInstallWorker in driver/worker_threads.h). Windows only.
#pragma once

class InstallJob;

// The worker itself (the thread's body) for one job; true when the install
// succeeded.
bool InstallWorker(InstallJob& job);

// Makes the shell pick up new icons: one change notification on the NT
// family; the shell icon size trick on Windows 9x.
bool RefreshShellIcons();
