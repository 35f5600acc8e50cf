// The property string table: every user-visible text of the installer by ID,
// read from a document such as
//
//   <Properties>
//     <String id="BUTTON_NEXT">Next &gt;</String>
//     <StringArray id="L"><String>a</String><String>b</String></StringArray>
//     <Boolean id="B">yes</Boolean> <Integer id="N">0x10</Integer>
//     <Double id="D">1.5</Double>
//   </Properties>
//
// IDs are kept exactly as written; a later entry replaces an earlier one.
// Only the strings are used by the installer; the other kinds are read and
// checked.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/string_utils.h"

class DefinesParser;

namespace BrioCommon {

class XMLParser;

class PropertiesParser {
 public:
  PropertiesParser() = default;
  virtual ~PropertiesParser() = default;
  PropertiesParser(const PropertiesParser&) = delete;
  PropertiesParser& operator=(const PropertiesParser&) = delete;

  // True when no error was recorded. Only the first error is kept, and the
  // failed flag stays set for later parses into the same table.
  bool ParseFile(const std::string& fileName);
  const std::string& ErrorText() const { return errorText_; }

  const std::map<WString, WString>& Strings() const { return strings_; }
  const std::map<WString, std::vector<WString>>& StringArrays() const { return stringArrays_; }
  const std::map<WString, bool>& Booleans() const { return booleans_; }
  const std::map<WString, int32_t>& Integers() const { return integers_; }
  const std::map<WString, double>& Doubles() const { return doubles_; }

 private:
  enum class Level { Stop, Continue };
  Level ReadProperties(XMLParser& xml);
  Level ReadEntry(XMLParser& xml, const WString& kind, const WString& id);
  Level ReadStringArray(XMLParser& xml, std::vector<WString>* texts);
  Level ReadElementText(XMLParser& xml, WString* text);
  void RecordError(XMLParser& xml, const WString& message);

  std::string errorText_;
  bool failed_ = false;
  std::map<WString, WString> strings_;
  std::map<WString, std::vector<WString>> stringArrays_;
  std::map<WString, bool> booleans_;
  std::map<WString, int32_t> integers_;
  std::map<WString, double> doubles_;
};

}  // namespace BrioCommon

// Stores every string of the table into `store` under its ID, in ID order,
// so that the texts become %ID% references (case-insensitive there).
void CopyPropertyStrings(const BrioCommon::PropertiesParser& table, DefinesParser& store);
