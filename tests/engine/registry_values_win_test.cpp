// The registry step against the real registry.
#include "engine/registry_values.h"

#include "engine/actions_test_fixture.h"

namespace {

const char* kTestKey = "Software\\ZelkonActionsTest\\Registry";
const char* kInstallName = "Zelkon Actions Test Game";

RegValue Value(const std::string& key, const std::string& name, const std::string& value, int32_t type) {
  RegValue v;
  v.Key = key;
  v.Name = name;
  v.Value = value;
  v.TypeNum = type;
  return v;
}

std::vector<std::string> ValueLog(const std::string& key, const std::string& name) {
  return {"\t\t<RegValue>", "\t\t\t<Key>" + key + "</Key>", "\t\t\t<Name>" + name + "</Name>", "\t\t</RegValue>"};
}

class RegistryStep : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallSubKey(kInstallName));
    SetVariable("InstallName", kInstallName);
    SetVariable("Version", "");
    SetVariable("Publisher", "");
    SetVariable("TestKey", std::string("HKCU\\") + kTestKey);
  }
  void TearDown() override {
    DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallSubKey(kInstallName));
    ActionTest::TearDown();
  }
};

TEST_F(RegistryStep, WritesTheThreeTypesAndLogsEachValue) {
  auto& registry = InstallConfig().Registry;
  registry.push_back(Value("%TestKey%", "Text", "0123456789", 0));
  registry.push_back(Value("%TestKey%\\Sub", "Number", "0x10", 1));
  registry.push_back(Value("%TestKey%", "Bad number", "12abc", 1));
  registry.push_back(Value("%TestKey%", "Bytes", "01 ff 7A", 2));
  registry.push_back(Value("%TestKey%", "", "default & more", 0));
  ASSERT_TRUE(WriteRegistry());
  EXPECT_TRUE(Errors().empty());

  RegData text = ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Text");
  EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text.text(), "0123456789");  // ten bytes: no terminating zero was written
  RegData number = ReadRegValue(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Sub", "Number");
  EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number.bytes, std::string("\x10\0\0\0", 4));
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Bad number").bytes, std::string(4, '\0'));
  RegData bytes = ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Bytes");
  EXPECT_EQ(bytes.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(bytes.bytes, "\x01\xff\x7a");
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "").text(), "default & more");

  std::string key = std::string("HKCU\\") + kTestKey;
  std::vector<std::string> expected = {"\t<Registry>"};
  for (const auto& [k, n] : std::vector<std::pair<std::string, std::string>>{
           {key, "Text"}, {key + "\\Sub", "Number"}, {key, "Bad number"}, {key, "Bytes"}, {key, ""}}) {
    auto lines = ValueLog(k, n);
    expected.insert(expected.end(), lines.begin(), lines.end());
  }
  expected.push_back("\t</Registry>");
  EXPECT_EQ(LogLines(), expected);
}

TEST_F(RegistryStep, BinaryFormattingErrorsAreReportedAndTheGoodPairsWritten) {
  auto& registry = InstallConfig().Registry;
  registry.push_back(Value("%TestKey%", "Empty", "0 1", 2));
  registry.push_back(Value("%TestKey%", "Partial", "zz 10", 2));
  ASSERT_TRUE(WriteRegistry());
  EXPECT_EQ(Errors(), std::vector<std::string>(3, "Binary formatting error in registry value"));
  RegData empty = ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Empty");
  EXPECT_TRUE(empty.found);
  EXPECT_EQ(empty.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(empty.bytes, "");
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Partial").bytes, "\x10");
  EXPECT_EQ(LogLines().back(), "\t</Registry>");  // the step went on
  // The messages do not make the run look cancelled, which would stop the
  // wait for the post-install programs.
  EXPECT_FALSE(::Run().aborted);
}

TEST_F(RegistryStep, FormattingErrorKeepsACancelGivenBefore) {
  InstallConfig().Registry.push_back(Value("%TestKey%", "Bad", "x", 2));
  ::Run().aborted = true;
  ASSERT_TRUE(WriteRegistry());
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_TRUE(::Run().aborted);
}

TEST_F(RegistryStep, InvalidKeyStopsTheStepAfterLoggingIt) {
  auto& registry = InstallConfig().Registry;
  registry.push_back(Value("%TestKey%", "First", "1", 0));
  registry.push_back(Value("hklm\\Software\\x", "Name", "v", 0));
  registry.push_back(Value("%TestKey%", "Never", "1", 0));
  InstallConfig().UninstallCmd = "uninstall.exe";
  EXPECT_FALSE(WriteRegistry());
  EXPECT_EQ(Errors(), std::vector<std::string>{"Invalid Key 'hklm\\Software\\x'"});
  EXPECT_TRUE(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "First").found);
  EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Never").found);
  EXPECT_FALSE(RegKeyPresent(HKEY_LOCAL_MACHINE, UninstallSubKey(kInstallName)));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 9u);  // no closing line, no uninstall entry
  EXPECT_EQ(lines[7], "\t\t\t<Name>Name</Name>");
  EXPECT_EQ(lines[8], "\t\t</RegValue>");
}

TEST_F(RegistryStep, UnknownTypeNamesTheValue) {
  InstallConfig().Registry.push_back(Value("%TestKey%", "Odd", "1", 3));
  EXPECT_FALSE(WriteRegistry());
  EXPECT_EQ(Errors(), std::vector<std::string>{"Invalid Key Type on 'Odd'"});
  EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Odd").found);
}

TEST_F(RegistryStep, EmptyKeyIsSkippedWithoutALogLine) {
  InstallConfig().Registry.push_back(Value("%Unset%", "Name", "v", 0));
  ASSERT_TRUE(WriteRegistry());
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t<Registry>", "\t</Registry>"}));
}

TEST_F(RegistryStep, CommandLineValuesReplaceInPlaceAndComeLast) {
  std::string key = std::string("HKCU\\") + kTestKey;
  auto& registry = InstallConfig().Registry;
  registry.push_back(Value(key, "Lang", "en", 0));
  registry.push_back(Value(key, "Path", "C:\\Game", 0));
  ::Run().commandLineRegValues = {Value(key, "Extra", "7", 1), Value(Upper(key), "LANG", "de", 0)};
  ASSERT_TRUE(WriteRegistry());
  EXPECT_TRUE(::Run().commandLineRegValues.empty());
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Lang").text(), "de");
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Extra").bytes, std::string("\x07\0\0\0", 4));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[3], "\t\t\t<Name>LANG</Name>");  // the replacement, in the first place
  EXPECT_EQ(lines[7], "\t\t\t<Name>Path</Name>");
  EXPECT_EQ(lines[11], "\t\t\t<Name>Extra</Name>");
}

TEST_F(RegistryStep, AddRemoveProgramsEntryWithDefaults) {
  InstallConfig().UninstallCmd = "\"%ProgramFiles%\\Zelkon\\uninstall.exe\" /game";
  SetVariable("ProgramFiles", "C:\\Program Files");
  ASSERT_TRUE(WriteRegistry());
  std::string sub_key = UninstallSubKey(kInstallName);
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "DisplayName").text(), kInstallName);
  RegData command = ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "UninstallString");
  EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(command.text(), "\"C:\\Program Files\\Zelkon\\uninstall.exe\" /game");
  EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "DisplayVersion").found);
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "Publisher").text(), "Zelkon Games");
  std::vector<std::string> expected = {
      "\t<Registry>", "\t</Registry>",
      "\t<UninstallDelRegKey>HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
          std::string(kInstallName) + "</UninstallDelRegKey>"};
  EXPECT_EQ(LogLines(), expected);
}

TEST_F(RegistryStep, AddRemoveProgramsEntryWithVersionAndPublisher) {
  InstallConfig().UninstallCmd = "uninstall.exe";
  SetVariable("Version", "1.2.3");
  SetVariable("Publisher", "Sample Publisher");
  ASSERT_TRUE(WriteRegistry());
  std::string sub_key = UninstallSubKey(kInstallName);
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "DisplayVersion").text(), "1.2.3");
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "Publisher").text(), "Sample Publisher");
}

TEST_F(RegistryStep, NoUninstallCommandNoEntry) {
  ASSERT_TRUE(WriteRegistry());
  EXPECT_FALSE(RegKeyPresent(HKEY_LOCAL_MACHINE, UninstallSubKey(kInstallName)));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t<Registry>", "\t</Registry>"}));
}

}  // namespace

namespace {

// Two jobs side by side, as a multi-volume or repair run will hold them: each
// action reads its own job's configuration and variables and appends to its
// own job's log only.
TEST_F(RegistryStep, TwoJobsKeepTheirConfigurationVariablesAndLogApart) {
  DefinesParser second_variables;
  InstallJob second(RunInstallContext(), second_variables);
  second_variables.SetVariable(u"TestKey", Widen(std::string("HKCU\\") + kTestKey + "\\Second"));
  second_variables.SetVariable(u"Which", u"second");
  SetVariable("Which", "first");
  InstallConfig().Registry.push_back(Value("%TestKey%", "Which", "%Which%", 0));
  second.config.Registry.push_back(Value("%TestKey%", "Which", "%Which%", 0));

  ASSERT_TRUE(WriteRegistry());
  ASSERT_TRUE(::WriteRegistry(second));
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey, "Which").text(), "first");
  EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Second", "Which").text(), "second");
  const std::string first_log = Narrow(job_.log.Text()), second_log = Narrow(second.log.Text());
  EXPECT_NE(first_log.find("<Key>HKCU\\" + std::string(kTestKey) + "</Key>"), std::string::npos) << first_log;
  EXPECT_EQ(first_log.find("\\Second"), std::string::npos) << first_log;
  EXPECT_NE(second_log.find("<Key>HKCU\\" + std::string(kTestKey) + "\\Second</Key>"), std::string::npos)
      << second_log;
}

}  // namespace
