// Game Explorer registration: the upgrade key of Windows XP against the real
// registry, and the whole step on the running system.
#include "engine/game_explorer.h"

#include "engine/actions_test_fixture.h"
#include "support/test_support.h"

namespace {

class GameExplorerStep : public ActionTest {
 protected:
  void TearDown() override {
    for (const std::string& guid : created_) DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kGamesToFindKey) + "\\" + guid);
    ActionTest::TearDown();
  }
  std::string NewGuid() {
    std::string guid;
    EXPECT_TRUE(NewGuidString(&guid));
    created_.push_back(guid);
    return guid;
  }
  std::vector<std::string> created_;
};

TEST_F(GameExplorerStep, GuidTextHasTheRegistryForm) {
  std::string guid = NewGuid();
  ASSERT_EQ(guid.size(), 38u);
  EXPECT_EQ(guid.front(), '{');
  EXPECT_EQ(guid.back(), '}');
  EXPECT_EQ(guid[9], '-');
  EXPECT_NE(NewGuid(), guid);
}

TEST_F(GameExplorerStep, UpgradeKeyTakesAGuidNoOtherGameHas) {
  std::string taken = NewGuid(), fresh = NewGuid();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kGamesToFindKey) + "\\" + taken).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  std::vector<std::string> offered = {taken, fresh};
  size_t next = 0;
  std::string guid;
  ASSERT_TRUE(RegisterForUpgradeWith("C:\\Games\\Example Game\\game.exe", "C:\\Games\\Example Game", &guid,
                                     [&](std::string* out) {
                                       if (next >= offered.size()) return false;
                                       *out = offered[next++];
                                       return true;
                                     }));
  EXPECT_EQ(guid, fresh);
  EXPECT_EQ(next, 2u);
  std::string sub_key = std::string(kGamesToFindKey) + "\\" + fresh;
  RegData binary = ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "GDFBinaryPath");
  EXPECT_EQ(binary.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(binary.text(), "C:\\Games\\Example Game\\game.exe");
  EXPECT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, sub_key, "GameInstallPath").text(), "C:\\Games\\Example Game");
  // The game that had the GUID first is left alone.
  EXPECT_FALSE(ReadRegValue(HKEY_LOCAL_MACHINE, std::string(kGamesToFindKey) + "\\" + taken, "GDFBinaryPath").found);
}

TEST_F(GameExplorerStep, UpgradeKeyWithoutAnyGuidFails) {
  std::string guid;
  EXPECT_FALSE(RegisterForUpgradeWith("a.exe", "", &guid, [](std::string*) { return false; }));
}

TEST_F(GameExplorerStep, NothingConfiguredNothingDone) {
  size_t shortcuts = InstallConfig().Shortcuts.size();
  EXPECT_FALSE(RegisterGameExplorer());
  EXPECT_EQ(InstallConfig().Shortcuts.size(), shortcuts);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(GameExplorerStep, RegistrationOnThisSystemOrSilence) {
  // The sample game carries a game definition resource. Where the Game
  // Explorer object can register it, the step logs the GUID and the task
  // folder and adds the play task; where it cannot (Wine loads the
  // definition through a protocol its prefix may lack), the step is silent.
  CoInitialize(nullptr);
  SetVariable("Bin", testsupport::BinDir());
  InstallConfig().GameExplorer = "%Bin%\\StarCourier.exe";
  InstallConfig().GameExplorerLinkName = "Play %GameName%";
  bool registered = RegisterGameExplorer();
  std::vector<std::string> lines = LogLines();
  if (!registered) {
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(InstallConfig().Shortcuts.empty());
    EXPECT_TRUE(Errors().empty());
    CoUninitialize();
    std::printf("[ INFO ] the Game Explorer did not register the sample game on this system\n");
    return;
  }
  std::printf("[ INFO ] the Game Explorer registered the sample game\n");
  ASSERT_GE(lines.size(), 2u);
  ASSERT_EQ(lines[0].compare(0, 19, "\t<GameExplorerGuid>"), 0);
  std::string guid = lines[0].substr(19, 38);
  ASSERT_EQ(InstallConfig().Shortcuts.size(), 1u);
  const Shortcut& play = InstallConfig().Shortcuts[0];
  EXPECT_EQ(play.Target, testsupport::BinDir() + "\\StarCourier.exe");
  std::string suffix = "\\Microsoft\\Windows\\GameExplorer\\" + guid + "\\PlayTasks\\0\\Play %GameName%";
  ASSERT_GT(play.Dest.size(), suffix.size());
  EXPECT_EQ(play.Dest.substr(play.Dest.size() - suffix.size()), suffix);
  CoUninitialize();
}

}  // namespace
