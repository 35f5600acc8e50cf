// Host side of the configuration seam. It answers as a fresh 32-bit Windows 7
// machine with one user would: fixed Windows, system and known folders, and a
// registry that starts empty and lives in memory, so that tests can put the
// values they need into it. Message boxes go to standard error.
#include <cstdio>
#include <map>
#include <tuple>

#include "base/known_folders.h"
#include "base/system_seam.h"

namespace seam {
namespace {

// Registry names are case-insensitive, so the keys are kept upper-cased.
using RegistryKey = std::tuple<RegistryRoot, std::string, std::string>;

std::map<RegistryKey, std::string>& Registry() {
  static std::map<RegistryKey, std::string> values;
  return values;
}

bool HasKey(RegistryRoot root, const std::string& subkey) {
  for (const auto& entry : Registry())
    if (std::get<0>(entry.first) == root && std::get<1>(entry.first) == subkey) return true;
  return false;
}

struct KnownFolder {
  FolderId id;
  const char* path;
};

// The folders of a Windows 7 (32-bit) installation for the user "User".
const KnownFolder kWindows7Folders[] = {
    {kFolderDesktop, "C:\\Users\\User\\Desktop"},
    {kFolderPublicDesktop, "C:\\Users\\Public\\Desktop"},
    {kFolderFavorites, "C:\\Users\\User\\Favorites"},
    {kFolderPrograms, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {kFolderCommonPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {kFolderSendTo, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {kFolderStartMenu, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {kFolderProgramFilesX86, "C:\\Program Files"},
    {kFolderProgramFilesCommonX86, "C:\\Program Files\\Common Files"},
};

bool SameId(const FolderId& a, const FolderId& b) {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.data4[i] != b.data4[i]) return false;
  return true;
}

}  // namespace

bool QueryRegistryValue(RegistryRoot root, const std::string& subkey, const std::string& name,
                        KeyOpen, size_t capacity, std::string* data) {
  data->clear();
  std::string key = Upper(subkey);
  if (!HasKey(root, key)) return false;
  auto found = Registry().find(RegistryKey(root, key, Upper(name)));
  if (found == Registry().end()) return false;
  // A string value is reported with its terminating zero, as Windows does; a
  // value larger than the buffer is an error (ERROR_MORE_DATA there).
  std::string stored = found->second + '\0';
  if (stored.size() > capacity) return false;
  *data = stored;
  return true;
}

bool WriteRegistryString(RegistryRoot root, const std::string& subkey, const std::string& name,
                         const std::string& value) {
  Registry()[RegistryKey(root, Upper(subkey), Upper(name))] = value;
  return true;
}

void DeleteRegistryValue(RegistryRoot root, const std::string& subkey, const std::string& name) {
  Registry().erase(RegistryKey(root, Upper(subkey), Upper(name)));
}

std::string WindowsFolder() { return "C:\\Windows"; }
std::string SystemFolder() { return "C:\\Windows\\system32"; }

std::string CommonAppDataFolder() { return "C:\\ProgramData"; }

std::vector<WString> KnownFolderPaths(const std::vector<FolderId>& ids) {
  std::vector<WString> paths;
  for (const FolderId& id : ids) {
    WString path;
    for (const KnownFolder& folder : kWindows7Folders)
      if (SameId(folder.id, id)) path = Widen(folder.path);
    paths.push_back(path);
  }
  return paths;
}

void ShowErrorBox(const WString& caption, const WString& text) {
  std::fprintf(stderr, "[%s] %s\n", Narrow(caption).c_str(), Narrow(text).c_str());
}

std::string UserUiLanguage() { return "en-US"; }

}  // namespace seam
