// The property table reader: the five kinds of entries, exact error texts,
// first-error-wins, and the copy of the strings into a variable store.
#include <gtest/gtest.h>

#include "config/builtin_variables.h"
#include "config/expand.h"
#include "config/properties_parser.h"
#include "support/test_support.h"
#include "tests/config/config_test_support.h"

namespace {

using BrioCommon::PropertiesParser;
using configtest::Show;

class PropertiesTest : public configtest::ConfigTest {
 protected:
  // Writes `text` as props.xml in a scratch folder and reads it.
  bool Parse(PropertiesParser& table, const std::string& text) {
    path_ = dir_.file("props.xml");
    EXPECT_TRUE(testsupport::WriteWholeFile(path_, text));
    return table.ParseFile(path_);
  }
  std::string FilePart() const { return " in File '" + path_ + "'"; }

  testsupport::ScratchDir dir_;
  std::string path_;
};

TEST_F(PropertiesTest, ReadsEveryKind) {
  PropertiesParser table;
  ASSERT_TRUE(Parse(table,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                    "<Properties>\n"
                    "  <String id=\"BUTTON_NEXT\">Next &gt;</String>\n"
                    "  <String id=\"BUTTON_BACK\">&lt; Back</String>\n"
                    "  <String id=\"LINES\">a&cr;b</String>\n"
                    "  <String id=\"SPACES\">  a   b&nbsp;&nbsp;c  </String>\n"
                    "  <String id=\"EMPTY\"></String>\n"
                    "  <String id=\"SELF\"/>\n"
                    "  <String>no id</String>\n"
                    "  <String id=\"TWICE\">1</String><String id=\"TWICE\">2</String>\n"
                    "  <String id=\"REF\">%InstallName% Installer</String>\n"
                    "  <StringArray id=\"LIST\"><String>x</String><String></String><String>z</String></StringArray>\n"
                    "  <Boolean id=\"T\">yes</Boolean><Boolean id=\"F\">off</Boolean>\n"
                    "  <Boolean id=\"T1\">1</Boolean><Boolean id=\"F0\">False</Boolean>\n"
                    "  <Integer id=\"HEX\">0x1f</Integer><Integer id=\"NEG\">-12</Integer>\n"
                    "  <Double id=\"HALF\">.5</Double><Double id=\"D\">-2.25</Double>\n"
                    "</Properties>\n"))
      << table.ErrorText();
  const auto& s = table.Strings();
  EXPECT_EQ(Show(s.at(u"BUTTON_NEXT")), "Next >");
  EXPECT_EQ(Show(s.at(u"BUTTON_BACK")), "< Back");
  EXPECT_EQ(Show(s.at(u"LINES")), "a\nb");
  EXPECT_EQ(Show(s.at(u"SPACES")), "a b  c");
  EXPECT_EQ(Show(s.at(u"EMPTY")), "");
  EXPECT_EQ(Show(s.at(u"SELF")), "");
  EXPECT_EQ(Show(s.at(u"")), "no id");
  EXPECT_EQ(Show(s.at(u"TWICE")), "2");
  EXPECT_EQ(Show(s.at(u"REF")), "%InstallName% Installer");
  EXPECT_EQ(table.StringArrays().at(u"LIST"), (std::vector<WString>{u"x", u"", u"z"}));
  EXPECT_TRUE(table.Booleans().at(u"T"));
  EXPECT_FALSE(table.Booleans().at(u"F"));
  EXPECT_TRUE(table.Booleans().at(u"T1"));
  EXPECT_FALSE(table.Booleans().at(u"F0"));
  EXPECT_EQ(table.Integers().at(u"HEX"), 31);
  EXPECT_EQ(table.Integers().at(u"NEG"), -12);
  EXPECT_DOUBLE_EQ(table.Doubles().at(u"HALF"), 0.5);
  EXPECT_DOUBLE_EQ(table.Doubles().at(u"D"), -2.25);
  // IDs are case-sensitive in the table.
  EXPECT_EQ(s.count(u"button_next"), 0u);
}

TEST_F(PropertiesTest, ErrorTexts) {
  struct Case {
    const char* text;
    const char* error;  // without the file part
  };
  const Case cases[] = {
      {"<Properties><Boolean id=\"F\">maybe</Boolean></Properties>", "Invalid Boolean Value: 'MAYBE' on Line 1"},
      {"<Properties>\n<Integer id=\"N\">-0x10</Integer></Properties>", "Invalid Integer Value: '-0x10' on Line 2"},
      {"<Properties><Integer id=\"N\">12a</Integer></Properties>", "Invalid Integer Value: '12a' on Line 1"},
      {"<Properties><Integer id=\"N\"></Integer></Properties>", "Invalid Integer Value: '' on Line 1"},
      {"<Properties><Double id=\"D\">1e3</Double></Properties>", "Invalid Double Value: '1e3' on Line 1"},
      {"<Properties><String id=\"S\">a<b>c</b></String></Properties>", "Unexpected Section: 'b' on Line 1"},
      {"<Properties><Text id=\"S\">a</Text></Properties>", "Invalid Section 'Text' on Line 1"},
      {"<Strings/>", "Invalid Section 'Strings' on Line 1"},
      {"\n\nloose", "Unexpected End of File on Line 3"},
      {"loose<Properties/>", "Element Not Expected 'loose' on Line 1"},
      {"<Properties>\nloose\n</Properties>", "Element Not Expected 'loose' on Line 3"},
      {"<Properties><StringArray id=\"L\"><Item/></StringArray></Properties>", "Invalid Section 'Item' on Line 1"},
      {"<Properties><StringArray id=\"L\">x</StringArray></Properties>", "Element Not Expected 'x' on Line 1"},
      {"<Properties>\n</String>", "End 'String' Doesn't Match Start 'Properties' on Line 2"},
  };
  for (const Case& c : cases) {
    PropertiesParser table;
    EXPECT_FALSE(Parse(table, c.text)) << c.text;
    EXPECT_EQ(table.ErrorText(), c.error + FilePart()) << c.text;
  }
}

TEST_F(PropertiesTest, MissingFile) {
  PropertiesParser table;
  const std::string absent = dir_.file("absent.xml");
  EXPECT_FALSE(table.ParseFile(absent));
  EXPECT_EQ(table.ErrorText(), "Unable to open file " + absent);
}

TEST_F(PropertiesTest, FirstErrorWins) {
  PropertiesParser table;
  EXPECT_FALSE(Parse(table, "<Properties><Boolean id=\"B\">maybe</Boolean></Properties>"));
  const std::string first = table.ErrorText();
  EXPECT_EQ(first, "Invalid Boolean Value: 'MAYBE' on Line 1" + FilePart());
  EXPECT_FALSE(Parse(table, "\n<Other/>"));
  EXPECT_EQ(table.ErrorText(), first);
  EXPECT_FALSE(Parse(table, "<Properties><String id=\"OK\">fine</String></Properties>"));
  EXPECT_EQ(table.ErrorText(), first);
}

TEST_F(PropertiesTest, EntriesBeforeAnErrorStay) {
  PropertiesParser table;
  EXPECT_FALSE(Parse(table, "<Properties><String id=\"A\">a</String><Integer id=\"N\">x</Integer>"
                            "<String id=\"B\">b</String></Properties>"));
  EXPECT_EQ(table.Strings().count(u"A"), 1u);
  EXPECT_EQ(table.Strings().count(u"B"), 0u);
}

// Strings become %ID% references; IDs props.xml leaves out keep their default.
TEST_F(PropertiesTest, StringsOverrideDefaults) {
  SetBuiltinVariables(MainVariables(), IsVista());
  EXPECT_EQ(Show(Expand(u"%BROWSE_FOR_FOLDER%", true)), "Browse For Folder");
  PropertiesParser table;
  ASSERT_TRUE(Parse(table,
                    "<Properties><String id=\"BROWSE_FOR_FOLDER\">Browse for Folder</String>"
                    "<String id=\"welcome_title\">Welcome to %InstallName%</String>"
                    "<String id=\"GameName\">Example Game</String>"
                    "<String id=\"InstallName\">%GameName%</String></Properties>"));
  CopyPropertyStrings(table, MainVariables());
  EXPECT_EQ(Show(Expand(u"%BROWSE_FOR_FOLDER%", true)), "Browse for Folder");
  EXPECT_EQ(Show(Expand(u"%WELCOME_TITLE%", true)), "Welcome to Example Game");
  EXPECT_EQ(Show(Expand(u"%SELECT_DIRECTORY%", true)), "Select Directory");
  EXPECT_EQ(Show(Expand(u"%STORESELECT_DIALOG_TITLE%", true)), "Example Game Installer");
  EXPECT_EQ(Show(Expand(u"%REQUIRED_INSTALL_DOES_NOT_EXIST_TITLE%", true)),
            "ERROR: Example Game not installed");
}

}  // namespace
