// Shortcuts: shell links (".lnk") to programs and documents and internet
// shortcuts (".url") to web addresses, each recorded in the install log
// unless it is permanent. The naming and logging rules are portable and live
// here; the link files are made by the shell's objects (shortcuts_win.cpp).
#pragma once

#include <string>

#include "base/string_utils.h"

// A destination containing this marker makes a permanent shortcut: the
// marker is removed and nothing is logged.
constexpr const char* kPermanentMarker = "{perm}";

// True when the target starts with "http://" exactly (case-sensitive).
bool IsWebAddress(const std::string& target);
// ".url" for a web address, ".lnk" for everything else.
std::string LinkExtension(const std::string& target);
// Removes the first "{perm}" from dest; true when there was one.
bool TakePermanentMarker(std::string* dest);

// The name of the folder that holds the install log: the last part of the
// log path's parent folder ("C:\Games\Game\install.log" gives "Game").
std::string LogFolderName(const std::string& log_path);

// The install log line of one shortcut file (its link or its icon). A plain
// shortcut gives "\t<File>path</File>"; a shared one is removed by the
// uninstaller only when the install folder holds no other folder than the
// log's, so its line carries that condition:
//   "\t<File>#HasDirectoriesExcept " + install_path + "," + log_folder +
//   ", | " + path + "</File>"
// The path is escaped for XML; install_path and log_folder are not.
WString ShortcutLogLine(const WString& path, bool shared, const WString& install_path, const WString& log_folder);

// ---- Windows side ----

// Creates one link file at dest + extension (folders made as needed) and
// reports the file in link_path; raw_path (the unexpanded destination) gets
// the same extension. True when the file was saved; *icon_set when the link
// was given an icon.
bool CreateLink(const std::string& target, const std::string& dest, const std::string& description,
                const std::string& args, const std::string& icon, std::string* link_path, std::string* raw_path,
                bool* icon_set);
