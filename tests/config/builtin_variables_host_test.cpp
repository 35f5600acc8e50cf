// The registry branch of the shell folders (Windows XP and earlier), on the
// host's in-memory registry, where the tests decide which keys exist.
#include <gtest/gtest.h>

#include "config/builtin_variables.h"
#include "base/system_seam.h"
#include "tests/config/config_test_support.h"

namespace {

using configtest::Show;
using seam::RegistryRoot;

const char kUser[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kMachine[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

class RegistryFoldersTest : public configtest::ConfigTest {
 protected:
  void TearDown() override {
    for (const char* v : {"Desktop", "Favorites", "Programs", "SendTo", "Start Menu"})
      seam::DeleteRegistryValue(RegistryRoot::CurrentUser, kUser, v);
    for (const char* v : {"Common Desktop", "Common Favorites", "Common Programs"})
      seam::DeleteRegistryValue(RegistryRoot::LocalMachine, kMachine, v);
    for (const char* v : {"ProgramFilesDir", "CommonFilesDir", "MediaPath"})
      seam::DeleteRegistryValue(RegistryRoot::LocalMachine, kVersion, v);
    configtest::ConfigTest::TearDown();
  }
  void User(const char* name, const char* value) {
    seam::WriteRegistryString(RegistryRoot::CurrentUser, kUser, name, value);
  }
  std::string Var(const char16_t* name) { return Show(MainVariables().GetVariable(name)); }
};

TEST_F(RegistryFoldersTest, UserFoldersServeAsCommonOnes) {
  User("Desktop", "C:\\Documents and Settings\\U\\Desktop");
  User("Favorites", "C:\\Documents and Settings\\U\\Favorites");
  User("Programs", "C:\\Documents and Settings\\U\\Start Menu\\Programs");
  User("SendTo", "C:\\Documents and Settings\\U\\SendTo");
  User("Start Menu", "C:\\Documents and Settings\\U\\Start Menu");
  SetBuiltinVariables(MainVariables(), false);
  EXPECT_EQ(Var(u"CommonDesktop"), "C:\\Documents and Settings\\U\\Desktop");
  EXPECT_EQ(Var(u"CommonFavorites"), "C:\\Documents and Settings\\U\\Favorites");
  EXPECT_EQ(Var(u"CommonProgramGroup"), "C:\\Documents and Settings\\U\\Start Menu\\Programs");
  EXPECT_EQ(Var(u"SendTo"), "C:\\Documents and Settings\\U\\SendTo");
  EXPECT_EQ(Var(u"StartMenu"), "C:\\Documents and Settings\\U\\Start Menu");
  // Without the machine key the program files folders stay unset.
  EXPECT_EQ(MainVariables().Variables().count(u"PROGRAMFILES"), 0u);
  EXPECT_EQ(MainVariables().Variables().count(u"MEDIAPATH"), 0u);
}

TEST_F(RegistryFoldersTest, MachineKeysWin) {
  User("Desktop", "C:\\U\\Desktop");
  User("Programs", "C:\\U\\Programs");
  seam::WriteRegistryString(RegistryRoot::LocalMachine, kMachine, "Common Desktop", "C:\\All\\Desktop");
  seam::WriteRegistryString(RegistryRoot::LocalMachine, kMachine, "Common Programs", "C:\\All\\Programs");
  seam::WriteRegistryString(RegistryRoot::LocalMachine, kVersion, "ProgramFilesDir", "C:\\Program Files");
  seam::WriteRegistryString(RegistryRoot::LocalMachine, kVersion, "CommonFilesDir",
                            "C:\\Program Files\\Common Files");
  seam::WriteRegistryString(RegistryRoot::LocalMachine, kVersion, "MediaPath", "C:\\WINDOWS\\Media");
  SetBuiltinVariables(MainVariables(), false);
  EXPECT_EQ(Var(u"Desktop"), "C:\\U\\Desktop");
  EXPECT_EQ(Var(u"CommonDesktop"), "C:\\All\\Desktop");
  EXPECT_EQ(Var(u"ProgramGroup"), "C:\\U\\Programs");
  EXPECT_EQ(Var(u"CommonProgramGroup"), "C:\\All\\Programs");
  EXPECT_EQ(Var(u"ProgramFiles"), "C:\\Program Files");
  EXPECT_EQ(Var(u"CommonFiles"), "C:\\Program Files\\Common Files");
  EXPECT_EQ(Var(u"MediaPath"), "C:\\WINDOWS\\Media");
  // Missing values leave their variables unset rather than empty-but-stored.
  EXPECT_EQ(MainVariables().Variables().count(u"FAVORITES"), 0u);
}

TEST_F(RegistryFoldersTest, ValueLongerThanTheBufferIsIgnored) {
  User("Desktop", std::string(255, 'd').c_str());   // 255 bytes and the zero fit in 256
  User("SendTo", std::string(256, 's').c_str());
  SetBuiltinVariables(MainVariables(), false);
  EXPECT_EQ(Var(u"Desktop").size(), 255u);
  EXPECT_EQ(MainVariables().Variables().count(u"SENDTO"), 0u);
}

}  // namespace
