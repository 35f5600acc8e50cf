#include "base/library_loading.h"

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsFullPath(const std::string& path) {
  if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && IsSlash(path[2])) return true;
  // "\\server\share\..." (and "\\?\C:\..."): two slashes and a name.
  return path.size() >= 3 && IsSlash(path[0]) && IsSlash(path[1]) && !IsSlash(path[2]);
}

std::string LibraryPathIn(const std::string& folder, const std::string& name) {
  if (name.empty()) return std::string();
  if (IsFullPath(name)) return name;
  if (!IsFullPath(folder)) return std::string();
  std::string path = folder;
  if (!IsSlash(path.back())) path += '\\';
  return path + name;
}
