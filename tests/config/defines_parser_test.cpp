// The defines reader: storage rules, exact error texts with their line and
// file parts, and the failed flag that outlives a parse.
#include <gtest/gtest.h>

#include "config/defines_parser.h"
#include "support/test_support.h"
#include "tests/config/config_test_support.h"

namespace {

using configtest::Show;

TEST(DefinesParser, NamesAreCaseInsensitiveValuesExact) {
  DefinesParser store;
  store.SetVariable(u"gamedir", u"A");
  store.SetVariable(u"GameDir", u" B%X% ");
  EXPECT_EQ(Show(store.GetVariable(u"GAMEDIR")), " B%X% ");
  EXPECT_EQ(Show(store.GetVariable(u"gamedir")), " B%X% ");
  ASSERT_EQ(store.Variables().size(), 1u);
  EXPECT_EQ(Show(store.Variables().begin()->first), "GAMEDIR");
  EXPECT_EQ(Show(store.GetVariable(u"Unset")), "");
  // Only a-z are folded.
  store.SetVariable(u"\u00e9t\u00e9", u"1");
  EXPECT_EQ(Show(store.GetVariable(u"\u00e9T\u00e9")), "1");
  EXPECT_EQ(Show(store.GetVariable(u"\u00c9T\u00c9")), "");
}

TEST(DefinesParser, ReadsDefines) {
  DefinesParser store;
  ASSERT_TRUE(store.ParseText(
      "<?xml version=\"1.0\"?>\n"
      "<Defines>\n"
      "  <Define><Name>gamedir</Name><Value>A</Value></Define>\n"
      "  <Define><Name>InstallPath</Name><Value>%ProgramFiles%\\%InstallGroup%</Value></Define>\n"
      "  <!-- a comment --><Define><Value>no name</Value></Define>\n"
      "  <Define><Name></Name><Value>empty name</Value></Define>\n"
      "  <Define><Name>X</Name><Value></Value></Define>\n"
      "  <Define><Name>NoValue</Name></Define>\n"
      "  <Define><Name>Twice</Name><Value>1</Value><Value>2</Value></Define>\n"
      "  <Define><Value>v</Value><Name>ValueFirst</Name></Define>\n"
      "  <Define><Name>Split</Name><Value>one<!-- c -->two</Value></Define>\n"
      "  <Define><Name>Entities</Name><Value>a &amp; b &lt;c&gt;</Value></Define>\n"
      "  <Define><Name>GameDir</Name><Value>B</Value></Define>\n"
      "</Defines>\n"
      "<Defines><Define><Name>Second</Name><Value>section</Value></Define></Defines>\n"))
      << store.ErrorText();
  EXPECT_EQ(Show(store.GetVariable(u"GameDir")), "B");
  EXPECT_EQ(Show(store.GetVariable(u"InstallPath")), "%ProgramFiles%\\%InstallGroup%");
  EXPECT_EQ(Show(store.GetVariable(u"X")), "");
  EXPECT_EQ(Show(store.GetVariable(u"Twice")), "2");
  EXPECT_EQ(Show(store.GetVariable(u"ValueFirst")), "v");
  EXPECT_EQ(Show(store.GetVariable(u"Split")), "two");
  EXPECT_EQ(Show(store.GetVariable(u"Entities")), "a & b <c>");
  EXPECT_EQ(Show(store.GetVariable(u"Second")), "section");
  std::vector<std::string> names;
  for (const auto& v : store.Variables()) names.push_back(Show(v.first));
  EXPECT_EQ(names, (std::vector<std::string>{"ENTITIES", "GAMEDIR", "INSTALLPATH", "NOVALUE",
                                             "SECOND", "SPLIT", "TWICE", "VALUEFIRST", "X"}));
}

TEST(DefinesParser, ParseAddsToTheStore) {
  DefinesParser store;
  store.SetVariable(u"Builtin", u"kept");
  ASSERT_TRUE(store.ParseText("<Defines><Define><Name>New</Name><Value>1</Value></Define></Defines>"));
  EXPECT_EQ(Show(store.GetVariable(u"Builtin")), "kept");
  EXPECT_EQ(Show(store.GetVariable(u"New")), "1");
}

TEST(DefinesParser, TextIsTakenByteByByte) {
  DefinesParser store;
  ASSERT_TRUE(store.ParseText("<Defines><Define><Name>N</Name><Value>caf\xc3\xa9</Value></Define></Defines>"));
  EXPECT_EQ(store.GetVariable(u"N"), (WString{u'c', u'a', u'f', 0xC3, 0xA9}));
  // A byte-order mark is not looked for: its bytes are text before the root.
  DefinesParser bom;
  EXPECT_FALSE(bom.ParseText("\xef\xbb\xbf<Defines></Defines>"));
  EXPECT_EQ(bom.ErrorText(), "Element Not Expected '\xef\xbb\xbf' on Line 1");
}

TEST(DefinesParser, EndOfInputInsideADefineStoresNothing) {
  DefinesParser store;
  EXPECT_TRUE(store.ParseText("<Defines><Define><Name>Cut</Name><Value>v</Value>"));
  EXPECT_EQ(Show(store.GetVariable(u"Cut")), "");
  EXPECT_TRUE(store.Variables().empty());
}

TEST(DefinesParser, ErrorTexts) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"<Defines><Define><Name>X</Name><Other>1</Other></Define></Defines>",
       "Invalid Section 'Other' on Line 1"},
      {"<Root/>", "Invalid Section 'Root' on Line 1"},
      {"stray text<Defines/>", "Element Not Expected 'stray text' on Line 1"},
      {"<Defines>\n<Item/>\n</Defines>", "Invalid Section 'Item' on Line 2"},
      {"<Defines>\n  text\n</Defines>", "Element Not Expected 'text' on Line 3"},
      {"<Defines><Define>\n\n\nloose</Define></Defines>", "Element Not Expected 'loose' on Line 4"},
      {"<Defines><Define><Name>a<b/></Name></Define></Defines>", "Unexpected Section: b on Line 1"},
      {"<Defines>\n<Define>\n</Defines>", "End 'Defines' Doesn't Match Start 'Define' on Line 3"},
      {"<Defines><Define><Name>a > b</Name></Define></Defines>", "Unexpected '>' on Line 1"},
      {"<Defines>\n<Define", "Unexpected End of File on Line 2"},
  };
  for (const Case& c : cases) {
    DefinesParser store;
    EXPECT_FALSE(store.ParseText(c.text)) << c.text;
    EXPECT_EQ(store.ErrorText(), c.error) << c.text;
  }
}

TEST(DefinesParser, DefinesBeforeAnErrorStay) {
  DefinesParser store;
  EXPECT_FALSE(store.ParseText(
      "<Defines><Define><Name>Before</Name><Value>1</Value></Define><Bad/>"
      "<Define><Name>After</Name><Value>2</Value></Define></Defines>"));
  EXPECT_EQ(Show(store.GetVariable(u"Before")), "1");
  EXPECT_EQ(Show(store.GetVariable(u"After")), "");
}

// The failed flag stays set, and each new error replaces the text.
TEST(DefinesParser, LastErrorWinsAndFailureSticks) {
  DefinesParser store;
  EXPECT_FALSE(store.ParseText("<First/>"));
  EXPECT_EQ(store.ErrorText(), "Invalid Section 'First' on Line 1");
  EXPECT_FALSE(store.ParseText("\n<Second/>"));
  EXPECT_EQ(store.ErrorText(), "Invalid Section 'Second' on Line 2");
  EXPECT_FALSE(store.ParseText("<Defines><Define><Name>Ok</Name><Value>1</Value></Define></Defines>"));
  EXPECT_EQ(store.ErrorText(), "Invalid Section 'Second' on Line 2");
  EXPECT_EQ(Show(store.GetVariable(u"Ok")), "1");
}

TEST(DefinesParser, FileErrorsNameTheFile) {
  testsupport::ScratchDir dir;
  const std::string path = dir.file("defines.xml");
  ASSERT_TRUE(testsupport::WriteWholeFile(path, "<Defines>\n<Define><Name>X</Name>\n<Other/></Define></Defines>"));
  DefinesParser store;
  EXPECT_FALSE(store.ParseFile(path));
  EXPECT_EQ(store.ErrorText(), "Invalid Section 'Other' on Line 3 in File '" + path + "'");

  DefinesParser missing;
  const std::string absent = dir.file("absent.xml");
  EXPECT_FALSE(missing.ParseFile(absent));
  EXPECT_EQ(missing.ErrorText(), "Unable to open file " + absent);
}

TEST(DefinesParser, FileEncodingFromByteOrderMark) {
  testsupport::ScratchDir dir;
  const std::string utf8 = dir.file("utf8.xml"), utf16 = dir.file("utf16.xml");
  ASSERT_TRUE(testsupport::WriteWholeFile(
      utf8, "\xef\xbb\xbf<Defines><Define><Name>N</Name><Value>caf\xc3\xa9</Value></Define></Defines>"));
  std::string wide = "\xff\xfe";
  for (char c : std::string("<Defines><Define><Name>W</Name><Value>\xe9</Value></Define></Defines>")) {
    wide += c;
    wide += '\0';
  }
  ASSERT_TRUE(testsupport::WriteWholeFile(utf16, wide));
  DefinesParser store;
  ASSERT_TRUE(store.ParseFile(utf8)) << store.ErrorText();
  ASSERT_TRUE(store.ParseFile(utf16)) << store.ErrorText();
  EXPECT_EQ(store.GetVariable(u"N"), u"caf\u00e9");
  EXPECT_EQ(store.GetVariable(u"W"), u"\u00e9");
}

// The defines record is the install job's own store now; that it is not the
// main store is checked with the run's job (install_worker_win_test.cpp).
TEST(DefinesParser, RunWideStoresAreDistinct) { EXPECT_EQ(&MainVariables(), &MainVariables()); }

}  // namespace
