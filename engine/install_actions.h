// The actions the install worker runs, in the order it runs them. Each reads
// the install configuration and the variable store, reports its own errors,
// and appends its lines to the install log.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/install_records.h"

// Runs the programs of a list; false when one failed without SilentFail.
bool RunExecList(const std::vector<ExecRecord>& list);
// Opens the configured files, folders and keys to everyone; result ignored.
bool GrantPermissions();
// True when the path is the expanded icon of a shared shortcut.
bool IsSharedShortcutIcon(const std::string& path);
// The expanded icons of the shared shortcuts: expanded once for checking
// every extracted file.
std::set<std::string> SharedShortcutIcons();
// Game Explorer registration; failures are silent.
bool RegisterGameExplorer();
// Configured and command-line registry values and the uninstall entry.
bool WriteRegistry();
// Shortcuts of the configuration (always true; failures are reported).
bool CreateShortcuts();
// File associations when the user asked for them.
bool CreateFileAssociations();

// Set by the shortcut and file association steps when they gave something an
// icon; the worker then asks the shell to refresh its icons.
extern bool g_iconsChanged;
