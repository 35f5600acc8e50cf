// Registration of the game with the Windows Game Explorer: through the Game
// Explorer object on Windows Vista and later, through the key Windows reads
// when it upgrades Windows XP. A registration gives an instance GUID, a play
// task shortcut and the log lines the uninstaller needs.
#pragma once

#include <functional>
#include <string>

enum class GameExplorerMethod { None, GameExplorerObject, UpgradeKey };

// Vista and later (major above 5) use the object; XP (5.1) the upgrade key;
// every other system (2000, XP x64 / Server 2003) registers nothing.
GameExplorerMethod GameExplorerMethodFor(unsigned major, unsigned minor);

// Under HKEY_LOCAL_MACHINE; one sub key per game, named by its GUID.
constexpr const char* kGamesToFindKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\GameUX\\GamesToFindOnWindowsUpgrade";

// The game's task folder under the common application data folder, and the
// play task link (without its extension) inside it.
std::string GameExplorerTaskFolder(const std::string& data_folder, const std::string& guid);
std::string PlayTaskLinkPath(const std::string& task_folder, const std::string& link_name);

// ---- Windows side ----

// A new GUID in registry form with braces; false when none can be made.
bool NewGuidString(std::string* guid);
// Registers through the Game Explorer object (all users).
bool RegisterWithGameExplorer(const std::string& executable, const std::string& install_folder, std::string* guid);
// Lists the game under kGamesToFindKey with a GUID no other game uses.
bool RegisterForUpgrade(const std::string& executable, const std::string& install_folder, std::string* guid);
// The same with the GUID source given, so that a taken GUID can be shown to
// be replaced.
bool RegisterForUpgradeWith(const std::string& executable, const std::string& install_folder, std::string* guid,
                            const std::function<bool(std::string*)>& new_guid);
