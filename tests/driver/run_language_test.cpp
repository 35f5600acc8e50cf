// The run's language: the table chosen from the configuration's files (a
// forced language first), the note for a forced language the installer
// lacks, and the language texts put over the defaults with the merged copy.
#include "driver/run_language.h"

#include <gtest/gtest.h>

#include "config/defines_parser.h"
#include "config/properties_parser.h"
#include "support/test_support.h"

namespace {

TEST(RunLanguage, ChoiceAndNote) {
  const std::string folder = "C:\\tmp\\zelcfg1";
  const std::vector<std::string> files = {folder + "\\props.xml", folder + "\\props.de.xml",
                                          folder + "\\props.ja.xml", folder + "\\sub\\props.fr.xml"};
  const struct {
    const char* forced;
    const char* ui;
    const char* tag;
    bool note;
  } cases[] = {
      {"", "de-DE", "de", false},  {"", "ja-JP", "ja", false}, {"", "en-US", "", false},
      {"de", "ja-JP", "de", false},  // forced wins
      {"fr", "ja-JP", "", true},     // a table in a subfolder is none
      {"xx-YY", "de-DE", "", true},
  };
  for (const auto& c : cases) {
    const LanguageChoice choice = ChooseRunLanguage(files, folder, c.forced, c.ui);
    EXPECT_EQ(choice.tag, c.tag) << c.forced << " " << c.ui;
    EXPECT_EQ(!choice.note.empty(), c.note) << c.forced << " " << c.ui;
  }
  EXPECT_EQ(ChooseRunLanguage(files, folder, "fr", "de-DE").note,
            "Language 'fr' (-language) is not in this installer; the default texts are used.");
}

TEST(RunLanguage, LanguageOverDefaultsAndMergedCopy) {
  testsupport::ScratchDir dir;
  ASSERT_TRUE(testsupport::WriteWholeFile(
      dir.file("props.xml"), "<Properties><String id=\"A\">a</String><String id=\"B\">b</String></Properties>"));
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("props.de.xml"),
                                          "\xEF\xBB\xBF<Properties><String id=\"B\">\xC3\xBC</String></Properties>"));
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("props.ja.xml"), "<Properties><String id=\"B\">x</Strin>"));
  BrioCommon::PropertiesParser defaults;
  ASSERT_TRUE(defaults.ParseFile(dir.file("props.xml")));
  DefinesParser store;
  CopyPropertyStrings(defaults, store);

  bool written = true;
  std::string error;
  EXPECT_FALSE(ApplyLanguageTable(dir.file("props.ja.xml"), defaults, store, dir.file("bad_props.xml"), &written,
                                  &error));
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("props.ja.xml"), std::string::npos) << error;
  EXPECT_EQ(store.GetVariable(u"B"), u"b");

  ASSERT_TRUE(ApplyLanguageTable(dir.file("props.de.xml"), defaults, store, dir.file("_props.xml"), &written, &error));
  EXPECT_TRUE(written);
  EXPECT_EQ(store.GetVariable(u"A"), u"a");
  EXPECT_EQ(store.GetVariable(u"B"), u"\u00FC");
  BrioCommon::PropertiesParser copy;
  ASSERT_TRUE(copy.ParseFile(dir.file("_props.xml"))) << copy.ErrorText();
  EXPECT_EQ(copy.Strings(), (std::map<WString, WString>{{u"A", u"a"}, {u"B", u"\u00FC"}}));
}

}  // namespace
