// The binary form: bit reading, hand-built plain files for the layout rules,
// and text documents converted with BinaryXMLWriter and read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tests/xml/xml_test_helpers.h"
#include "xml/binary_xml_writer.h"
#include "xml/bit_reader.h"
#include "xml/bit_writer.h"
#include "xml/xml_parser.h"

using BrioCommon::BinaryXMLWriter;
using BrioCommon::BitReader;
using BrioCommon::BitWriter;
using BrioCommon::XMLItem;
using BrioCommon::XMLParser;
using xmltest::ReadAll;
using Items = std::vector<std::string>;

namespace {

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// Words as the file holds them: four bytes each, little-endian.
std::string Words(std::initializer_list<uint32_t> words) {
  std::string out;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(w >> (8 * i)));
  return out;
}

TEST(BitReader, PackedExamples) {
  // 5 = 0 111 0 00000101, 0 = 0 1111: bits taken from the top of each word.
  BitReader five(Words({0x70280000}));
  uint32_t v = 99;
  ASSERT_TRUE(five.ReadPackedBigEndian(&v));
  EXPECT_EQ(v, 5u);
  EXPECT_EQ(five.BitsLeft(), 32u - 13);

  BitReader zero(Words({0x78000000}));
  ASSERT_TRUE(zero.ReadPackedBigEndian(&v));
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(zero.BitsLeft(), 32u - 5);
}

TEST(BitReader, NoZeroByteReadsOneWordGroup) {
  // 0, 0, then the 32 bits of 0x01020304: delivered as one group, so the
  // first eight bits read (0x01) become the least significant byte.
  const std::string bits = Words({0x004080C1, 0});
  uint32_t v;
  BitReader big(bits);
  ASSERT_TRUE(big.ReadPackedBigEndian(&v));
  EXPECT_EQ(v, 0x04030201u);
  BitReader little(bits);
  ASSERT_TRUE(little.ReadPackedLittleEndian(&v));
  EXPECT_EQ(v, 0x01020304u);
}

TEST(BitReader, GroupsAndPartialBytes) {
  BitReader r(Words({0x12345678, 0x9ABCDEF0}));
  uint8_t out[8] = {};
  ASSERT_TRUE(r.Read(44, out));  // one 32-bit group, one byte, four bits
  EXPECT_EQ(out[0], 0x78);
  EXPECT_EQ(out[3], 0x12);
  EXPECT_EQ(out[4], 0x9A);
  EXPECT_EQ(out[5], 0x0B);
  EXPECT_FALSE(r.Read(21, out));  // 20 left: nothing consumed
  EXPECT_EQ(r.BitsLeft(), 20u);
  uint32_t v;
  ASSERT_TRUE(r.ReadNumber(20, &v));
  EXPECT_EQ(v, 0xCDEF0u);
}

TEST(BitReader, FailuresConsumeNothing) {
  BitReader negative(Words({0x80000000}));  // sign bit set
  uint32_t v;
  EXPECT_FALSE(negative.ReadPackedBigEndian(&v));
  EXPECT_EQ(negative.BitsLeft(), 32u);
  BitReader short_value(Words({0x00000000}));  // flags end, 32 bits missing
  EXPECT_FALSE(short_value.ReadPackedBigEndian(&v));
  EXPECT_EQ(short_value.BitsLeft(), 32u);
  BitReader partial("\x01");  // a partial word reads as a whole one
  EXPECT_EQ(partial.BitsLeft(), 32u);
}

TEST(BitWriter, ProducesTheReaderExamples) {
  struct Case {
    uint32_t value;
    bool little_endian;
    std::string words;
  };
  const Case cases[] = {
      {5, false, Words({0x70280000})},
      {0, false, Words({0x78000000})},
      {0x04030201, false, Words({0x004080C1, 0})},
      {0x01020304, true, Words({0x004080C1, 0})},
  };
  for (const Case& c : cases) {
    BitWriter w;
    if (c.little_endian)
      w.WritePackedLittleEndian(c.value);
    else
      w.WritePackedBigEndian(c.value);
    EXPECT_EQ(w.ToBytes(), c.words) << c.value;
  }
  // Every length and count the writer emits reads back.
  BitWriter w;
  const uint32_t values[] = {1, 255, 256, 257, 65535, 65536, 0x00FF0000, 0x80000000, 0xFFFFFFFF};
  for (uint32_t v : values) {
    w.WritePackedBigEndian(v);
    w.WritePackedLittleEndian(v);
  }
  BitReader r(w.ToBytes());
  for (uint32_t v : values) {
    uint32_t big = 0, little = 0;
    ASSERT_TRUE(r.ReadPackedBigEndian(&big));
    ASSERT_TRUE(r.ReadPackedLittleEndian(&little));
    EXPECT_EQ(big, v);
    EXPECT_EQ(little, v);
  }
}

// ---- Hand-built plain files ----

std::string PlainTable(const std::vector<std::string>& strings) {
  std::string out = "BINXML";
  out.push_back(0);
  uint32_t n = static_cast<uint32_t>(strings.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(n >> (8 * i)));
  for (const std::string& s : strings) {
    out.push_back(static_cast<char>(s.size()));
    out += s;
  }
  return out;
}

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back("s" + std::to_string(i));
  return out;
}

struct PlainCase {
  const char* name;
  std::string file;
  Items expected;
};

const std::vector<std::string> kAB = {"a", "b", "x &amp; y"};

const PlainCase kPlainCases[] = {
    {"one_byte_indices_below_256", PlainTable(Numbered(200)) + Bytes("\x01\xC7\x00\x02\xC7"),
     {"<s199>", "</s199>", "END"}},
    {"two_byte_indices_from_256", PlainTable(Numbered(300)) + Bytes("\x01\x2B\x01\x00\x02\x2B\x01"),
     {"<s299>", "</s299>", "END"}},
    {"attributes_last_wins", PlainTable(kAB) + Bytes("\x01\x00\x03\x00\x00\x01\x02\x00\x01\x02\x00"),
     {"<a|b=x & y|a=b>", "</a>", "END"}},
    {"element_and_cdata_decoded", PlainTable(kAB) + Bytes("\x03\x02\x06\x02"),
     {"T:x & y", "CD:x & y", "END"}},
    {"instruction", PlainTable(kAB) + Bytes("\x04\x00\x02"), {"?a|x &amp; y", "END"}},
    {"ends_before_type_byte", PlainTable(kAB), {"END"}},
    {"ends_inside_record", PlainTable(kAB) + Bytes("\x01\x00"), {"ERR:File Corrupted@0"}},
    {"ends_inside_attributes", PlainTable(kAB) + Bytes("\x01\x00\x01\x00"), {"ERR:File Corrupted@0"}},
    {"comment_type", PlainTable(kAB) + Bytes("\x05\x00"), {"ERR:File Corrupted@0"}},
    {"type_7", PlainTable(kAB) + Bytes("\x07\x00"), {"ERR:File Corrupted@0"}},
    {"type_0", PlainTable(kAB) + Bytes("\x00\x00"), {"ERR:File Corrupted@0"}},
    {"index_beyond_table", PlainTable(kAB) + Bytes("\x03\x03"), {"ERR:File Corrupted@0"}},
    {"end_mismatch", PlainTable(kAB) + Bytes("\x01\x00\x00\x02\x01"),
     {"<a>", "ERR:End 'b' Doesn't Match Start 'a'@0"}},
    {"end_at_top", PlainTable(kAB) + Bytes("\x02\x00"), {"ERR:Unexpected End@0"}},
    {"no_mode_byte", "BINXML", {"ERR:Unexpected End of File@0"}},
    {"bad_mode_byte", Bytes("BINXML\x02\x00\x00\x00\x00"), {"ERR:File Corrupted@0"}},
    {"short_table_count", Bytes("BINXML\x00\x01\x00"), {"ERR:File Corrupted@0"}},
    {"table_shorter_than_count", Bytes("BINXML\x00\x03\x00\x00\x00\x01" "a"), {"ERR:File Corrupted@0"}},
    {"huge_string_length", Bytes("BINXML\x00\x01\x00\x00\x00\xFF\xFF\xFF\xFF\x7F" "abc"),
     {"ERR:File Corrupted@0"}},
    {"invalid_utf8_in_table", PlainTable({"\xC3("}) + Bytes("\x03\x00"), {"ERR:File Corrupted@0"}},
    // Bytes after the magic are raw: no CR LF or 0x1A rule applies.
    {"raw_bytes_after_magic", PlainTable({"a\r\nb\x1A" "c"}) + Bytes("\x03\x00"),
     {"T:a\\r\\nb\\u001Ac", "END"}},
    {"utf8_table", PlainTable({"\xEF\xBB\xBF\xC3\xA9"}) + Bytes("\x03\x00"),
     {"T:\\uFEFF\\u00E9", "END"}},
};

class PlainFileTest : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainFileTest, FromMemory) {
  EXPECT_EQ(xmltest::ReadBytes(GetParam().file), GetParam().expected);
}

TEST_P(PlainFileTest, FromFile) {
  testsupport::ScratchDir dir;
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("b.xml"), GetParam().file));
  XMLParser parser;
  ASSERT_TRUE(parser.Open(dir.file("b.xml")));
  EXPECT_EQ(parser.LineNumber(), 0u);
  EXPECT_EQ(ReadAll(parser), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Binary, PlainFileTest, ::testing::ValuesIn(kPlainCases),
                         [](const ::testing::TestParamInfo<PlainCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BinaryXml, NothingAfterErrorOrEnd) {
  XMLParser parser;
  parser.OpenBytes(PlainTable(kAB) + Bytes("\x07\x03\x00"));
  XMLItem item;
  EXPECT_FALSE(parser.ReadNext(item));
  EXPECT_FALSE(parser.ReadNext(item));
  EXPECT_EQ(parser.ErrorText(), u"File Corrupted");
  parser.OpenBytes(PlainTable(kAB) + Bytes("\x03\x00"));
  EXPECT_TRUE(parser.ReadNext(item));
  EXPECT_FALSE(parser.ReadNext(item));
  EXPECT_FALSE(parser.ReadNext(item));
  EXPECT_FALSE(parser.HasError());
}

// ---- Packed streams built bit by bit ----

std::string Packed(const BitWriter& bits) { return Bytes("BINXML\x01") + bits.ToBytes(); }

BitWriter PackedTable(const std::vector<std::string>& strings) {
  BitWriter w;
  w.WritePackedBigEndian(static_cast<uint32_t>(strings.size()));
  for (const std::string& s : strings) {
    w.WritePackedLittleEndian(static_cast<uint32_t>(s.size()));
    w.WriteBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  }
  return w;
}

TEST(PackedXml, EndMarkAndPadding) {
  BitWriter w = PackedTable({"a", "b"});
  w.Write(3, 3);  // Element "b"
  w.WritePackedBigEndian(1);
  w.Write(0, 3);
  EXPECT_EQ(xmltest::ReadBytes(Packed(w)), (Items{"T:b", "END"}));
  // Zero padding is read as empty types until fewer than 8 bits remain, so
  // whole words of it still end the stream normally.
  while (w.BitCount() % 32 != 0) w.Write(0, 1);
  w.Write(0, 32);
  EXPECT_EQ(xmltest::ReadBytes(Packed(w)), (Items{"T:b", "END"}));
}

TEST(PackedXml, StreamEndingWithoutRoomForTypeIsUnexpectedEnd) {
  // Seven empty strings make a 48-bit table; two 8-bit records then fill
  // the words exactly, leaving nothing for the next type bits.
  BitWriter exact = PackedTable(std::vector<std::string>(7));
  ASSERT_EQ(exact.BitCount(), 48u);
  for (int i = 0; i < 2; ++i) {
    exact.Write(3, 3);
    exact.WritePackedBigEndian(0);
  }
  ASSERT_EQ(exact.BitCount(), 64u);
  EXPECT_EQ(xmltest::ReadBytes(Packed(exact)), (Items{"T:", "T:", "ERR:Unexpected End of File@0"}));
}

TEST(PackedXml, TypeBitsCutShortIsUnexpectedEnd) {
  // 38 bits of table and three 8-bit records end at bit 62; the last two
  // bits cannot hold a type.
  BitWriter w = PackedTable(std::vector<std::string>(5));
  for (int i = 0; i < 3; ++i) {
    w.Write(3, 3);
    w.WritePackedBigEndian(0);
  }
  ASSERT_EQ(w.BitCount(), 62u);
  w.Write(3, 2);
  EXPECT_EQ(xmltest::ReadBytes(Packed(w)),
            (Items{"T:", "T:", "T:", "ERR:Unexpected End of File@0"}));
}

TEST(PackedXml, CorruptedRecords) {
  const uint32_t bad_types[] = {5, 7};
  for (uint32_t type : bad_types) {
    BitWriter w = PackedTable({"a"});
    w.Write(type, 3);
    w.WritePackedBigEndian(0);
    w.Write(0, 3);
    EXPECT_EQ(xmltest::ReadBytes(Packed(w)), (Items{"ERR:File Corrupted@0"})) << type;
  }
  BitWriter index = PackedTable({"a"});
  index.Write(3, 3);
  index.WritePackedBigEndian(1);  // beyond the table
  index.Write(0, 3);
  EXPECT_EQ(xmltest::ReadBytes(Packed(index)), (Items{"ERR:File Corrupted@0"}));
  BitWriter table;
  table.WritePackedBigEndian(2);
  table.WritePackedLittleEndian(1000);  // longer than the stream
  EXPECT_EQ(xmltest::ReadBytes(Packed(table)), (Items{"ERR:File Corrupted@0"}));
}

// ---- Round trips through the writer ----

const char* const kRoundTripDocuments[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Root a=\"1\" b=\"&lt;x&gt;\">text &amp; more"
    "<Child/></Root>",
    "<Install><Program Path=\"%InstallPath%\\setup.exe\" Args=\"/q\"><SuccessCode>0</SuccessCode>"
    "<SuccessCode>3010</SuccessCode></Program><!-- note --><Shortcut shared=\"1\"/></Install>",
    "<a x=\"1\" x=\"2\" &#120;=\"3\"><![CDATA[ raw &amp; <kept> ]]><?pi body &amp; ?></a>",
    "<a>\xC3\xA9 &#x20AC; &cr; \"quoted   text\"</a>",
    "\xEF\xBB\xBF<a>\xF0\x9F\x98\x80 &nbsp;</a>",
    "<a><b><c>deep</c></b></a>",
};

Items ReadWithSections(XMLParser& parser) {
  std::vector<std::string> sections;
  Items items = ReadAll(parser, &sections);
  for (size_t i = 0; i < sections.size(); ++i) items[i] += " @" + sections[i];
  return items;
}

std::string Convert(const std::string& doc, BinaryXMLWriter::Mode mode) {
  XMLParser source;
  source.OpenBytes(doc);
  BinaryXMLWriter writer;
  WString error;
  EXPECT_TRUE(writer.AddDocument(source, &error)) << xmltest::Show(error);
  std::string binary;
  EXPECT_TRUE(writer.Write(mode, &binary, &error)) << xmltest::Show(error);
  return binary;
}

TEST(BinaryXmlWriter, RoundTripsDeliverTheSameItems) {
  for (const char* doc : kRoundTripDocuments) {
    XMLParser text;
    text.OpenBytes(doc);
    Items expected = ReadWithSections(text);
    ASSERT_EQ(expected.back(), "END") << doc;
    for (auto mode : {BinaryXMLWriter::Plain, BinaryXMLWriter::Packed}) {
      XMLParser reader;
      reader.OpenBytes(Convert(doc, mode));
      EXPECT_EQ(ReadWithSections(reader), expected) << doc << " mode " << mode;
    }
  }
}

// Sizes that cross every length and index encoding: strings of 253 to 1028
// bytes (plain long lengths; packed chunks and odd tails), 300 attributes
// (long attribute count), a table of over 256 strings (16-bit plain indices).
TEST(BinaryXmlWriter, LargeCountsAndLengths) {
  std::string doc = "<r";
  for (int i = 0; i < 300; ++i) doc += " a" + std::to_string(i) + "=\"v\"";
  doc += ">";
  for (size_t len : {size_t(253), size_t(254), size_t(256), size_t(299), size_t(1027)})
    doc += "<s>" + std::string(len, 'x') + "y</s>";
  doc += "</r>";
  XMLParser text;
  text.OpenBytes(doc);
  Items expected = ReadAll(text);
  ASSERT_EQ(expected.back(), "END");
  for (auto mode : {BinaryXMLWriter::Plain, BinaryXMLWriter::Packed}) {
    XMLParser reader;
    reader.OpenBytes(Convert(doc, mode));
    EXPECT_TRUE(ReadAll(reader) == expected) << "mode " << mode;
  }
}

// 70000 strings: plain indices take 32 bits.
TEST(BinaryXmlWriter, HugeStringTable) {
  BinaryXMLWriter writer;
  XMLItem item;
  item.type = BrioCommon::Element;
  for (int i = 0; i < 70000; ++i) {
    item.value = item.rawValue = Widen(std::to_string(i));
    writer.Add(item);
  }
  for (auto mode : {BinaryXMLWriter::Plain, BinaryXMLWriter::Packed}) {
    std::string binary;
    WString error;
    ASSERT_TRUE(writer.Write(mode, &binary, &error));
    XMLParser reader;
    reader.OpenBytes(binary);
    int count = 0;
    WString last;
    while (reader.ReadNext(item)) {
      ++count;
      last = item.value;
    }
    EXPECT_FALSE(reader.HasError());
    EXPECT_EQ(count, 70000);
    EXPECT_EQ(last, u"69999");
  }
}

TEST(BinaryXmlWriter, HandBuiltItemsAndUnencodableText) {
  BinaryXMLWriter writer;
  XMLItem start;
  start.type = BrioCommon::SectionStart;
  start.value = u"a&b";
  start.attributes[u"k"] = u"1 & 2";
  start.attributeOrder.push_back(u"k");
  writer.Add(start);
  XMLItem cdata;
  cdata.type = BrioCommon::CData;
  cdata.value = cdata.rawValue = u"&amp;";
  writer.Add(cdata);
  XMLItem comment;
  comment.type = BrioCommon::Comment;
  writer.Add(comment);  // never stored
  EXPECT_EQ(writer.ItemCount(), 2u);
  std::string binary;
  WString error;
  ASSERT_TRUE(writer.Write(BinaryXMLWriter::Packed, &binary, &error));
  EXPECT_EQ(xmltest::ReadBytes(binary), (Items{"<a&b|k=1 & 2>", "CD:&amp;", "END"}));

  XMLItem lone;
  lone.type = BrioCommon::Element;
  lone.value = lone.rawValue = WString(1, 0xD800);
  writer.Add(lone);
  EXPECT_FALSE(writer.Write(BinaryXMLWriter::Plain, &binary, &error));
  EXPECT_FALSE(error.empty());
}

TEST(BinaryXmlWriter, ConvertsFilesAndReportsReaderErrors) {
  testsupport::ScratchDir dir;
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("in.xml"), "<a>\r\n<b c=\"d\"/></a>"));
  WString error;
  ASSERT_TRUE(BrioCommon::ConvertXMLFileToBinary(dir.file("in.xml"), dir.file("out.bin"),
                                                 BinaryXMLWriter::Packed, &error));
  XMLParser parser;
  ASSERT_TRUE(parser.Open(dir.file("out.bin")));
  EXPECT_EQ(ReadAll(parser), (Items{"<a>", "<b|c=d>", "</b>", "</a>", "END"}));

  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("bad.xml"), "<a>\n</b>"));
  EXPECT_FALSE(BrioCommon::ConvertXMLFileToBinary(dir.file("bad.xml"), dir.file("bad.bin"),
                                                  BinaryXMLWriter::Plain, &error));
  EXPECT_EQ(error, u"End 'b' Doesn't Match Start 'a' on Line 2 in File '" +
                       Widen(dir.file("bad.xml")) + u"'");
}

}  // namespace
