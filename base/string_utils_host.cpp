// Host side of the string utilities. Paths are host paths; the version tests
// answer as a Windows 7 system would, which is what host tools model.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/string_utils.h"

bool FileExists(const std::string& path) {
  if (path.find_first_of("*?") == std::string::npos) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }
  std::string dir = GetDirectory(path);
  std::string pattern = GetFileName(path, false);
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* e = readdir(d)) {
    if (fnmatch(pattern.c_str(), e->d_name, 0) == 0) {
      found = true;
      break;
    }
  }
  closedir(d);
  return found;
}

bool FileExists(const WString& path) { return FileExists(Narrow(path)); }

void MakeDirectories(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '\\' || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0777);
  }
  mkdir(path.c_str(), 0777);
}

bool DeleteDirectoryContents(const std::string& folder) {
  if (folder.size() < 2) return false;
  std::string base = folder;
  if (base.back() != '\\' && base.back() != '/') base += '/';
  DIR* d = opendir(base.c_str());
  if (!d) return true;
  bool ok = true;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string full = base + name;
    struct stat st;
    if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      if (!DeleteTree(full)) ok = false;
    } else if (unlink(full.c_str()) != 0) {
      ok = false;
    }
  }
  closedir(d);
  return ok;
}

bool DeleteTree(const std::string& folder) {
  bool contents = DeleteDirectoryContents(folder);
  bool self = rmdir(RemoveTrailingSlash(folder).c_str()) == 0;
  return contents && self;
}

bool IsVista() { return true; }
bool IsWin9x() { return false; }
