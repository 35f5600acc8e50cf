// The shortcut step with the shell's own link objects; every link is read
// back through IShellLinkA.
#include "engine/shortcuts.h"

#include "engine/actions_test_fixture.h"
#include "support/test_support.h"
#include "winhelpers/action_inspection_win.h"

namespace {

Shortcut Link(const std::string& dest, const std::string& target, const std::string& args = "",
              const std::string& icon = "", bool shared = false) {
  Shortcut s;
  s.Dest = dest;
  s.Target = target;
  s.Args = args;
  s.Icon = icon;
  s.shared = shared;
  return s;
}

class ShortcutStep : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    CoInitialize(nullptr);
    SetVariable("Scratch", dir_.path());
    SetVariable("GameName", "Example Game");
    SetVariable("InstallPath", dir_.path() + "\\Zelkon Games");
    InstallConfig().InstallLog = "%InstallPath%\\Example Game\\install.log";
  }
  void TearDown() override {
    CoUninitialize();
    ActionTest::TearDown();
  }
  testsupport::ScratchDir dir_;
};

TEST_F(ShortcutStep, ShellLinkReadsBackWithEveryField) {
  std::string target = dir_.path() + "\\Zelkon Games\\Example Game\\game.exe";
  testsupport::WriteWholeFile(dir_.path() + "\\game.ico", "icon");
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\Menu\\Group\\Play %GameName%",
                                           "%InstallPath%\\Example Game\\game.exe", "-window %GameName%",
                                           "%Scratch%\\game.ico"));
  ASSERT_TRUE(CreateShortcuts());
  EXPECT_TRUE(Errors().empty());
  EXPECT_TRUE(job_.iconsChanged);

  inspection::LinkInfo link;
  ASSERT_TRUE(inspection::ReadShellLink(dir_.path() + "\\Menu\\Group\\Play Example Game.lnk", &link));
  EXPECT_EQ(link.target, target);
  EXPECT_EQ(link.arguments, "-window Example Game");
  EXPECT_EQ(link.workingDirectory, dir_.path() + "\\Zelkon Games\\Example Game");
  EXPECT_EQ(link.description, "Play Example Game");
  EXPECT_EQ(link.icon, dir_.path() + "\\game.ico");
  EXPECT_EQ(link.iconIndex, 0);

  // The link is logged with its destination as configured, the icon expanded.
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t<File>%Scratch%\\Menu\\Group\\Play %GameName%.lnk</File>",
                                                  "\t<File>" + dir_.path() + "\\game.ico</File>"}));
}

TEST_F(ShortcutStep, WebAddressMakesAnInternetShortcut) {
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\More Games", "http://example.com/games?a=1&b=2"));
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\Upper", "HTTP://example.com/"));
  ASSERT_TRUE(CreateShortcuts());
  EXPECT_TRUE(Errors().empty());
  std::string url = testsupport::ReadText(dir_.path() + "\\More Games.url");
  EXPECT_NE(url.find("URL=http://example.com/games?a=1&b=2"), std::string::npos) << url;
  EXPECT_FALSE(job_.iconsChanged);
  // Only the exact lower-case scheme is a web address; the other is a link
  // whose path is the address.
  EXPECT_FALSE(FileExists(dir_.path() + "\\Upper.url"));
  EXPECT_TRUE(FileExists(dir_.path() + "\\Upper.lnk"));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t<File>%Scratch%\\More Games.url</File>",
                                                  "\t<File>%Scratch%\\Upper.lnk</File>"}));
}

TEST_F(ShortcutStep, PermanentShortcutIsMadeButNotLogged) {
  InstallConfig().Shortcuts.push_back(Link("{perm}%Scratch%\\Desktop\\Game", "%Scratch%\\game.exe"));
  ASSERT_TRUE(CreateShortcuts());
  EXPECT_TRUE(FileExists(dir_.path() + "\\Desktop\\Game.lnk"));
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(ShortcutStep, SharedShortcutAndItsIconCarryTheCondition) {
  std::string icon = dir_.path() + "\\shared.ico";
  InstallConfig().Shortcuts.push_back(
      Link("%Scratch%\\Desktop\\Zelkon & Co", "%Scratch%\\launcher.exe", "", "%Scratch%\\shared.ico", true));
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\Desktop\\Own", "%Scratch%\\game.exe", "", "%Scratch%\\own.ico"));
  ASSERT_TRUE(CreateShortcuts());
  std::string condition = "#HasDirectoriesExcept " + dir_.path() + "\\Zelkon Games,Example Game, | ";
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t<File>" + condition + "%Scratch%\\Desktop\\Zelkon &amp; Co.lnk</File>",
                                                  "\t<File>" + condition + icon + "</File>",
                                                  "\t<File>%Scratch%\\Desktop\\Own.lnk</File>",
                                                  "\t<File>" + dir_.path() + "\\own.ico</File>"}));
  // The worker keeps the shared icon out of its plain file lines, not the
  // icon of an ordinary shortcut.
  EXPECT_TRUE(IsSharedShortcutIcon(icon));
  EXPECT_FALSE(IsSharedShortcutIcon(dir_.path() + "\\own.ico"));
  EXPECT_FALSE(IsSharedShortcutIcon(Upper(icon)));
}

TEST_F(ShortcutStep, EmptyTargetOrDestinationIsSkipped) {
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\NoTarget", "%Unset%"));
  InstallConfig().Shortcuts.push_back(Link("%Unset%", "%Scratch%\\game.exe"));
  ASSERT_TRUE(CreateShortcuts());
  EXPECT_FALSE(FileExists(dir_.path() + "\\NoTarget.lnk"));
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ShortcutStep, FailedLinkIsReportedLoggedAndTheStepGoesOn) {
  // A drive that does not exist: the folders cannot be made, the save fails.
  DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char c = 'Q'; c <= 'Y' && !letter; ++c)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  ASSERT_NE(letter, 0);
  std::string missing = std::string(1, letter) + ":\\Nowhere\\Game";
  InstallConfig().Shortcuts.push_back(Link(missing, "%Scratch%\\game.exe"));
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\After", "%Scratch%\\game.exe"));
  ASSERT_TRUE(CreateShortcuts());
  EXPECT_EQ(Errors(), std::vector<std::string>{"Failed to Create Link to '" + dir_.path() + "\\game.exe'"});
  EXPECT_FALSE(::Run().aborted);
  EXPECT_TRUE(FileExists(dir_.path() + "\\After.lnk"));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t<File>" + missing + ".lnk</File>",
                                                  "\t<File>%Scratch%\\After.lnk</File>"}));
}

TEST_F(ShortcutStep, ExistingLinkIsReplaced) {
  ASSERT_TRUE(testsupport::WriteWholeFile(dir_.path() + "\\Game.lnk", "not a link"));
  InstallConfig().Shortcuts.push_back(Link("%Scratch%\\Game", "%Scratch%\\game.exe", "-new"));
  ASSERT_TRUE(CreateShortcuts());
  inspection::LinkInfo link;
  ASSERT_TRUE(inspection::ReadShellLink(dir_.path() + "\\Game.lnk", &link));
  EXPECT_EQ(link.arguments, "-new");
}

}  // namespace
