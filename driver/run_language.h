// Which property table the run shows its texts from: the default props.xml
// alone, or a language table over it (config/property_languages.h names the
// tables and the matching). The language wanted is the one forced with
// "-language", else the user's UI language.
#pragma once

#include <string>
#include <vector>

class DefinesParser;
namespace BrioCommon {
class PropertiesParser;
}

struct LanguageChoice {
  std::string tag;   // the language table to use; empty: the default alone
  std::string note;  // for the install log: a forced language the installer lacks
};

// config_files: what the configuration's extraction wrote; only the files
// directly in config_folder count.
LanguageChoice ChooseRunLanguage(const std::vector<std::string>& config_files, const std::string& config_folder,
                                 const std::string& forced, const std::string& ui_language);

// Reads a language table (the file of the chosen tag) and stores its strings into
// `store` over those of the default table. Then writes the default table with
// the language over it to merged_path for the uninstaller (*merged_written
// says whether that worked). False with the reader's error text when the
// table is malformed; `store` is then untouched.
bool ApplyLanguageTable(const std::string& table_path, const BrioCommon::PropertiesParser& defaults, DefinesParser& store,
                        const std::string& merged_path, bool* merged_written, std::string* error);
