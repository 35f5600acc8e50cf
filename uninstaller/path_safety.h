// What an install log may make the uninstaller delete.
//
// A log is a plain file beside the product: anyone who can write it could
// name C:\Windows or "..\..\" in it. Before anything is removed, every path
// and key of the log is checked here, and one refused entry refuses the
// whole log. The rules:
//   - a path is absolute ("X:\..."), with no empty, "." or ".." part, no
//     wildcard and no second ":";
//   - it lies inside an allowed area (the install folder, the folder of the
//     log, the shell and data folders where an install puts shortcuts, the
//     Game Explorer's tasks and user data) and never inside the Windows
//     folder;
//   - it is never a protected folder itself (a drive root, one of the known
//     folders) nor one that holds a protected folder;
//   - a registry key has a known root, at least two parts below it, no empty
//     or ".." part, lies outside the system's own trees and is not one of
//     the shared keys that every product writes below.
// Comparisons ignore letter case (a-z) and treat "/" as "\".
#pragma once

#include <string>
#include <vector>

struct KnownLocations {
  // Folders that nothing may delete, nor anything that holds them; files
  // inside the first ones (Windows and system) are refused altogether.
  std::vector<std::string> systemFolders;
  std::vector<std::string> protectedFolders;
  // Folders inside which a log may name files and folders.
  std::vector<std::string> allowedAreas;
};

// Adds an allowed area unless it is empty or unsafe by the rules above.
// An area the log names (its install folder) must moreover neither be a
// protected folder nor hold one: a log whose install folder is "C:\" or
// "C:\Program Files" gets no area from it.
enum class AreaSource { Machine, Log };
void AddAllowedArea(KnownLocations* locations, const std::string& folder, AreaSource source = AreaSource::Machine);

// The path with "/" turned into "\" and one trailing "\" removed.
std::string NormalizePath(const std::string& path);
// True when `path` equals `folder` or lies inside it (letter case ignored).
bool PathIsWithin(const std::string& path, const std::string& folder);

// Empty when the path may be removed; otherwise why not.
std::string CheckPathForRemoval(const std::string& path, const KnownLocations& locations);
// True when the key starts with "HKLM\", "HKCU\" or "HKCR\" (exactly).
bool HasKnownRoot(const std::string& key);
// Empty when the key ("HKLM\...", "HKCU\...", "HKCR\...") may be deleted
// with everything below it, or one of its values removed; otherwise why not.
std::string CheckKeyForRemoval(const std::string& key);
// True when an empty key may be removed after what it held went: a key the
// log may delete, or one of the keys above the Game Explorer's upgrade
// entries that only installs create.
bool MayRemoveEmptyKey(const std::string& key);
// Empty when the name may be used as a key of its own below the classes
// root (an extension ".abc" or a type name without "\"); otherwise why not.
std::string CheckClassName(const std::string& name, bool extension);
