// Built-in variables and default strings, on the host and under Wine.
#include <gtest/gtest.h>

#include "config/builtin_variables.h"
#include "config/expand.h"
#include "tests/config/config_test_support.h"

namespace {

using configtest::Show;

class BuiltinVariablesTest : public configtest::ConfigTest {};

TEST_F(BuiltinVariablesTest, DefaultStrings) {
  SetBuiltinVariables(MainVariables(), IsVista());
  const auto& defaults = DefaultStrings();
  ASSERT_EQ(defaults.size(), 32u);
  EXPECT_EQ(WString(defaults.front().id), u"INSTALL_ERROR");
  EXPECT_EQ(WString(defaults.back().id), u"INSTALLING_PREREQ_MESSAGE");
  for (const DefaultString& s : defaults) EXPECT_EQ(MainVariables().GetVariable(s.id), s.text);

  EXPECT_EQ(Show(Expand(u"%INVALID_PATH_CHARACTER_TEXT%", true)),
            "The path specified contains an invalid character.  Please select a different path.");
  EXPECT_EQ(Show(Expand(u"%INVALID_DRIVE_SPECIFIED%", true)),
            "The drive specified is not valid.  Please select a different path.");
  EXPECT_EQ(Show(Expand(u"%DRIVE_NOT_SUFFICIENT%", true)),
            "The drive specified does not have sufficient space. Please select a different path.");
  // Names are case-insensitive, and the defaults refer to each other.
  EXPECT_EQ(Show(Expand(u"%GameFiles%", true)), "game files");
  EXPECT_EQ(Show(Expand(u"%OPTIONS_FILEASSOC_TEXT%", true)), "Associate game files with This Program.");
  EXPECT_EQ(Show(Expand(u"%STORESELECT_DIALOG_TITLE%", true)), "This Program Installer");
  // UI IDs without a default stay empty.
  EXPECT_EQ(Show(Expand(u"[%FATAL_POPUP_TITLE%][%BUTTON_NEXT%]", true)), "[][]");
}

TEST_F(BuiltinVariablesTest, SystemFolders) {
  SetBuiltinVariables(MainVariables(), IsVista());
  EXPECT_EQ(Show(MainVariables().GetVariable(u"InstallName")), "This Program");
  const std::string windows = Show(MainVariables().GetVariable(u"Windows"));
  const std::string system = Show(MainVariables().GetVariable(u"System"));
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(Upper(system.substr(0, windows.size())), Upper(windows));
  EXPECT_NE(windows.back(), '\\');
}

TEST_F(BuiltinVariablesTest, KnownFolderBranchStoresEveryName) {
  SetBuiltinVariables(MainVariables(), true);
  for (const WString& name : KnownFolderVariableNames()) {
    EXPECT_EQ(MainVariables().Variables().count(Upper(name)), 1u) << Show(name);
    EXPECT_FALSE(MainVariables().GetVariable(name).empty()) << Show(name);
  }
  EXPECT_EQ(MainVariables().Variables().count(u"MEDIAPATH"), 0u);
  EXPECT_EQ(Show(Expand(u"%MediaPath%", true)), "");
  EXPECT_EQ(MainVariables().GetVariable(u"CommonFavorites"), MainVariables().GetVariable(u"Favorites"));
}

TEST_F(BuiltinVariablesTest, KnownFolderFallbacksAndNarrowing) {
  const std::vector<WString> names = KnownFolderVariableNames();
  ASSERT_EQ(names.size(), 10u);
  std::vector<WString> paths;
  for (const WString& name : names) paths.push_back(u"C:\\" + name);
  paths[1].clear();  // public desktop
  paths[3].clear();  // common favorites
  paths[5].clear();  // common programs
  paths[8] = u"C:\\Programme \u0142\u00e9";  // outside 8 bits: low 8 bits kept
  paths[9].clear();  // no fallback for CommonFiles
  StoreKnownFolderVariables(MainVariables(), paths);
  EXPECT_EQ(Show(Expand(u"%CommonDesktop%", true)), "C:\\Desktop");
  EXPECT_EQ(Show(Expand(u"%CommonFavorites%", true)), "C:\\Favorites");
  EXPECT_EQ(Show(Expand(u"%CommonProgramGroup%", true)), "C:\\ProgramGroup");
  EXPECT_EQ(MainVariables().GetVariable(u"ProgramFiles"), u"C:\\Programme \u0042\u00e9");
  EXPECT_EQ(MainVariables().Variables().count(u"COMMONFILES"), 1u);
  EXPECT_EQ(Show(MainVariables().GetVariable(u"CommonFiles")), "");
}

}  // namespace

namespace {

TEST(ProgramDataFolder, FolderThenSuffixUnexpanded) {
  EXPECT_EQ(Show(ProgramDataFolderValue(u"Zelkon\\%ProdName%", false)), "\\Zelkon\\%ProdName%");
  const std::string vista = Show(ProgramDataFolderValue(u"Zelkon\\%ProdName%", true));
  const std::string suffix = "\\Zelkon\\%ProdName%";
  ASSERT_GT(vista.size(), suffix.size() + 2);
  EXPECT_EQ(vista.substr(vista.size() - suffix.size()), suffix);
  EXPECT_EQ(vista[1], ':');
}

}  // namespace
