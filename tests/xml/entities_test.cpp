// Entity decoding and escaping, and that escaped values survive being
// written into a document and read back through the whitespace rules.
#include <gtest/gtest.h>

#include "tests/xml/xml_test_helpers.h"
#include "xml/entities.h"
#include "xml/xml_parser.h"

using BrioCommon::DecodeEntities;
using BrioCommon::EncodeEntities;
using xmltest::Show;

namespace {

struct DecodeCase {
  const char16_t* input;
  const char* expected;  // as Show() renders it
};

const DecodeCase kDecodeCases[] = {
    {u"a &lt; b &gt; c &amp; d", "a < b > c & d"},
    {u"&quot;&apos;", "\"'"},
    {u"&nbsp;x", " x"},
    {u"a&cr;b", "a\\nb"},
    {u"&#65;&#10;&#32;", "A\\n "},
    {u"&#x41;&#x4a;&#x4A;", "AJJ"},
    {u"&#x20AC;", "\\u20AC"},
    {u"&bogus;", "&"},
    {u"&;", "&"},
    {u"&#;", "&"},
    {u"&LT;", "&"},          // names are case-sensitive
    {u"a & b", "a & b"},     // no ";" anywhere after
    {u"p & q; r", "p & r"},  // the reference runs to the next ";"
    {u"&&amp;", "&"},        // "&&amp;" is one reference named "&amp"
    {u"x&", "x&"},
    {u"&#0;", "\\u0000"},
    {u"&#x10000;", "\\uFFFD"},  // beyond 16 bits: one replacement character
    {u"&#12a;", "\\uFFFD"},     // digits that do not parse
    {u"&#X41;", "\\uFFFD"},     // only a lower-case x means hexadecimal
    {u"&#99999999999999999999;", "\\uFFFD"},
};

TEST(DecodeEntities, Table) {
  for (const DecodeCase& c : kDecodeCases)
    EXPECT_EQ(Show(DecodeEntities(c.input)), c.expected) << Show(c.input);
}

struct EncodeCase {
  const char* input;
  const char* expected;
};

const EncodeCase kEncodeCases[] = {
    {"a  b", "a &#32;b"},
    {"a ", "a&#32;"},
    {" a", "&#32;a"},
    {"   ", "&#32;&#32;&#32;"},
    {"a b c", "a b c"},
    {"x\ny", "x&#10;y"},
    {"<\"&'>", "&lt;&quot;&amp;&apos;&gt;"},
    {"a\r\tb", "a\r\tb"},
    {"a\n b", "a&#10; b"},
    {"", ""},
};

TEST(EncodeEntities, NarrowAndWideAgree) {
  for (const EncodeCase& c : kEncodeCases) {
    EXPECT_EQ(EncodeEntities(std::string(c.input)), c.expected) << c.input;
    EXPECT_EQ(EncodeEntities(Widen(c.input)), Widen(c.expected)) << c.input;
  }
}

// Whatever runs of spaces, line feeds and markup characters a value holds,
// writing it escaped into an element and reading the element back gives the
// value again.
TEST(EncodeEntities, SurvivesReadingBack) {
  const char16_t* values[] = {u"a  b", u" lead", u"trail ", u"  both  ", u"x\ny",
                              u"<tag attr=\"v\"> & 'q'", u"\u20AC  \u00E9", u" ", u"a \n b"};
  for (const char16_t* value : values) {
    BrioCommon::XMLParser parser;
    parser.SetSourceText(u"<V>" + EncodeEntities(WString(value)) + u"</V>");
    BrioCommon::XMLItem item;
    ASSERT_TRUE(parser.ReadNext(item));
    ASSERT_TRUE(parser.ReadNext(item)) << Show(value);
    EXPECT_EQ(item.type, BrioCommon::Element);
    EXPECT_EQ(item.value, value);
  }
}

}  // namespace
