// Property tables per language. Beside props.xml (the default table) a
// configuration folder may carry one table per language, named after its
// BCP-47 language tag:
//
//   cfg\props.xml        every text, the default (as without languages)
//   cfg\props.de.xml     German
//   cfg\props.ja-JP.xml  Japanese as used in Japan
//
// The run wants one language (the user's UI language, or the one forced on
// the command line) and takes the table whose tag matches the full tag, else
// the table of the primary language alone ("de" for "de-AT"), else a table of
// the same primary language ("de-DE" for "de-AT"); tags are compared without
// regard to case and "_" counts as "-". No match: the default table alone.
// Texts the chosen table lacks come from the default table.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/string_utils.h"

// The language tag of a property table's file name ("props.de-AT.xml" gives
// "de-AT"); empty when the name is no language table (props.xml itself, or a
// middle part that is no tag: two or three letters, then "-" parts of one to
// eight letters or digits).
std::string LanguageOfTableName(const std::string& file_name);

// The file name of a language's table: "props." + tag + ".xml".
std::string TableNameOfLanguage(const std::string& tag);

// The language tables among the file names (paths allowed; the folder part
// is ignored), as their tags, in the order given.
std::vector<std::string> LanguageTables(const std::vector<std::string>& file_names);

// The tag of the table to use for the wanted language, one of `available`;
// empty when none matches (or nothing is wanted).
std::string ChooseLanguageTable(const std::vector<std::string>& available, const std::string& wanted);

// The default table's strings with the language table's strings over them.
std::map<WString, WString> MergeLanguageStrings(const std::map<WString, WString>& fallback,
                                                const std::map<WString, WString>& language);

// A property table document holding the strings, as the property reader reads
// them back unchanged (the copy beside the install log that the uninstaller
// reads): "<Properties>" with one "<String id=...>" line per entry.
WString PropertyDocument(const std::map<WString, WString>& strings);
