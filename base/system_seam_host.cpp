// Host side of the configuration seam. It answers as a fresh 32-bit Windows 7
// machine with one user would: fixed Windows, system and known folders, and a
// registry that starts empty and lives in memory, so that tests can put the
// values they need into it. Message boxes go to standard error.
#include <cstdio>
#include <map>
#include <tuple>

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
    {{0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}},
     "C:\\Users\\User\\Desktop"},
    {{0xC4AA340D, 0xF20F, 0x4863, {0xAF, 0xEF, 0xF8, 0x7E, 0xF2, 0xE6, 0xBA, 0x25}},
     "C:\\Users\\Public\\Desktop"},
    {{0x1777F761, 0x68AD, 0x4D8A, {0x87, 0xBD, 0x30, 0xB7, 0x59, 0xFA, 0x33, 0xDD}},
     "C:\\Users\\User\\Favorites"},
    {{0xA77F5D77, 0x2E2B, 0x44C3, {0xA6, 0xA2, 0xAB, 0xA6, 0x01, 0x05, 0x4A, 0x51}},
     "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {{0x0139D44E, 0x6AFE, 0x49F2, {0x86, 0x90, 0x3D, 0xAF, 0xCA, 0xE6, 0xFF, 0xB8}},
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {{0x8983036C, 0x27C0, 0x404B, {0x8F, 0x08, 0x10, 0x2D, 0x10, 0xDC, 0xFD, 0x74}},
     "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {{0x625B53C3, 0xAB48, 0x4EC1, {0xBA, 0x1F, 0xA1, 0xEF, 0x41, 0x46, 0xFC, 0x19}},
     "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {{0x7C5A40EF, 0xA0FB, 0x4BFC, {0x87, 0x4A, 0xC0, 0xF2, 0xE0, 0xB9, 0xFA, 0x8E}},
     "C:\\Program Files"},
    {{0xDE974D24, 0xD9C6, 0x4D3E, {0xBF, 0x91, 0xF4, 0x45, 0x51, 0x20, 0xB9, 0x17}},
     "C:\\Program Files\\Common Files"},
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
