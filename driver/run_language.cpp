#include "driver/run_language.h"

#include <cstdio>

#include "config/defines_parser.h"
#include "config/properties_parser.h"
#include "config/property_languages.h"
#include "xml/utf8_file_writer.h"

LanguageChoice ChooseRunLanguage(const std::vector<std::string>& config_files, const std::string& config_folder,
                                 const std::string& forced, const std::string& ui_language) {
  std::vector<std::string> names;
  for (const std::string& path : config_files)
    if (GetDirectory(path) == RemoveTrailingSlash(config_folder)) names.push_back(path);
  LanguageChoice choice;
  choice.tag = ChooseLanguageTable(LanguageTables(names), forced.empty() ? ui_language : forced);
  if (!forced.empty() && choice.tag.empty())
    choice.note = "Language '" + forced + "' (-language) is not in this installer; the default texts are used.";
  return choice;
}

bool ApplyLanguageTable(const std::string& table_path, const BrioCommon::PropertiesParser& defaults, DefinesParser& store,
                        const std::string& merged_path, bool* merged_written, std::string* error) {
  *merged_written = false;
  BrioCommon::PropertiesParser table;
  if (!table.ParseFile(table_path)) {
    *error = table.ErrorText();
    return false;
  }
  CopyPropertyStrings(table, store);
  std::FILE* file = std::fopen(merged_path.c_str(), "wb");
  if (!file) return true;
  const bool written =
      BrioCommon::WriteUTF8File(file, PropertyDocument(MergeLanguageStrings(defaults.Strings(), table.Strings())), true);
  *merged_written = std::fclose(file) == 0 && written;
  return true;
}
