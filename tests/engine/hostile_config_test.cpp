// Configuration files made to exhaust the installer: documents nested
// thousands deep and defines texts of several megabytes. Each must end
// quickly with a clear error or a correct result, never a crash.
#include <gtest/gtest.h>

#include <memory>

#include "config/defines_parser.h"
#include "engine/install_config.h"
#include "support/test_support.h"
#include "xml/xml_parser.h"

namespace {

std::string Nested(const std::string& outer_open, int depth, const std::string& outer_close) {
  std::string doc = outer_open;
  for (int i = 0; i < depth; ++i) doc += "<a>";
  doc += "x";
  for (int i = 0; i < depth; ++i) doc += "</a>";
  return doc + outer_close;
}

TEST(HostileConfig, DeeplyNestedDocuments) {
  // The reader itself walks 10,000 levels without recursion.
  BrioCommon::XMLParser xml;
  xml.OpenBytes(Nested("", 10000, ""), "deep.xml");
  BrioCommon::XMLItem item;
  int items = 0;
  while (xml.ReadNext(item)) ++items;
  EXPECT_FALSE(xml.HasError()) << Narrow(xml.ErrorText());
  EXPECT_EQ(items, 20001);

  // install.xml, at the top and inside a record: a clear error.
  for (const auto& doc : {Nested("<InstallConfig>", 10000, "</InstallConfig>"),
                          Nested("<InstallConfig><PreExec>", 10000, "</PreExec></InstallConfig>")}) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("install.xml");
    ASSERT_TRUE(testsupport::WriteWholeFile(path, doc));
    BrioCommon::InstallConfigParser config;
    EXPECT_FALSE(config.ParseFile(path));
    EXPECT_NE(config.GetErrorText().find("'a'"), std::string::npos) << config.GetErrorText();
  }

  // A defines text nested as deep.
  DefinesParser defines;
  EXPECT_FALSE(defines.ParseText(Nested("<Defines><Define>", 10000, "</Define></Defines>")));
  EXPECT_FALSE(defines.ErrorText().empty());
}

TEST(HostileConfig, DefinesTextsOfSeveralMegabytes) {
  // 100,000 defines, then one value of 4 MB: all kept exactly.
  std::string text = "<Defines>";
  for (int i = 0; i < 100000; ++i)
    text += "<Define><Name>V" + std::to_string(i) + "</Name><Value>" + std::to_string(i) + "</Value></Define>";
  const std::string huge(4 << 20, 'h');
  text += "<Define><Name>Huge</Name><Value>" + huge + "</Value></Define></Defines>";
  DefinesParser defines;
  ASSERT_TRUE(defines.ParseText(text)) << defines.ErrorText();
  EXPECT_EQ(defines.Variables().size(), 100001u);
  EXPECT_EQ(Narrow(defines.GetVariable(u"v99999")), "99999");
  EXPECT_EQ(defines.GetVariable(u"HUGE").size(), huge.size());

  // Unterminated after megabytes: an error, not a hang.
  DefinesParser cut;
  EXPECT_FALSE(cut.ParseText(text.substr(0, text.size() - 30)));
  EXPECT_FALSE(cut.ErrorText().empty());
}

}  // namespace
