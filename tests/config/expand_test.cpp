// The expansion language on the host and under Wine: references, the "%%"
// rules, the rescan after every substitution, define commands and their
// chains, and the termination of runaway texts.
#include <gtest/gtest.h>

#include "config/expand.h"
#include "base/system_seam.h"
#include "support/test_support.h"
#include "tests/config/config_test_support.h"

namespace {

using configtest::ConfigTest;

struct Case {
  const char* text;
  bool collapse;
  const char* expected;
  std::vector<std::string> fatal;  // messages ShowFatalError must receive, in order
};

// The defines of a typical payload, with neutral values.
class ExpandTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    Set("ProgramFiles", "C:\\Program Files");
    Set("GameDir", "Example Game");
    Set("GameExe", "ExampleGame.exe");
    Set("GameName", "Example Game");
    Set("InstallGroup", "Zelkon Games");
    Set("ProdName", "ExampleGame");
    Set("RegGroup", "Zelkon");
    Set("InstallPath", "%ProgramFiles%\\%InstallGroup%");
    Set("RegFullInstallPath", "#Registry HKLM\\Software\\Zelkon\\%ProdName%, FullInstallPath");
    Set("UninstallPath",
        "#IfSet %RegFullInstallPath%, %RegFullInstallPath% | %InstallPath%\\%GameDir%");
    Set("InstallName", "%GameName%");
  }

  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      fatalMessages_.clear();
      EXPECT_EQ(configtest::Show(Expand(Widen(c.text), c.collapse)), c.expected)
          << "text: " << c.text << " collapse: " << c.collapse;
      EXPECT_EQ(fatalMessages_, c.fatal) << "text: " << c.text;
    }
  }
};

TEST_F(ExpandTest, WorkedExamples) {
  Check({
      {"%InstallPath%\\%GameDir%\\%GameExe%", true,
       "C:\\Program Files\\Zelkon Games\\Example Game\\ExampleGame.exe", {}},
      // No registry value: both IfSet arguments are empty, the alternative wins.
      {"%UninstallPath%", true, "C:\\Program Files\\Zelkon Games\\Example Game", {}},
      {"%InstallName% Installation Aborted!", true, "Example Game Installation Aborted!", {}},
  });
}

TEST_F(ExpandTest, References) {
  Set("X", "50%");
  Set(" Spaced Name", "spaced");
  Set("Percents", "100%%");
  Set("Empty", "");
  Check({
      {"a%NOPE%b", true, "ab", {}},
      {"%gamedir%", true, "Example Game", {}},
      {"%GAMEDIR%", true, "Example Game", {}},
      {"% Spaced Name%", true, "spaced", {}},
      {"x%Empty%y", true, "xy", {}},
      {"", true, "", {}},
      {"plain text", true, "plain text", {}},
      // The rescan pairs the "%" of X's value with the next "%".
      {"%X% and %Y%", true, "50Y%", {}},
  });
}

TEST_F(ExpandTest, PercentPairs) {
  Set("Percents", "100%%");
  Check({
      {"50% off", true, "50% off", {}},
      {"100%", true, "100%", {}},
      {"100%%", true, "100%", {}},
      {"100%%", false, "100%%", {}},
      {"%%%", true, "%%", {}},
      {"%%GameDir%%", true, "%GameDir%", {}},
      {"%%GameDir%%", false, "%%GameDir%%", {}},
      // A value is expanded without collapsing; only the outermost call collapses.
      {"%Percents%", true, "100%", {}},
      {"%Percents%", false, "100%%", {}},
      {"%", true, "%", {}},
  });
}

TEST_F(ExpandTest, HashPrefix) {
  Set("A", "B");
  Set("Hash", "#");
  Check({
      {"##IfSet x", true, "#IfSet x", {}},
      {"###", true, "##", {}},
      {"#", true, "#", {}},
      // "#B" appears after the substitution and is then evaluated as a command.
      {"##%A%", true, "", {"Invalid define command: 'B'"}},
      // The same through a value that supplies the "#".
      {"%Hash%Uppercase abc", true, "ABC", {}},
      {"x%Hash%Uppercase abc", true, "x#Uppercase abc", {}},
  });
}

TEST_F(ExpandTest, Commands) {
  Check({
      {"#IfEq a, A, same | different", true, "different", {}},
      {"#IfEq  a ,a , same | different", true, "same", {}},
      {"#IfContains Hello World, lo W, yes", true, "yes", {}},
      {"#IfContains Hello World, low, yes | no", true, "no", {}},
      {"#IfBool  yes , on | off", true, "on", {}},
      {"#IfBool y, on | off", true, "on", {}},
      {"#IfBool True, on | off", true, "on", {}},
      {"#IfBool 0, on | off", true, "off", {}},
      {"#IfBool on, on | off", true, "off", {}},
      {"#IfSet , x | y", true, "y", {}},
      {"#IfSet %GameDir%, set | unset", true, "set", {}},
      {"#IfSet %Nope%, set | unset", true, "unset", {}},
      {"#IfSet x | too few", true, "too few", {}},
      {"#Uppercase abc", true, "ABC", {}},
      {"#Uppercase", true, "", {}},
      {"#Uppercase %GameName% é", true, "EXAMPLE GAME é", {}},
      {"#Uppercase a, b", true, "A", {}},  // extra arguments are ignored
      {"#isvista", true, "", {"Invalid define command: 'isvista'"}},
      {"#Bogus x | alt", true, "alt", {"Invalid define command: 'Bogus'"}},
      // Without "|" the head is not trimmed, so the name is empty here.
      {"# IfSet x, y", true, "", {"Invalid define command: ''"}},
      {"#IfSet x,y | #Uppercase z", true, "y", {}},
  });
}

TEST_F(ExpandTest, ArgumentSplitting) {
  Set("Pair", "x, y");
  Check({
      // Commas inside values never split arguments.
      {"#IfEq %Pair%, %Pair%, same | different", true, "same", {}},
      // An empty argument between commas stays; a trailing comma adds none.
      {"#IfEq , , yes | no", true, "yes", {}},
      {"#IfEq a, a, | no", true, "no", {}},
      {"#IfEq a,a,yes", true, "yes", {}},
  });
}

TEST_F(ExpandTest, CommandChains) {
  const char* chain = "#IfSet %A%, a | #IfSet %B%, b | #IfSet %C%, c | none";
  Check({{chain, true, "none", {}}});
  Set("C", "1");
  Check({{chain, true, "c", {}}});
  Set("B", "1");
  Check({{chain, true, "b", {}}});
  Set("A", "1");
  Check({{chain, true, "a", {}}});
  // A value that is itself a command is evaluated in turn.
  Set("Cmd", "#Uppercase %GameDir%");
  Check({{"#IfSet 1, %Cmd%", true, "EXAMPLE GAME", {}},
         {"[%Cmd%]", true, "[EXAMPLE GAME]", {}}});
}

TEST_F(ExpandTest, FailShowsItsMessageAndContinues) {
  Check({{"#Fail Cannot go on with %GameName% | alt", true, "", {"Cannot go on with Example Game"}},
         {"#Fail | alt", true, "alt", {}}});
  EXPECT_TRUE(aborted_);
}

// Names quoted in messages come back exactly, whatever they hold.
TEST_F(ExpandTest, LiteralsComeBackUnchanged) {
  for (const char* text : {"files\\..\\%GameDir%.txt", "100%", "%%", "%", "50% of %X", "#Fail boom", "##x",
                           "#IfSet 1, a | b", "a#b %Hash%", ""}) {
    fatalMessages_.clear();
    EXPECT_EQ(configtest::Show(Expand(LiteralForExpand(Widen(text)), true)), text);
    EXPECT_TRUE(fatalMessages_.empty()) << text;
  }
}

TEST_F(ExpandTest, IfFileExists) {
  testsupport::ScratchDir dir;
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("present.txt"), "x"));
  Set("Dir", dir.path().c_str());
  Set("Sep", dir.file("").substr(dir.path().size()).c_str());
  Check({
      {"#IfFileExists %Dir%%Sep%present.txt, yes | no", true, "yes", {}},
      {"#IfFileExists %Dir%%Sep%*.txt, yes | no", true, "yes", {}},
      {"#IfFileExists %Dir%, folder | no", true, "folder", {}},
      {"#IfFileExists %Dir%%Sep%absent.txt, yes | no", true, "no", {}},
      {"#IfFileExists , yes | no", true, "no", {}},
  });
}

// A variable that names itself, directly or through others, ends: the inner
// reference is empty.
TEST_F(ExpandTest, SelfReferenceTerminates) {
  Set("Self", "%Self%");
  Set("Grow", "x%Grow%y");
  Set("Ping", "[%Pong%]");
  Set("Pong", "(%Ping%)");
  Set("CmdSelf", "#IfSet %CmdSelf%, loop | end");
  Set("Twice", "%Leaf%-%Leaf%");
  Set("Leaf", "l");
  Check({
      {"%Self%", true, "", {}},
      {"a%Self%b", true, "ab", {}},
      {"%Grow%", true, "xy", {}},
      {"%Ping%", true, "[()]", {}},
      {"%Pong%", true, "([])", {}},
      {"%CmdSelf%", true, "end", {}},
      // Not a cycle: the same variable twice side by side.
      {"%Twice%", true, "l-l", {}},
  });
}

TEST_F(ExpandTest, RunawayGrowthGivesEmptyText) {
  // V0 doubles at every level: V30 would need 2^30 substitutions.
  Set("V0", "ab");
  for (int i = 1; i <= 30; ++i) {
    std::string ref = "%V" + std::to_string(i - 1) + "%";
    Set(("V" + std::to_string(i)).c_str(), (ref + ref).c_str());
  }
  EXPECT_EQ(Expand(u"%V5%", true).size(), 64u);
  EXPECT_EQ(configtest::Show(Expand(u"start %V30% end", true)), "");
}

TEST_F(ExpandTest, DeepNestingGivesEmptyText) {
  auto nested = [](int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += "#Uppercase ";
    return text + "x";
  };
  EXPECT_EQ(configtest::Show(Expand(Widen(nested(10)), true)), "X");
  EXPECT_EQ(configtest::Show(Expand(Widen(nested(kMaxExpansionDepth + 5)), true)), "");
  EXPECT_EQ(configtest::Show(Expand(Widen(nested(1000)), true)), "");
}

// The version of the running system decides; the XP run of this binary
// checks the other branch.
TEST_F(ExpandTest, IsVistaFollowsTheSystem) {
  Set("ProgramDataFolder", "C:\\ProgramData\\Zelkon");
  const bool vista = IsVista();
  Check({
      {"#IsVista %ProgramDataFolder%\\userdata | %%ProgramDataFolder%%\\userdata", true,
       vista ? "C:\\ProgramData\\Zelkon\\userdata" : "%ProgramDataFolder%\\userdata", {}},
      {"#IsVista | %InstallPath%\\%GameDir%\\userdata", true,
       vista ? "" : "C:\\Program Files\\Zelkon Games\\Example Game\\userdata", {}},
      {"#IsVista | old", true, vista ? "" : "old", {}},
      {"#IsVista a, b | too many", true, "too many", {}},
  });
}

// Registry values are written through the system seam: the real registry
// under Wine, the in-memory one on the host.
class ExpandRegistryTest : public ExpandTest {
 protected:
  static constexpr const char* kGameKey = "Software\\Zelkon\\ExampleGame";
  static constexpr const char* kTestKey = "Software\\ZelkonConfigTests";
  void TearDown() override {
    seam::DeleteRegistryValue(seam::RegistryRoot::LocalMachine, kGameKey, "FullInstallPath");
    for (const char* name : {"Plain", "Self", "Long", "TooLong"})
      seam::DeleteRegistryValue(seam::RegistryRoot::CurrentUser, kTestKey, name);
    ExpandTest::TearDown();
  }
};

TEST_F(ExpandRegistryTest, ReadsValues) {
  ASSERT_TRUE(seam::WriteRegistryString(seam::RegistryRoot::LocalMachine, kGameKey,
                                        "FullInstallPath", "D:\\Games\\Example Game"));
  ASSERT_TRUE(seam::WriteRegistryString(seam::RegistryRoot::CurrentUser, kTestKey, "Plain",
                                        "value, with comma"));
  Check({
      {"%UninstallPath%", true, "D:\\Games\\Example Game", {}},
      {"#Registry HKCU\\Software\\ZelkonConfigTests, Plain", true, "value, with comma", {}},
      {"#Registry HKCU\\Software\\ZelkonConfigTests, Missing | none", true, "none", {}},
      {"#Registry HKCU\\Software\\NoSuchKeyForTests, Plain | none", true, "none", {}},
      {"#Registry hkcu\\Software\\ZelkonConfigTests, Plain | none", true, "none", {}},
      {"#Registry HKCU/Software\\ZelkonConfigTests, Plain | none", true, "none", {}},
      {"#Registry HKCU\\Software\\ZelkonConfigTests | none", true, "none", {}},
  });
}

TEST_F(ExpandRegistryTest, ValueSizeLimit) {
  // 4094 characters and the terminating zero fill the 4095 accepted bytes.
  std::string fits(4094, 'a'), tooLong(4095, 'b');
  ASSERT_TRUE(seam::WriteRegistryString(seam::RegistryRoot::CurrentUser, kTestKey, "Long", fits));
  ASSERT_TRUE(seam::WriteRegistryString(seam::RegistryRoot::CurrentUser, kTestKey, "TooLong", tooLong));
  Check({{"#Registry HKCU\\Software\\ZelkonConfigTests, Long | none", true, fits.c_str(), {}},
         {"#Registry HKCU\\Software\\ZelkonConfigTests, TooLong | none", true, "none", {}}});
}

// A registry value that names itself again loops without any variable: the
// step budget ends it.
TEST_F(ExpandRegistryTest, SelfNamingValueTerminates) {
  ASSERT_TRUE(seam::WriteRegistryString(seam::RegistryRoot::CurrentUser, kTestKey, "Self",
                                        "#Registry HKCU\\Software\\ZelkonConfigTests, Self"));
  Check({{"#Registry HKCU\\Software\\ZelkonConfigTests, Self", true, "", {}}});
}

}  // namespace
