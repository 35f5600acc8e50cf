#include "engine/repair_plan.h"

#include <gtest/gtest.h>

#include "config/defines_parser.h"
#include "driver/command_line.h"
#include "driver/run_state.h"

namespace {

TEST(RepairPlan, PathBelowRoot) {
  const struct {
    const char* path;
    const char* root;
    const char* expected;
  } cases[] = {
      {"C:\\Games\\X\\data\\a.pak", "C:\\Games\\X", "data\\a.pak"},
      {"c:\\games\\x\\A.PAK", "C:\\Games\\X\\", "A.PAK"},  // case and a trailing separator do not matter
      {"C:\\Games\\XY\\a.pak", "C:\\Games\\X", ""},        // a sibling folder that starts alike
      {"C:\\Games\\X", "C:\\Games\\X", ""},
      {"D:\\a.pak", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PathBelowRoot(c.path, c.root), c.expected) << c.path;
}

TEST(RepairPlan, SelectionComparesAsWindowsDoes) {
  size_t outside = 0;
  const EntrySelection selection =
      SelectBelowRoot({"C:\\G\\Data\\A.pak", "C:\\G\\readme.txt", "C:\\Other\\x.dat"}, "C:\\G", &outside);
  EXPECT_EQ(selection.size(), 2u);
  EXPECT_EQ(outside, 1u);
  EXPECT_TRUE(selection.Contains("data\\a.PAK"));
  EXPECT_TRUE(selection.Contains("data/A.pak"));
  EXPECT_FALSE(selection.Contains("x.dat"));
  EXPECT_FALSE(selection.Contains("data"));
}

// The uninstall entry's command reaches the installer's own parser as the
// repair option with the install folder, spaces and all.
TEST(RepairPlan, RepairCommandParsesBack) {
  const std::string command = RepairCommand("C:\\Setups\\Star Courier Setup.exe", "C:\\Games\\Star Courier\\");
  EXPECT_EQ(command, "\"C:\\Setups\\Star Courier Setup.exe\" -repair=\"C:\\Games\\Star Courier\"");
  ParseCommandLine(command.substr(command.find(" -") + 1));
  EXPECT_EQ(::Run().mode, RunMode::kRepair);
  EXPECT_TRUE(::Run().pathGiven);
  EXPECT_EQ(MainVariables().GetVariable(u"InstallPath"), u"C:\\Games\\Star Courier");
  ::Run().mode = RunMode::kInstall;
  ::Run().pathGiven = false;
  MainVariables().SetVariable(u"InstallPath", u"");
}

TEST(RepairPlan, InstallerPlaceLasts) {
  const char* temp = "C:\\Users\\p\\AppData\\Local\\Temp\\";
  const struct {
    const char* path;
    bool fixed;
    bool lasts;
  } cases[] = {
      {"C:\\Downloads\\Setup.exe", true, true},
      {"C:\\Users\\p\\AppData\\Local\\Temp\\Setup.exe", true, false},      // a browser opened it there
      {"c:\\users\\P\\appdata\\local\\temp\\x\\Setup.exe", true, false},  // any case, any depth
      {"D:\\Setup.exe", false, false},                                    // a disc or a removable drive
      {"\\\\server\\share\\Setup.exe", true, false},                      // no drive letter
  };
  for (const auto& c : cases) EXPECT_EQ(InstallerPlaceLasts({c.path, temp, c.fixed}), c.lasts) << c.path;
}

}  // namespace
