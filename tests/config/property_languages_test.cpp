// Language tables: which file names are tables, which table a wanted
// language gets, and the merged table the uninstaller reads back.
#include <gtest/gtest.h>

#include "config/properties_parser.h"
#include "config/property_languages.h"
#include "support/test_support.h"
#include "xml/utf8_file_writer.h"

namespace {

TEST(PropertyLanguages, TableNames) {
  const struct {
    const char* name;
    const char* tag;
  } cases[] = {
      {"props.de.xml", "de"},         {"props.ja-JP.xml", "ja-JP"},     {"PROPS.pt_BR.XML", "pt_BR"},
      {"C:\\t\\props.fr.xml", "fr"},  {"props.zh-Hant-TW.xml", "zh-Hant-TW"},
      {"props.xml", ""},              {"props..xml", ""},               {"props.backup.xml", ""},
      {"props.d.xml", ""},            {"props.de-.xml", ""},            {"props.de-toolongpart.xml", ""},
      {"defines.de.xml", ""},         {"props.de.xml.bak", ""},         {"props.d3.xml", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageOfTableName(c.name), c.tag) << c.name;
  EXPECT_EQ(LanguageTables({"props.xml", "cfg/props.ja.xml", "license.txt", "props.de.xml"}),
            (std::vector<std::string>{"ja", "de"}));
}

TEST(PropertyLanguages, ChoiceOfTable) {
  const std::vector<std::string> tables = {"de-DE", "de", "ja-JP", "pt-BR", "zh-Hant"};
  const struct {
    const char* wanted;
    const char* chosen;
  } cases[] = {
      {"de-DE", "de-DE"},  // the full tag
      {"de-AT", "de"},     // then the primary language alone
      {"DE_de", "de-DE"},  // case and "_" do not matter
      {"ja", "ja-JP"},     // then any table of the primary language
      {"ja-JP", "ja-JP"},
      {"pt-PT", "pt-BR"},
      {"zh-Hans-CN", "zh-Hant"},
      {"en-US", ""},  // no table: the default
      {"", ""},
      {"d", ""},
      {"de DE", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseLanguageTable(tables, c.wanted), c.chosen) << c.wanted;
  EXPECT_EQ(ChooseLanguageTable({}, "de"), "");
  // An exact match later in the list wins over a looser one before it.
  EXPECT_EQ(ChooseLanguageTable({"fr-CA", "fr"}, "fr"), "fr");
}

TEST(PropertyLanguages, MergedTableReadsBackAsMerged) {
  const std::map<WString, WString> fallback = {
      {u"A", u"default a"}, {u"B", u"default b"}, {u"EMPTY_IN_LANGUAGE", u"x"}};
  const std::map<WString, WString> language = {
      {u"B", u"Sprache b"},
      {u"EMPTY_IN_LANGUAGE", u""},
      {u"ODD", u"  two  spaces, <tags> & \"quotes\" 'here'\nnext line "},
      {u"JA", u"\u3088\u3046\u3053\u305d %InstallName%"},
  };
  const std::map<WString, WString> merged = MergeLanguageStrings(fallback, language);
  const std::map<WString, WString> expected = {
      {u"A", u"default a"}, {u"B", u"Sprache b"}, {u"EMPTY_IN_LANGUAGE", u""},
      {u"ODD", language.at(u"ODD")}, {u"JA", language.at(u"JA")}};
  EXPECT_EQ(merged, expected);

  testsupport::ScratchDir dir;
  const std::string path = dir.file("_props.xml");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  ASSERT_TRUE(BrioCommon::WriteUTF8File(file, PropertyDocument(merged), true));
  std::fclose(file);
  BrioCommon::PropertiesParser table;
  ASSERT_TRUE(table.ParseFile(path)) << table.ErrorText();
  EXPECT_EQ(table.Strings(), merged);
}

}  // namespace
