// Actions that are not built yet. Each is a no-op that reports success so
// that the worker runs its steps in order; each definition is removed here as
// the real action lands in its own file.
#include "engine/install_actions.h"

bool g_iconsChanged = false;

bool RunExecList(const std::vector<ExecRecord>&) { return true; }
bool GrantPermissions() { return true; }
bool IsSharedShortcutIcon(const std::string&) { return false; }
bool RegisterGameExplorer() { return true; }
bool WriteRegistry() { return true; }
bool CreateShortcuts() { return true; }
bool CreateFileAssociations() { return true; }
