// The install worker: runs the pre-install programs, opens the install log,
// extracts the product's files (with one retry after asking the user to close
// the product), registers the product with the system, runs the post-install
// programs and reports the outcome through the run's aborted and failed
// flags. It runs on a thread of its own while the driver or the progress
// page polls the done flag. Windows only.
#pragma once

// Clears the done flag and the progress values and starts InstallWorker on a
// new thread. The caller has set the entry prefix "files\", the destination
// folder and emptied the extracted-files list.
void StartInstallWorker();

// The worker itself (the thread's body).
void InstallWorker();

// Makes the shell pick up new icons: one change notification on the NT
// family; the shell icon size trick on Windows 9x.
bool RefreshShellIcons();
