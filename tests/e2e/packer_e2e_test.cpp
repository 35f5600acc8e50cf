// Installers packed by mkinstaller, installed by the real stub under Wine:
// the bundled sample game, the same installer after code signing, attached
// defines texts, the "_Stub" partner file, a project started with
// "mkinstaller init" from an empty folder, and files\ cut into many folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ShellQuote;

class PackedInstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    stage_ = scratch_.path();
    files_ = stage_ + "/files";
    fs::create_directories(files_);
    fs::copy(e2e::SourceDir() + "/examples/sample-game/files", files_, fs::copy_options::recursive);
    fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files_ + "/StarCourier.exe");
  }

  // Packs the sample game (with an optional replacement configuration folder).
  std::string Pack(const std::string& name, const std::vector<std::string>& texts = {},
                   const std::string& cfg = "", const std::string& options = "") {
    std::string out = stage_ + "/" + name;
    std::string command = "TZ=UTC " + ShellQuote(e2e::BinDir() + "/mkinstaller") + " build --stub " +
                          ShellQuote(e2e::BinDir() + "/InstallerStub.exe") + " --cfg " +
                          ShellQuote(cfg.empty() ? e2e::SourceDir() + "/examples/sample-game/cfg" : cfg) + " --files " +
                          ShellQuote(files_) + options + " -o " + ShellQuote(out);
    for (size_t i = 0; i < texts.size(); ++i) {
      std::string path = stage_ + "/text" + std::to_string(i) + ".xml";
      testsupport::WriteWholeFile(path, texts[i]);
      command += " --defines-text " + ShellQuote(path);
    }
    std::string output;
    EXPECT_EQ(e2e::Shell(command, &output), 0) << output;
    return out;
  }

  // Installs silently into a folder of this test; returns the exit code.
  int Install(const std::string& installer, const std::string& target) {
    e2e::WineResult r = e2e::RunWine(e2e::kWin7, {installer, "-silent"}, 300, {"TZ=UTC"});
    EXPECT_FALSE(r.timedOut);
    return r.exitCode;
  }

  std::string InstalledFolder() const {
    return e2e::DriveC(e2e::kWin7) + "/Program Files/Zelkon Games/Star Courier";
  }

  void RemoveInstall() {
    std::error_code ec;
    fs::remove_all(InstalledFolder(), ec);
  }

  testsupport::ScratchDir scratch_;
  std::string stage_, files_;
};

TEST_F(PackedInstaller, SampleGameInstallsAndStillInstallsAfterSigning) {
  std::string installer = Pack("StarCourierSetup.exe");
  std::string key = stage_ + "/key.pem", cert = stage_ + "/cert.pem", signed_installer = stage_ + "/Signed.exe";
  std::string output;
  ASSERT_EQ(e2e::Shell("openssl req -x509 -newkey rsa:2048 -keyout " + ShellQuote(key) + " -out " + ShellQuote(cert) +
                           " -days 2 -nodes -subj '/CN=Test Publisher'",
                       &output),
            0)
      << output;
  ASSERT_EQ(e2e::Shell("osslsigncode sign -certs " + ShellQuote(cert) + " -key " + ShellQuote(key) +
                           " -n 'Star Courier' -in " + ShellQuote(installer) + " -out " + ShellQuote(signed_installer),
                       &output),
            0)
      << output;

  for (const std::string& setup : {installer, signed_installer}) {
    RemoveInstall();
    ASSERT_EQ(Install(setup, InstalledFolder()), 0) << setup;
    for (const char* name : {"StarCourier.exe", "readme.txt", "data/levels.txt", "data/palette.bin"}) {
      EXPECT_EQ(testsupport::ReadText(InstalledFolder() + "/" + name), testsupport::ReadText(files_ + "/" + name))
          << setup << ": " << name;
    }
    std::string log = testsupport::ReadText(InstalledFolder() + "/Uninstall/install.log");
    EXPECT_NE(log.find("<InstallName>Star Courier</InstallName>"), std::string::npos) << setup;
    EXPECT_TRUE(fs::exists(InstalledFolder() + "/Uninstall/install_props.xml")) << setup;
    EXPECT_TRUE(e2e::LeftoverTemporaryFolders(e2e::kWin7).empty()) << setup;
  }
  RemoveInstall();
}

TEST_F(PackedInstaller, AttachedDefinesTextsFollowDefinesXmlInPayloadOrder) {
  std::string installer =
      Pack("Texts.exe", {"<Defines><Define><Name>Courier</Name><Value>first</Value></Define>"
                         "<Define><Name>OnlyFirst</Name><Value>1</Value></Define></Defines>",
                         "<Defines><Define><Name>courier</Name><Value>second</Value></Define></Defines>"});
  RemoveInstall();
  ASSERT_EQ(Install(installer, InstalledFolder()), 0);
  std::string log = testsupport::ReadText(InstalledFolder() + "/Uninstall/install.log");
  // The defines record: upper-cased names in order, the later text winning.
  EXPECT_NE(log.find("\t\t<Define>\r\n\t\t\t<Name>COURIER</Name>\r\n\t\t\t<Value>second</Value>\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("<Name>ONLYFIRST</Name>\r\n\t\t\t<Value>1</Value>"), std::string::npos) << log;
  EXPECT_LT(log.find("<Name>COURIER</Name>"), log.find("<Name>INSTALLNAME</Name>")) << log;
  RemoveInstall();
}

TEST_F(PackedInstaller, StubPartnerFileSuppliesThePayloadButNotTheName) {
  // The product name shows the installer path the run saw.
  std::string cfg = stage_ + "/cfg";
  fs::copy(e2e::SourceDir() + "/examples/sample-game/cfg", cfg, fs::copy_options::recursive);
  std::string defines = testsupport::ReadText(cfg + "/defines.xml");
  size_t at = defines.find("<Value>Star Courier</Value>");
  ASSERT_NE(at, std::string::npos);
  defines.replace(at, 27, "<Value>%InstallerExePath%</Value>");
  testsupport::WriteWholeFile(cfg + "/defines.xml", defines);

  std::string installer = Pack("Game.exe", {}, cfg);
  fs::copy_file(e2e::BinDir() + "/InstallerStub.exe", stage_ + "/Game_Stub.exe");
  RemoveInstall();
  ASSERT_EQ(Install(stage_ + "/Game_Stub.exe", InstalledFolder()), 0);
  std::string log = testsupport::ReadText(InstalledFolder() + "/Uninstall/install.log");
  EXPECT_NE(log.find("Game_Stub.exe</InstallName>"), std::string::npos) << log;
  RemoveInstall();
}

// Every regular file below root, by relative path, with its bytes.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = testsupport::ReadText(e.path().string());
  return files;
}

TEST_F(PackedInstaller, InitProjectChecksBuildsInstallsAndExtractsUnchanged) {
  // The uninstaller of this tree when it is built, else a small Windows program in its place.
  std::string uninstaller = e2e::BinDir() + "/Uninstall.exe";
  if (!fs::exists(uninstaller)) uninstaller = e2e::BinDir() + "/exit_code.exe";
  const std::string tool = ShellQuote(e2e::BinDir() + "/mkinstaller");
  const std::string project = stage_ + "/new", cfg = project + "/cfg", files = project + "/files";
  const std::string payload = " --files " + ShellQuote(files) + " --uninstaller " + ShellQuote(uninstaller);
  std::string output;
  ASSERT_EQ(e2e::Shell(tool + " init " + ShellQuote(project) + " --name 'Rock Garden' --publisher 'Pebble Works'", &output), 0)
      << output;
  ASSERT_EQ(e2e::Shell(tool + " check " + ShellQuote(cfg) + payload + " 2>&1", &output), 0) << output;
  EXPECT_EQ(output.rfind("ok: 9 entries, ", 0), 0u) << output;  // and no warning
  // No --stub: the build tree's own stub.
  const std::string setup = stage_ + "/RockGardenSetup.exe";
  ASSERT_EQ(e2e::Shell(tool + " build --cfg " + ShellQuote(cfg) + payload + " --define Version=1.5 -o " + ShellQuote(setup), &output), 0)
      << output;

  const std::string installed = e2e::DriveC(e2e::kWin7) + "/Program Files/Pebble Works/Rock Garden";
  std::error_code ec;
  fs::remove_all(installed, ec);
  e2e::WineResult run = e2e::RunWine(e2e::kWin7, {setup, "-silent"}, 300, {"TZ=UTC"});
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(testsupport::ReadText(installed + "/readme.txt"), testsupport::ReadText(files + "/readme.txt"));
  EXPECT_EQ(testsupport::ReadText(installed + "/Uninstall/Uninstall.exe"), testsupport::ReadText(uninstaller));
  std::string log = testsupport::ReadText(installed + "/Uninstall/install.log");
  EXPECT_NE(log.find("<Name>VERSION</Name>\r\n\t\t\t<Value>1.5</Value>"), std::string::npos) << log;
  const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Rock Garden";
  std::string value;
  EXPECT_TRUE(e2e::RegQuery(e2e::kWin7, key, "UninstallString", &value));
  EXPECT_NE(value.find("Pebble Works\\Rock Garden\\Uninstall\\Uninstall.exe"), std::string::npos) << value;
  EXPECT_TRUE(e2e::RegQuery(e2e::kWin7, key, "DisplayVersion", &value));
  EXPECT_EQ(value, "1.5");
  e2e::RegDeleteKey(e2e::kWin7, key);
  e2e::RegDeleteKey(e2e::kWin7, "HKLM\\SOFTWARE\\Pebble Works");
  fs::remove_all(installed, ec);

  // What extract writes is what went in.
  const std::string out = stage_ + "/extracted";
  ASSERT_EQ(e2e::Shell(tool + " extract " + ShellQuote(setup) + " " + ShellQuote(out), &output), 0) << output;
  EXPECT_EQ(Tree(out + "/cfg"), Tree(cfg));
  auto expected = Tree(files);
  expected["Uninstall/Uninstall.exe"] = testsupport::ReadText(uninstaller);
  EXPECT_EQ(Tree(out + "/files"), expected);
}

// files\ cut into many folders compressed by several threads: the same
// installer whatever the thread count, and the same install (files, times,
// log) as from one folder.
TEST_F(PackedInstaller, ManyFoldersInstallWhatOneFolderInstalls) {
  for (int i = 0; i < 6; ++i) {
    std::string bulk(40000 + i, '\0');
    for (size_t k = 0; k < bulk.size(); ++k) bulk[k] = static_cast<char>((k * (i + 3)) ^ (k >> 7));
    testsupport::WriteWholeFile(files_ + "/data/bulk" + std::to_string(i) + ".bin", bulk);
  }
  const std::string one = Pack("One.exe", {}, "", " --folder-size 2G");
  const std::string many = Pack("Many.exe", {}, "", " --folder-size 32K --threads 1");
  const std::string many3 = Pack("Many3.exe", {}, "", " --folder-size 32K --threads 3");
  EXPECT_EQ(testsupport::ReadText(many), testsupport::ReadText(many3));
  EXPECT_NE(testsupport::ReadText(many), testsupport::ReadText(one));
  std::map<std::string, std::string> trees[2];
  std::map<std::string, fs::file_time_type> times[2];
  for (int k = 0; k < 2; ++k) {
    RemoveInstall();
    ASSERT_EQ(Install(k == 0 ? one : many, InstalledFolder()), 0);
    trees[k] = Tree(InstalledFolder());
    for (const auto& e : fs::recursive_directory_iterator(InstalledFolder()))
      times[k][fs::relative(e.path(), InstalledFolder()).string()] = e.last_write_time();
  }
  EXPECT_EQ(trees[0], trees[1]);
  EXPECT_EQ(trees[1]["data/bulk5.bin"], testsupport::ReadText(files_ + "/data/bulk5.bin"));
  EXPECT_TRUE(times[0] == times[1]);
  RemoveInstall();
}

}  // namespace
