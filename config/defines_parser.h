// The variable store: a map from upper-cased variable name to wide value,
// and the reader of the defines document format that fills it:
//
//   <Defines>
//     <Define><Name>InstallPath</Name><Value>%ProgramFiles%\Game</Value></Define>
//   </Defines>
//
// An install keeps two stores: the variables its texts expand in, and the
// defines record, which holds only what the defines documents said and is
// written into the install log (both in engine/install_job.h). The main
// variable store below is the one store of the process that the expansion
// language reads when no store is named (Expand(text, collapse)): the stub
// binds its install job to it, the uninstaller and mkinstaller fill it.
#pragma once

#include <map>
#include <string>

#include "base/string_utils.h"

namespace BrioCommon {
class XMLParser;
}

class DefinesParser {
 public:
  // Keys are upper-cased names (only a-z change); values are stored exactly.
  using VariableMap = std::map<WString, WString>;

  DefinesParser() = default;
  DefinesParser(const DefinesParser&) = delete;
  DefinesParser& operator=(const DefinesParser&) = delete;

  void SetVariable(const WString& name, const WString& value);
  // The stored value, or the empty string when the name was never set.
  WString GetVariable(const WString& name) const;
  const VariableMap& Variables() const { return variables_; }
  // Forgets every variable and any recorded error (a fresh store).
  void Clear();

  // Read a defines document into the store, adding to what is there. The
  // file's encoding comes from its byte-order mark; a text in memory is taken
  // byte by byte. True when no error was ever recorded in this store: the
  // failed flag is never cleared, so once a parse failed, later ones report
  // failure too, while a later error replaces the text of an earlier one.
  bool ParseFile(const std::string& fileName);
  bool ParseText(const std::string& text);
  const std::string& ErrorText() const { return errorText_; }

 private:
  enum class Level { Stop, Continue };
  bool ParseWith(BrioCommon::XMLParser& xml);
  Level ReadDefines(BrioCommon::XMLParser& xml);
  Level ReadDefine(BrioCommon::XMLParser& xml);
  Level ReadElementText(BrioCommon::XMLParser& xml, WString* text);
  void RecordError(BrioCommon::XMLParser& xml, const WString& message);

  bool failed_ = false;
  std::string errorText_;
  VariableMap variables_;
};

// The process's main variable store.
DefinesParser& MainVariables();
