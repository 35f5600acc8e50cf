// The texts the uninstaller shows, by property ID, in the language the
// install used: the install leaves its property table beside the log
// ("<log without extension>_props.xml", the chosen language over the default
// texts); an ID it lacks, or a copy that is missing or unreadable, gives the
// English text of the table below. A publisher translates these IDs in the
// language tables like any page text.
//
// The texts may hold "%Name%" slots that the uninstaller fills (the product's
// name, the plan's summary, ...); they are not run through the expansion
// language, so a name with "%" or "#" in it shows as it is.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/string_utils.h"

enum class UninstallText {
  kCaption,          // the title of every window, with %InstallName%
  kCaptionUnnamed,   // the title when the log names no product
  kUnnamedProduct,   // stands for the product's name when the log has none
  kConfirm,          // %InstallName%, %Details% (counts of files, folders, ...)
  kUserData,         // %InstallName%, %Found% (the folders and keys, one a line)
  kRemoved,          // %InstallName%
  kReportNote,       // %Report% (the report file's path)
};

struct UninstallTextEntry {
  UninstallText text;
  const char* id;       // the property ID
  const char* english;  // the last fallback
};

const std::vector<UninstallTextEntry>& UninstallTextTable();

// Where the install left its property table for a log path: the path cut
// before the file name's last "." (the whole path without one) + "_props.xml".
std::string PropertiesCopyPath(const std::string& log_path);

class UninstallTexts {
 public:
  // strings: the property copy's strings (empty: English throughout).
  explicit UninstallTexts(std::map<WString, WString> strings = {}) : strings_(std::move(strings)) {}

  // The text with each "%Name%" slot of `slots` replaced by its value; other
  // "%...%" parts stay as they are.
  WString Get(UninstallText text, const std::vector<std::pair<WString, WString>>& slots = {}) const;

 private:
  std::map<WString, WString> strings_;
};

// The texts of the property copy beside this log.
UninstallTexts LoadUninstallTexts(const std::string& log_path);
