#include "uninstaller/path_safety.h"

#include "base/string_utils.h"

namespace {

std::vector<std::string> Parts(const std::string& path) { return Split(NormalizePath(path), '\\'); }

bool IsDriveRoot(const std::string& part) {
  return part.size() == 2 && part[1] == ':' &&
         ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// Why the path's form is not acceptable, or empty.
std::string CheckForm(const std::string& path) {
  const std::vector<std::string> parts = Parts(path);
  if (parts.empty() || !IsDriveRoot(parts[0])) return "not a full path with a drive letter";
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty()) return "an empty part";
    if (part == "." || part == "..") return "a '" + part + "' part";
    if (part.find_first_of("*?:\"<>|") != std::string::npos) return "a wildcard or reserved character";
  }
  return std::string();
}

// Key roots of the log (the installer's own three).
const char* const kKeyRoots[] = {"HKLM", "HKCU", "HKCR"};

// Keys that every product writes below and no product owns; none of them,
// nor any key above them, may go.
const char* const kSharedKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\GameUX\\GamesToFindOnWindowsUpgrade",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
    "SOFTWARE\\Classes\\CLSID",
    "SOFTWARE\\Wow6432Node\\Microsoft",
};

// Trees of the machine that belong to the system alone.
const char* const kSystemKeyTrees[] = {"SYSTEM", "SECURITY", "SAM", "HARDWARE"};

// Type names below the classes root that the system itself owns.
const char* const kSystemClassNames[] = {"*",          "CLSID",     "Interface", "TypeLib", "AppID", "Directory",
                                         "Folder",     "Drive",     "AllFilesystemObjects",  "exefile", "lnkfile",
                                         "batfile",    "cmdfile",   "comfile",   "dllfile", "Installer", "Applications",
                                         "SystemFileAssociations"};

}  // namespace

std::string NormalizePath(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  if (out.size() > 1 && out.back() == '\\') out.pop_back();
  return out;
}

bool PathIsWithin(const std::string& path, const std::string& folder) {
  const std::string p = Upper(NormalizePath(path)), f = Upper(NormalizePath(folder));
  if (f.empty() || p.size() < f.size() || p.compare(0, f.size(), f) != 0) return false;
  return p.size() == f.size() || p[f.size()] == '\\';
}

void AddAllowedArea(KnownLocations* locations, const std::string& folder, AreaSource source) {
  if (folder.empty() || !CheckForm(folder).empty() || Parts(folder).size() < 2) return;
  for (const std::string& system : locations->systemFolders)
    if (PathIsWithin(folder, system) || PathIsWithin(system, folder)) return;
  if (source == AreaSource::Log)
    for (const std::string& known : locations->protectedFolders)
      if (PathIsWithin(known, folder)) return;
  locations->allowedAreas.push_back(NormalizePath(folder));
}

std::string CheckPathForRemoval(const std::string& path, const KnownLocations& locations) {
  std::string why = CheckForm(path);
  if (!why.empty()) return why;
  if (Parts(path).size() < 2) return "a drive root";
  for (const std::string& system : locations.systemFolders)
    if (!system.empty() && (PathIsWithin(path, system) || PathIsWithin(system, path))) return "a system folder";
  for (const std::string& known : locations.protectedFolders)
    if (!known.empty() && PathIsWithin(known, path)) return "a folder the system keeps (" + known + ")";
  for (const std::string& area : locations.allowedAreas)
    if (PathIsWithin(path, area)) return std::string();
  return "outside the install folder and the known locations";
}

bool HasKnownRoot(const std::string& key) {
  for (const char* root : kKeyRoots)
    if (key.compare(0, 5, std::string(root) + "\\") == 0) return true;
  return false;
}

std::string CheckKeyForRemoval(const std::string& key) {
  const std::vector<std::string> parts = Split(key, '\\');
  bool root_known = false;
  for (const char* root : kKeyRoots) root_known = root_known || parts[0] == root;
  if (!root_known) return "no known root";
  std::vector<std::string> below(parts.begin() + 1, parts.end());
  if (!below.empty() && below.back().empty()) below.pop_back();  // one trailing "\"
  if (below.size() < 2) return "too near the root";
  for (const std::string& part : below)
    if (part.empty() || part == "." || part == "..") return "an empty or '" + part + "' part";
  if (parts[0] == "HKLM")
    for (const char* tree : kSystemKeyTrees)
      if (Upper(below[0]) == tree) return "a system key";
  // The classes root is the machine's "SOFTWARE\Classes".
  std::string sub;
  if (parts[0] == "HKCR") sub = "SOFTWARE\\Classes";
  for (const std::string& part : below) sub += (sub.empty() ? "" : "\\") + part;
  for (const char* shared : kSharedKeys)
    if (PathIsWithin(shared, sub)) return "a key that other products share";
  const std::vector<std::string> sub_parts = Split(sub, '\\');
  if (sub_parts.size() >= 3 && Upper(sub_parts[0]) == "SOFTWARE" && Upper(sub_parts[1]) == "CLASSES") {
    const std::string why = CheckClassName(sub_parts[2], sub_parts[2].rfind('.', 0) == 0);
    if (!why.empty()) return why;
  }
  return std::string();
}

bool MayRemoveEmptyKey(const std::string& key) {
  if (CheckKeyForRemoval(key).empty()) return true;
  // The keys of a file type, below either classes root.
  std::vector<std::string> parts = Split(RemoveTrailingSlash(key), '\\');
  size_t first = 0;
  if (parts.size() >= 2 && parts[0] == "HKCR") first = 1;
  if (parts.size() >= 4 && parts[0] == "HKLM" && Upper(parts[1]) == "SOFTWARE" && Upper(parts[2]) == "CLASSES") first = 3;
  if (first && CheckClassName(parts[first], parts[first].rfind('.', 0) == 0).empty()) {
    bool clean = true;
    for (size_t i = first; i < parts.size(); ++i) clean = clean && !parts[i].empty() && parts[i] != "..";
    if (clean) return true;
  }
  const std::string upper = Upper(RemoveTrailingSlash(key));
  for (const char* created : {"HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\GAMEUX",
                              "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\GAMEUX\\GAMESTOFINDONWINDOWSUPGRADE"})
    if (upper == created) return true;
  return false;
}

std::string CheckClassName(const std::string& name, bool extension) {
  if (name.empty() || name.find('\\') != std::string::npos || name == "." || name == "..")
    return "not a class name";
  if (extension) return name.size() > 1 && name[0] == '.' ? std::string() : "not a file extension";
  for (const char* system : kSystemClassNames)
    if (Upper(name) == Upper(std::string(system))) return "a class the system owns";
  return std::string();
}
