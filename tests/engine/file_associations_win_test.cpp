// File associations written under HKEY_CLASSES_ROOT and
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, read back from both.
#include "engine/file_associations.h"

#include "engine/actions_test_fixture.h"

namespace {

const char* kExtension = ".zzacttest";
const char* kTypeName = "ZelkonActionsTest.Save.1";

class AssociationStep : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    Clean();
    SetVariable("InstallPath", "C:\\Games\\Example Game");
  }
  void TearDown() override {
    Clean();
    ActionTest::TearDown();
  }
  static void Clean() {
    for (HKEY root : {HKEY_CLASSES_ROOT}) {
      DeleteKeyTree(root, kExtension);
      DeleteKeyTree(root, kTypeName);
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Classes\\") + kExtension);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Classes\\") + kTypeName);
  }
  static FileAssociation Sample() {
    FileAssociation a;
    a.FileExtension = kExtension;
    a.VersionedName = kTypeName;
    a.ShellCommands = {{"open", "\"%InstallPath%\\game.exe\" \"%1\""}};
    a.IconLocation = "%InstallPath%\\game.exe,1";
    return a;
  }
};

TEST_F(AssociationStep, WritesBothTreesAndLogsTheBlock) {
  InstallConfig().FileAssociations.push_back(Sample());
  ASSERT_TRUE(CreateFileAssociations());
  EXPECT_TRUE(job_.iconsChanged);
  std::string classes = "SOFTWARE\\Classes\\";
  for (const std::string& prefix : {std::string(), classes}) {
    HKEY root = prefix.empty() ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
    RegData type = ReadRegValue(root, prefix + kExtension, "");
    EXPECT_EQ(type.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(type.text(), kTypeName);
    EXPECT_EQ(ReadRegValue(root, prefix + kTypeName + "\\shell\\open\\command", "").text(),
              "\"C:\\Games\\Example Game\\game.exe\" \"%1\"");
    EXPECT_EQ(ReadRegValue(root, prefix + kTypeName + "\\DefaultIcon", "").text(), "C:\\Games\\Example Game\\game.exe,1");
  }
  std::vector<std::string> expected = {
      "\t<FileAssociation>",
      "\t\t<FileExtension>.zzacttest</FileExtension>",
      "\t\t<VersionedName>ZelkonActionsTest.Save.1</VersionedName>",
      "\t\t<IconLocation>C:\\Games\\Example Game\\game.exe,1</IconLocation>",
      "\t\t<ShellCommand>",
      "\t\t\t<Name>open</Name>",
      "\t\t\t<Command>&quot;C:\\Games\\Example Game\\game.exe&quot; &quot;%1&quot;</Command>",
      "\t\t</ShellCommand>",
      "\t</FileAssociation>",
  };
  EXPECT_EQ(LogLines(), expected);
}

TEST_F(AssociationStep, NothingWhenTheUserSaidNo) {
  InstallConfig().FileAssociations.push_back(Sample());
  ::Run().fileAssociations = false;
  EXPECT_TRUE(CreateFileAssociations());
  EXPECT_FALSE(RegKeyPresent(HKEY_CLASSES_ROOT, kExtension));
  EXPECT_TRUE(LogLines().empty());
  EXPECT_FALSE(job_.iconsChanged);
}

TEST_F(AssociationStep, AssociationWithoutCommandsIsLeftOutWithItsIcon) {
  FileAssociation a = Sample();
  a.ShellCommands.clear();
  InstallConfig().FileAssociations.push_back(a);
  EXPECT_TRUE(CreateFileAssociations());
  EXPECT_FALSE(RegKeyPresent(HKEY_CLASSES_ROOT, kExtension));
  EXPECT_FALSE(RegKeyPresent(HKEY_CLASSES_ROOT, kTypeName));
  EXPECT_FALSE(job_.iconsChanged);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(AssociationStep, ExistingValuesAreReplaced) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kExtension, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("Other.Type"), 11);
  RegCloseKey(key);
  InstallConfig().FileAssociations.push_back(Sample());
  ASSERT_TRUE(CreateFileAssociations());
  EXPECT_EQ(ReadRegValue(HKEY_CLASSES_ROOT, kExtension, "").text(), kTypeName);
}

}  // namespace
