#include "engine/shortcuts.h"

#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "xml/entities.h"

bool IsWebAddress(const std::string& target) { return target.compare(0, 7, "http://") == 0; }

std::string LinkExtension(const std::string& target) { return IsWebAddress(target) ? ".url" : ".lnk"; }

bool TakePermanentMarker(std::string* dest) {
  size_t at = dest->find(kPermanentMarker);
  if (at == std::string::npos) return false;
  dest->erase(at, 6);
  return true;
}

std::string LogFolderName(const std::string& log_path) {
  return GetFileName(RemoveTrailingSlash(GetDirectory(log_path)), false);
}

WString ShortcutLogLine(const WString& path, bool shared, const WString& install_path, const WString& log_folder) {
  WString line = u"\t<File>";
  if (shared) line += u"#HasDirectoriesExcept " + install_path + u"," + log_folder + u", | ";
  return line + BrioCommon::EncodeEntities(path) + u"</File>";
}

std::set<std::string> SharedShortcutIcons(const InstallJob& job) {
  std::set<std::string> icons;
  for (const Shortcut& shortcut : job.config.Shortcuts)
    if (shortcut.shared) icons.insert(job.ExpandText(shortcut.Icon));
  return icons;
}

bool IsSharedShortcutIcon(const InstallJob& job, const std::string& path) {
  return SharedShortcutIcons(job).count(path) != 0;
}
