// Under Wine: the folder variables against what the shell itself reports,
// and registry reads of values the test writes with the registry API.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>

#include "config/builtin_variables.h"
#include "config/expand.h"
#include "tests/config/config_test_support.h"

namespace {

using configtest::Show;

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return std::string();
  return path;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// These run in the Windows 7 prefix and again in the Windows XP one, where
// SetBuiltinVariables() takes the registry branch.
//
// Wine has no "MediaPath" value; the tests write the one Windows XP has.
class SystemFolders : public configtest::ConfigTest {
 protected:
  static constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  static constexpr const char* kMediaPath = "C:\\windows\\Media";
  void SetUp() override {
    configtest::ConfigTest::SetUp();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "MediaPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(kMediaPath),
                   static_cast<DWORD>(strlen(kMediaPath) + 1));
    RegCloseKey(key);
  }
  void TearDown() override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "MediaPath");
      RegCloseKey(key);
    }
    configtest::ConfigTest::TearDown();
  }
  std::string Var(const char16_t* name) { return Show(Expand(WString(u"%") + name + u"%", true)); }
};

TEST_F(SystemFolders, MatchTheShell) {
  SetBuiltinVariables();
  struct Row {
    const char16_t* variable;
    int csidl;
  };
  const Row rows[] = {
      {u"ProgramFiles", CSIDL_PROGRAM_FILES},
      {u"CommonProgramGroup", CSIDL_COMMON_PROGRAMS},
      {u"CommonDesktop", CSIDL_COMMON_DESKTOPDIRECTORY},
      {u"Desktop", CSIDL_DESKTOPDIRECTORY},
      {u"ProgramGroup", CSIDL_PROGRAMS},
      {u"StartMenu", CSIDL_STARTMENU},
      {u"SendTo", CSIDL_SENDTO},
      {u"Favorites", CSIDL_FAVORITES},
      {u"CommonFiles", CSIDL_PROGRAM_FILES_COMMON},
  };
  for (const Row& row : rows) {
    const std::string shell = ShellFolder(row.csidl);
    ASSERT_FALSE(shell.empty()) << Show(row.variable);
    EXPECT_EQ(Lower(Var(row.variable)), Lower(shell)) << Show(row.variable);
  }
  EXPECT_EQ(Lower(Var(u"Windows")), Lower(ShellFolder(CSIDL_WINDOWS)));
}

// MediaPath comes only from the registry branch of Windows XP and earlier.
TEST_F(SystemFolders, MediaPathOnlyBeforeVista) {
  SetBuiltinVariables();
  if (IsVista()) {
    EXPECT_EQ(MainVariables().Variables().count(u"MEDIAPATH"), 0u);
  } else {
    EXPECT_EQ(Var(u"MediaPath"), kMediaPath);
  }
}

TEST_F(SystemFolders, ProgramDataFolder) {
  const std::string expected = IsVista() ? ShellFolder(CSIDL_COMMON_APPDATA) : std::string();
  EXPECT_EQ(Show(ProgramDataFolderValue(u"Zelkon")), expected + "\\Zelkon");
}

// Either branch can be asked for on any system; both agree with the shell.
TEST_F(SystemFolders, BothBranchesAgree) {
  SetBuiltinVariables(MainVariables(), true);
  EXPECT_EQ(MainVariables().Variables().count(u"MEDIAPATH"), 0u);
  const std::string knownProgramFiles = Var(u"ProgramFiles");
  const std::string knownPrograms = Var(u"CommonProgramGroup");
  MainVariables().Clear();
  SetBuiltinVariables(MainVariables(), false);
  EXPECT_EQ(Lower(Var(u"ProgramFiles")), Lower(knownProgramFiles));
  EXPECT_EQ(Lower(Var(u"CommonProgramGroup")), Lower(knownPrograms));
  EXPECT_EQ(Var(u"MediaPath"), kMediaPath);
}

// The registry command reads a value written here with RegSetValueExA, of
// any type: the data is taken as bytes up to the first zero.
TEST(RegistryCommand, ReadsValuesOfAnyType) {
  const char* key = "Software\\ZelkonConfigTests\\Types";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const char text[] = "C:\\Games\\Example";
  DWORD number = 0x00434241;  // "ABC" and a zero byte
  const BYTE binary[] = {'x', 'y', 0, 'z'};
  RegSetValueExA(h, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegSetValueExA(h, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%TEMP%\\x"), 9);
  RegSetValueExA(h, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegSetValueExA(h, "Binary", 0, REG_BINARY, binary, sizeof binary);
  RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("default"), 8);
  RegCloseKey(h);

  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"#Registry HKCU\\Software\\ZelkonConfigTests\\Types, Text", "C:\\Games\\Example"},
      // Not expanded by the registry; the result's "%TEMP%" is then an
      // unset variable.
      {"#Registry HKCU\\Software\\ZelkonConfigTests\\Types, Expand", "\\x"},
      {"#Registry HKCU\\Software\\ZelkonConfigTests\\Types, Number", "ABC"},
      {"#Registry HKCU\\Software\\ZelkonConfigTests\\Types, Binary", "xy"},
      {"#Registry HKCU\\Software\\ZelkonConfigTests\\Types, Missing | none", "none"},
      // An empty argument names the key's default value.
      {"#Registry HKCU\\Software\\ZelkonConfigTests\\Types, , | none", "default"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(Expand(Widen(c.text), true)), c.expected) << c.text;

  RegDeleteKeyA(HKEY_CURRENT_USER, key);
}

}  // namespace
