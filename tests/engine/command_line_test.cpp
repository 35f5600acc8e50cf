#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "config/defines_parser.h"
#include "driver/run_state.h"

namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

Options Split(const std::string& text) {
  Options options;
  SplitCommandLine(text, [&](const std::string& name, const std::string& value) {
    options.emplace_back(name, value);
  });
  return options;
}

TEST(CommandLineTest, CutsOptionsAtBlanksOutsideQuotes) {
  struct Case {
    const char* text;
    Options options;
  } cases[] = {
      {"", {}},
      {"-silent", {{"-silent", ""}}},
      {"-silent -onlyprogressui", {{"-silent", ""}, {"-onlyprogressui", ""}}},
      {"  -silent   -x  ", {{"-silent", ""}, {"-x", ""}}},
      {"-waitpid=0x10", {{"-waitpid", "0x10"}}},
      // The second '=' belongs to the value.
      {"-regvalue=\"0,HKLM\\Key\\Name=text\"", {{"-regvalue", "0,HKLM\\Key\\Name=text"}}},
      // Quotes group blanks; the quote characters are not kept.
      {"-fnfsystemupdate=\"C:\\Program Files\\G\\g.exe\" -silent",
       {{"-fnfsystemupdate", "C:\\Program Files\\G\\g.exe"}, {"-silent", ""}}},
      {"\"-a b\"=c", {{"-a b", ""}}},
      // A closing quote ends the option even without a blank after it.
      {"-a=\"x\"-b", {{"-a", "x"}, {"-b", ""}}},
      {"-a=b=c", {{"-a", "b=c"}}},
      // A quoted '=' is text.
      {"-a\"=\"b", {{"-a=", ""}, {"b", ""}}},
      {"-a\t-b", {{"-a", ""}, {"-b", ""}}},
      // Without a name nothing is handed over nor reset: the stray value
      // swallows what follows.
      {"=v -silent", {}},
      {"\"\" -silent", {{"-silent", ""}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text), c.options) << c.text;
}

TEST(CommandLineTest, RegValueOption) {
  struct Case {
    const char* value;
    bool ok;
    const char* key;
    int type;
    const char* name;
    const char* data;
  } cases[] = {
      {"0,HKLM\\Software\\Game\\Path=C:\\Games", true, "HKLM\\Software\\Game", 0, "Path", "C:\\Games"},
      {"1,HKCU\\K\\N=0x10", true, "HKCU\\K", 1, "N", "0x10"},
      {"0x1,HKLM\\K\\N=a=b", true, "HKLM\\K", 1, "N", "a=b"},
      // No '=': the whole right piece is both the data and the key path.
      {"0,HKLM\\K\\N", true, "HKLM\\K", 0, "N", "HKLM\\K\\N"},
      // No backslash: the key part is both the key and the name.
      {"0,Name=v", true, "Name", 0, "Name", "v"},
      {"2,HKLM\\K\\N=v", false, "", 0, "", ""},
      {"-1,HKLM\\K\\N=v", false, "", 0, "", ""},
      {"x,HKLM\\K\\N=v", false, "", 0, "", ""},
      {",HKLM\\K\\N=v", false, "", 0, "", ""},
      {"0HKLM\\K\\N=v", false, "", 0, "", ""},
      {"0,HKLM\\K\\=v", false, "", 0, "", ""},
      {"0,\\N=v", false, "", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    RegValue record;
    ASSERT_EQ(ParseRegValueOption(c.value, &record), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(record.Key, c.key);
    EXPECT_EQ(record.TypeNum, c.type);
    EXPECT_EQ(record.Name, c.name);
    EXPECT_EQ(record.Value, c.data);
  }
}

TEST(CommandLineTest, InstallFolderIsTwoLevelsAboveTheProductExecutable) {
  struct Case {
    const char* value;
    const char* folder;
  } cases[] = {
      {"C:\\Games\\Example Game\\game.exe", "C:\\Games"},
      {"C:/Games/Example Game/game.exe", "C:\\Games"},
      {"D:\\a\\b\\c\\d.exe", "D:\\a\\b"},
      {"C:\\game.exe", ""},
      {"game.exe", ""},
      {"", ""},
      {"C:\\G\\", "C:"},
      {"\\\\server\\share\\G\\g.exe", "\\\\server\\share"},
  };
  for (const Case& c : cases) EXPECT_EQ(InstallFolderFromProductPath(c.value), c.folder) << c.value;
}

TEST(CommandLineTest, WindowHandleIsHexadecimalWithoutPrefix) {
  uintptr_t handle = 0;
  EXPECT_TRUE(ParseWindowHandle("1A2B", &handle));
  EXPECT_EQ(handle, 0x1A2Bu);
  EXPECT_TRUE(ParseWindowHandle("ffff0000", &handle));
  EXPECT_EQ(handle, 0xFFFF0000u);
  EXPECT_FALSE(ParseWindowHandle("0x1A2B", &handle));
  EXPECT_FALSE(ParseWindowHandle("12G", &handle));
}

// HandleOption changes the run-wide state; each test starts from a clean one
// and puts it back.
class HandleOptionTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RunState& run = ::Run();
    run.silent = run.progressOnly = run.pathGiven = false;
    run.commandLineRegValues.clear();
    run.statusWindow = nullptr;
    MainVariables().SetVariable(u"InstallPath", u"");
  }
};

TEST_F(HandleOptionTest, FlagsAreSetByExactNamesOnly) {
  ParseCommandLine("-SILENT -onlyProgressUI -silent2");
  EXPECT_FALSE(::Run().silent);
  EXPECT_FALSE(::Run().progressOnly);
  ParseCommandLine("foo -silent bar");
  EXPECT_TRUE(::Run().silent);
  EXPECT_FALSE(::Run().progressOnly);
  ParseCommandLine("-onlyprogressui");
  EXPECT_TRUE(::Run().progressOnly);
  EXPECT_FALSE(::Run().pathGiven);
}

TEST_F(HandleOptionTest, RegValuesAreKeptInCommandLineOrder) {
  ParseCommandLine(
      "-regvalue=\"0,HKLM\\Software\\G\\Path=C:\\My Games\" -regvalue=2,HKLM\\X\\Y=z "
      "-regvalue=1,HKCU\\Software\\G\\Level=3 -regvalue=nonsense");
  const std::vector<RegValue>& values = ::Run().commandLineRegValues;
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].Key, "HKLM\\Software\\G");
  EXPECT_EQ(values[0].Name, "Path");
  EXPECT_EQ(values[0].Value, "C:\\My Games");
  EXPECT_EQ(values[0].TypeNum, 0);
  EXPECT_EQ(values[1].Key, "HKCU\\Software\\G");
  EXPECT_EQ(values[1].Name, "Level");
  EXPECT_EQ(values[1].Value, "3");
  EXPECT_EQ(values[1].TypeNum, 1);
}

TEST_F(HandleOptionTest, ProductPathGivesTheInstallPathAndProgressOnly) {
  ParseCommandLine("-fnfsystemupdate=\"C:\\Games\\Example Game\\game.exe\"");
  EXPECT_TRUE(::Run().progressOnly);
  EXPECT_TRUE(::Run().pathGiven);
  EXPECT_EQ(MainVariables().GetVariable(u"InstallPath"), u"C:\\Games");
}

TEST_F(HandleOptionTest, ProductPathTooShortChangesNothing) {
  ParseCommandLine("-fnfsystemupdate=C:\\game.exe");
  EXPECT_FALSE(::Run().progressOnly);
  EXPECT_FALSE(::Run().pathGiven);
  EXPECT_EQ(MainVariables().GetVariable(u"InstallPath"), u"");
}

TEST_F(HandleOptionTest, StatusWindow) {
  ParseCommandLine("-msgwnd=1A2B");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(::Run().statusWindow), 0x1A2Bu);
  ParseCommandLine("-msgwnd=0x55");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(::Run().statusWindow), 0x1A2Bu) << "\"0x0x55\" is not a number";
}

TEST_F(HandleOptionTest, WaitPidWithoutANumberOrProcessReturnsAtOnce) {
  // Neither waits: the text is no number, and no process has id 0x7FFFFFF0.
  ParseCommandLine("-waitpid=abc -waitpid=0x7FFFFFF0 -silent");
  EXPECT_TRUE(::Run().silent);
}

}  // namespace
