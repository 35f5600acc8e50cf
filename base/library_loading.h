// Where the programs take their libraries from. A player runs the installer
// from a downloads folder that anyone may have dropped files into, and the
// installer runs with administrator rights: a library looked up by bare name
// would be taken from that folder (or the current one, or PATH) before the
// system's. So the programs restrict the search to the system folder as the
// first thing they do, and load every library by a full path: system
// libraries from the system folder, a configuration's own libraries from
// where the installer extracted them.
//
// The path rules are portable (tested on the host); the loading itself is
// the Windows side (library_loading_win.cpp).
#pragma once

#include <string>

// True for "C:\..." / "C:/..." and "\\server\share\...": a path that names
// one file whatever the current folder and the search path are.
bool IsFullPath(const std::string& path);

// The full path a configuration's library name stands for: a full path as
// it is; any other name inside `folder` (the folder the installer extracted
// it to). Empty when `name` is empty or `folder` is not a full path.
std::string LibraryPathIn(const std::string& folder, const std::string& name);

// What RestrictLibrarySearch() could do on this system.
enum class LibrarySearch {
  kSystemFolderOnly,   // SetDefaultDllDirectories: the system folder alone
  kCurrentFolderOff,   // SetDllDirectory(""): the current folder left out
  kUnchanged,          // neither call exists (Windows XP before SP1)
};

#ifdef _WIN32
// Restricts the library search of the whole process: SetDefaultDllDirectories
// with the system folder where the system has it (looked up at run time),
// otherwise an empty SetDllDirectory, which takes the current folder out.
// Call it first thing in WinMain.
LibrarySearch RestrictLibrarySearch();

// LoadLibrary of GetSystemDirectory() + "\" + name. Null when it is missing.
void* LoadSystemLibrary(const char* name);

// Loads a library by its full path (nothing else: a name that is not a full
// path fails with ERROR_INVALID_PARAMETER, and null is returned). The
// libraries it needs in turn come from its own folder and the system folder.
void* LoadLibraryAt(const std::string& full_path);
#endif
