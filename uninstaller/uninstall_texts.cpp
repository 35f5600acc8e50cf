#include "uninstaller/uninstall_texts.h"

#include "config/properties_parser.h"

namespace {

using T = UninstallText;

const std::vector<UninstallTextEntry> kTexts = {
    {T::kCaption, "UNINSTALL_TITLE", "%InstallName% Uninstall"},
    {T::kCaptionUnnamed, "UNINSTALL_TITLE_UNNAMED", "Uninstall"},
    {T::kUnnamedProduct, "UNINSTALL_UNNAMED_PRODUCT", "the product"},
    {T::kConfirm, "UNINSTALL_CONFIRM_TEXT", "Remove %InstallName% and all of its components?\n\n(%Details%)"},
    {T::kUserData, "UNINSTALL_USER_DATA_TEXT",
     "Also remove the saved games and settings of %InstallName%?\n\n%Found%\n\nChoose No to keep them."},
    {T::kRemoved, "UNINSTALL_DONE_TEXT", "%InstallName% was removed."},
    {T::kReportNote, "UNINSTALL_REPORT_NOTE", "The full report is in %Report%"},
};

}  // namespace

const std::vector<UninstallTextEntry>& UninstallTextTable() { return kTexts; }

std::string PropertiesCopyPath(const std::string& log_path) {
  const size_t dot = log_path.rfind('.');
  const size_t slash = log_path.find_last_of("\\/");
  const bool has_dot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_dot ? log_path.substr(0, dot) : log_path) + "_props.xml";
}

WString UninstallTexts::Get(UninstallText text, const std::vector<std::pair<WString, WString>>& slots) const {
  WString templ;
  for (const UninstallTextEntry& entry : kTexts) {
    if (entry.text != text) continue;
    const auto found = strings_.find(Widen(entry.id));
    templ = found != strings_.end() && !found->second.empty() ? found->second : Widen(entry.english);
  }
  // One pass, so that a value holding "%Name%" is never filled in again.
  WString out;
  for (size_t i = 0; i < templ.size();) {
    bool filled = false;
    if (templ[i] == u'%') {
      for (const auto& slot : slots) {
        const WString mark = u"%" + slot.first + u"%";
        if (templ.compare(i, mark.size(), mark) != 0) continue;
        out += slot.second;
        i += mark.size();
        filled = true;
        break;
      }
    }
    if (!filled) out += templ[i++];
  }
  return out;
}

UninstallTexts LoadUninstallTexts(const std::string& log_path) {
  BrioCommon::PropertiesParser copy;
  if (!copy.ParseFile(PropertiesCopyPath(log_path))) return UninstallTexts();
  return UninstallTexts(copy.Strings());
}
