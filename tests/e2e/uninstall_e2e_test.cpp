// The companion uninstaller end to end under Wine: real installers packed
// with mkinstaller, installed with -silent, then undone with Uninstall.exe;
// the prefix's files and registry are compared with their state before the
// install. Also: the log of an install that stopped in the registry step, a
// shortcut shared by two products, and logs that name what no uninstall may
// touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <fstream>
#include <set>
#include <sstream>

#include "e2e/install_packing.h"
#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using Entries = std::set<std::string>;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), ::tolower);
  return s;
}

// A Windows path of a prefix ("C:\a\b") as the host sees it.
std::string HostPath(const std::string& version, const std::string& windows_path) {
  std::string rest = windows_path.substr(3);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return e2e::DriveC(version) + "/" + rest;
}

// What a prefix holds: every file and folder of drive C outside the Windows
// and temporary folders, and every key and value below the machine's and
// the user's SOFTWARE keys as `reg export` writes them (the running Wine
// server holds the registry; its files on disk lag behind).
struct Snapshot {
  Entries files, registry;

  static Snapshot Take(const std::string& version, const std::string& scratch) {
    Snapshot s;
    const fs::path root = e2e::DriveC(version);
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
      const std::string relative = fs::relative(it->path(), root).generic_string();
      const std::string name = Lower(it->path().filename().string());
      if (relative == "windows" || name == "temp") {
        it.disable_recursion_pending();
        continue;
      }
      s.files.insert(relative + (it->is_directory() ? "/" : " " + std::to_string(it->file_size())));
    }
    const std::string machine = scratch + "/machine.reg", user = scratch + "/user.reg";
    e2e::RunWine(version, {"cmd", "/c", "reg export HKLM\\SOFTWARE " + e2e::WinePath(machine) + " /y >nul && reg export "
                                        "HKCU\\Software " + e2e::WinePath(user) + " /y >nul"});
    for (const std::string& file : {machine, user}) {
      // UTF-16 text of ASCII names: every other byte.
      std::string bytes = testsupport::ReadText(file), text;
      for (size_t i = 2; i < bytes.size(); i += 2) text += bytes[i];
      std::istringstream in(text);
      std::string line, key, pending;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!pending.empty()) line = pending + line;
        pending.clear();
        if (!line.empty() && line.back() == '\\') {
          pending = line.substr(0, line.size() - 1);
          continue;
        }
        if (line.empty() || line.rfind("Windows Registry", 0) == 0) continue;
        if (line[0] == '[') {
          key = line;
          s.registry.insert(key);
        } else if (line.find("PendingFileRenameOperations") == std::string::npos) {
          s.registry.insert(key + " " + line);
        }
      }
    }
    return s;
  }

  // Entries of one side that the other lacks, "+" added, "-" gone.
  static std::vector<std::string> Diff(const Entries& before, const Entries& after) {
    std::vector<std::string> out;
    for (const std::string& e : after)
      if (!before.count(e)) out.push_back("+ " + e);
    for (const std::string& e : before)
      if (!after.count(e)) out.push_back("- " + e);
    return out;
  }
};

// The registry entries an install of these products may touch; the rest
// of the registry changes with every Wine session (devices, codecs, caches).
bool IsRelevantKey(const std::string& entry) {
  for (const char* part : {"Zelkon", "Star Courier", "zzuninste2e", "GameUX", "CurrentVersion\\Uninstall"})
    if (entry.find(part) != std::string::npos) return true;
  return false;
}

std::vector<std::string> Changes(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> out;
  // The markers of the uninstall programs, and the permanent shortcut,
  // which no uninstall removes (each install rewrites it).
  for (const std::string& e : Snapshot::Diff(before.files, after.files))
    if (e.find("uninstall-markers") == std::string::npos && e.find("Zelkon Uninstall Permanent.lnk") == std::string::npos)
      out.push_back(e);
  for (const std::string& e : Snapshot::Diff(before.registry, after.registry))
    if (IsRelevantKey(e)) out.push_back(e);
  return out;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// Runs command lines in one Wine session; the exit code of each line that
// asks for it is collected in order.
std::vector<int> RunBatch(const std::string& version, const std::string& folder, const std::vector<std::string>& lines,
                          std::string* output) {
  std::string script = "@echo off\r\n";
  for (const std::string& line : lines) script += line + "\r\necho ##EXIT %errorlevel%\r\n";
  testsupport::WriteWholeFile(folder + "/run.bat", script);
  e2e::WineResult r = e2e::RunWine(version, {"cmd", "/c", e2e::WinePath(folder + "/run.bat")}, 400);
  *output = r.output;
  std::vector<int> codes;
  std::istringstream in(r.output);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("##EXIT ", 0) == 0) codes.push_back(std::atoi(line.c_str() + 7));
  return codes;
}

// The uninstaller's own file, and the folders it alone kept, go through a
// helper once the uninstaller has ended; waits for the path (at most 30
// seconds).
void WaitUntilGone(const std::string& version, const std::string& windows_path) {
  for (int i = 0; i < 300 * e2e::TimeoutScale() && fs::exists(HostPath(version, windows_path)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

std::string Uninstaller() { return "\"" + e2e::WinePath(e2e::BinDir() + "/Uninstall.exe") + "\""; }

constexpr const char* kRoot = "C:\\e2e\\uninstall";
constexpr const char* kMarkers = "C:\\e2e\\uninstall-markers";

const char* kProps = R"(<?xml version="1.0" encoding="utf-8"?>
<Properties><String id="FATAL_POPUP_TITLE">%InstallName% Setup</String></Properties>
)";

// A product with every action the log records. The products share their
// install folder (each lives in its own folder below it, beside its log),
// the shared desktop shortcut with its icon, and the file extension.
std::string ProductConfig(const std::string& name, bool bad_key) {
  const std::string key = "HKLM\\Software\\ZelkonUninstallE2E\\" + name;
  return R"(<InstallConfig>
  <InstallLog>%InstallPath%\)" + name + R"(\install.log</InstallLog>
  <UninstallCmd>"%InstallPath%\)" + name + R"(\uninstall.exe"</UninstallCmd>
  <GameExplorer>%InstallPath%\)" + name + R"(\StarCourier.exe</GameExplorer>
  <UserDirectory>%InstallPath%\)" + name + R"(\Saves</UserDirectory>
  <UserRegKey>)" + key + R"(\Player</UserRegKey>
  <UninstallDeltree>%InstallPath%\)" + name + R"(\Cache</UninstallDeltree>
  <UninstallDelRegKey>)" + key + R"(</UninstallDelRegKey>
  <UninstallPreExec><Exe>)" + kMarkers + R"(\exit_code.exe</Exe><Params>0 0 )" + kMarkers + "\\pre-" + name +
         R"(.txt</Params></UninstallPreExec>
  <UninstallPostExec><Exe>)" + kMarkers + R"(\exit_code.exe</Exe><Params>0 0 )" + kMarkers + "\\post-" + name +
         R"(.txt</Params></UninstallPostExec>
  <Registry>
    <RegValue><Key>)" + key + R"(</Key><Name>Path</Name><Value>%InstallPath%</Value></RegValue>
    <RegValue><Key>)" + key + R"(\Player</Key><Name>Level</Name><TypeNum>1</TypeNum><Value>7</Value></RegValue>)" +
         (bad_key ? "\n    <RegValue><Key>hklm\\Software\\ZelkonUninstallE2E</Key><Name>X</Name><Value>1</Value></RegValue>"
                  : "") +
         R"(
    <RegValue><Key>HKCU\Software\ZelkonUninstallE2E\)" + name + R"(</Key><Name>Lang</Name><Value>en</Value></RegValue>
  </Registry>
  <Shortcuts>
    <Shortcut><Dest>%AppFolder%\Play )" + name + R"(</Dest><Target>%InstallPath%\)" + name +
         R"(\StarCourier.exe</Target><Icon>%InstallPath%\)" + name + R"(\game.ico</Icon></Shortcut>
    <Shortcut><Dest>%AppFolder%\Website )" + name + R"(</Dest><Target>http://example.com/zelkon</Target></Shortcut>
    <Shortcut><Dest>{perm}%CommonDesktop%\Zelkon Uninstall Permanent</Dest><Target>%InstallPath%\)" + name +
         R"(\StarCourier.exe</Target></Shortcut>
    <Shortcut shared="1"><Dest>%CommonDesktop%\Zelkon Uninstall Shared</Dest><Target>%InstallPath%\)" + name +
         R"(\StarCourier.exe</Target><Icon>%InstallPath%\shared.ico</Icon></Shortcut>
  </Shortcuts>
  <FileAssociations><FileAssociation>
    <FileExtension>.zzuninste2e</FileExtension>
    <VersionedName>ZelkonUninstallE2E.)" + name + R"(.1</VersionedName>
    <ShellCommand><Name>open</Name><Command>"%InstallPath%\)" + name + R"(\StarCourier.exe" "%1"</Command></ShellCommand>
    <IconLocation>%InstallPath%\)" + name + R"(\StarCourier.exe,0</IconLocation>
  </FileAssociation></FileAssociations>
</InstallConfig>)";
}

class Uninstall : public ::testing::Test {
 protected:
  // An installer of one product; its files live in files\<name>\ (with the
  // uninstaller where UninstallCmd names it) and files\shared.ico.
  std::string PackProduct(const std::string& name, bool bad_key) {
    const std::string base = dir_.path() + "/" + name;
    const std::string cfg = base + "/cfg", files = base + "/files";
    fs::create_directories(cfg);
    fs::create_directories(files + "/" + name);
    testsupport::WriteWholeFile(cfg + "/props.xml", kProps);
    testsupport::WriteWholeFile(cfg + "/defines.xml", R"(<Defines>
  <Define><Name>InstallName</Name><Value>Zelkon Uninstall )" + name + R"(</Value></Define>
  <Define><Name>InstallGroup</Name><Value>Zelkon Games\Uninstall E2E</Value></Define>
  <Define><Name>InstallPath</Name><Value>)" + std::string(kRoot) + R"(</Value></Define>
</Defines>)");
    testsupport::WriteWholeFile(cfg + "/install.xml", ProductConfig(name, bad_key));
    fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files + "/" + name + "/StarCourier.exe");
    fs::copy_file(e2e::BinDir() + "/Uninstall.exe", files + "/" + name + "/uninstall.exe");
    testsupport::WriteWholeFile(files + "/" + name + "/game.ico", "icon");
    testsupport::WriteWholeFile(files + "/shared.ico", "shared icon");
    std::string error;
    std::vector<uint8_t> packed = e2e::PackInstaller(cfg, files, {}, {}, &error);
    EXPECT_FALSE(packed.empty()) << error;
    testsupport::WriteWholeFile(base + "/Setup.exe", packed.data(), packed.size());
    return "\"" + e2e::WinePath(base + "/Setup.exe") + "\" -silent";
  }

  // The markers folder with the program the uninstall runs before and after.
  void PrepareMarkers(const std::string& v) {
    fs::remove_all(HostPath(v, kMarkers));
    fs::remove_all(HostPath(v, kRoot));
    fs::create_directories(HostPath(v, kMarkers));
    fs::copy_file(e2e::BinDir() + "/exit_code.exe", HostPath(v, kMarkers) + "/exit_code.exe");
  }

  static std::string UninstallCommand(const std::string& name, const std::string& options) {
    return "\"" + std::string(kRoot) + "\\" + name + "\\uninstall.exe\" \"" + kRoot + "\\" + name + "\\install.log\" " +
           options;
  }

  testsupport::ScratchDir dir_;
};

// Install and uninstall of the sample game as its Add/Remove Programs entry
// names it (user data removed on request), and of a product with every
// action (user data kept) on Windows XP, where the Game Explorer registers.
TEST_F(Uninstall, EverythingGoesBackToTheStateBefore) {
  struct Run {
    const char* name;
    const char* version;
    bool sample;
  };
  for (const Run& run : {Run{"sample game", e2e::kWin7, true}, Run{"Full", e2e::kWinXP, false}}) {
    SCOPED_TRACE(run.name);
    const std::string v = run.version;
    PrepareMarkers(v);
    std::string setup, uninstall, save;
    if (run.sample) {
      // Other tests install the sample game too and remove only its folder.
      std::string output;
      RunBatch(v, dir_.path(),
               {"reg delete \"HKLM\\SOFTWARE\\Zelkon Games\" /f",
                "reg delete \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Star Courier\" /f"},
               &output);
      fs::remove_all(HostPath(v, "C:\\Program Files\\Zelkon Games"));
      fs::remove_all(HostPath(v, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zelkon Games"));
      const std::string files = dir_.path() + "/sample-files";
      fs::create_directories(files + "/Uninstall");
      fs::copy(e2e::SourceDir() + "/examples/sample-game/files", files, fs::copy_options::recursive);
      fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files + "/StarCourier.exe");
      fs::copy_file(e2e::BinDir() + "/Uninstall.exe", files + "/Uninstall/uninstall.exe");
      std::string error;
      std::vector<uint8_t> packed =
          e2e::PackInstaller(e2e::SourceDir() + "/examples/sample-game/cfg", files, {}, {}, &error);
      ASSERT_FALSE(packed.empty()) << error;
      testsupport::WriteWholeFile(dir_.file("Sample.exe"), packed.data(), packed.size());
      setup = "\"" + e2e::WinePath(dir_.file("Sample.exe")) + "\" -silent";
      // The Add/Remove Programs entry's command, as the system would run it.
      uninstall = "for /f \"tokens=2,*\" %%a in ('reg query \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                  "\\Uninstall\\Star Courier\" /v UninstallString ^| find \"REG_SZ\"') do %%b -silent -removeuserdata";
      save = "C:\\Program Files\\Zelkon Games\\Star Courier\\SaveGames\\slot1.sav";
    } else {
      // The upgrade list goes with its last game, also when an earlier
      // test's game left it empty: start without it.
      std::string output;
      RunBatch(v, dir_.path(), {"reg delete HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\GameUX /f"}, &output);
      setup = PackProduct(run.name, false);
      uninstall = UninstallCommand(run.name, "-silent");
      save = std::string(kRoot) + "\\Full\\Saves\\slot1.sav";
    }
    const Snapshot before = Snapshot::Take(v, dir_.path());
    std::string output;
    std::vector<int> codes = RunBatch(v, dir_.path(), {setup}, &output);
    ASSERT_EQ(codes, std::vector<int>{0}) << output;
    fs::create_directories(fs::path(HostPath(v, save)).parent_path());
    testsupport::WriteWholeFile(HostPath(v, save), "saved");
    if (!run.sample) {
      // The Game Explorer registered the game on Windows XP (the upgrade key).
      const std::string log = testsupport::ReadText(HostPath(v, std::string(kRoot) + "\\Full\\install.log"));
      EXPECT_NE(log.find("GamesToFindOnWindowsUpgrade"), std::string::npos) << log;
    }
    codes = RunBatch(v, dir_.path(), {uninstall}, &output);
    ASSERT_EQ(codes, std::vector<int>{0}) << output;
    WaitUntilGone(v, run.sample ? "C:\\Program Files\\Zelkon Games" : std::string(kRoot) + "\\Full\\uninstall.exe");
    const Snapshot after = Snapshot::Take(v, dir_.path());
    std::vector<std::string> changes = Changes(before, after);
    if (run.sample) {
      EXPECT_EQ(changes, std::vector<std::string>{}) << Join(changes);
      continue;
    }
    // Kept on purpose: the user's saved game and registry key, and the
    // permanent shortcut.
    const std::vector<std::string> kept = {
        "+ e2e/uninstall/",
        "+ e2e/uninstall/Full/",
        "+ e2e/uninstall/Full/Saves/",
        "+ e2e/uninstall/Full/Saves/slot1.sav 5",
        "+ [HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelkonUninstallE2E]",
        "+ [HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelkonUninstallE2E\\Full]",
        "+ [HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelkonUninstallE2E\\Full\\Player]",
        "+ [HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelkonUninstallE2E\\Full\\Player] \"Level\"=dword:00000007",
    };
    for (const std::string& entry : kept) {
      auto at = std::find(changes.begin(), changes.end(), entry);
      EXPECT_NE(at, changes.end()) << entry << "\n" << Join(changes);
      if (at != changes.end()) changes.erase(at);
    }
    EXPECT_EQ(changes, std::vector<std::string>{}) << Join(changes);
    EXPECT_TRUE(fs::exists(HostPath(v, kMarkers) + "/pre-Full.txt"));
    EXPECT_TRUE(fs::exists(HostPath(v, kMarkers) + "/post-Full.txt"));
    e2e::RegDeleteKey(v, "HKLM\\Software\\ZelkonUninstallE2E");
    fs::remove_all(HostPath(v, kRoot));
  }
}

// Two products share a desktop shortcut with its icon and a file extension:
// the first uninstall leaves both to the product that remains, the second
// takes them. Then an install that stopped in its registry step (its log
// lacks "</Registry>") is undone as far as it went.
TEST_F(Uninstall, SharedShortcutAndStoppedInstall) {
  const std::string v = e2e::kWin7;
  PrepareMarkers(v);
  const std::string shared = HostPath(v, "C:\\users\\Public\\Desktop\\Zelkon Uninstall Shared.lnk");
  const std::string icon = HostPath(v, std::string(kRoot) + "\\shared.ico");
  fs::remove(shared);
  const Snapshot before = Snapshot::Take(v, dir_.path());
  std::string output;
  std::vector<int> codes = RunBatch(v, dir_.path(),
                                    {PackProduct("A", false), PackProduct("B", false),
                                     UninstallCommand("A", "-silent -removeuserdata"),
                                     "reg query HKCR\\.zzuninste2e /ve"},
                                    &output);
  ASSERT_EQ(codes.size(), 4u) << output;
  EXPECT_EQ(codes, (std::vector<int>{0, 0, 0, 0})) << output;
  EXPECT_NE(output.find("ZelkonUninstallE2E.B.1"), std::string::npos) << output;  // B's, untouched
  WaitUntilGone(v, std::string(kRoot) + "\\A");
  EXPECT_TRUE(fs::exists(shared));
  EXPECT_TRUE(fs::exists(icon));
  EXPECT_FALSE(fs::exists(HostPath(v, std::string(kRoot) + "\\A")));
  codes = RunBatch(v, dir_.path(), {UninstallCommand("B", "-silent -removeuserdata")}, &output);
  EXPECT_EQ(codes, std::vector<int>{0}) << output;
  WaitUntilGone(v, kRoot);
  EXPECT_FALSE(fs::exists(shared));
  std::vector<std::string> changes = Changes(before, Snapshot::Take(v, dir_.path()));
  EXPECT_EQ(changes, std::vector<std::string>{}) << Join(changes);

  // The stopped install: files and the first values came, the shortcuts
  // and associations never did.
  codes = RunBatch(v, dir_.path(), {PackProduct("Stopped", true)}, &output);
  ASSERT_EQ(codes, std::vector<int>{10}) << output;
  const std::string log = testsupport::ReadText(HostPath(v, std::string(kRoot) + "\\Stopped\\install.log"));
  ASSERT_EQ(log.find("</Registry>"), std::string::npos) << log;
  codes = RunBatch(v, dir_.path(), {UninstallCommand("Stopped", "-silent -removeuserdata")}, &output);
  EXPECT_EQ(codes, std::vector<int>{0}) << output;
  WaitUntilGone(v, std::string(kRoot) + "\\Stopped");
  changes = Changes(before, Snapshot::Take(v, dir_.path()));
  // The shared shortcut's icon is a product file that the installer keeps
  // out of the plain file lines and logs only with its shortcut; the
  // shortcut step never ran, so the log does not name it at all.
  EXPECT_EQ(changes, (std::vector<std::string>{"+ e2e/uninstall/", "+ e2e/uninstall/shared.ico 11"})) << Join(changes);
  fs::remove_all(HostPath(v, kRoot));
}

// The interactive run with the default answers (Return on each question):
// yes to the removal, no to the user data, OK on the result.
TEST_F(Uninstall, InteractiveRunKeepsUserDataByDefault) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for the message boxes";
  const std::string v = e2e::kWin7;
  PrepareMarkers(v);
  std::string output;
  ASSERT_EQ(RunBatch(v, dir_.path(), {PackProduct("Asked", false)}, &output), std::vector<int>{0}) << output;
  const std::string saves = HostPath(v, std::string(kRoot) + "\\Asked\\Saves");
  fs::create_directories(saves);
  testsupport::WriteWholeFile(saves + "/slot1.sav", "saved");
  std::atomic<bool> done{false};
  e2e::WineResult result;
  std::thread run([&] {
    result = e2e::RunWine(v, {std::string(kRoot) + "\\Asked\\uninstall.exe", std::string(kRoot) + "\\Asked\\install.log"}, 120);
    done = true;
  });
  for (int i = 0; i < 60 && !done; ++i) {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    if (!done) e2e::Shell("xdotool key Return");
  }
  run.join();
  EXPECT_EQ(result.exitCode, 0) << result.output;
  WaitUntilGone(v, std::string(kRoot) + "\\Asked\\uninstall.exe");
  EXPECT_TRUE(fs::exists(saves + "/slot1.sav"));
  EXPECT_FALSE(fs::exists(HostPath(v, std::string(kRoot) + "\\Asked\\StarCourier.exe")));
  e2e::RegDeleteKey(v, "HKLM\\Software\\ZelkonUninstallE2E");
  fs::remove_all(HostPath(v, kRoot));
}

// Logs that name what no uninstall may touch, or that are damaged: nothing
// at all is removed, the exit code says so and the report says why.
TEST_F(Uninstall, HostileAndDamagedLogsRemoveNothing) {
  const std::string v = e2e::kWin7;
  const std::string folder = "C:\\e2e\\uninstall-hostile";
  const std::string host = HostPath(v, folder);
  fs::remove_all(host);
  fs::create_directories(host + "/Game");
  struct Case {
    const char* name;
    std::string entry;
    const char* reason;
  };
  const Case cases[] = {
      {"windows", "\t<File>C:\\windows\\win.ini</File>", "a system folder"},
      {"dotdot", "\t<File>" + folder + "\\Game\\..\\..\\..\\windows\\system.ini</File>", "'..' part"},
      {"tree", "\t<UninstallDeltree>C:\\users</UninstallDeltree>", "keeps"},
      {"key", "\t<UninstallDelRegKey>HKLM\\SOFTWARE\\Microsoft</UninstallDelRegKey>", "other products share"},
      {"damaged", "\t<File>" + folder + "\\Game\\game.exe", "damaged on line 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::WriteWholeFile(host + "/Game/game.exe", "game");
    const std::string log = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<InstallLog>\r\n"
                            "\t<InstallName>Hostile</InstallName>\r\n\t<File>" + folder + "\\Game\\game.exe</File>\r\n" +
                            c.entry + "\r\n</InstallLog>\r\n";
    const std::string log_path = host + "/Game/" + c.name + ".log";
    testsupport::WriteWholeFile(log_path, log);
    std::string output;
    std::vector<int> codes = RunBatch(
        v, dir_.path(), {Uninstaller() + " \"" + folder + "\\Game\\" + c.name + ".log\" -silent"}, &output);
    EXPECT_EQ(codes, std::vector<int>{2}) << output;
    EXPECT_TRUE(fs::exists(host + "/Game/game.exe"));
    EXPECT_TRUE(fs::exists(log_path));
    EXPECT_TRUE(fs::exists(HostPath(v, "C:\\windows\\win.ini")));
    const std::string report = testsupport::ReadText(host + "/Game/" + c.name + "_uninstall_report.txt");
    EXPECT_NE(report.find(c.reason), std::string::npos) << report;
  }
  EXPECT_TRUE(e2e::RegKeyExists(v, "HKLM\\SOFTWARE\\Microsoft\\Windows"));
  fs::remove_all(host);
}

}  // namespace
