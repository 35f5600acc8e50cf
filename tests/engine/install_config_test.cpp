#include "engine/install_config.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/test_support.h"

namespace {

using BrioCommon::InstallConfigParser;

struct Parsed {
  bool ok = false;
  std::string error;
  std::string path;
  std::unique_ptr<InstallConfigParser> config{new InstallConfigParser()};
};

// Writes the document to install.xml in a scratch folder and reads it with a
// fresh parser.
Parsed Parse(const std::string& document) {
  testsupport::ScratchDir dir;
  Parsed parsed;
  parsed.path = dir.file("install.xml");
  EXPECT_TRUE(testsupport::WriteWholeFile(parsed.path, document));
  parsed.ok = parsed.config->ParseFile(parsed.path);
  parsed.error = parsed.config->GetErrorText();
  return parsed;
}

std::string InFile(const Parsed& p) { return " in File '" + p.path + "'"; }

TEST(InstallConfigTest, EmptyOrCommentOnlyFilesLeaveDefaults) {
  for (const char* document : {"", "<?xml version=\"1.0\"?>\n<!-- nothing here -->\n"}) {
    SCOPED_TRACE(document);
    Parsed p = Parse(document);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.error, "");
    EXPECT_TRUE(p.config->Registry.empty());
    EXPECT_TRUE(p.config->Shortcuts.empty());
    EXPECT_TRUE(p.config->PreExec.empty());
    EXPECT_TRUE(p.config->TemporaryInstallResources.empty());
    EXPECT_EQ(p.config->GameExplorerLinkName, "Play");
    EXPECT_EQ(p.config->InstallLog, "");
  }
}

TEST(InstallConfigTest, ReadsEveryElementAndRecord) {
  Parsed p = Parse(R"(<?xml version="1.0" encoding="UTF-8" ?>
<InstallConfig>
  <Registry>
    <RegValue><Key>HKLM\Software\Zelkon\%ProdName%</Key><TypeNum>1</TypeNum>
      <Name>Version</Name><Value>7</Value></RegValue>
    <RegValue><Key>HKCU\K</Key><Name>N</Name><Value>%InstallPath%</Value></RegValue>
  </Registry>
  <TemporaryInstallResources><File>%TempInstallerDir%\a.ico</File><File>b.ico</File></TemporaryInstallResources>
  <Shortcuts>
    <Shortcut><Dest>%AppFolder%\Play</Dest><Target>%InstallPath%\game.exe</Target>
      <Args>-window</Args><Icon>%InstallPath%\game.ico</Icon></Shortcut>
    <Shortcut shared="1"><Dest>%CommonDesktop%\Play</Dest><Target>x</Target></Shortcut>
  </Shortcuts>
  <Retailers>
    <Retailer><Name>Store One</Name><DisplayIcon>one.ico</DisplayIcon>
      <Shortcut shared="1"><Dest>%AppFolder%\Store</Dest><Target>http://example.invalid/</Target></Shortcut>
    </Retailer>
  </Retailers>
  <FileAssociations>
    <FileAssociation><FileExtension>.zsav</FileExtension><VersionedName>Zelkon.Save.1</VersionedName>
      <IconLocation>%InstallPath%\game.exe,1</IconLocation>
      <ShellCommand><Name>open</Name><Command>"%InstallPath%\game.exe" "%1"</Command></ShellCommand>
      <ShellCommand><Name>edit</Name><Command>e</Command></ShellCommand>
    </FileAssociation>
  </FileAssociations>
  <RequiredInstallPath><InstallLocation>#Registry HKLM\Software\Base, Path</InstallLocation>
    <FileNameAppend>base.exe</FileNameAppend></RequiredInstallPath>
  <ExFileInfo/>
  <RunExe>%InstallPath%\game.exe</RunExe>
  <InstallLog>%InstallPath%\install.log</InstallLog>
  <AppDataSuffix>Zelkon\Game</AppDataSuffix>
  <GameExplorer>%InstallPath%\gdf.dll</GameExplorer>
  <GameExplorerLinkName>Start</GameExplorerLinkName>
  <UninstallCmd>%InstallPath%\uninstall.exe</UninstallCmd>
  <UninstallDeltree>%InstallPath%</UninstallDeltree>
  <UserDirectory>%InstallPath%\saves</UserDirectory>
  <UninstallDelRegKey>HKLM\Software\Zelkon</UninstallDelRegKey>
  <UserRegKey>HKCU\Software\Zelkon</UserRegKey>
  <GrantAllFilePermissions>%InstallPath%\saves</GrantAllFilePermissions>
  <GrantAllRegistryPermissions>HKLM\Software\Zelkon</GrantAllRegistryPermissions>
  <PreExec><Exe>%TempInstallerDir%\redist.exe</Exe><Directory>%TempInstallerDir%</Directory>
    <Params>/q</Params><SilentFail>1</SilentFail><Id>redist</Id>
    <StatusMessage>Installing the runtime</StatusMessage>
    <ReturnCodes><Success>3010</Success></ReturnCodes></PreExec>
  <PostExec><Exe>post.exe</Exe></PostExec>
  <UninstallPreExec><Exe>pre-un.exe</Exe><PostConfirmation>1</PostConfirmation></UninstallPreExec>
  <UninstallPostExec><Exe>post-un.exe</Exe></UninstallPostExec>
</InstallConfig>
)");
  ASSERT_TRUE(p.ok) << p.error;
  const InstallConfigParser& c = *p.config;

  ASSERT_EQ(c.Registry.size(), 2u);
  EXPECT_EQ(c.Registry[0].Key, "HKLM\\Software\\Zelkon\\%ProdName%");
  EXPECT_EQ(c.Registry[0].TypeNum, 1);
  EXPECT_EQ(c.Registry[0].Name, "Version");
  EXPECT_EQ(c.Registry[0].Value, "7");
  EXPECT_EQ(c.Registry[1].TypeNum, 0);
  EXPECT_EQ(c.Registry[1].Value, "%InstallPath%");

  EXPECT_EQ(c.TemporaryInstallResources, (std::vector<std::string>{"%TempInstallerDir%\\a.ico", "b.ico"}));

  ASSERT_EQ(c.Shortcuts.size(), 2u);
  EXPECT_EQ(c.Shortcuts[0].Dest, "%AppFolder%\\Play");
  EXPECT_EQ(c.Shortcuts[0].Target, "%InstallPath%\\game.exe");
  EXPECT_EQ(c.Shortcuts[0].Args, "-window");
  EXPECT_EQ(c.Shortcuts[0].Icon, "%InstallPath%\\game.ico");
  EXPECT_FALSE(c.Shortcuts[0].shared);
  EXPECT_TRUE(c.Shortcuts[1].shared);

  ASSERT_EQ(c.Retailers.size(), 1u);
  EXPECT_EQ(c.Retailers[0].Name, "Store One");
  EXPECT_EQ(c.Retailers[0].DisplayIcon, "one.ico");
  ASSERT_EQ(c.Retailers[0].Shortcuts.size(), 1u);
  EXPECT_EQ(c.Retailers[0].Shortcuts[0].Target, "http://example.invalid/");
  EXPECT_FALSE(c.Retailers[0].Shortcuts[0].shared) << "a retailer's shortcut is never shared";

  ASSERT_EQ(c.FileAssociations.size(), 1u);
  const FileAssociation& fa = c.FileAssociations[0];
  EXPECT_EQ(fa.FileExtension, ".zsav");
  EXPECT_EQ(fa.VersionedName, "Zelkon.Save.1");
  EXPECT_EQ(fa.IconLocation, "%InstallPath%\\game.exe,1");
  ASSERT_EQ(fa.ShellCommands.size(), 2u);
  EXPECT_EQ(fa.ShellCommands[0].Name, "open");
  EXPECT_EQ(fa.ShellCommands[0].Command, "\"%InstallPath%\\game.exe\" \"%1\"");
  EXPECT_EQ(fa.ShellCommands[1].Name, "edit");

  EXPECT_EQ(c.InstallLocation, "#Registry HKLM\\Software\\Base, Path");
  EXPECT_EQ(c.FileNameAppend, "base.exe");
  EXPECT_EQ(c.RunExe, "%InstallPath%\\game.exe");
  EXPECT_EQ(c.InstallLog, "%InstallPath%\\install.log");
  EXPECT_EQ(c.AppDataSuffix, "Zelkon\\Game");
  EXPECT_EQ(c.GameExplorer, "%InstallPath%\\gdf.dll");
  EXPECT_EQ(c.GameExplorerLinkName, "Start");
  EXPECT_EQ(c.UninstallCmd, "%InstallPath%\\uninstall.exe");
  EXPECT_EQ(c.UninstallDeltree, (std::vector<std::string>{"%InstallPath%"}));
  EXPECT_EQ(c.UserDirectory, (std::vector<std::string>{"%InstallPath%\\saves"}));
  EXPECT_EQ(c.UninstallDelRegKey, (std::vector<std::string>{"HKLM\\Software\\Zelkon"}));
  EXPECT_EQ(c.UserRegKey, (std::vector<std::string>{"HKCU\\Software\\Zelkon"}));
  EXPECT_EQ(c.GrantAllFilePermissions, (std::vector<std::string>{"%InstallPath%\\saves"}));
  EXPECT_EQ(c.GrantAllRegistryPermissions, (std::vector<std::string>{"HKLM\\Software\\Zelkon"}));

  ASSERT_EQ(c.PreExec.size(), 1u);
  const ExecRecord& pre = c.PreExec[0];
  EXPECT_EQ(pre.Exe, "%TempInstallerDir%\\redist.exe");
  EXPECT_EQ(pre.Directory, "%TempInstallerDir%");
  EXPECT_EQ(pre.Params, "/q");
  EXPECT_TRUE(pre.SilentFail);
  EXPECT_FALSE(pre.PostConfirmation);
  EXPECT_EQ(pre.Id, "redist");
  EXPECT_EQ(pre.StatusMessage, u"Installing the runtime");
  EXPECT_EQ(pre.ReturnCodes, (std::set<int32_t>{0, 3010}));
  ASSERT_EQ(c.PostExec.size(), 1u);
  EXPECT_EQ(c.PostExec[0].Exe, "post.exe");
  EXPECT_EQ(c.PostExec[0].ReturnCodes, (std::set<int32_t>{0}));
  ASSERT_EQ(c.UninstallPreExec.size(), 1u);
  EXPECT_TRUE(c.UninstallPreExec[0].PostConfirmation);
  ASSERT_EQ(c.UninstallPostExec.size(), 1u);
  EXPECT_EQ(c.UninstallPostExec[0].Exe, "post-un.exe");
}

TEST(InstallConfigTest, TwoRootsAccumulateAndLaterTextsReplace) {
  Parsed p = Parse(
      "<InstallConfig><RunExe>a</RunExe><UninstallDeltree>x</UninstallDeltree></InstallConfig>\n"
      "<InstallConfig><RunExe>b</RunExe><UninstallDeltree>y</UninstallDeltree></InstallConfig>\n");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.config->RunExe, "b");
  EXPECT_EQ(p.config->UninstallDeltree, (std::vector<std::string>{"x", "y"}));
}

TEST(InstallConfigTest, SharedIsThePresenceOfTheAttribute) {
  struct Case {
    const char* tag;
    bool shared;
  } cases[] = {
      {"<Shortcut shared=\"0\">", true},
      {"<Shortcut shared>", true},
      {"<Shortcut Shared=\"1\">", false},
      {"<Shortcut>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    Parsed p = Parse(std::string("<InstallConfig><Shortcuts>") + c.tag +
                     "<Dest>d</Dest></Shortcut></Shortcuts></InstallConfig>");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.config->Shortcuts.size(), 1u);
    EXPECT_EQ(p.config->Shortcuts[0].shared, c.shared);
  }
}

TEST(InstallConfigTest, NumbersAndFlagsReadLeniently) {
  struct Case {
    const char* text;
    int32_t type_num;
    bool flag;
  } cases[] = {
      {"1x", 1, true}, {"x", 0, false}, {"-5", -5, true}, {"+2", 2, true},
      {"yes", 0, false}, {"", 0, false}, {"007", 7, true}, {"0", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string t = c.text;
    Parsed p = Parse("<InstallConfig><Registry><RegValue><TypeNum>" + t +
                     "</TypeNum></RegValue></Registry><PreExec><SilentFail>" + t +
                     "</SilentFail><PostConfirmation>" + t + "</PostConfirmation></PreExec></InstallConfig>");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.config->Registry.at(0).TypeNum, c.type_num);
    EXPECT_EQ(p.config->PreExec.at(0).SilentFail, c.flag);
    EXPECT_EQ(p.config->PreExec.at(0).PostConfirmation, c.flag);
  }
}

TEST(InstallConfigTest, ReturnCodes) {
  struct Case {
    const char* children;
    std::set<int32_t> codes;
  } cases[] = {
      {"<Success>3010</Success>", {0, 3010}},
      {"<Fail>0</Fail><Success>1</Success>", {1}},
      {"<Success>0x10</Success>", {0, 16}},
      {"<Success>-1</Success><Fail>7</Fail>", {-1, 0}},
      {"", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.children);
    Parsed p = Parse(std::string("<InstallConfig><PreExec><ReturnCodes>") + c.children +
                     "</ReturnCodes></PreExec></InstallConfig>");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.config->PreExec.at(0).ReturnCodes, c.codes);
  }
}

TEST(InstallConfigTest, StatusMessageStaysWideOtherTextsAreNarrowed) {
  // UTF-8 with a byte-order mark: U+20AC in both places.
  Parsed p = Parse(
      "\xEF\xBB\xBF<InstallConfig><Shortcuts><Shortcut><Dest>Play \xE2\x82\xAC</Dest></Shortcut></Shortcuts>"
      "<PreExec><StatusMessage>Cost \xE2\x82\xAC</StatusMessage></PreExec></InstallConfig>");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.config->Shortcuts.at(0).Dest, "Play \xAC");
  EXPECT_EQ(p.config->PreExec.at(0).StatusMessage, u"Cost \u20AC");
}

TEST(InstallConfigTest, TextSplitByACommentKeepsTheLastPieceExceptStatusMessage) {
  Parsed p = Parse(
      "<InstallConfig><RunExe>a<!-- c -->b</RunExe>"
      "<PreExec><StatusMessage>x<!-- c -->y</StatusMessage></PreExec></InstallConfig>");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.config->RunExe, "b");
  EXPECT_EQ(p.config->PreExec.at(0).StatusMessage, u"xy");
}

TEST(InstallConfigTest, ErrorsCarryTheirLineAndFile) {
  struct Case {
    const char* document;
    const char* message;  // before the " on Line" part
    int line;             // 0: no line part
  } cases[] = {
      {"<Config/>", "Invalid Section 'Config'", 1},
      {"text<InstallConfig/>", "Element Not Expected 'text'", 1},
      {"<InstallConfig>\n<Bogus/>", "Invalid Section 'Bogus'", 2},
      {"<InstallConfig>\nloose</InstallConfig>", "Element Not Expected 'loose'", 2},
      {"<InstallConfig><ExFileInfo>x</ExFileInfo></InstallConfig>", "Element Not Expected 'x'", 1},
      {"<InstallConfig><ExFileInfo><A/></ExFileInfo></InstallConfig>", "Invalid Section 'A'", 1},
      {"<InstallConfig><PreExec><Exe><b/></Exe></PreExec></InstallConfig>", "Unexpected Section: b", 1},
      {"<InstallConfig>\n<Shortcuts>\n<Shortcut><Target2>x</Target2></Shortcut></Shortcuts></InstallConfig>",
       "Invalid Section 'Target2'", 3},
      {"<InstallConfig><Shortcuts><Link/></Shortcuts></InstallConfig>", "Invalid Section 'Link'", 1},
      {"<InstallConfig><Shortcuts>t</Shortcuts></InstallConfig>", "Element Not Expected 't'", 1},
      {"<InstallConfig><Registry><Value/></Registry></InstallConfig>", "Invalid Section 'Value'", 1},
      {"<InstallConfig><Registry><RegValue><Type/></RegValue></Registry></InstallConfig>",
       "Invalid Section 'Type'", 1},
      {"<InstallConfig><Registry><RegValue>v</RegValue></Registry></InstallConfig>", "Element Not Expected 'v'",
       1},
      {"<InstallConfig><TemporaryInstallResources><Icon/></TemporaryInstallResources></InstallConfig>",
       "Invalid section 'Icon'", 1},
      {"<InstallConfig><Retailers><Retailer><Url/></Retailer></Retailers></InstallConfig>",
       "Invalid Section 'Url'", 1},
      {"<InstallConfig><FileAssociations><FileAssociation><ShellCommand><Verb/></ShellCommand>"
       "</FileAssociation></FileAssociations></InstallConfig>",
       "Invalid Section 'Verb'", 1},
      {"<InstallConfig><RequiredInstallPath><Path/></RequiredInstallPath></InstallConfig>",
       "Invalid Section 'Path'", 1},
      {"<InstallConfig><PreExec><ReturnCodes><Success>abc</Success></ReturnCodes></PreExec></InstallConfig>",
       "Invalid value 'abc' specified for 'Success' code", 1},
      {"<InstallConfig><PreExec><ReturnCodes><Fail>1y</Fail></ReturnCodes></PreExec></InstallConfig>",
       "Invalid value '1y' specified for 'Fail' code", 1},
      {"<InstallConfig><PreExec><ReturnCodes><Maybe>1</Maybe></ReturnCodes></PreExec></InstallConfig>",
       "Unexpected section 'Maybe' encountered", 1},
      {"<InstallConfig><PreExec><ReturnCodes>7</ReturnCodes></PreExec></InstallConfig>",
       "Unexpected element '7' encountered", 1},
      {"<InstallConfig><PreExec><Wait/></PreExec></InstallConfig>", "Invalid Section 'Wait'", 1},
      // The XML reader's own errors replace the parser's.
      {"<InstallConfig>\n<Registry></Shortcuts>", "End 'Shortcuts' Doesn't Match Start 'Registry'", 2},
      {"<InstallConfig><RunExe>a > b</RunExe></InstallConfig>", "Unexpected '>'", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    Parsed p = Parse(c.document);
    EXPECT_FALSE(p.ok);
    std::string expected = c.message;
    if (c.line > 0) expected += " on Line " + std::to_string(c.line);
    EXPECT_EQ(p.error, expected + InFile(p));
  }
}

TEST(InstallConfigTest, MissingFileReportsTheReadersText) {
  testsupport::ScratchDir dir;
  std::string path = dir.file("absent.xml");
  InstallConfigParser config;
  EXPECT_FALSE(config.ParseFile(path));
  EXPECT_EQ(config.GetErrorText(), "Unable to open file " + path);
}

TEST(InstallConfigTest, TruncatedSectionFailsWithAReason) {
  Parsed p = Parse("<InstallConfig><Registry><RegValue><Key>k</Key>");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.error, "Unexpected End of File on Line 1" + InFile(p));
  EXPECT_TRUE(p.config->Registry.empty()) << "a half-read record is dropped";
}

TEST(InstallConfigTest, RecordsBeforeAnErrorStay) {
  Parsed p = Parse(
      "<InstallConfig><Registry><RegValue><Key>a</Key></RegValue>"
      "<RegValue><Key>b</Key><Bad/></RegValue></Registry></InstallConfig>");
  EXPECT_FALSE(p.ok);
  ASSERT_EQ(p.config->Registry.size(), 1u);
  EXPECT_EQ(p.config->Registry[0].Key, "a");
}

TEST(InstallConfigTest, AFailedParseStaysFailed) {
  testsupport::ScratchDir dir;
  std::string bad = dir.file("bad.xml"), good = dir.file("good.xml");
  testsupport::WriteWholeFile(bad, "<Other/>");
  testsupport::WriteWholeFile(good, "<InstallConfig><RunExe>r</RunExe></InstallConfig>");
  InstallConfigParser config;
  EXPECT_FALSE(config.ParseFile(bad));
  EXPECT_FALSE(config.ParseFile(good));
  EXPECT_EQ(config.RunExe, "r");
}

}  // namespace
