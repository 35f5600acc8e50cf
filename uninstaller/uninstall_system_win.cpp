#include "uninstaller/uninstall_system_win.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "base/library_loading.h"
#include "base/private_folder.h"
#include "base/string_utils.h"

// The Game Explorer interface as the system declares it (the compiler's
// headers do not carry it); only RemoveGame is called here.
struct IGameExplorerForRemoval : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddGame(BSTR gdf_binary_path, BSTR install_directory, int install_scope,
                                            GUID* instance_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveGame(GUID instance_id) = 0;
};

namespace {

// The folder in TMP that the removal helper's copy runs from: "zeluninst"
// and a number.
constexpr char kHelperFolderPrefix[] = "zeluninst";

const CLSID kGameExplorerClass = {0x9A5EA990, 0x3034, 0x4D6F, {0x91, 0x28, 0x01, 0xF3, 0xC6, 0x10, 0x22, 0xBC}};
const IID kGameExplorerInterface = {0xE7B2FB72, 0xD728, 0x49B3, {0xA5, 0xF2, 0x18, 0xEB, 0xF5, 0xF1, 0x34, 0x9E}};

std::string SystemMessage(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length && buffer ? std::string(buffer, length) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return "error " + std::to_string(code) + (text.empty() ? std::string() : " (" + text + ")");
}

bool IsGone(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

struct KeyRoot {
  const char* prefix;
  HKEY root;
};
const KeyRoot kRoots[] = {{"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKCU\\", HKEY_CURRENT_USER}, {"HKCR\\", HKEY_CLASSES_ROOT}};

bool SplitKey(const std::string& key, HKEY* root, std::string* sub) {
  for (const KeyRoot& entry : kRoots) {
    if (key.compare(0, 5, entry.prefix) == 0) {
      *root = entry.root;
      *sub = RemoveTrailingSlash(key.substr(5));
      return true;
    }
  }
  return false;
}

bool KeyIsEmpty(HKEY root, const std::string& sub) {
  ScopedKey key;
  if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
  DWORD sub_keys = 0, values = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return sub_keys == 0 && values == 0;
}

std::string RootPrefix(HKEY root) {
  for (const KeyRoot& entry : kRoots)
    if (entry.root == root) return entry.prefix;
  return std::string();
}

// Deletes sub and each parent while empty, keeping `levels` parts at least
// and every key that other products share.
void PruneKeys(HKEY root, std::string sub, size_t levels) {
  while (Split(sub, '\\').size() >= levels && MayRemoveEmptyKey(RootPrefix(root) + sub) && KeyIsEmpty(root, sub) &&
         RegDeleteKeyA(root, sub.c_str()) == ERROR_SUCCESS)
    sub = GetDirectory(sub);
}

// The default value of a key as a string; false when there is none.
bool ReadDefault(HKEY root, const std::string& sub, std::string* value) {
  ScopedKey key;
  if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
  char buffer[4096];
  DWORD size = sizeof(buffer) - 1, type = 0;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  buffer[size] = 0;
  *value = buffer;  // up to the first zero, with or without a terminator
  return true;
}

// Removes the default value of root\sub when it is `expected`, then the keys
// left empty from sub up to (and including) `top`. False with error when the
// value could not be removed.
Removal RemoveOwnDefault(HKEY root, const std::string& sub, const std::string& expected, const std::string& top,
                         std::string* error) {
  std::string value;
  if (!ReadDefault(root, sub, &value) || value != expected) return Removal::Missing;
  ScopedKey key;
  LONG status = RegOpenKeyExA(root, sub.c_str(), 0, KEY_SET_VALUE, key.out());
  if (status == ERROR_SUCCESS) status = RegDeleteValueA(key.get(), nullptr);
  if (status != ERROR_SUCCESS) {
    *error = sub + ": " + SystemMessage(status);
    return Removal::Failed;
  }
  const size_t levels = Split(top, '\\').size();
  PruneKeys(root, sub, levels);
  return Removal::Removed;
}

bool IsKept(const std::string& name, const std::vector<std::string>& keep) {
  for (const std::string& kept : keep)
    if (PathIsWithin(name, kept)) return true;
  return false;
}
bool HoldsKept(const std::string& name, const std::vector<std::string>& keep) {
  for (const std::string& kept : keep)
    if (PathIsWithin(kept, name)) return true;
  return false;
}

// Deletes root\sub below the name `full` except kept keys; false on the
// first failure (error set).
bool DeleteKeyTree(HKEY root, const std::string& sub, const std::string& full, const std::vector<std::string>& keep,
                   std::string* error) {
  std::vector<std::string> children;
  {
    ScopedKey key;
    LONG status = RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, key.out());
    if (IsGone(status)) return true;
    if (status != ERROR_SUCCESS) {
      *error = SystemMessage(status);
      return false;
    }
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof(name);
      if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      children.emplace_back(name, length);
    }
  }
  bool ok = true;
  for (const std::string& child : children) {
    const std::string child_full = full + "\\" + child;
    if (IsKept(child_full, keep)) continue;
    ok = DeleteKeyTree(root, sub + "\\" + child, child_full, keep, error) && ok;
  }
  if (!ok) return false;
  if (HoldsKept(full, keep)) {
    // Keeps the key for what it holds, without its own values.
    ScopedKey key;
    if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ | KEY_SET_VALUE, key.out()) == ERROR_SUCCESS) {
      for (;;) {
        char name[16384];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteValueA(key.get(), name) != ERROR_SUCCESS) break;
      }
    }
    return true;
  }
  const LONG status = RegDeleteKeyA(root, sub.c_str());
  if (status != ERROR_SUCCESS && !IsGone(status)) {
    *error = full + ": " + SystemMessage(status);
    return false;
  }
  return true;
}

}  // namespace

std::string OwnPath();

namespace {

bool& OwnFileAwaits() {
  static bool awaits = false;
  return awaits;
}

bool DeleteOneFile(const std::string& path, std::string* error, Removal* removal) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *removal = Removal::Missing;
    return true;
  }
  // The running uninstaller itself (it ships inside the product): a helper
  // removes it once this process has ended.
  if (Upper(NormalizePath(path)) == Upper(OwnPath())) {
    OwnFileAwaits() = true;
    *removal = Removal::Removed;
    return true;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileA(path.c_str())) {
    *removal = Removal::Removed;
    return true;
  }
  const DWORD code = GetLastError();
  if (IsGone(code)) {
    *removal = Removal::Missing;
    return true;
  }
  *error = SystemMessage(code);
  *removal = Removal::Failed;
  return false;
}

// Deletes the folder's contents except kept paths, then the folder unless
// it holds kept ones; false on the first failure.
bool DeleteFolderTree(const std::string& folder, const std::vector<std::string>& keep, std::string* error) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  bool ok = true;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (IsKept(path, keep)) continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!DeleteFolderTree(path, keep, error)) ok = false;
      } else {
        Removal removal;
        std::string why;
        if (!DeleteOneFile(path, &why, &removal)) {
          if (error->empty()) *error = path + ": " + why;
          ok = false;
        }
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  if (!ok || HoldsKept(folder, keep)) return ok;
  // The folder of the running uninstaller goes with it, through its helper.
  if (OwnFileAwaits() && PathIsWithin(OwnPath(), folder)) return true;
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!RemoveDirectoryA(folder.c_str()) && !IsGone(GetLastError())) {
    if (error->empty()) *error = folder + ": " + SystemMessage(GetLastError());
    return false;
  }
  return true;
}

std::string FolderPath(int csidl) {
  char buffer[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer))) return std::string();
  return buffer;
}

}  // namespace

std::string OwnPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length);
}

bool OwnFileAwaitsRemoval() { return OwnFileAwaits(); }

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(const std::string& key) {
  HKEY root;
  std::string sub;
  ScopedKey handle;
  return SplitKey(key, &root, &sub) && RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, handle.out()) == ERROR_SUCCESS;
}

bool StartRemovalHelper(const std::vector<std::string>& folders) {
  char temp[MAX_PATH + 1] = {};
  if (!GetTempPathA(MAX_PATH, temp)) return false;
  const std::string own = OwnPath();
  // The copy runs from a new folder of its own (restricted when elevated),
  // never from the shared temporary folder, where anyone may have left a
  // file of the copy's name or a library it would load.
  const PrivateFolder folder = MakePrivateFolder(temp, kHelperFolderPrefix, RunsElevated());
  if (folder.error != PrivateFolderError::kNone) return false;
  const std::string helper = folder.path + "\\zeluninst" + std::to_string(GetCurrentProcessId()) + ".exe";
  if (!CopyFileA(own.c_str(), helper.c_str(), TRUE)) {
    RemoveDirectoryA(folder.path.c_str());
    return false;
  }
  std::string command = "\"" + helper + "\" -removeafter=" + std::to_string(GetCurrentProcessId()) + " \"" + own + "\"";
  for (const std::string& folder : folders) command += " \"" + folder + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  if (!CreateProcessA(helper.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path.c_str(), &startup,
                      &process)) {
    ::DeleteFileA(helper.c_str());
    RemoveDirectoryA(folder.path.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void RemoveAfterProcess(int process_id, const std::vector<std::string>& paths) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process_id));
  if (process) {
    WaitForSingleObject(process, 60000);
    CloseHandle(process);
  }
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i == 0) {
      // The file may stay locked for a moment after its process ended.
      for (int attempt = 0; attempt < 50 && !::DeleteFileA(paths[i].c_str()) &&
                            GetFileAttributesA(paths[i].c_str()) != INVALID_FILE_ATTRIBUTES;
           ++attempt)
        Sleep(100);
    } else if (!RemoveDirectoryA(paths[i].c_str())) {
      break;
    }
  }
  // The helper's own copy goes at the next start, and with it the folder
  // StartRemovalHelper made for it (only a folder of that name).
  const std::string own = OwnPath();
  MoveFileExA(own.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  const std::string folder = GetDirectory(own);
  const size_t name = folder.find_last_of("\\/");
  if (name != std::string::npos && folder.compare(name + 1, std::strlen(kHelperFolderPrefix), kHelperFolderPrefix) == 0)
    MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

std::string CommonAppDataPath() { return FolderPath(CSIDL_COMMON_APPDATA); }

KnownLocations MachineLocations(const std::string& common_app_data, const std::string& app_data_suffix) {
  KnownLocations locations;
  char buffer[MAX_PATH + 1] = {};
  if (GetWindowsDirectoryA(buffer, MAX_PATH)) locations.systemFolders.push_back(buffer);
  if (GetSystemDirectoryA(buffer, MAX_PATH)) locations.systemFolders.push_back(buffer);
  // Where an install puts shortcuts, tasks and user data.
  const int areas[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS,
                       CSIDL_STARTMENU,        CSIDL_COMMON_STARTMENU,        CSIDL_FAVORITES, CSIDL_COMMON_FAVORITES,
                       CSIDL_SENDTO,           CSIDL_STARTUP,                 CSIDL_COMMON_STARTUP, CSIDL_APPDATA,
                       CSIDL_LOCAL_APPDATA,    CSIDL_PERSONAL,                CSIDL_COMMON_DOCUMENTS};
  // Folders that stay whatever a log says.
  const int kept[] = {CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_COMMON_APPDATA,
                      CSIDL_FONTS};
  for (int csidl : areas) {
    const std::string folder = FolderPath(csidl);
    if (!folder.empty()) locations.protectedFolders.push_back(NormalizePath(folder));
  }
  for (int csidl : kept) {
    const std::string folder = FolderPath(csidl);
    if (!folder.empty()) locations.protectedFolders.push_back(NormalizePath(folder));
  }
  const std::string profile = FolderPath(CSIDL_PROFILE);
  if (!GetDirectory(profile).empty()) locations.protectedFolders.push_back(GetDirectory(profile));
  if (!common_app_data.empty()) {
    // The Game Explorer's task folders; the folders above them go when the
    // last one leaves them empty (before Windows Vista only installs make them).
    AddAllowedArea(&locations, common_app_data + "\\Microsoft\\Windows\\GameExplorer");
    if (!app_data_suffix.empty()) AddAllowedArea(&locations, common_app_data + "\\" + app_data_suffix);
  }
  for (int csidl : areas) AddAllowedArea(&locations, FolderPath(csidl));
  return locations;
}

bool WindowsUninstallSystem::RunProgram(const PlannedProgram& program, std::string* error) {
  const size_t at = program.exe.find('@');
  if (at != std::string::npos) {
    // "Function@library": the function is called with no arguments.
    const std::string function = program.exe.substr(0, at), library = program.exe.substr(at + 1);
    // By its full path only; a bare name is the file beside the uninstaller.
    const std::string path = LibraryPathIn(GetDirectory(OwnPath()), library);
    HMODULE module = path.empty() ? nullptr : static_cast<HMODULE>(LoadLibraryAt(path));
    if (!module) {
      *error = "Failed to load library '" + library + "'";
      return false;
    }
    FARPROC entry = GetProcAddress(module, function.c_str());
    if (entry) reinterpret_cast<void(WINAPI*)()>(entry)();
    FreeLibrary(module);
    if (!entry) *error = "Failed to find func '" + function + "'";
    return entry != nullptr;
  }
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "open";
  info.lpFile = program.exe.c_str();
  info.lpParameters = program.params.empty() ? nullptr : program.params.c_str();
  info.lpDirectory = program.directory.empty() ? nullptr : program.directory.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExA(&info)) {
    *error = "Failed to execute '" + program.exe + "': " + SystemMessage(GetLastError());
    return false;
  }
  if (!info.hProcess) return true;  // a document: nothing to wait for
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  const bool read = GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (read && code != 0) {
    *error = "ended with exit code " + std::to_string(static_cast<int>(code));
    return false;
  }
  return true;
}

Removal WindowsUninstallSystem::UndoAssociation(const PlannedAssociation& a, std::string* error) {
  struct Root {
    HKEY key;
    std::string prefix;
  };
  const Root roots[] = {{HKEY_CLASSES_ROOT, ""}, {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\"}};
  Removal result = Removal::Missing;
  auto note = [&](Removal removal) {
    if (removal == Removal::Failed) result = Removal::Failed;
    if (removal == Removal::Removed && result == Removal::Missing) result = Removal::Removed;
  };
  for (const Root& root : roots) {
    const std::string ext = root.prefix + a.extension, type = root.prefix + a.versionedName;
    note(RemoveOwnDefault(root.key, ext, a.versionedName, ext, error));
    for (const auto& command : a.commands)
      note(RemoveOwnDefault(root.key, type + "\\shell\\" + command.first + "\\command", command.second, type, error));
    if (!a.iconLocation.empty()) note(RemoveOwnDefault(root.key, type + "\\DefaultIcon", a.iconLocation, type, error));
  }
  return result;
}

Removal WindowsUninstallSystem::DeleteRegValue(const std::string& key, const std::string& name, std::string* error) {
  HKEY root;
  std::string sub;
  if (!SplitKey(key, &root, &sub)) {
    *error = "Invalid Key '" + key + "'";
    return Removal::Failed;
  }
  ScopedKey handle;
  LONG status = RegOpenKeyExA(root, sub.c_str(), 0, KEY_SET_VALUE, handle.out());
  if (IsGone(status)) return Removal::Missing;
  if (status == ERROR_SUCCESS) status = RegDeleteValueA(handle.get(), name.c_str());
  if (status == ERROR_SUCCESS) return Removal::Removed;
  if (IsGone(status)) return Removal::Missing;
  *error = SystemMessage(status);
  return Removal::Failed;
}

Removal WindowsUninstallSystem::DeleteRegKey(const std::string& key, const std::vector<std::string>& keep,
                                             std::string* error) {
  HKEY root;
  std::string sub;
  if (!SplitKey(key, &root, &sub)) {
    *error = "Invalid Key '" + key + "'";
    return Removal::Failed;
  }
  ScopedKey probe;
  if (IsGone(RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, probe.out()))) return Removal::Missing;
  if (!DeleteKeyTree(root, sub, RemoveTrailingSlash(key), keep, error)) return Removal::Failed;
  PruneKeys(root, GetDirectory(sub), 2);
  return Removal::Removed;
}

void WindowsUninstallSystem::RemoveEmptyKeys(const std::string& key) {
  HKEY root;
  std::string sub;
  if (SplitKey(key, &root, &sub)) PruneKeys(root, sub, 2);
}

Removal WindowsUninstallSystem::UnregisterGame(const std::string& guid, std::string* error) {
  // Before Windows Vista the registration is the upgrade key, which the log
  // names for deletion on its own.
  if (!IsVista()) return Removal::Missing;
  WCHAR text[40] = {};
  for (size_t i = 0; i < guid.size() && i < 39; ++i) text[i] = static_cast<unsigned char>(guid[i]);
  GUID instance;
  if (FAILED(CLSIDFromString(text, &instance))) {
    *error = "not a GUID";
    return Removal::Failed;
  }
  IGameExplorerForRemoval* explorer = nullptr;
  HRESULT hr = CoCreateInstance(kGameExplorerClass, nullptr, CLSCTX_ALL, kGameExplorerInterface,
                                reinterpret_cast<void**>(&explorer));
  if (FAILED(hr) || !explorer) {
    *error = "the Game Explorer is not available";
    return Removal::Failed;
  }
  hr = explorer->RemoveGame(instance);
  explorer->Release();
  if (FAILED(hr)) {
    *error = "the Game Explorer refused (" + StrFormat("0x%08lX", static_cast<unsigned long>(hr)) + ")";
    return Removal::Failed;
  }
  return Removal::Removed;
}

Removal WindowsUninstallSystem::RemoveFile(const std::string& path, std::string* error) {
  Removal removal = Removal::Failed;
  DeleteOneFile(path, error, &removal);
  return removal;
}

Removal WindowsUninstallSystem::DeleteTree(const std::string& path, const std::vector<std::string>& keep,
                                           std::string* error) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Removal::Missing;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveFile(path, error);
  return DeleteFolderTree(path, keep, error) ? Removal::Removed : Removal::Failed;
}

bool WindowsUninstallSystem::HasDirectoriesExcept(const std::string& folder, const std::string& except) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((RemoveTrailingSlash(folder) + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    const std::string name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != ".." &&
        Upper(name) != Upper(except))
      found = true;
  } while (!found && FindNextFileA(find, &data));
  FindClose(find);
  return found;
}

bool WindowsUninstallSystem::RemoveFolderIfEmpty(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != 0;  // fails on a folder that is not empty
}
