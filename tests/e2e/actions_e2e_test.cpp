// The install actions end to end under Wine: real installers packed from a
// small product (the sample game with its game definition, a stand-in
// prerequisite and a library), installed with -silent, and everything they
// leave read back: registry values with `reg query`, links through the
// action_inspector helper, key security, files, exit codes and the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "e2e/install_packing.h"
#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kKey = "HKLM\\Software\\ZelkonActionsE2E";
constexpr const char* kInstallName = "Zelkon Actions E2E";
constexpr const char* kExtension = ".zzacte2e";
constexpr const char* kTypeName = "ZelkonActionsE2E.Save.1";

std::string WindowsDir(const std::string& name) { return "C:\\e2e\\actions-" + name; }

// A Windows path of a prefix ("C:\a\b") as the host sees it.
std::string HostPath(const std::string& version, const std::string& windows_path) {
  std::string rest = windows_path.substr(3);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return e2e::DriveC(version) + "/" + rest;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Commands run one after another in one Wine session (a batch file), so
// that they share one Wine server: key security set by the installer lives
// only in the running server (Wine's registry files do not keep it), and one
// session is much faster than a Wine start for every query.
class Session {
 public:
  explicit Session(const std::string& folder) : folder_(folder) {}

  // Adds a command line; returns its number for Output().
  int Add(const std::string& command) {
    commands_.push_back(command);
    return static_cast<int>(commands_.size()) - 1;
  }
  // The installer with its arguments; its exit code is ExitCode().
  int AddInstaller(const std::string& host_path, const std::string& arguments) {
    installer_ = Add("\"" + e2e::WinePath(host_path) + "\" " + arguments + "\r\necho ##EXIT %errorlevel%");
    return installer_;
  }
  int AddQuery(const std::string& key, const std::string& value) {
    return Add("reg query \"" + key + "\" " + (value.empty() ? "/ve" : "/v \"" + value + "\""));
  }
  int AddInspect(const std::string& what, const std::string& path) {
    return Add("\"" + e2e::WinePath(e2e::BinDir() + "/action_inspector.exe") + "\" " + what + " \"" + path + "\"");
  }

  bool Run(const std::string& version) {
    std::string script = "@echo off\r\n";
    for (size_t i = 0; i < commands_.size(); ++i) script += "echo ##" + std::to_string(i) + "\r\n" + commands_[i] + "\r\n";
    const std::string path = folder_ + "/session.bat";
    if (!testsupport::WriteWholeFile(path, script)) return false;
    result_ = e2e::RunWine(version, {"cmd", "/c", e2e::WinePath(path)}, 300);
    outputs_.assign(commands_.size(), {});
    int current = -1;
    for (const std::string& line : Lines(result_.output)) {
      if (line.rfind("##EXIT ", 0) == 0) {
        exitCode_ = std::atoi(line.c_str() + 7);
      } else if (line.rfind("##", 0) == 0) {
        current = std::atoi(line.c_str() + 2);
      } else if (current >= 0 && current < static_cast<int>(outputs_.size())) {
        outputs_[current].push_back(line);
      }
    }
    return !result_.timedOut;
  }

  int ExitCode() const { return exitCode_; }
  const std::string& AllOutput() const { return result_.output; }

  // The data of a queried value ("<missing>" when reg found none); the
  // default value is named "(Default)" in reg's output.
  std::string Value(int query, std::string* type = nullptr) const {
    for (const std::string& line : outputs_[query]) {
      if (line.rfind("    ", 0) != 0) continue;
      std::vector<std::string> fields;
      for (size_t at = 4; at <= line.size();) {
        size_t next = line.find("    ", at);
        fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) break;
        at = next + 4;
      }
      if (fields.size() < 2) continue;
      if (type) *type = fields[1];
      return fields.size() > 2 ? fields[2] : std::string();
    }
    return "<missing>";
  }
  // The "name=value" lines of an inspector command.
  std::map<std::string, std::string> Fields(int inspect) const {
    std::map<std::string, std::string> out;
    for (const std::string& line : outputs_[inspect]) {
      size_t eq = line.find('=');
      if (eq != std::string::npos && line.find(' ') > eq) out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
  }

 private:
  std::string folder_;
  std::vector<std::string> commands_;
  std::vector<std::vector<std::string>> outputs_;
  e2e::WineResult result_;
  int installer_ = -1;
  int exitCode_ = -1;
};

const char* kProps = R"(<?xml version="1.0" encoding="utf-8"?>
<Properties>
  <String id="FATAL_POPUP_TITLE">%InstallName% Setup</String>
  <String id="INSTALLING_PREREQ_MESSAGE">Installing prerequisites</String>
</Properties>
)";

std::string Defines(const std::string& install_path) {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<Defines>
  <Define><Name>InstallName</Name><Value>Zelkon Actions E2E</Value></Define>
  <Define><Name>GameName</Name><Value>Actions Game</Value></Define>
  <Define><Name>InstallGroup</Name><Value>Zelkon Games\Actions E2E</Value></Define>
  <Define><Name>InstallPath</Name><Value>)" +
         install_path + R"(</Value></Define>
</Defines>
)";
}

// The configuration that exercises every action at once.
std::string FullConfig(const std::string& markers) {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<InstallConfig>
  <InstallLog>%InstallPath%\Logs\install.log</InstallLog>
  <UninstallCmd>"%InstallPath%\uninstall.exe" /log</UninstallCmd>
  <GameExplorer>%InstallPath%\StarCourier.exe</GameExplorer>
  <GrantAllFilePermissions>%InstallPath%\Saves\</GrantAllFilePermissions>
  <GrantAllFilePermissions>%InstallPath%\Config\settings.ini</GrantAllFilePermissions>
  <GrantAllRegistryPermissions>HKLM\Software\ZelkonActionsE2E\Open</GrantAllRegistryPermissions>
  <PreExec>
    <Exe>%TempInstallerDir%\exit_code.exe</Exe>
    <Params>3010 0 ")" + markers + R"(\prerequisite.txt"</Params>
    <ReturnCodes><Success>3010</Success></ReturnCodes>
  </PreExec>
  <PreExec>
    <Exe>%TempInstallerDir%\missing.exe</Exe>
    <SilentFail>1</SilentFail>
  </PreExec>
  <PostExec>
    <Exe>Touch@%InstallPath%\touch_library.dll</Exe>
  </PostExec>
  <PostExec>
    <Exe>%InstallPath%\exit_code.exe</Exe>
    <Params>0 0 postexec.txt</Params>
    <Directory>%InstallPath%</Directory>
  </PostExec>
  <Registry>
    <RegValue><Key>HKLM\Software\ZelkonActionsE2E</Key><Name>Path</Name><TypeNum>0</TypeNum><Value>%InstallPath%</Value></RegValue>
    <RegValue><Key>HKLM\Software\ZelkonActionsE2E</Key><Name>Count</Name><TypeNum>1</TypeNum><Value>0x10</Value></RegValue>
    <RegValue><Key>HKLM\Software\ZelkonActionsE2E</Key><Name>Blob</Name><TypeNum>2</TypeNum><Value>01 ff 7A</Value></RegValue>
    <RegValue><Key>HKLM\Software\ZelkonActionsE2E</Key><Name>BadBlob</Name><TypeNum>2</TypeNum><Value>0 1 ab</Value></RegValue>
    <RegValue><Key>HKLM\Software\ZelkonActionsE2E</Key><Name>Lang</Name><TypeNum>0</TypeNum><Value>en</Value></RegValue>
  </Registry>
  <Shortcuts>
    <Shortcut>
      <Dest>%AppFolder%\Play %GameName%</Dest>
      <Target>%InstallPath%\StarCourier.exe</Target>
      <Args>-window</Args>
      <Icon>%InstallPath%\game.ico</Icon>
    </Shortcut>
    <Shortcut>
      <Dest>%AppFolder%\Zelkon Website</Dest>
      <Target>http://example.com/zelkon</Target>
    </Shortcut>
    <Shortcut>
      <Dest>{perm}%CommonDesktop%\Zelkon Actions Permanent</Dest>
      <Target>%InstallPath%\StarCourier.exe</Target>
    </Shortcut>
    <Shortcut shared="1">
      <Dest>%CommonDesktop%\Zelkon Actions Shared</Dest>
      <Target>%InstallPath%\StarCourier.exe</Target>
      <Icon>%InstallPath%\shared.ico</Icon>
    </Shortcut>
  </Shortcuts>
  <FileAssociations>
    <FileAssociation>
      <FileExtension>.zzacte2e</FileExtension>
      <VersionedName>ZelkonActionsE2E.Save.1</VersionedName>
      <ShellCommand><Name>open</Name><Command>"%InstallPath%\StarCourier.exe" "%1"</Command></ShellCommand>
      <IconLocation>%InstallPath%\StarCourier.exe,0</IconLocation>
    </FileAssociation>
  </FileAssociations>
</InstallConfig>
)";
}

class ActionsInstall : public ::testing::Test {
 protected:
  // The product: the sample game (it carries a game definition), the
  // stand-in prerequisite, the library and two icons.
  static void SetUpTestSuite() {
    product_ = new testsupport::ScratchDir();
    const std::string files = product_->path() + "/files";
    fs::create_directories(files);
    for (const char* name : {"StarCourier.exe", "exit_code.exe", "touch_library.dll"})
      fs::copy_file(e2e::BinDir() + "/" + name, files + "/" + name);
    testsupport::WriteWholeFile(files + "/game.ico", "game icon");
    testsupport::WriteWholeFile(files + "/shared.ico", "shared icon");
  }
  static void TearDownTestSuite() { delete product_; }

  // Packs an installer with this install.xml and install folder; the cfg
  // folder also carries the prerequisite.
  std::string Pack(const std::string& install_xml, const std::string& install_path) {
    const std::string cfg = dir_.path() + "/cfg";
    fs::remove_all(cfg);
    fs::create_directories(cfg);
    testsupport::WriteWholeFile(cfg + "/props.xml", kProps);
    testsupport::WriteWholeFile(cfg + "/defines.xml", Defines(install_path));
    testsupport::WriteWholeFile(cfg + "/install.xml", install_xml);
    fs::copy_file(e2e::BinDir() + "/exit_code.exe", cfg + "/exit_code.exe");
    std::string error;
    Bytes packed = e2e::PackInstaller(cfg, product_->path() + "/files", {}, {}, &error);
    EXPECT_FALSE(packed.empty()) << error;
    const std::string path = dir_.file("Setup.exe");
    testsupport::WriteWholeFile(path, packed.data(), packed.size());
    return path;
  }

  static testsupport::ScratchDir* product_;
  testsupport::ScratchDir dir_;
};

testsupport::ScratchDir* ActionsInstall::product_ = nullptr;

TEST_F(ActionsInstall, EveryActionOnWindows7) {
  const std::string v = e2e::kWin7;
  const std::string install = WindowsDir("full"), host = HostPath(v, install);
  const std::string markers = WindowsDir("full-markers");
  const std::string uninstall =
      std::string("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kInstallName;
  const std::vector<std::string> keys = {kKey, uninstall, std::string("HKCR\\") + kExtension,
                                         std::string("HKCR\\") + kTypeName};
  fs::remove_all(host);
  fs::remove_all(HostPath(v, markers));
  fs::create_directories(HostPath(v, markers));
  const std::string app_folder = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zelkon Games\\Actions E2E";
  const std::string desktop = "C:\\users\\Public\\Desktop";

  Session session(dir_.path());
  for (const std::string& key : keys) session.Add("reg delete \"" + key + "\" /f >nul 2>nul");
  session.AddInstaller(Pack(FullConfig(markers), install),
                       std::string("-silent -regvalue=0,") + kKey + "\\Lang=de -regvalue=1," + kKey + "\\Extra=7");
  std::map<std::string, int> values;
  for (const char* name : {"Path", "Count", "Blob", "BadBlob", "Lang", "Extra"}) values[name] = session.AddQuery(kKey, name);
  std::map<std::string, int> entry;
  for (const char* name : {"DisplayName", "UninstallString", "DisplayVersion", "Publisher"})
    entry[name] = session.AddQuery(uninstall, name);
  const int play = session.AddInspect("link", app_folder + "\\Play Actions Game.lnk");
  const int permanent = session.AddInspect("link", desktop + "\\Zelkon Actions Permanent.lnk");
  const int shared = session.AddInspect("link", desktop + "\\Zelkon Actions Shared.lnk");
  std::vector<int> association;
  for (const std::string root : {"HKCR\\", "HKLM\\SOFTWARE\\Classes\\"}) {
    association.push_back(session.AddQuery(root + kExtension, ""));
    association.push_back(session.AddQuery(root + kTypeName + "\\shell\\open\\command", ""));
    association.push_back(session.AddQuery(root + kTypeName + "\\DefaultIcon", ""));
  }
  const int dacl = session.AddInspect("keydacl", std::string(kKey) + "\\Open");
  for (const std::string& key : keys) session.Add("reg delete \"" + key + "\" /f >nul 2>nul");
  ASSERT_TRUE(session.Run(v)) << session.AllOutput();
  ASSERT_EQ(session.ExitCode(), 0) << session.AllOutput();

  // Programs: the prerequisite's 3010 was accepted, the missing one skipped,
  // the library function and the post-install program ran.
  EXPECT_TRUE(fs::exists(HostPath(v, markers) + "/prerequisite.txt"));
  EXPECT_EQ(testsupport::ReadText(host + "/touched.txt"), "touched\r\n");
  EXPECT_TRUE(fs::exists(host + "/postexec.txt"));

  // Registry values, with the command-line value in place of the configured
  // one and the new one after them.
  std::string type;
  EXPECT_EQ(session.Value(values["Path"], &type), install);
  EXPECT_EQ(type, "REG_SZ");
  EXPECT_EQ(session.Value(values["Count"], &type), "0x10");
  EXPECT_EQ(type, "REG_DWORD");
  EXPECT_EQ(session.Value(values["Blob"], &type), "01FF7A");
  EXPECT_EQ(type, "REG_BINARY");
  // Two formatting errors, reported (silently here) without failing the
  // install: the post-install programs above still ran to their end.
  EXPECT_EQ(session.Value(values["BadBlob"]), "AB");
  EXPECT_EQ(session.Value(values["Lang"]), "de");
  EXPECT_EQ(session.Value(values["Extra"]), "0x7");

  // The Add/Remove Programs entry: no version configured, default publisher.
  EXPECT_EQ(session.Value(entry["DisplayName"]), kInstallName);
  EXPECT_EQ(session.Value(entry["UninstallString"]), "\"" + install + "\\uninstall.exe\" /log");
  EXPECT_EQ(session.Value(entry["DisplayVersion"]), "<missing>");
  EXPECT_EQ(session.Value(entry["Publisher"]), "Zelkon Games");

  // Shortcuts, read back through IShellLinkA.
  std::map<std::string, std::string> link = session.Fields(play);
  EXPECT_EQ(link["target"], install + "\\StarCourier.exe");
  EXPECT_EQ(link["arguments"], "-window");
  EXPECT_EQ(link["workdir"], install);
  EXPECT_EQ(link["description"], "Play Actions Game");
  EXPECT_EQ(link["icon"], install + "\\game.ico");
  EXPECT_EQ(link["iconindex"], "0");
  EXPECT_NE(testsupport::ReadText(HostPath(v, app_folder) + "/Zelkon Website.url").find("URL=http://example.com/zelkon"),
            std::string::npos);
  EXPECT_EQ(session.Fields(permanent)["target"], install + "\\StarCourier.exe");
  EXPECT_EQ(session.Fields(shared)["icon"], install + "\\shared.ico");

  // The file association in both trees.
  for (size_t i = 0; i < association.size(); i += 3) {
    EXPECT_EQ(session.Value(association[i]), kTypeName) << i;
    EXPECT_EQ(session.Value(association[i + 1]), "\"" + install + "\\StarCourier.exe\" \"%1\"") << i;
    EXPECT_EQ(session.Value(association[i + 2]), install + "\\StarCourier.exe,0") << i;
  }

  // Permission grants: the folder and the empty file exist; the key carries
  // one protected entry, full control for Everyone, inherited below.
  EXPECT_TRUE(fs::is_directory(host + "/Saves"));
  EXPECT_TRUE(fs::exists(host + "/Config/settings.ini"));
  EXPECT_EQ(fs::file_size(host + "/Config/settings.ini"), 0u);
  std::map<std::string, std::string> security = session.Fields(dacl);
  EXPECT_EQ(security["protected"], "1");
  EXPECT_EQ(security["aces"], "1");
  EXPECT_EQ(security["ace"], "0,3,0x1FFFFF,S-1-1-0");

  // The log: one plain File line per extracted file except the shared
  // shortcut's icon, then the actions' entries in the order they ran.
  std::vector<std::string> log = Lines(testsupport::ReadText(host + "/Logs/install.log"));
  ASSERT_FALSE(log.empty());
  std::vector<std::string> files;
  for (const std::string& line : log)
    if (line.rfind("\t<File>" + install, 0) == 0) files.push_back(line);
  EXPECT_EQ(files, (std::vector<std::string>{"\t<File>" + install + "\\StarCourier.exe</File>",
                                             "\t<File>" + install + "\\exit_code.exe</File>",
                                             "\t<File>" + install + "\\game.ico</File>",
                                             "\t<File>" + install + "\\touch_library.dll</File>",
                                             "\t<File>" + install + "\\Logs\\install_manifest.txt</File>",
                                             "\t<File>" + install + "\\game.ico</File>"}));
  auto registry = std::find(log.begin(), log.end(), "\t<Registry>");
  auto defines = std::find(log.begin(), log.end(), "\t<Defines>");
  ASSERT_NE(registry, log.end());
  ASSERT_NE(defines, log.end());
  auto value = [&](const std::string& name) {
    return std::vector<std::string>{"\t\t<RegValue>", "\t\t\t<Key>" + std::string(kKey) + "</Key>",
                                    "\t\t\t<Name>" + name + "</Name>", "\t\t</RegValue>"};
  };
  std::vector<std::string> expected = {"\t<Registry>"};
  for (const char* name : {"Path", "Count", "Blob", "BadBlob", "Lang", "Extra"}) {
    auto block = value(name);
    expected.insert(expected.end(), block.begin(), block.end());
  }
  const std::string condition = "#HasDirectoriesExcept " + install + ",Logs, | ";
  const std::vector<std::string> rest = {
      "\t</Registry>",
      "\t<UninstallDelRegKey>HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zelkon Actions "
      "E2E</UninstallDelRegKey>",
      "\t<File>%AppFolder%\\Play %GameName%.lnk</File>",
      "\t<File>" + install + "\\game.ico</File>",
      "\t<File>%AppFolder%\\Zelkon Website.url</File>",
      "\t<File>" + condition + "%CommonDesktop%\\Zelkon Actions Shared.lnk</File>",
      "\t<File>" + condition + install + "\\shared.ico</File>",
      "\t<FileAssociation>",
      "\t\t<FileExtension>.zzacte2e</FileExtension>",
      "\t\t<VersionedName>ZelkonActionsE2E.Save.1</VersionedName>",
      "\t\t<IconLocation>" + install + "\\StarCourier.exe,0</IconLocation>",
      "\t\t<ShellCommand>",
      "\t\t\t<Name>open</Name>",
      "\t\t\t<Command>&quot;" + install + "\\StarCourier.exe&quot; &quot;%1&quot;</Command>",
      "\t\t</ShellCommand>",
      "\t</FileAssociation>",
  };
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(std::vector<std::string>(registry, defines), expected);

  // The Game Explorer: Wine's object reads the game definition through a
  // resource protocol that a prefix without the HTML engine lacks; the step
  // is then silent and the install goes on. Say which happened.
  auto guid_line = std::find_if(log.begin(), registry, [](const std::string& l) {
    return l.rfind("\t<GameExplorerGuid>", 0) == 0;
  });
  if (guid_line == registry) {
    std::printf("[ INFO ] Windows 7 prefix: the Game Explorer did not register the game (silent, install went on)\n");
  } else {
    std::printf("[ INFO ] Windows 7 prefix: the Game Explorer registered the game\n");
    ASSERT_LT(guid_line + 1, registry);
    EXPECT_EQ(guid_line[1].rfind("\t<UninstallDeltree>", 0), 0u);
  }

}

TEST_F(ActionsInstall, RefusedPrerequisiteStopsBeforeTheFiles) {
  const std::string v = e2e::kWin7;
  const std::string install = WindowsDir("refused"), host = HostPath(v, install);
  fs::remove_all(host);
  const std::string installer = Pack(R"(<InstallConfig>
  <InstallLog>%InstallPath%\Logs\install.log</InstallLog>
  <PreExec><Exe>%TempInstallerDir%\exit_code.exe</Exe><Params>3010</Params></PreExec>
</InstallConfig>)",
                                     install);
  e2e::WineResult r = e2e::RunWine(v, {installer, "-silent"});
  EXPECT_EQ(r.exitCode, 10) << r.output;
  EXPECT_FALSE(fs::exists(host + "/StarCourier.exe"));
  const std::string log = testsupport::ReadText(host + "/Logs/install.log");
  EXPECT_NE(log.find("<InstallName>Zelkon Actions E2E</InstallName>"), std::string::npos) << log;
  EXPECT_EQ(log.find("<File>"), std::string::npos) << log;
}

TEST_F(ActionsInstall, InvalidRegistryKeyFailsTheInstall) {
  const std::string v = e2e::kWin7;
  const std::string install = WindowsDir("badkey"), host = HostPath(v, install);
  fs::remove_all(host);
  const std::string installer = Pack(R"(<InstallConfig>
  <InstallLog>%InstallPath%\Logs\install.log</InstallLog>
  <Registry><RegValue><Key>hklm\Software\ZelkonActionsE2E</Key><Name>X</Name><Value>1</Value></RegValue></Registry>
  <Shortcuts><Shortcut><Dest>%InstallPath%\Never</Dest><Target>%InstallPath%\StarCourier.exe</Target></Shortcut></Shortcuts>
</InstallConfig>)",
                                     install);
  e2e::WineResult r = e2e::RunWine(v, {installer, "-silent"});
  EXPECT_EQ(r.exitCode, 10) << r.output;
  EXPECT_TRUE(fs::exists(host + "/StarCourier.exe"));  // the files came first
  EXPECT_FALSE(fs::exists(host + "/Never.lnk"));        // the shortcuts never
  std::vector<std::string> log = Lines(testsupport::ReadText(host + "/Logs/install.log"));
  auto registry = std::find(log.begin(), log.end(), "\t<Registry>");
  ASSERT_NE(registry, log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "\t</Registry>"), log.end());
  EXPECT_EQ(std::find(registry, log.end(), "\t\t\t<Key>hklm\\Software\\ZelkonActionsE2E</Key>") - registry, 2);
}

TEST_F(ActionsInstall, GameExplorerOnWindowsXp) {
  const std::string v = e2e::kWinXP;
  const std::string install = WindowsDir("xp"), host = HostPath(v, install);
  fs::remove_all(host);
  const std::string installer = Pack(R"(<InstallConfig>
  <InstallLog>%InstallPath%\Logs\install.log</InstallLog>
  <GameExplorer>%InstallPath%\StarCourier.exe</GameExplorer>
</InstallConfig>)",
                                     install);
  e2e::WineResult r = e2e::RunWine(v, {installer, "-silent"});
  ASSERT_EQ(r.exitCode, 0) << r.output;

  // Three log lines: the GUID, the task folder below the common application
  // data folder, and the upgrade key.
  std::vector<std::string> log = Lines(testsupport::ReadText(host + "/Logs/install.log"));
  auto guid_line = std::find_if(log.begin(), log.end(), [](const std::string& l) {
    return l.rfind("\t<GameExplorerGuid>", 0) == 0;
  });
  ASSERT_NE(guid_line, log.end());
  ASSERT_LT(guid_line + 2, log.end());
  const std::string guid = guid_line->substr(19, 38);
  ASSERT_EQ(guid_line->substr(57), "</GameExplorerGuid>");
  const std::string deltree = guid_line[1];
  const std::string tail = "\\Microsoft\\Windows\\GameExplorer\\" + guid + "</UninstallDeltree>";
  ASSERT_EQ(deltree.rfind("\t<UninstallDeltree>", 0), 0u) << deltree;
  ASSERT_GT(deltree.size(), tail.size());
  EXPECT_EQ(deltree.substr(deltree.size() - tail.size()), tail);
  const std::string task_folder = deltree.substr(19, deltree.size() - 19 - 19);
  const std::string key =
      "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\GameUX\\GamesToFindOnWindowsUpgrade\\" + guid;
  EXPECT_EQ(guid_line[2], "\t<UninstallDelRegKey>" + key + "</UninstallDelRegKey>");

  // The key with its two values, and the play task, made by the shortcut
  // step and logged with it.
  const std::string play = task_folder + "\\PlayTasks\\0\\Play.lnk";
  EXPECT_NE(std::find(log.begin(), log.end(), "\t<File>" + play + "</File>"), log.end());
  Session session(dir_.path());
  const int binary = session.AddQuery(key, "GDFBinaryPath");
  const int folder = session.AddQuery(key, "GameInstallPath");
  const int link = session.AddInspect("link", play);
  session.Add("reg delete \"" + key + "\" /f >nul 2>nul");
  ASSERT_TRUE(session.Run(v));
  EXPECT_EQ(session.Value(binary), install + "\\StarCourier.exe");
  EXPECT_EQ(session.Value(folder), install);
  EXPECT_EQ(session.Fields(link)["target"], install + "\\StarCourier.exe");
}

// A prefix of its own with no DirectX: the diagnostics provider is not
// registered and the libraries of the file-version table are gone. The
// system folder is shared with the Windows 7 prefix through hard links
// (removing a link leaves the original); everything else is copied.
class NoDirectXPrefix {
 public:
  explicit NoDirectXPrefix(const std::string& name) : name_(name), dir_(e2e::PrefixDir(name)) {
    const std::string source = e2e::PrefixDir(e2e::kWin7);
    e2e::RunWine(e2e::kWin7, {"cmd", "/c", "exit"}, 60);  // makes the source prefix when missing
    fs::remove_all(dir_);
    const std::string system32 = "drive_c/windows/system32";
    std::string output;
    ok_ = e2e::Shell("cd '" + source + "' && mkdir -p '" + dir_ + "' && tar --exclude=./" + system32 +
                         " -cf - . | tar -xf - -C '" + dir_ + "' && cp -al '" + source + "/" + system32 + "' '" +
                         dir_ + "/" + system32 + "'",
                     &output) == 0;
    if (!ok_) return;
    for (const char* library : {"ddraw.dll", "d3drg8x.dll", "dplayx.dll", "dinput.dll", "d3d8.dll", "mpg2splt.ax",
                                "dpnet.dll", "d3d9.dll"})
      fs::remove(dir_ + "/" + system32 + "/" + library);
    ok_ = DropProviderClass(dir_ + "/system.reg");
  }
  ~NoDirectXPrefix() {
    e2e::Shell("WINEPREFIX='" + dir_ + "' wineserver -k");
    fs::remove_all(dir_);
  }
  bool ok() const { return ok_; }
  const std::string& name() const { return name_; }

 private:
  // Removes every registry section of the diagnostics provider's class.
  static bool DropProviderClass(const std::string& path) {
    std::string text = testsupport::ReadText(path);
    if (text.empty()) return false;
    std::istringstream in(text);
    std::string line, out;
    bool skipping = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '[') {
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        skipping = lower.find("a65b8071-3bfe-4213-9a5b-491da4461ca7") != std::string::npos;
      }
      if (!skipping) out += line + "\n";
    }
    fs::remove(path);  // a file of its own, not the source's
    return testsupport::WriteWholeFile(path, out);
  }

  std::string name_, dir_;
  bool ok_ = false;
};

TEST_F(ActionsInstall, NoDirectXEndsWithTwo) {
  NoDirectXPrefix prefix("nodx-actions");
  ASSERT_TRUE(prefix.ok());
  const std::string install = WindowsDir("nodx");
  const std::string installer = Pack("<InstallConfig/>", install);
  e2e::WineResult r = e2e::RunWine(prefix.name(), {installer, "-silent"});
  EXPECT_EQ(r.exitCode, 2) << r.output;
  EXPECT_FALSE(fs::exists(HostPath(prefix.name(), install)));
}

}  // namespace
