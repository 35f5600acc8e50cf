// The actions the install worker runs, in the order it runs them. Each takes
// the install job it works for (engine/install_job.h): it reads the job's
// configuration and variables, reports its own errors, and appends its lines
// to the job's install log.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/install_records.h"

class InstallJob;

// Runs the programs of a list; false when one failed without SilentFail.
bool RunExecList(InstallJob& job, const std::vector<ExecRecord>& list);
// Opens the configured files, folders and keys to everyone; result ignored.
bool GrantPermissions(InstallJob& job);
// True when the path is the expanded icon of a shared shortcut.
bool IsSharedShortcutIcon(const InstallJob& job, const std::string& path);
// The expanded icons of the shared shortcuts: expanded once for checking
// every extracted file.
std::set<std::string> SharedShortcutIcons(const InstallJob& job);
// Game Explorer registration; failures are silent.
bool RegisterGameExplorer(InstallJob& job);
// Configured and command-line registry values and the uninstall entry.
bool WriteRegistry(InstallJob& job);
// Shortcuts of the configuration (always true; failures are reported).
bool CreateShortcuts(InstallJob& job);
// File associations when the user asked for them.
bool CreateFileAssociations(InstallJob& job);
