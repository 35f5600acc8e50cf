#include "base/string_utils.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include "support/test_support.h"

namespace {

TEST(StringUtils, NarrowAndWidenKeepTheLowByte) {
  bool fit = false;
  EXPECT_EQ(Widen(Narrow(u"caf\u00e9", &fit)), u"caf\u00e9");
  EXPECT_TRUE(fit);
  EXPECT_EQ(Widen(Narrow(u"\u20ac", &fit)), u"\u00ac");
  EXPECT_FALSE(fit);
  EXPECT_EQ(Widen(std::string("\xff\x01", 2)), WString(u"\u00ff\u0001"));
}

TEST(StringUtils, UpperChangesOnlyAsciiLetters) {
  EXPECT_EQ(Upper(WString(u"abc\u00e9z{")), u"ABC\u00e9Z{");
  EXPECT_EQ(Upper(std::string("a1b\xe9")), std::string("A1B\xe9"));
}

TEST(StringUtils, Trim) {
  EXPECT_EQ(Trim(u" \t\r\n\v\fx y\n"), u"x y");
  EXPECT_EQ(Trim(u"   "), u"");
}

TEST(StringUtils, StringToInt) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"0x1F", true, 31}, {"0XfF", true, 255}, {"-x1F", true, -31}, {"-0x1F", false, 0},
      {"x1F", false, 0},  {"1x2", false, 0},   {"00x1", false, 0},  {"", false, 0},
      {"-", true, 0},     {"0x", true, 0},     {"42", true, 42},    {"-17", true, -17},
      {"12a", false, 0},  {" 1", false, 0},    {"0x10", true, 16},
  };
  for (const Case& c : cases) {
    int narrow = -99, wide = -99;
    EXPECT_EQ(StringToInt(std::string(c.text), &narrow), c.ok) << c.text;
    EXPECT_EQ(narrow, c.value) << c.text;
    EXPECT_EQ(StringToInt(Widen(c.text), &wide), c.ok) << c.text;
    EXPECT_EQ(wide, c.value) << c.text;
  }
}

TEST(StringUtils, StringToDouble) {
  double v = 1;
  EXPECT_TRUE(StringToDouble(u"-.25", &v));
  EXPECT_DOUBLE_EQ(v, -0.25);
  EXPECT_TRUE(StringToDouble(u"3.0", &v));
  EXPECT_DOUBLE_EQ(v, 3.0);
  EXPECT_TRUE(StringToDouble(u"12", &v));
  EXPECT_DOUBLE_EQ(v, 12.0);
  for (const char16_t* bad : {u"1,5", u"", u"+1", u"1e3", u"1.2.3"}) {
    EXPECT_FALSE(StringToDouble(bad, &v));
    EXPECT_EQ(v, 0.0);
  }
}

TEST(StringUtils, StrFormatGrowsItsBuffer) {
  EXPECT_EQ(StrFormat("%d-%s", 7, "x"), "7-x");
  std::string long_text(5000, 'q');
  EXPECT_EQ(StrFormat("%s", long_text.c_str()), long_text);
  EXPECT_EQ(StrFormat(u"%d%%", 50), u"50%");
  std::string too_long(1400000, 'z');
  EXPECT_EQ(StrFormat("%s", too_long.c_str()), "");
}

TEST(StringUtils, SplitKeepsEmptyParts) {
  EXPECT_EQ(Split(std::string("a,,b"), ','), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(Split(std::string("a,"), ','), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(Split(std::string(""), ','), (std::vector<std::string>{""}));
}

TEST(StringUtils, Paths) {
  EXPECT_EQ(GetDirectory("C:\\a/b\\c.txt"), "C:\\a/b");
  EXPECT_EQ(GetDirectory("file"), "");
  EXPECT_EQ(GetFileName("a\\b.c.txt", true), "b.c");
  EXPECT_EQ(GetFileName("a/b\\c.txt", false), "c.txt");
  EXPECT_EQ(GetFileName("noext", true), "noext");
  EXPECT_EQ(GetRoot("C:\\Games\\x"), "C:");
  EXPECT_EQ(GetRoot("\\\\server\\share\\x"), "\\\\server");
  EXPECT_EQ(GetRoot("C:"), "C:");
  EXPECT_EQ(RemoveTrailingSlash(std::string("C:\\x\\")), "C:\\x");
  EXPECT_EQ(RemoveTrailingSlash(std::string("C:\\x//")), "C:\\x/");
}

TEST(StringUtils, DeleteTreeRemovesReadOnlyFilesAndSubfolders) {
  testsupport::ScratchDir scratch;
  std::string root = scratch.file("tree");
  std::string sep(1, kPathSeparator);
  MakeDirectories(root + sep + "a" + sep + "b");
  std::string file = root + sep + "a" + sep + "b" + sep + "ro.txt";
  ASSERT_TRUE(testsupport::WriteWholeFile(file, "x"));
#ifdef _WIN32
  ASSERT_NE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY), 0);
#endif
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(DeleteTree(root));
  EXPECT_FALSE(FileExists(root));
  EXPECT_FALSE(DeleteDirectoryContents("C"));
}

}  // namespace
