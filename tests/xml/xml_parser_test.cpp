// The text reader's item sequences and error texts, each document read once
// from memory and once from a file: both paths must deliver the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tests/xml/xml_test_helpers.h"
#include "xml/xml_parser.h"

using BrioCommon::XMLItem;
using BrioCommon::XMLParser;
using xmltest::ReadAll;
using Items = std::vector<std::string>;

namespace {

struct DocumentCase {
  const char* name;
  std::string input;
  Items expected;
};

const std::string kBom = "\xEF\xBB\xBF";

// A byte string from a literal that may hold zero bytes.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

const DocumentCase kDocuments[] = {
    // Text and whitespace.
    {"collapses_whitespace", "<Value>  a   b  </Value>", {"<Value>", "T:a b", "</Value>", "END"}},
    {"tabs_and_newlines_collapse", "<a>x\t\n y</a>", {"<a>", "T:x y", "</a>", "END"}},
    {"space_reference_decoded_after_collapsing", "<Value>a &#32; b</Value>",
     {"<Value>", "T:a   b", "</Value>", "END"}},
    {"quotes_keep_text_verbatim", "<V>say \"a   b\"</V>", {"<V>", "T:say \"a   b\"", "</V>", "END"}},
    {"quoted_gt_is_text", "<a>\"x > y\"</a>", {"<a>", "T:\"x > y\"", "</a>", "END"}},
    {"quote_spanning_a_tag", "<a>\"x</a>\"", {"<a>", "ERR:Unexpected End of File@1"}},
    {"whitespace_only_gives_no_text", "<a>  \n </a>", {"<a>", "</a>", "END"}},
    {"empty_element", "<Value></Value>", {"<Value>", "</Value>", "END"}},
    {"mixed_content", "<a>x<b/>y</a>", {"<a>", "T:x", "<b>", "</b>", "T:y", "</a>", "END"}},
    // Entities.
    {"entities_in_text_and_attributes", "<String id=\"X\">Next &gt;</String>",
     {"<String|id=X>", "T:Next >", "</String>", "END"}},
    {"apos", "<a>I Don&apos;t Agree</a>", {"<a>", "T:I Don't Agree", "</a>", "END"}},
    {"cr_is_line_feed", "<a>x&cr;y</a>", {"<a>", "T:x\\ny", "</a>", "END"}},
    {"nbsp_survives_collapsing", "<a>&nbsp;x&nbsp;</a>", {"<a>", "T: x ", "</a>", "END"}},
    {"unknown_entity", "<a>&bogus;</a>", {"<a>", "T:&", "</a>", "END"}},
    {"lone_ampersand", "<a>a & b</a>", {"<a>", "T:a & b", "</a>", "END"}},
    {"reference_runs_to_next_semicolon", "<a>p & q; r</a>", {"<a>", "T:p & r", "</a>", "END"}},
    {"attribute_entities", "<a b=\"&lt;&amp;&#x41;\">", {"<a|b=<&A>", "END"}},
    // Attributes.
    {"single_quotes_are_ordinary", "<a b='x y'>", {"<a|b='x|y'=>", "END"}},
    {"last_duplicate_wins_and_moves_last", "<a x=\"1\" y=\"0\" x=\"2\">", {"<a|y=0|x=2>", "END"}},
    {"unquoted_value_and_bare_name", "<a b=x c>", {"<a|b=x|c=>", "END"}},
    {"spaces_around_equals", "<a b = \"x y\" c=\"\" d>", {"<a|b=x y|c=|d=>", "END"}},
    {"quoted_gt_in_attribute", "<a b=\"x > y\"></a>", {"<a|b=x > y>", "</a>", "END"}},
    {"attribute_without_name_dropped", "<a =x>", {"<a>", "END"}},
    {"leading_space_in_tag", "< a>", {"<a>", "END"}},
    // Self-closing tags.
    {"self_closing_space", "<Args />", {"<Args>", "</Args>", "END"}},
    {"self_closing_tight", "<Args/>", {"<Args>", "</Args>", "END"}},
    {"self_closing_attribute", "<Shortcut shared=\"1\"/>", {"<Shortcut|shared=1>", "</Shortcut>", "END"}},
    {"self_closing_attribute_space", "<a b=\"c\" />", {"<a|b=c>", "</a>", "END"}},
    {"slash_after_bare_name_is_name", "<a b/>", {"<a|b/=>", "END"}},
    {"bare_name_then_space_slash", "<a b />", {"<a|b=>", "</a>", "END"}},
    {"unquoted_value_slash", "<a b=c/>", {"<a|b=c>", "</a>", "END"}},
    // Structure errors.
    {"gt_in_text", "<a>x > y</a>", {"<a>", "ERR:Unexpected '>'@1"}},
    {"gt_at_top_level", ">", {"ERR:Unexpected '>'@1"}},
    {"end_mismatch", "<a></b>", {"<a>", "ERR:End 'b' Doesn't Match Start 'a'@1"}},
    {"end_at_top_level", "</a>", {"ERR:Unexpected End@1"}},
    {"end_inside_tag", "<a", {"ERR:Unexpected End of File@1"}},
    {"end_inside_text", "<a>text", {"<a>", "ERR:Unexpected End of File@1"}},
    {"text_after_last_tag", "<a/>tail", {"<a>", "</a>", "ERR:Unexpected End of File@1"}},
    {"open_tags_at_end_are_fine", "<a><b>\n", {"<a>", "<b>", "END"}},
    {"lt_inside_tag", "<a <b>", {"ERR:Unexpected '<'@1"}},
    {"control_character", "<a>\x01</a>", {"<a>", "ERR:Illegal Character@1"}},
    {"control_character_in_quotes_is_kept", "<a>\"\x01\"</a>", {"<a>", "T:\"\\u0001\"", "</a>", "END"}},
    {"line_numbers_count_comment_lines", "<a>\n<!-- x\ny -->\n</b>",
     {"<a>", "ERR:End 'b' Doesn't Match Start 'a'@4"}},
    // Comments, instructions, CDATA.
    {"comment_not_delivered", "<a><!-- c --></a>", {"<a>", "</a>", "END"}},
    {"empty_comment_and_dashes", "<!----><a><!-- a->b --></a>", {"<a>", "</a>", "END"}},
    {"unterminated_comment", "<a><!-- c", {"<a>", "ERR:Unexpected End of File@1"}},
    {"declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Root/>",
     {"?xml| version=\"1.0\" encoding=\"UTF-8\" ", "<Root>", "</Root>", "END"}},
    {"instruction_without_body", "<?pi?><a/>", {"?pi|", "<a>", "</a>", "END"}},
    {"instruction_body_keeps_entities", "<?pi a &amp; b?>", {"?pi| a &amp; b", "END"}},
    {"cdata_is_not_decoded", "<a><![CDATA[x &amp; <y> \"z\"]]></a>",
     {"<a>", "CD:x &amp; <y> \"z\"", "</a>", "END"}},
    {"empty_cdata", "<a><![CDATA[]]></a>", {"<a>", "CD:", "</a>", "END"}},
    // Encodings.
    {"no_bom_reads_bytes", "<a>\xC3\xA9</a>", {"<a>", "T:\\u00C3\\u00A9", "</a>", "END"}},
    {"utf8_bom", kBom + "<a>\xC3\xA9\xE2\x82\xAC</a>", {"<a>", "T:\\u00E9\\u20AC", "</a>", "END"}},
    {"utf8_bom_and_declaration",
     kBom + "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Root></Root>",
     {"?xml| version=\"1.0\" encoding=\"UTF-8\" ", "<Root>", "</Root>", "END"}},
    {"utf8_four_byte_sequence", kBom + "<a>\xF0\x9F\x98\x80</a>",
     {"<a>", "T:\\uD83D\\uDE00", "</a>", "END"}},
    {"invalid_utf8", kBom + "<a>\xC3(</a>", {"<a>", "ERR:Illegal Character@1"}},
    {"invalid_utf8_first", kBom + "\xFF<a/>", {"ERR:Illegal Character@1"}},
    {"utf16le", Bytes("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0"),
     {"<a>", "T:\\u00E9", "</a>", "END"}},
    {"utf16be", Bytes("\xFE\xFF\0<\0a\0>\x20\xAC\0<\0/\0a\0>"),
     {"<a>", "T:\\u20AC", "</a>", "END"}},
    {"utf16_odd_byte", Bytes("\xFF\xFE<\0a\0>\0x"), {"<a>", "ERR:Illegal Character@1"}},
    // Text mode: CR LF is LF, 0x1A ends the input.
    {"crlf_counts_lines_once", "<a>\r\n\r\n</b>", {"<a>", "ERR:End 'b' Doesn't Match Start 'a'@3"}},
    {"crlf_in_quotes_becomes_lf", "<a>\"x\r\ny\"</a>", {"<a>", "T:\"x\\ny\"", "</a>", "END"}},
    {"lone_cr_stays", "<a>\"x\ry\"</a>", {"<a>", "T:\"x\\ry\"", "</a>", "END"}},
    {"ctrl_z_ends_input", "<a/>\x1A<b>", {"<a>", "</a>", "END"}},
    {"ctrl_z_inside_text", "<a>x\x1Ay</a>", {"<a>", "ERR:Unexpected End of File@1"}},
    // Utf-16 is read as stored: U+011A (bytes 1A 01) does not end the input.
    {"utf16_keeps_1a_byte", Bytes("\xFF\xFE<\0a\0>\0\x1A\x01<\0/\0a\0>\0"),
     {"<a>", "T:\\u011A", "</a>", "END"}},
    // Binary detection falls back to text, characters intact.
    {"partial_magic_is_text", "BINX<a/>", {"T:BINX", "<a>", "</a>", "END"}},
    {"magic_prefix_ends_early", "BINXM", {"ERR:Unexpected End of File@1"}},
    {"empty_input", "", {"END"}},
};

class DocumentTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(DocumentTest, FromMemory) {
  EXPECT_EQ(xmltest::ReadBytes(GetParam().input), GetParam().expected);
}

TEST_P(DocumentTest, FromFile) {
  testsupport::ScratchDir dir;
  std::string path = dir.file("doc.xml");
  ASSERT_TRUE(testsupport::WriteWholeFile(path, GetParam().input));
  XMLParser parser;
  ASSERT_TRUE(parser.Open(path));
  EXPECT_EQ(parser.SourceName(), path);
  EXPECT_EQ(ReadAll(parser), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Xml, DocumentTest, ::testing::ValuesIn(kDocuments),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(XmlParser, SectionPathsAsEachItemBegan) {
  XMLParser parser;
  parser.OpenBytes("<a><b>t<c/></b></a>");
  std::vector<std::string> sections;
  Items items = ReadAll(parser, &sections);
  EXPECT_EQ(items, (Items{"<a>", "<b>", "T:t", "<c>", "</c>", "</b>", "</a>", "END"}));
  EXPECT_EQ(sections, (Items{"", "a", "a/b", "a/b", "a/b/c", "a/b", "a"}));
}

TEST(XmlParser, RawValuesKeepReferences) {
  XMLParser parser;
  parser.OpenBytes("<a x=\"&lt;\" y=\"1\" x=\"&gt;\">A &amp; B</a>");
  XMLItem item;
  ASSERT_TRUE(parser.ReadNext(item));
  EXPECT_EQ(item.attributes.at(u"x"), u">");
  EXPECT_EQ(item.rawAttributes.at(u"x"), u"&gt;");
  EXPECT_EQ(item.rawAttributeOrder, (std::vector<WString>{u"y", u"x"}));
  EXPECT_EQ(item.GetAttribute(u"missing", u"dflt"), u"dflt");
  ASSERT_TRUE(parser.ReadNext(item));
  EXPECT_EQ(item.value, u"A & B");
  EXPECT_EQ(item.rawValue, u"A &amp; B");
  EXPECT_TRUE(item.attributes.empty());  // cleared between items
}

TEST(XmlParser, SetSourceTextReadsCharactersWithoutDecoding) {
  XMLParser parser;
  parser.SetSourceText(u"<a>\u20AC\xE9</a>");
  EXPECT_EQ(ReadAll(parser), (Items{"<a>", "T:\\u20AC\\u00E9", "</a>", "END"}));
  EXPECT_TRUE(parser.SourceName().empty());
}

// Only Open drops a byte-order mark; bytes set directly keep it as a
// character (the binary form's string table relies on that).
TEST(XmlParser, SetSourceBytesDetectsEncodingButNotBinary) {
  XMLParser parser;
  parser.SetSourceBytes(kBom + "<a>\xC3\xA9</a>");
  EXPECT_EQ(ReadAll(parser), (Items{"T:\\uFEFF", "<a>", "T:\\u00E9", "</a>", "END"}));
  parser.SetSourceBytes("BINXML");
  EXPECT_EQ(ReadAll(parser), (Items{"ERR:Unexpected End of File@1"}));
}

TEST(XmlParser, FailedOpenReportsThroughReadNext) {
  testsupport::ScratchDir dir;
  std::string missing = dir.file("missing.xml");
  XMLParser parser;
  EXPECT_FALSE(parser.Open(missing));
  XMLItem item;
  EXPECT_FALSE(parser.ReadNext(item));
  EXPECT_TRUE(parser.HasError());
  EXPECT_EQ(parser.ErrorText(), u"Unable to open file " + Widen(missing));
  EXPECT_EQ(parser.LineNumber(), 0u);
  EXPECT_TRUE(parser.SourceName().empty());
}

TEST(XmlParser, ErrorStopsReading) {
  XMLParser parser;
  parser.OpenBytes("<a>x > y</a><b/>");
  Items items = ReadAll(parser);
  EXPECT_EQ(items.back(), "ERR:Unexpected '>'@1");
  XMLItem item;
  EXPECT_FALSE(parser.ReadNext(item));
  EXPECT_EQ(parser.ErrorText(), u"Unexpected '>'");
}

TEST(XmlParser, ResetStartsAFreshDocument) {
  XMLParser parser;
  parser.OpenBytes("<a></b>");
  ReadAll(parser);
  ASSERT_TRUE(parser.HasError());
  parser.OpenBytes("<c/>");
  EXPECT_EQ(ReadAll(parser), (Items{"<c>", "</c>", "END"}));
  EXPECT_EQ(parser.LineNumber(), 1u);
}

// Files are read in pieces; a CR LF pair split across a piece boundary is
// still one LF, and items spanning boundaries arrive whole.
TEST(XmlParser, LargeFileAcrossReadBoundaries) {
  for (size_t boundary : {size_t(4096), size_t(16384)}) {
    std::string doc = "<a>";
    doc += std::string(boundary - 1 - doc.size(), ' ');
    doc += "\r\n<b v=\"" + std::string(20000, 'x') + "\"/>\r\n</a>";
    ASSERT_EQ(doc[boundary - 1], '\r');
    testsupport::ScratchDir dir;
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("big.xml"), doc));
    XMLParser parser;
    ASSERT_TRUE(parser.Open(dir.file("big.xml")));
    XMLItem item;
    ASSERT_TRUE(parser.ReadNext(item));
    ASSERT_TRUE(parser.ReadNext(item));
    EXPECT_EQ(item.attributes.at(u"v").size(), 20000u);
    EXPECT_EQ(parser.LineNumber(), 2u);
    ASSERT_TRUE(parser.ReadNext(item));
    ASSERT_TRUE(parser.ReadNext(item));
    EXPECT_EQ(item.value, u"a");
    EXPECT_EQ(parser.LineNumber(), 3u);
    EXPECT_FALSE(parser.ReadNext(item));
    EXPECT_FALSE(parser.HasError());
  }
}

}  // namespace
