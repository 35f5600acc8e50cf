#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tests/xml/xml_test_helpers.h"
#include "xml/xml_parser.h"

namespace {

std::string WriteAndRead(const WString& text, bool declaration) {
  testsupport::ScratchDir dir;
  std::string path = dir.file("out.xml");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  EXPECT_TRUE(BrioCommon::WriteUTF8File(f, text, declaration));
  std::fclose(f);
  return testsupport::ReadText(path);
}

struct Utf8Case {
  const char16_t* text;
  const char* bytes;
};

// Boundaries of each length, and a surrogate pair written unit by unit.
const Utf8Case kCases[] = {
    {u"A\x7F", "A\x7F"},
    {u"\x80\x7FF", "\xC2\x80\xDF\xBF"},
    {u"\x800\xFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
    {u"\xD83D\xDE00", "\xED\xA0\xBD\xED\xB8\x80"},
    {u"a\nb", "a\nb"},
};

TEST(WriteUTF8File, EncodesEachUnit) {
  for (const Utf8Case& c : kCases)
    EXPECT_EQ(WriteAndRead(c.text, false), std::string("\xEF\xBB\xBF") + c.bytes)
        << xmltest::Show(c.text);
}

TEST(WriteUTF8File, DeclarationLine) {
  EXPECT_EQ(WriteAndRead(u"<a/>", true),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<a/>");
}

// What the writer produces the reader reads back, across its buffer size.
TEST(WriteUTF8File, ReadsBackThroughTheParser) {
  WString text = u"<Log>";
  for (int i = 0; i < 3000; ++i) text += u"<F n=\"\u00E9\u20AC" + Widen(std::to_string(i)) + u"\"/>";
  text += u"</Log>";
  testsupport::ScratchDir dir;
  std::string path = dir.file("log.xml");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(BrioCommon::WriteUTF8File(f, text, true));
  std::fclose(f);
  BrioCommon::XMLParser parser;
  ASSERT_TRUE(parser.Open(path));
  BrioCommon::XMLItem item;
  int starts = 0;
  WString last;
  while (parser.ReadNext(item))
    if (item.type == BrioCommon::SectionStart && item.value == u"F") {
      ++starts;
      last = item.GetAttribute(u"n");
    }
  EXPECT_FALSE(parser.HasError()) << xmltest::Show(parser.ErrorText());
  EXPECT_EQ(starts, 3000);
  EXPECT_EQ(last, u"\u00E9\u20AC2999");
}

TEST(WriteUTF8File, FailedWriteIsReported) {
  testsupport::ScratchDir dir;
  std::string path = dir.file("ro.xml");
  ASSERT_TRUE(testsupport::WriteWholeFile(path, "x"));
  std::FILE* f = std::fopen(path.c_str(), "rb");  // writes to it fail
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(BrioCommon::WriteUTF8File(f, u"text", false));
  std::fclose(f);
  EXPECT_FALSE(BrioCommon::WriteUTF8File(nullptr, u"text", false));
}

}  // namespace
