// Encoding detection, the three decoders, text-mode reading and pushback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tests/xml/xml_test_helpers.h"
#include "xml/encoding_parser.h"

using BrioCommon::EncodingParser;

namespace {

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// Exposes the in-memory open that XMLParser::OpenBytes uses.
class MemoryParser : public EncodingParser {
 public:
  using EncodingParser::OpenMemory;
};

// Each character as \uXXXX-style text, an illegal read as "!", then "$" at
// the end (reading stops at the first illegal read or after 64 reads).
std::string Drain(EncodingParser& parser) {
  std::string out;
  for (int i = 0; i < 64; ++i) {
    WChar c;
    int status = parser.ReadChar(&c);
    if (status == EncodingParser::CharEnd) return out + "$";
    if (status == EncodingParser::CharIllegal) return out + "!";
    out += xmltest::Show(WString(1, c));
  }
  return out;
}

struct DetectCase {
  const char* name;
  std::string bytes;
  int encoding;
  const char* chars;  // what an Open of these bytes delivers
};

const DetectCase kDetectCases[] = {
    {"utf16le_bom", Bytes("\xFF\xFE" "a\0"), EncodingParser::EncodingUTF16, "a$"},
    {"utf16be_bom", Bytes("\xFE\xFF\0a"), EncodingParser::EncodingUTF16, "a$"},
    {"utf8_bom", Bytes("\xEF\xBB\xBF" "a"), EncodingParser::EncodingUTF8, "a$"},
    {"utf8_bom_only", Bytes("\xEF\xBB\xBF"), EncodingParser::EncodingUTF8, "$"},
    {"no_bom", Bytes("ab"), EncodingParser::Encoding8Bit, "ab$"},
    {"short_utf8_bom", Bytes("\xEF\xBB"), EncodingParser::Encoding8Bit, "\\u00EF\\u00BB$"},
    {"one_byte", Bytes("\xFF"), EncodingParser::Encoding8Bit, "\\u00FF$"},
    {"empty", Bytes(""), EncodingParser::Encoding8Bit, "$"},
    // Zero bytes right after the first byte are put back like any other.
    {"zero_bytes_kept", Bytes("a\0\0b"), EncodingParser::Encoding8Bit, "a\\u0000\\u0000b$"},
};

TEST(EncodingDetection, FromMemoryAndFile) {
  for (const DetectCase& c : kDetectCases) {
    MemoryParser memory;
    memory.OpenMemory(c.bytes);
    EXPECT_EQ(memory.GetEncoding(), c.encoding) << c.name;
    EXPECT_EQ(Drain(memory), c.chars) << c.name;

    testsupport::ScratchDir dir;
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("f"), c.bytes));
    EncodingParser file;
    ASSERT_TRUE(file.Open(dir.file("f")));
    EXPECT_EQ(file.GetEncoding(), c.encoding) << c.name;
    EXPECT_EQ(Drain(file), c.chars) << c.name;
  }
}

TEST(EncodingDetection, ForcedEncodingIsKept) {
  MemoryParser parser;
  parser.SetEncoding(EncodingParser::EncodingUTF8);
  parser.OpenMemory(Bytes("\xFF\xFE" "a\0"));
  EXPECT_EQ(parser.GetEncoding(), EncodingParser::EncodingUTF8);
  EXPECT_EQ(Drain(parser), "!");
}

struct DecodeCase {
  const char* name;
  std::string bytes;  // without byte-order mark
  const char* chars;
};

const DecodeCase kUtf8Cases[] = {
    {"ascii", "Az", "Az$"},
    {"two_bytes", "\xC3\xA9", "\\u00E9$"},
    {"three_bytes", "\xE2\x82\xAC", "\\u20AC$"},
    {"four_bytes_pair", "\xF0\x9F\x98\x80", "\\uD83D\\uDE00$"},
    {"beyond_unicode", "\xF4\x90\x80\x80", "\\uFFFD$"},
    {"largest_three", "\xEF\xBF\xBD", "\\uFFFD$"},
    {"overlong_two", "\xC0\x80", "!"},
    {"overlong_three", "\xE0\x80\x80", "!"},
    {"overlong_four", "\xF0\x80\x80\x80", "!"},
    {"surrogate", "\xED\xA0\x80", "!"},
    {"fffe", "\xEF\xBF\xBE", "!"},
    {"ffff", "\xEF\xBF\xBF", "!"},
    {"lone_continuation", "\x80", "!"},
    {"five_byte_lead", "\xF8\x88\x80\x80\x80", "!"},
    {"truncated", "a\xC3", "a!"},
    {"bad_continuation", "\xC3" "A", "!"},
    {"later_bom_is_a_character", "\xEF\xBB\xBF" "a", "\\uFEFFa$"},
};

TEST(Utf8Decoder, Table) {
  for (const DecodeCase& c : kUtf8Cases) {
    MemoryParser parser;
    parser.OpenMemory("\xEF\xBB\xBF" + c.bytes);
    EXPECT_EQ(Drain(parser), c.chars) << c.name;
  }
}

// Without Open's first-character flag nothing is dropped.
TEST(Utf8Decoder, SourceBytesKeepLeadingBom) {
  EncodingParser parser;
  parser.SetEncoding(EncodingParser::EncodingUTF8);
  parser.SetSourceBytes("\xEF\xBB\xBF" "a");
  EXPECT_EQ(Drain(parser), "\\uFEFFa$");
}

const DecodeCase kUtf16Cases[] = {
    {"le", Bytes("\xFF\xFE" "a\0\xAC\x20"), "a\\u20AC$"},
    {"be", Bytes("\xFE\xFF\0a\x20\xAC"), "a\\u20AC$"},
    {"le_pair", Bytes("\xFF\xFE\x3D\xD8\x00\xDE"), "\\uD83D\\uDE00$"},
    {"be_pair", Bytes("\xFE\xFF\xD8\x3D\xDE\x00"), "\\uD83D\\uDE00$"},
    {"high_without_low", Bytes("\xFF\xFE\x3D\xD8" "a\0"), "!"},
    {"high_at_end", Bytes("\xFF\xFE\x3D\xD8"), "!"},
    {"odd_byte", Bytes("\xFF\xFE" "a\0b"), "a!"},
    {"second_bom_is_a_character", Bytes("\xFF\xFE\xFF\xFE"), "\\uFEFF$"},
    // Read as stored even in text mode: no byte is taken for CR LF or 0x1A.
    {"bytes_1a_and_crlf_kept", Bytes("\xFF\xFE\x1A\x01\x0D\x0A\x0D\0\x0A\0"),
     "\\u011A\\u0A0D\\r\\n$"},
};

TEST(Utf16Decoder, Table) {
  for (const DecodeCase& c : kUtf16Cases) {
    MemoryParser parser;
    parser.OpenMemory(c.bytes);
    EXPECT_EQ(Drain(parser), c.chars) << c.name;
  }
}

struct TextModeCase {
  const char* name;
  std::string bytes;
  const char* text_mode;
  const char* binary_mode;
};

const TextModeCase kTextModeCases[] = {
    {"crlf", "a\r\nb", "a\\nb$", "a\\r\\nb$"},
    {"lone_cr", "a\rb", "a\\rb$", "a\\rb$"},
    {"cr_at_end", "a\r", "a\\r$", "a\\r$"},
    {"cr_cr_lf", "a\r\r\n", "a\\r\\n$", "a\\r\\r\\n$"},
    {"lf_cr", "\n\r", "\\n\\r$", "\\n\\r$"},
    {"ctrl_z_ends", "a\x1A" "b", "a$", "a\\u001Ab$"},
    {"cr_then_ctrl_z", "a\r\x1A", "a\\r$", "a\\r\\u001A$"},
    {"utf8_crlf", "\xEF\xBB\xBF\xC3\xA9\r\n", "\\u00E9\\n$", "\\u00E9\\r\\n$"},
};

TEST(TextMode, MemoryAndFileAlike) {
  for (const TextModeCase& c : kTextModeCases) {
    for (bool binary : {false, true}) {
      const char* expected = binary ? c.binary_mode : c.text_mode;
      MemoryParser memory;
      memory.SetBinaryMode(binary);
      memory.OpenMemory(c.bytes);
      EXPECT_EQ(Drain(memory), expected) << c.name << (binary ? " rb" : " r");

      testsupport::ScratchDir dir;
      ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("f"), c.bytes));
      EncodingParser file;
      file.SetBinaryMode(binary);
      ASSERT_TRUE(file.Open(dir.file("f")));
      EXPECT_EQ(Drain(file), expected) << c.name << (binary ? " rb" : " r");
    }
  }
}

TEST(Pushback, OrderAndAtEnd) {
  EncodingParser parser;
  parser.SetSourceText(u"cd");
  EXPECT_FALSE(parser.AtEnd());
  parser.UnreadChar(u'b');
  parser.UnreadText(u"xa");  // "xa" comes first, then b, then the source
  WChar c;
  ASSERT_EQ(parser.ReadChar(&c), EncodingParser::CharOk);
  EXPECT_EQ(c, u'x');
  EXPECT_EQ(Drain(parser), "abcd$");
  EXPECT_TRUE(parser.AtEnd());
  EXPECT_EQ(parser.ReadChar(nullptr), EncodingParser::CharInternal);
}

TEST(Pushback, SourceTextIsNotDecoded) {
  EncodingParser parser;
  parser.SetEncoding(EncodingParser::EncodingUTF8);
  parser.SetSourceText(u"\xC3\x20AC");
  EXPECT_EQ(Drain(parser), "\\u00C3\\u20AC$");
}

TEST(EncodingParserFile, OpenAndClose) {
  testsupport::ScratchDir dir;
  EncodingParser parser;
  EXPECT_FALSE(parser.Open(dir.file("missing")));
  EXPECT_FALSE(parser.Close());
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("f"), "xy"));
  ASSERT_TRUE(parser.Open(dir.file("f")));
  EXPECT_FALSE(parser.AtEnd());
  EXPECT_EQ(Drain(parser), "xy$");
  EXPECT_TRUE(parser.AtEnd());
  EXPECT_TRUE(parser.Close());
}

}  // namespace
