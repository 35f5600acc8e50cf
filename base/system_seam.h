// The few operating-system calls that the configuration code needs: registry
// reads, the Windows and system folders, known-folder paths and the error
// message box. The Windows side (system_seam_win.cpp) makes the real calls;
// the host side (system_seam_host.cpp) answers as a fresh Windows 7 machine
// would and keeps an in-memory registry that tests can fill, so that the
// expansion language and the readers run unchanged on the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/string_utils.h"

namespace seam {

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

// How a key is opened: the legacy call (RegOpenKeyA, as the "#Registry"
// command does) or RegOpenKeyExA asking for read access.
enum class KeyOpen { Legacy, Read };

// Opens root\subkey, reads the value `name` into a buffer of `capacity`
// bytes and closes the key. `data` receives the bytes the system reported,
// at most `capacity` of them; the value's registry type is not checked.
// False when the key cannot be opened or the value cannot be read.
bool QueryRegistryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                        KeyOpen open, size_t capacity, std::string* data);

// Writes a string value (REG_SZ), creating the key. The installer itself
// never calls this; tests use it to set up values for the readers above.
bool WriteRegistryString(RegistryRoot root, const std::string& subkey, const std::string& name,
                         const std::string& value);
// Removes one value; tests clean up with it.
void DeleteRegistryValue(RegistryRoot root, const std::string& subkey, const std::string& name);

// GetWindowsDirectoryA / GetSystemDirectoryA (buffer of 261 characters);
// empty when the call fails.
std::string WindowsFolder();
std::string SystemFolder();

// The common application-data folder (SHGetFolderPathA with
// CSIDL_COMMON_APPDATA, from shell32.dll or, when it lacks the function, from
// shfolder.dll); empty when neither provides it or the call fails.
std::string CommonAppDataFolder();

// A known-folder identifier, laid out like the system's GUID.
struct FolderId {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

// The file-system paths of the given known folders, in the same order, as
// the shell reports them in 16-bit characters. Loads the shell library once
// for the whole list and frees it at the end; a folder whose path cannot be
// obtained (the library or one of its functions missing, or a failing call)
// gives the empty string.
std::vector<WString> KnownFolderPaths(const std::vector<FolderId>& ids);

// A modal message box without owner, with the error icon and an OK button.
// The host side writes the message to standard error instead.
void ShowErrorBox(const WString& caption, const WString& text);

// The user's UI language as a language tag ("de-DE"): the language of
// GetUserDefaultUILanguage looked up by its ISO names. The host side answers
// "en-US", as a fresh English system would.
std::string UserUiLanguage();

}  // namespace seam
