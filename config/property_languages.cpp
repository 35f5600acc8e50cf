#include "config/property_languages.h"

#include "xml/entities.h"

namespace {

constexpr char kPrefix[] = "props.";
constexpr char kSuffix[] = ".xml";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Lower case, "_" as "-": the form tags are compared in.
std::string Canonical(const std::string& tag) {
  std::string out;
  for (char c : tag) out += c == '_' ? '-' : Lower(c);
  return out;
}

bool IsLanguageTag(const std::string& tag) {
  const std::vector<std::string> parts = Split(Canonical(tag), '-');
  if (parts.empty() || parts[0].size() < 2 || parts[0].size() > 3) return false;
  for (char c : parts[0])
    if (!IsLetter(c)) return false;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty() || parts[i].size() > 8) return false;
    for (char c : parts[i])
      if (!IsLetter(c) && !IsDigit(c)) return false;
  }
  return true;
}

std::string PrimaryLanguage(const std::string& tag) {
  const std::string canonical = Canonical(tag);
  return canonical.substr(0, canonical.find('-'));
}

}  // namespace

std::string LanguageOfTableName(const std::string& file_name) {
  const size_t slash = file_name.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? file_name : file_name.substr(slash + 1);
  const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
  if (name.size() <= prefix + suffix) return std::string();
  if (Canonical(name.substr(0, prefix)) != kPrefix || Canonical(name.substr(name.size() - suffix)) != kSuffix)
    return std::string();
  const std::string tag = name.substr(prefix, name.size() - prefix - suffix);
  return IsLanguageTag(tag) ? tag : std::string();
}

std::string TableNameOfLanguage(const std::string& tag) { return kPrefix + tag + kSuffix; }

std::vector<std::string> LanguageTables(const std::vector<std::string>& file_names) {
  std::vector<std::string> tags;
  for (const std::string& name : file_names) {
    const std::string tag = LanguageOfTableName(name);
    if (!tag.empty()) tags.push_back(tag);
  }
  return tags;
}

std::string ChooseLanguageTable(const std::vector<std::string>& available, const std::string& wanted) {
  if (!IsLanguageTag(wanted)) return std::string();
  const std::string full = Canonical(wanted), primary = PrimaryLanguage(wanted);
  // Each rule in turn, over every table, so that an exact match anywhere
  // wins over a looser one earlier in the list.
  const auto rules = {
      +[](const std::string& tag, const std::string& full, const std::string&) { return Canonical(tag) == full; },
      +[](const std::string& tag, const std::string&, const std::string& primary) { return Canonical(tag) == primary; },
      +[](const std::string& tag, const std::string&, const std::string& primary) {
        return PrimaryLanguage(tag) == primary;
      },
  };
  for (const auto& rule : rules)
    for (const std::string& tag : available)
      if (rule(tag, full, primary)) return tag;
  return std::string();
}

std::map<WString, WString> MergeLanguageStrings(const std::map<WString, WString>& fallback,
                                                const std::map<WString, WString>& language) {
  std::map<WString, WString> merged = fallback;
  for (const auto& entry : language) merged[entry.first] = entry.second;
  return merged;
}

WString PropertyDocument(const std::map<WString, WString>& strings) {
  WString text = u"<Properties>\n";
  for (const auto& entry : strings)
    text += u"\t<String id=\"" + BrioCommon::EncodeEntities(entry.first) + u"\">" +
            BrioCommon::EncodeEntities(entry.second) + u"</String>\n";
  return text + u"</Properties>\n";
}
