// A silent install end to end under Wine: real installers packed from a
// small product, run by a calling program (status_listener.exe) that follows
// the status messages, answers message boxes and reports the exit code.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "e2e/install_packing.h"
#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kVersion = e2e::kWin7;
const std::vector<std::string> kUtc = {"TZ=UTC"};

// ---- The product ----

struct ProductFile {
  std::string name;      // below files\, with backslashes
  uint16_t attributes;   // as stored in the cabinet
  uint32_t expected;     // as Windows reports them after the install
  size_t size;
  std::string modified;  // UTC, even seconds (DOS times have 2-second steps)
};

// In cabinet order (entry names sorted).
const std::vector<ProductFile> kFiles = {
    {"data\\empty.dat", 0x20, 0x20, 0, "2019-01-02 03:04:06"},
    {"data\\hidden.cfg", 0x22, 0x22, 120, "2020-02-29 23:59:58"},
    {"data\\levels.dat", 0x21, 0x21, 5000, "2021-06-15 12:34:56"},
    // Windows reports a file without any of the four bits as normal (0x80);
    // Wine reports every plain file as an archive.
    {"data\\plain.dat", 0x00, 0x20, 777, "2001-09-09 01:46:40"},
    {"data\\system.bin", 0x24, 0x24, 2048, "2010-10-10 10:10:10"},
    {"game.exe", 0x20, 0x20, 0, "2022-12-31 23:59:58"},  // the GUI status listener
    {"media\\big.bin", 0x20, 0x20, 3 << 20, "2023-03-03 03:03:02"},
    {"readme.txt", 0x20, 0x20, 300, "2018-08-08 08:08:08"},
    {"zz\\last.bin", 0x20, 0x20, 40000, "2024-04-04 04:04:04"},
};

std::string HostName(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

time_t ParseUtc(const std::string& text) {
  std::tm t = {};
  std::istringstream(text) >> std::get_time(&t, "%Y-%m-%d %H:%M:%S");
  return timegm(&t);
}

// The product's files\ folder with contents, times and read-only bits.
void WriteProductFiles(const std::string& folder) {
  std::mt19937 random(8);
  for (const ProductFile& f : kFiles) {
    const std::string path = folder + "/" + HostName(f.name);
    fs::create_directories(fs::path(path).parent_path());
    if (f.name == "game.exe") {
      fs::copy_file(e2e::BinDir() + "/status_listener_gui.exe", path, fs::copy_options::overwrite_existing);
    } else {
      Bytes data(f.size);
      for (uint8_t& b : data) b = static_cast<uint8_t>(random());
      ASSERT_TRUE(testsupport::WriteWholeFile(path, data.data(), data.size()));
    }
    struct utimbuf times = {ParseUtc(f.modified), ParseUtc(f.modified)};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  }
}

std::map<std::string, uint16_t> CabinetAttributes() {
  std::map<std::string, uint16_t> out;
  for (const ProductFile& f : kFiles) out["files\\" + f.name] = f.attributes;
  return out;
}

std::string DefinesText(const std::string& name, const std::string& value) {
  return "<Defines><Define><Name>" + name + "</Name><Value>" + value + "</Value></Define></Defines>";
}

// ---- Running ----

struct ListenerReport {
  int listenerExit = -1;
  std::vector<int> statuses;
  std::vector<std::string> boxes;  // "caption|text"
  int exitCode = -1;
  std::string output;
};

bool HasDisplay() { return std::getenv("DISPLAY") && *std::getenv("DISPLAY"); }

// Runs the installer with its arguments through the listener; button is
// "ok", "cancel" or "none" for the message boxes.
ListenerReport Listen(const std::string& installer, const std::string& button, std::vector<std::string> args) {
  testsupport::ScratchDir dir;
  const std::string out = dir.file("status.txt");
  std::vector<std::string> argv = {e2e::BinDir() + "/status_listener.exe", "listen", e2e::WinePath(out), button,
                                   e2e::WinePath(installer)};
  argv.insert(argv.end(), args.begin(), args.end());
  e2e::WineResult r = e2e::RunWine(kVersion, argv, 180, kUtc);
  ListenerReport report;
  report.listenerExit = r.exitCode;
  report.output = r.output;
  std::istringstream lines(testsupport::ReadText(out));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("S ", 0) == 0) report.statuses.push_back(std::atoi(line.c_str() + 2));
    if (line.rfind("B ", 0) == 0) report.boxes.push_back(line.substr(2));
    if (line.rfind("EXIT ", 0) == 0) report.exitCode = std::atoi(line.c_str() + 5);
  }
  return report;
}

// "attributes last-write" per Windows path, as the Windows API reports them.
std::map<std::string, std::string> WindowsFileInfo(const std::vector<std::string>& paths) {
  std::vector<std::string> argv = {e2e::BinDir() + "/status_listener.exe", "fileinfo"};
  argv.insert(argv.end(), paths.begin(), paths.end());
  e2e::WineResult r = e2e::RunWine(kVersion, argv, 120, kUtc);
  std::map<std::string, std::string> info;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "0021 2021-06-15 12:34:56 2021-06-15 12:34:56 C:\..."
    if (line.size() < 45 || line.rfind("missing", 0) == 0) continue;
    info[line.substr(45)] = line.substr(0, 24);
  }
  return info;
}

std::string WindowsInstallDir(const std::string& name) { return "C:\\e2e\\" + name; }
std::string HostInstallDir(const std::string& name) { return e2e::DriveC(kVersion) + "/e2e/" + name; }

class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    product_ = new testsupport::ScratchDir();
    files_ = product_->path() + "/files";
    fs::create_directories(files_);
    WriteProductFiles(files_);
    const std::string cfg = e2e::SourceDir() + "/tests/e2e/data/install_sample/cfg";
    std::string error;
    // One cabinet for every case; each case attaches its own install path.
    Bytes packed = e2e::PackInstaller(cfg, files_, {}, CabinetAttributes(), &error);
    ASSERT_FALSE(packed.empty()) << error;
    stubAndCabinet_ = new Bytes(packed.begin(), packed.end() - 20);  // without the signature
  }
  static void TearDownTestSuite() {
    delete product_;
    delete stubAndCabinet_;
  }

  // The shared installer with the defines texts attached, in a file of its own.
  std::string Installer(const std::vector<std::string>& texts, const std::string& name = "Setup.exe") {
    Bytes file = *stubAndCabinet_;
    for (const std::string& t : texts) {
      file.insert(file.end(), t.begin(), t.end());
      for (uint32_t v : {uint32_t(t.size()), 0u})
        for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
    }
    const char kSignature[] = "!zelkoninstallersig!";
    file.insert(file.end(), kSignature, kSignature + 20);
    const std::string path = dir_.file(name);
    EXPECT_TRUE(testsupport::WriteWholeFile(path, file.data(), file.size()));
    return path;
  }

  // An installer of the same product with another cfg folder. The authoring
  // tool refuses configurations that the installer would refuse; those are
  // packed without its check.
  std::string InstallerWithConfig(const std::map<std::string, std::string>& replaced, const std::string& install_path,
                                  bool refused_by_the_tool = false) {
    const std::string cfg = dir_.path() + "/cfg";
    fs::copy(e2e::SourceDir() + "/tests/e2e/data/install_sample/cfg", cfg, fs::copy_options::recursive);
    for (const auto& file : replaced) testsupport::WriteWholeFile(cfg + "/" + file.first, file.second);
    std::string error;
    const std::vector<std::string> texts = {DefinesText("InstallPath", install_path)};
    Bytes packed = refused_by_the_tool ? e2e::PackUncheckedInstaller(cfg, files_, texts, &error)
                                       : e2e::PackInstaller(cfg, files_, texts, {}, &error);
    EXPECT_FALSE(packed.empty()) << error;
    const std::string path = dir_.file("Other.exe");
    testsupport::WriteWholeFile(path, packed.data(), packed.size());
    return path;
  }

  void Clean(const std::string& name) { fs::remove_all(HostInstallDir(name)); }

  static testsupport::ScratchDir* product_;
  static std::string files_;
  static Bytes* stubAndCabinet_;
  testsupport::ScratchDir dir_;
};

testsupport::ScratchDir* InstallTest::product_ = nullptr;
std::string InstallTest::files_;
Bytes* InstallTest::stubAndCabinet_ = nullptr;

// The log as the line list of the install log gives it for this product,
// written out by hand: header, one File line per extracted file, the empty
// Registry block, the uninstall programs, the defines record.
std::string ExpectedLog(const std::string& dir, const std::vector<std::string>& file_lines) {
  std::vector<std::string> lines = {
      "<InstallLog>",
      "\t<InstallName>Lantern &amp; Key</InstallName>",
      "\t<AppDataSuffix>Zelkon\\Lantern & Key</AppDataSuffix>",
      "\t<UninstallDeltree>" + dir + "</UninstallDeltree>",
      "\t<UserDirectory>" + dir + "\\Saves</UserDirectory>",
      "\t<UninstallDelRegKey>HKLM\\Software\\Zelkon\\Lantern and Key</UninstallDelRegKey>",
      "\t<UserRegKey>HKCU\\Software\\Zelkon\\Lantern and Key</UserRegKey>",
  };
  lines.insert(lines.end(), file_lines.begin(), file_lines.end());
  const std::vector<std::string> rest = {
      "\t<Registry>",
      "\t</Registry>",
      "\t<PreExec>",
      "\t\t<Exe>" + dir + "\\uninstall.exe</Exe>",
      "\t\t<Directory></Directory>",
      "\t\t<Params>/pre \"Lantern and Key\"</Params>",
      "\t\t<SilentFail>1</SilentFail>",
      "\t\t<PostConfirmation>0</PostConfirmation>",
      "\t</PreExec>",
      "\t<PostExec>",
      "\t\t<Exe>" + dir + "\\cleanup.exe</Exe>",
      "\t\t<Directory>" + dir + "</Directory>",
      "\t\t<Params></Params>",
      "\t\t<SilentFail>0</SilentFail>",
      "\t\t<PostConfirmation>1</PostConfirmation>",
      "\t</PostExec>",
      "\t<Defines>",
      "\t\t<Define>",
      "\t\t\t<Name>GAMEDIR</Name>",
      "\t\t\t<Value>Lantern and Key</Value>",
      "\t\t</Define>",
      "\t\t<Define>",
      "\t\t\t<Name>GAMENAME</Name>",
      "\t\t\t<Value>Lantern & Key</Value>",
      "\t\t</Define>",
      "\t\t<Define>",
      "\t\t\t<Name>INSTALLGROUP</Name>",
      "\t\t\t<Value>Zelkon Games\\%GameDir%</Value>",
      "\t\t</Define>",
      "\t\t<Define>",
      "\t\t\t<Name>INSTALLNAME</Name>",
      "\t\t\t<Value>%GameName%</Value>",
      "\t\t</Define>",
      "\t\t<Define>",
      "\t\t\t<Name>INSTALLPATH</Name>",
      "\t\t\t<Value>" + dir + "</Value>",
      "\t\t</Define>",
      "\t</Defines>",
      "</InstallLog>",
  };
  lines.insert(lines.end(), rest.begin(), rest.end());
  std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> FileLines(const std::string& dir) {
  std::vector<std::string> lines;
  for (const ProductFile& f : kFiles) lines.push_back("\t<File>" + dir + "\\" + f.name + "</File>");
  return lines;
}

// After the product files' lines: the install manifest beside the log, which
// an installer built by mkinstaller writes from the first product file on.
std::vector<std::string> WithManifestLine(std::vector<std::string> lines, const std::string& dir) {
  lines.push_back("\t<File>" + dir + "\\Logs\\install_manifest.txt</File>");
  return lines;
}

// Whether the statuses are extraction percentages that reach 100: each value
// within 0..100, rising, except once where the files' extraction starts
// again below the configuration's. The post-install programs end by setting
// the percent back to 0, so trailing zeros after the 100 are the end of the
// run.
void ExpectRisingTo100(std::vector<int> statuses) {
  while (!statuses.empty() && statuses.back() == 0) statuses.pop_back();
  ASSERT_FALSE(statuses.empty());
  int restarts = 0;
  for (size_t i = 0; i < statuses.size(); ++i) {
    EXPECT_GE(statuses[i], 0) << "at " << i;
    EXPECT_LE(statuses[i], 100) << "at " << i;
    if (i > 0 && statuses[i] < statuses[i - 1]) ++restarts;
  }
  EXPECT_LE(restarts, 1);
  EXPECT_EQ(statuses.back(), 100);
}

TEST_F(InstallTest, SilentInstallOfTheSampleProduct) {
  Clean("silent");
  const std::string dir = WindowsInstallDir("silent");
  const auto leftovers_before = e2e::LeftoverTemporaryFolders(kVersion);
  ListenerReport report = Listen(Installer({DefinesText("InstallPath", dir)}), "none", {"-silent"});
  ASSERT_EQ(report.listenerExit, 0) << report.output;
  EXPECT_EQ(report.exitCode, 0);
  ExpectRisingTo100(report.statuses);
  EXPECT_TRUE(report.boxes.empty());

  // Every file with its content, attributes and modification time.
  std::vector<std::string> windows_paths;
  for (const ProductFile& f : kFiles) windows_paths.push_back(dir + "\\" + f.name);
  const auto info = WindowsFileInfo(windows_paths);
  for (const ProductFile& f : kFiles) {
    SCOPED_TRACE(f.name);
    Bytes packed, installed;
    ASSERT_TRUE(testsupport::ReadWholeFile(files_ + "/" + HostName(f.name), &packed));
    ASSERT_TRUE(testsupport::ReadWholeFile(HostInstallDir("silent") + "/" + HostName(f.name), &installed));
    EXPECT_TRUE(packed == installed);
    auto it = info.find(dir + "\\" + f.name);
    ASSERT_NE(it, info.end());
    char expected[32];
    std::snprintf(expected, sizeof expected, "%04X %s", f.expected, f.modified.c_str());
    EXPECT_EQ(it->second, expected);
    struct stat st;
    ASSERT_EQ(stat((HostInstallDir("silent") + "/" + HostName(f.name)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, ParseUtc(f.modified));
  }

  const std::string log = testsupport::ReadText(HostInstallDir("silent") + "/Logs/install.log");
  EXPECT_EQ(log, ExpectedLog(dir, WithManifestLine(FileLines(dir), dir)));
  EXPECT_EQ(testsupport::ReadText(HostInstallDir("silent") + "/Logs/install_props.xml"),
            testsupport::ReadText(e2e::SourceDir() + "/tests/e2e/data/install_sample/cfg/props.xml"));
  EXPECT_EQ(e2e::LeftoverTemporaryFolders(kVersion), leftovers_before);
  EXPECT_FALSE(fs::exists(HostInstallDir("silent") + "/game.exe.ran")) << "a silent run launches nothing";
}

TEST_F(InstallTest, ProductPathInstallsTwoLevelsUpAndLaunchesTheGame) {
  Clean("fnf");
  Clean("ignored");
  // The defines say "ignored"; the command line's product path wins.
  const std::string installer = Installer({DefinesText("InstallPath", WindowsInstallDir("ignored"))});
  // Through the listener, whose command line keeps the quotes as written
  // (Wine's own quoting of an argument with blanks would quote the name too).
  ListenerReport report =
      Listen(installer, "none", {"-fnfsystemupdate=\"" + WindowsInstallDir("fnf") + "\\Lantern and Key\\game.exe\""});
  ASSERT_EQ(report.listenerExit, 0) << report.output;
  EXPECT_EQ(report.exitCode, 0);
  EXPECT_FALSE(fs::exists(HostInstallDir("ignored")));
  for (const ProductFile& f : kFiles) EXPECT_TRUE(fs::exists(HostInstallDir("fnf") + "/" + HostName(f.name))) << f.name;
  EXPECT_TRUE(fs::exists(HostInstallDir("fnf") + "/Logs/install.log"));
  // RunExe is started without asking; it leaves its mark beside itself.
  const std::string marker = HostInstallDir("fnf") + "/game.exe.ran";
  for (int i = 0; i < 100 * e2e::TimeoutScale() && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(marker));
}

TEST_F(InstallTest, CommandLineRegistryValuesReachTheRegistryStepInOrder) {
  Clean("regvalue");
  const std::string key = "HKLM\\Software\\Zelkon\\E2ETest";
  e2e::RegDeleteKey(kVersion, key);
  const std::string dir = WindowsInstallDir("regvalue");
  ListenerReport report =
      Listen(Installer({DefinesText("InstallPath", dir)}), "none",
             {"-silent", "-regvalue=\"0," + key + "\\Path=C:\\My Games\"", "-regvalue=2," + key + "\\Binary=00",
              "-regvalue=1," + key + "\\Level=7", "-REGVALUE=0," + key + "\\Shouted=x"});
  ASSERT_EQ(report.listenerExit, 0) << report.output;
  EXPECT_EQ(report.exitCode, 0);
  std::string data, type;
  ASSERT_TRUE(e2e::RegQuery(kVersion, key, "Path", &data, &type));
  EXPECT_EQ(data, "C:\\My Games");
  EXPECT_EQ(type, "REG_SZ");
  ASSERT_TRUE(e2e::RegQuery(kVersion, key, "Level", &data, &type));
  EXPECT_EQ(type, "REG_DWORD");
  EXPECT_EQ(data, "0x7");
  EXPECT_FALSE(e2e::RegQuery(kVersion, key, "Binary", &data)) << "type 2 is not taken from the command line";
  EXPECT_FALSE(e2e::RegQuery(kVersion, key, "Shouted", &data)) << "option names are case-sensitive";
  const std::string log = testsupport::ReadText(HostInstallDir("regvalue") + "/Logs/install.log");
  EXPECT_NE(log.find("\t<Registry>\r\n"
                     "\t\t<RegValue>\r\n\t\t\t<Key>" + key + "</Key>\r\n\t\t\t<Name>Path</Name>\r\n\t\t</RegValue>\r\n"
                     "\t\t<RegValue>\r\n\t\t\t<Key>" + key + "</Key>\r\n\t\t\t<Name>Level</Name>\r\n\t\t</RegValue>\r\n"
                     "\t</Registry>\r\n"),
            std::string::npos)
      << log;
  e2e::RegDeleteKey(kVersion, key);
}

TEST_F(InstallTest, FailedPreInstallProgramStopsBeforeTheFilesButWritesTheLog) {
  Clean("prefail");
  const std::string dir = WindowsInstallDir("prefail");
  std::string install_xml = testsupport::ReadText(e2e::SourceDir() + "/tests/e2e/data/install_sample/cfg/install.xml");
  install_xml.replace(install_xml.find("</InstallConfig>"), 16,
                      "<PreExec><Exe>%InstallPath%\\no-such-setup.exe</Exe></PreExec></InstallConfig>");
  e2e::WineResult r =
      e2e::RunWine(kVersion, {InstallerWithConfig({{"install.xml", install_xml}}, dir), "-silent"}, 180, kUtc);
  EXPECT_EQ(r.exitCode, 10) << r.output;
  for (const ProductFile& f : kFiles) EXPECT_FALSE(fs::exists(HostInstallDir("prefail") + "/" + HostName(f.name)));
  // The header and the defines, without files, registry or uninstall programs.
  std::string expected = ExpectedLog(dir, {});
  expected.erase(expected.find("\t<Registry>"), expected.find("\t<Defines>") - expected.find("\t<Registry>"));
  EXPECT_EQ(testsupport::ReadText(HostInstallDir("prefail") + "/Logs/install.log"), expected);
}

TEST_F(InstallTest, WaitPidWaitsForARealProcess) {
  Clean("waitpid");
  testsupport::ScratchDir dir;
  const std::string out = dir.file("waitpid.txt");
  e2e::WineResult r = e2e::RunWine(kVersion,
                                   {e2e::BinDir() + "/status_listener.exe", "waitpid", e2e::WinePath(out), "1500",
                                    e2e::WinePath(Installer({DefinesText("InstallPath", WindowsInstallDir("waitpid"))})),
                                    "-silent"},
                                   180, kUtc);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string report = testsupport::ReadText(out);
  EXPECT_NE(report.find("SLEEPER_ENDED_FIRST 1"), std::string::npos) << report;
  EXPECT_NE(report.find("EXIT 0"), std::string::npos) << report;
  const size_t at = report.find("ELAPSED ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_GE(std::atoi(report.c_str() + at + 8), 1400) << report;
}

TEST_F(InstallTest, BrokenInstallXmlEndsWithTen) {
  Clean("broken");
  const auto leftovers_before = e2e::LeftoverTemporaryFolders(kVersion);
  const std::string installer = InstallerWithConfig(
      {{"install.xml", "<InstallConfig>\n<Shortcuts><Shortcut><Target2/></Shortcut></Shortcuts></InstallConfig>"}},
      WindowsInstallDir("broken"), true);
  e2e::WineResult r = e2e::RunWine(kVersion, {installer, "-silent"}, 180, kUtc);
  EXPECT_EQ(r.exitCode, 10) << r.output;
  EXPECT_FALSE(fs::exists(HostInstallDir("broken")));
  EXPECT_EQ(e2e::LeftoverTemporaryFolders(kVersion), leftovers_before);
}

TEST_F(InstallTest, AbortShowsTheFatalErrorAndPostsMinusOne) {
  if (!HasDisplay()) GTEST_SKIP() << "the fatal error message box needs a display";
  const std::string installer =
      InstallerWithConfig({{"install.xml", "<InstallConfig>\n<Bogus/></InstallConfig>"}}, WindowsInstallDir("abort"), true);
  // Not silent: the message box stays up until the listener answers it,
  // while the status thread keeps posting.
  ListenerReport report = Listen(installer, "ok", {});
  ASSERT_EQ(report.listenerExit, 0) << report.output;
  EXPECT_EQ(report.exitCode, 10);
  // The message box, then the aborted page (a dialog too), closed with OK.
  ASSERT_EQ(report.boxes.size(), 2u);
  // The defines are not read yet: InstallName is still the built-in one.
  const std::string box = report.boxes[0];
  const std::string start = "This Program Setup|Invalid Section 'Bogus' on Line 2 in File '";
  EXPECT_EQ(box.substr(0, start.size()), start) << box;
  EXPECT_NE(box.find("\\zelcfg"), std::string::npos) << box;
  EXPECT_EQ(box.substr(box.size() - 13), "\\install.xml'") << box;
  ASSERT_GE(report.statuses.size(), 2u);
  EXPECT_EQ(report.statuses.back(), -1);
}

TEST_F(InstallTest, MissingRequiredInstallationEndsWith300) {
  Clean("required");
  const auto leftovers_before = e2e::LeftoverTemporaryFolders(kVersion);
  const std::string installer = InstallerWithConfig(
      {{"install.xml",
        "<InstallConfig><RequiredInstallPath><InstallLocation>C:\\e2e\\no-such-base\\</InstallLocation>"
        "<FileNameAppend>base.exe</FileNameAppend></RequiredInstallPath></InstallConfig>"}},
      WindowsInstallDir("required"));
  // Through the listener: Wine's own exit status keeps only 8 bits of 300.
  ListenerReport report = Listen(installer, "none", {"-silent"});
  ASSERT_EQ(report.listenerExit, 0) << report.output;
  EXPECT_EQ(report.exitCode, 300);
  EXPECT_FALSE(fs::exists(HostInstallDir("required")));
  EXPECT_EQ(e2e::LeftoverTemporaryFolders(kVersion), leftovers_before);
}

TEST_F(InstallTest, PresentRequiredInstallationGivesTheInstallFolder) {
  Clean("base");
  fs::create_directories(HostInstallDir("base"));
  testsupport::WriteWholeFile(HostInstallDir("base") + "/base.exe", "base");
  const std::string installer = InstallerWithConfig(
      {{"install.xml",
        "<InstallConfig><RequiredInstallPath><InstallLocation>C:\\e2e\\base\\</InstallLocation>"
        "<FileNameAppend>base.exe</FileNameAppend></RequiredInstallPath></InstallConfig>"}},
      WindowsInstallDir("elsewhere"));
  e2e::WineResult r = e2e::RunWine(kVersion, {installer, "-silent"}, 180, kUtc);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(fs::exists(HostInstallDir("base") + "/readme.txt"));
  EXPECT_FALSE(fs::exists(HostInstallDir("elsewhere")));
}

TEST_F(InstallTest, ExtractionThatCannotWriteIsRetriedOnceThenFails) {
  if (!HasDisplay()) GTEST_SKIP() << "the not-running prompt of a silent run is a message box; it needs a display";
  Clean("blocked");
  // A folder where the last file of the payload has to go: its file cannot
  // be created, by either attempt.
  fs::create_directories(HostInstallDir("blocked") + "/zz/last.bin");
  const std::string dir = WindowsInstallDir("blocked");
  ListenerReport report = Listen(Installer({DefinesText("InstallPath", dir)}), "ok", {"-silent"});
  ASSERT_EQ(report.listenerExit, 0) << report.output;
  EXPECT_EQ(report.exitCode, 10);
  // Exactly one prompt, answered OK, then the second failure ends the install.
  ASSERT_EQ(report.boxes.size(), 1u);
  EXPECT_EQ(report.boxes[0], "Lantern & Key is running|Please close Lantern & Key, then press OK to try again.");

  // The files both attempts wrote are logged twice; nothing after the
  // extraction ran (no Registry block, no uninstall programs).
  std::vector<std::string> file_lines = FileLines(dir);
  file_lines.pop_back();
  std::vector<std::string> twice = file_lines;
  twice.insert(twice.end(), file_lines.begin(), file_lines.end());
  std::string expected = ExpectedLog(dir, WithManifestLine(twice, dir));
  const size_t registry = expected.find("\t<Registry>");
  const size_t defines = expected.find("\t<Defines>");
  expected.erase(registry, defines - registry);
  EXPECT_EQ(testsupport::ReadText(HostInstallDir("blocked") + "/Logs/install.log"), expected);
}

}  // namespace
