// The uninstaller's texts: the language copy beside the log first, English
// where it lacks a text or is missing, and the slots filled once.
#include "uninstaller/uninstall_texts.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using T = UninstallText;

TEST(UninstallTexts, EnglishWithoutCopyLanguageWithIt) {
  testsupport::ScratchDir dir;
  const std::string log = dir.file("install.log");
  const UninstallTexts english = LoadUninstallTexts(log);  // no copy at all
  EXPECT_EQ(english.Get(T::kConfirm, {{u"InstallName", u"Star Courier"}, {u"Details", u"3 files"}}),
            u"Remove Star Courier and all of its components?\n\n(3 files)");
  EXPECT_EQ(english.Get(T::kUserData, {{u"InstallName", u"X"}, {u"Found", u"C:\\a\nHKCU\\b"}}),
            u"Also remove the saved games and settings of X?\n\nC:\\a\nHKCU\\b\n\nChoose No to keep them.");
  EXPECT_EQ(english.Get(T::kCaption, {{u"InstallName", u"X"}}), u"X Uninstall");

  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("install_props.xml"),
                                          "<Properties><String id=\"UNINSTALL_DONE_TEXT\">%InstallName% wurde "
                                          "entfernt.</String><String id=\"UNINSTALL_TITLE\"></String></Properties>"));
  const UninstallTexts german = LoadUninstallTexts(log);
  // A value holding a slot's mark is not filled again.
  EXPECT_EQ(german.Get(T::kRemoved, {{u"InstallName", u"%Report%"}, {u"Report", u"r"}}), u"%Report% wurde entfernt.");
  EXPECT_EQ(german.Get(T::kCaption, {{u"InstallName", u"X"}}), u"X Uninstall");  // empty: English
  EXPECT_EQ(german.Get(T::kReportNote), u"The full report is in %Report%");

  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("install_props.xml"), "<Properties><String>"));
  EXPECT_EQ(LoadUninstallTexts(log).Get(T::kRemoved, {{u"InstallName", u"X"}}), u"X was removed.");
}

TEST(UninstallTexts, CopyPathBesideTheLog) {
  EXPECT_EQ(PropertiesCopyPath("C:\\Games\\My.Game\\Install.log"), "C:\\Games\\My.Game\\Install_props.xml");
  EXPECT_EQ(PropertiesCopyPath("C:\\Games\\My.Game\\log"), "C:\\Games\\My.Game\\log_props.xml");
}

}  // namespace
