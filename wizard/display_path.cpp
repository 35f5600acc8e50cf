#include "wizard/display_path.h"

namespace {

WString WithBackslashes(const std::string& path) {
  WString wide = Widen(path);
  for (WChar& c : wide)
    if (c == u'/') c = u'\\';
  return wide;
}

// The display name of an entry must be the component the user typed, in any
// letter case.
bool LastComponentIs(const WString& display_path, const WString& component) {
  const size_t slash = display_path.find_last_of(u'\\');
  const WString last = slash == WString::npos ? display_path : display_path.substr(slash + 1);
  return Upper(last) == Upper(component);
}

}  // namespace

std::string ToDisplayPath(ShellNames& shell, const std::string& path) {
  if (!shell.Available()) return path;
  const WString wide = WithBackslashes(path);
  const WString profiles = shell.UserProfilesFolder();
  WString real_prefix, display;
  bool first = true;
  for (const WString& component : Split(wide, u'\\')) {
    if (component.empty()) break;
    real_prefix = first ? component : real_prefix + u"\\" + component;
    if (Upper(real_prefix) == profiles) {
      const size_t slash = real_prefix.find_last_of(u'\\');
      real_prefix = (slash == WString::npos ? WString() : real_prefix.substr(0, slash)) + u"\\Documents and Settings";
    }
    WString text = component;
    WString localized;
    if (shell.LocalizedName(real_prefix, &localized) && !localized.empty()) text = localized;
    display += first ? text : u"\\" + text;
    first = false;
  }
  return Narrow(display);
}

std::string ToFileSystemPath(ShellNames& shell, const std::string& path) {
  if (!shell.Available()) return path;
  const WString wide = WithBackslashes(path);
  if (wide.size() < 3 || wide[1] != u':' || wide[2] != u'\\') return Narrow(wide);
  WString result = wide.substr(0, 2);
  const std::vector<WString> components = Split(wide.substr(3), u'\\');
  for (size_t i = 0; i < components.size(); ++i) {
    const WString& typed = components[i];
    if (typed.empty()) break;
    std::vector<FolderEntry> entries;
    if (!shell.ListFolder(result, &entries)) {
      WString rest = typed;
      for (size_t j = i + 1; j < components.size(); ++j) rest += u"\\" + components[j];
      result += u"\\" + rest;
      break;
    }
    const WString* taken = nullptr;
    const WString* reparse = nullptr;
    for (const FolderEntry& e : entries) {
      if (e.name == u"." || e.name == u"..") continue;
      const WString display = Widen(ToDisplayPath(shell, Narrow(result + u"\\" + e.name)));
      if (!LastComponentIs(display, typed)) continue;
      if (!e.reparsePoint) {
        taken = &e.name;
        break;
      }
      if (!reparse) reparse = &e.name;
    }
    result += u"\\" + (taken ? *taken : reparse ? *reparse : typed);
  }
  return Narrow(result);
}
