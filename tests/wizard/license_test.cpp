// The license page's file handling and internal-link arithmetic, and which
// retailer icons outlive the run.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "wizard/license_links.h"
#include "wizard/license_text.h"
#include "wizard/retailer_icons.h"

namespace {

TEST(LicenseText, RichTextTwinOfTheFileName) {
  const struct { const char* path; const char* rtf; } cases[] = {
      {"C:\\Temp\\zelcfg1a\\license.txt", "C:\\Temp\\zelcfg1a\\license.rtf"},
      {"C:\\Temp\\zelcfg1a\\eula.rtf", "C:\\Temp\\zelcfg1a\\eula.rtf"},
      {"C:\\Temp\\zelcfg1a\\terms.en.txt", "C:\\Temp\\zelcfg1a\\terms.en.rtf"},
      {"C:\\Users\\jo.ann\\Temp\\license", ""},  // a dot in a folder is no extension
      {"license", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RichTextLicensePath(c.path), c.rtf) << c.path;
}

TEST(LicenseText, RichTextOnlyWhenTheFirstLineSaysSo) {
  testsupport::ScratchDir dir;
  const struct { const char* bytes; RichTextLicenseStatus status; const char* text; } cases[] = {
      {"{\\rtf1\\ansi Terms}", RichTextLicenseStatus::kLoaded, "{\\rtf1\\ansi Terms}\n"},
      {"{\\rtf1\n\\b Terms\\b0\n}\n", RichTextLicenseStatus::kLoaded, "{\\rtf1\n\\b Terms\\b0\n}\n"},
      {"\xEF\xBB\xBF{\\rtf1 Terms}", RichTextLicenseStatus::kNotRtf, ""},
      {" {\\rtf1 Terms}", RichTextLicenseStatus::kNotRtf, ""},
      {"", RichTextLicenseStatus::kNotRtf, ""},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("license.rtf"), std::string(c.bytes)));
    std::string text;
    EXPECT_EQ(LoadRichTextLicense(dir.file("license.rtf"), &text), c.status) << c.bytes;
    EXPECT_EQ(text, c.text) << c.bytes;
  }
  std::string text;
  EXPECT_EQ(LoadRichTextLicense(dir.file("missing.rtf"), &text), RichTextLicenseStatus::kMissing);
}

TEST(LicenseText, PlainTextHasWindowsLineEndsInEveryEncoding) {
  testsupport::ScratchDir dir;
  const struct { std::string bytes; std::u16string text; } cases[] = {
      {"Terms\nof use\r\n\r\nend", u"Terms\r\nof use\r\n\r\nend"},
      {"\xEF\xBB\xBF" "caf\xC3\xA9\n", u"caf\u00E9\r\n"},
      {std::string("\xFF\xFE" "A\0\n\0\x1A\x01", 8), u"A\r\n\u011A"},  // 0x1A is half of a character here
      {std::string("\xFE\xFF\0B\0\r\0\n", 8), u"B\r\n"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("license.txt"), c.bytes));
    EXPECT_EQ(LoadPlainLicense(dir.file("license.txt")), c.text);
  }
  EXPECT_EQ(LoadPlainLicense(dir.file("missing.txt")), u"");
}

// Text written with ** around bold, __ around underlined and [] around link
// characters, turned into the plain text and one format per character.
void Markup(const std::string& marked, std::string* text, std::vector<LicenseCharFormat>* formats) {
  LicenseCharFormat f;
  for (size_t i = 0; i < marked.size(); ++i) {
    if (marked.compare(i, 2, "**") == 0) { f.bold = !f.bold; ++i; continue; }
    if (marked.compare(i, 2, "__") == 0) { f.underline = !f.underline; ++i; continue; }
    if (marked[i] == '[' || marked[i] == ']') { f.link = marked[i] == '['; continue; }
    *text += marked[i];
    formats->push_back(f);
  }
}

TEST(LicenseLinks, ReferencesJumpToTheHeadingThatNamesThem) {
  const struct {
    const char* marked;
    std::map<int32_t, LicenseLinkTarget> targets;
  } cases[] = {
      // "limitation of liability" lies at offset 3 of the heading at 0.
      {"**7. Limitation of Liability**\nSee __limitation of liability__ below.",
       {{31, {3, 26, "7. limitation of liability"}}}},
      // The first heading, in text order, that contains the words wins.
      {"**1. Fees**\n**2. Refund of Fees**\nAs in __fees__, and __refund__.",
       {{32, {3, 7, "1. fees"}}, {42, {11, 17, "2. refund of fees"}}}},
      // Too short, unmatched, or still open at the end: no link.
      {"**Scope**\n__s__ and __nothing__ and __scope__", {}},
      // Underlined web addresses are the control's own links.
      {"**Support**\nMail __[support]__ or __support__.", {{24, {0, 7, "support"}}}},
      // A heading that is also underlined is no heading.
      {"**__Warranty__**\nThe __warranty__ text.", {}},
  };
  for (const auto& c : cases) {
    std::string text;
    std::vector<LicenseCharFormat> formats;
    Markup(c.marked, &text, &formats);
    LicenseLinks links = FindLicenseLinks(text, formats);
    ASSERT_EQ(links.targets.size(), c.targets.size()) << c.marked;
    for (const auto& [at, want] : c.targets) {
      ASSERT_TRUE(links.targets.count(at)) << c.marked << " at " << at;
      const LicenseLinkTarget& got = links.targets.at(at);
      EXPECT_EQ(got.start, want.start) << c.marked;
      EXPECT_EQ(got.end, want.end) << c.marked;
      EXPECT_EQ(got.heading, want.heading) << c.marked;
    }
  }
}

TEST(RetailerIcons, TheChosenRetailersIconsStayWhateverTheirCase) {
  std::vector<std::string> resources = {"C:\\Games\\a.ico", "C:\\Games\\B.ICO", "C:\\Temp\\setup.tmp",
                                        "C:\\Games\\c.ico", "c:\\games\\A.ICO"};
  KeepChosenRetailerIcons(&resources, {"C:\\GAMES\\A.ico", "C:\\Games\\c.ico"});
  EXPECT_EQ(resources, (std::vector<std::string>{"C:\\Games\\B.ICO", "C:\\Temp\\setup.tmp"}));
}

}  // namespace
