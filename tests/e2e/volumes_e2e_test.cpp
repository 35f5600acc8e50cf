// An installer shipped as a set of volumes, under Wine: Setup.exe with the
// first cabinet and the volume-set record, Setup-2.cab ... beside it (a
// stored folder continued across all of them, or small folders decoded
// several at once; a file stored in three parts), installed silently and
// through the wizard; a missing, truncated
// or swapped volume gives exit code 10, the reason in the log and only
// complete files, and touches nothing outside the install folder; the
// wizard names the volume and installs everything after Retry once the
// volume is in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <sstream>

#include "e2e/wine_harness.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_set_builder.h"
#include "tests/cabinet/encoder_test_data.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kVersion = e2e::kWin7;
constexpr int kExitAborted = 10;

const char kInstallXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<InstallConfig><InstallLog>%InstallPath%\\install.log</InstallLog></InstallConfig>\n";

Bytes FileBytes(const std::string& path) {
  Bytes b;
  testsupport::ReadWholeFile(path, &b);
  return b;
}

// The product, in cabinet order: big.bin (1.5 MB) is stored as three
// parts of 512 KB at most, the volumes are 1 MB: Setup.exe (the stub and
// the first cabinet), Setup-2.cab, Setup-3.cab, Setup-4.cab.
const std::vector<std::pair<std::string, size_t>> kProduct = {
    {"a.dat", 100000}, {"big.bin", 1500000}, {"c.dat", 700000}, {"d.txt", 100}, {"e.dat", 900000}};
const std::vector<std::string> kVolumes = {"Setup-2.cab", "Setup-3.cab", "Setup-4.cab"};

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Installer {
  testsupport::ScratchDir dir;
  std::string exe;
  std::map<std::string, Bytes> product;  // by file name
  std::map<std::string, Bytes> volumes;  // as packed, by name

  // Packed by mkinstaller, stored, from cfg_dir with install.xml replaced,
  // installing to install_path; options: more for mkinstaller build (the
  // product is noise then, so that it fills the volumes compressed too).
  Installer(const std::string& cfg_dir, const std::string& install_xml, const std::string& install_path,
            const std::string& options = "") {
    const std::string cfg = dir.file("src/cfg"), files = dir.file("src/files");
    fs::create_directories(files);
    fs::copy(cfg_dir, cfg, fs::copy_options::recursive);
    testsupport::WriteWholeFile(cfg + "/install.xml", install_xml);
    uint32_t seed = 7;
    for (const auto& p : kProduct) {
      product[p.first] = options.empty() ? cabtest::Pattern(p.second, seed) : enctest::Random(p.second, seed);
      ++seed;
      testsupport::WriteWholeFile(files + "/" + p.first, product[p.first].data(), product[p.first].size());
    }
    const std::string defines = dir.file("src/defines.txt");
    testsupport::WriteWholeFile(defines, "<Defines><Define><Name>InstallPath</Name><Value>" + install_path +
                                             "</Value></Define></Defines>");
    fs::create_directories(dir.file("set"));
    exe = dir.file("set/Setup.exe");
    std::string output;
    const int status = e2e::Shell("TZ=UTC " + Quote(e2e::BinDir() + "/mkinstaller") + " build --stub " +
                                      Quote(e2e::BinDir() + "/InstallerStub.exe") + " --cfg " + Quote(cfg) +
                                      " --files " + Quote(files) + " --defines-text " + Quote(defines) +
                                      " --compression none --volume-size 1M --part-size 512K " + options +
                                      " -o " + Quote(exe),
                                  &output);
    EXPECT_EQ(status, 0) << output;
    for (const std::string& v : kVolumes) volumes[v] = FileBytes(Volume(v));
  }
  std::string Volume(const std::string& name) const { return dir.file("set/" + name); }
  void Put(const std::string& name, const Bytes& b) const { testsupport::WriteWholeFile(Volume(name), b.data(), b.size()); }
  // Every file beside Setup.exe with its size: what a run must leave as it was.
  std::map<std::string, uintmax_t> Source() const {
    std::map<std::string, uintmax_t> out;
    for (const auto& e : fs::directory_iterator(dir.file("set"))) out[e.path().filename().string()] = e.file_size();
    return out;
  }
};

std::vector<std::string> LogLines(const std::string& log, const std::string& tag) {
  std::vector<std::string> out;
  std::istringstream lines(log);
  std::string line;
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  while (std::getline(lines, line)) {
    const size_t a = line.find(open), b = line.find(close);
    if (a != std::string::npos && b != std::string::npos) out.push_back(line.substr(a + open.size(), b - a - open.size()));
  }
  return out;
}

std::map<std::string, Bytes> Tree(const std::string& folder) {
  std::map<std::string, Bytes> out;
  if (!fs::exists(folder)) return out;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) out[fs::relative(e.path(), folder).generic_string()] = FileBytes(e.path().string());
  return out;
}

std::string SampleCfg() { return e2e::SourceDir() + "/tests/e2e/data/install_sample/cfg"; }

TEST(VolumeSetE2E, SilentInstallsAndFaults) {
  struct Case {
    const char* name;
    std::function<void(Installer&)> damage;
    int exit;
    std::string reason;  // the log's InstallError line
    std::string options = "";  // for mkinstaller build
  };
  // Compressed folders of 256 KB: the passes of a whole set decoded at once
  // (a stored set, or one with a volume missing or of the wrong size, is
  // decoded in one pass). The product is noise then, so that it still
  // fills the volumes.
  const std::string kSmallFolders = "--compression mszip --folder-size 256K";
  const std::vector<Case> cases = {
      {"intact", [](Installer&) {}, 0, "", kSmallFolders},
      {"damaged",
       [](Installer& i) {
         Bytes three = i.volumes.at("Setup-3.cab");
         three[three.size() / 2] ^= 1;
         i.Put("Setup-3.cab", three);
       },
       kExitAborted, "Setup volume 'Setup-3.cab' is damaged or replaced (its contents differ)", kSmallFolders},
      {"missing", [](Installer& i) { fs::remove(i.Volume("Setup-4.cab")); }, kExitAborted,
       "Setup volume 'Setup-4.cab' is missing"},
      {"truncated", [](Installer& i) { fs::resize_file(i.Volume("Setup-3.cab"), 1000); }, kExitAborted,
       "Setup volume 'Setup-3.cab' is of the wrong size (cut short or another file)"},
      // Volumes of the same size: only the hash tells them apart.
      {"swapped",
       [](Installer& i) {
         i.Put("Setup-2.cab", i.volumes.at("Setup-3.cab"));
         i.Put("Setup-3.cab", i.volumes.at("Setup-2.cab"));
       },
       kExitAborted, "Setup volume 'Setup-2.cab' is damaged or replaced (its contents differ)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = std::string("VolumeSet\\") + c.name;
    Installer installer(SampleCfg(), kInstallXml, "C:\\" + folder, c.options);
    if (c.options.empty()) {
      ASSERT_EQ(installer.volumes.at("Setup-2.cab").size(), installer.volumes.at("Setup-3.cab").size());
    }
    c.damage(installer);
    const auto source = installer.Source();
    const auto temporary = e2e::LeftoverTemporaryFolders(kVersion);
    const std::string target = e2e::DriveC(kVersion) + "/VolumeSet/" + c.name;
    fs::remove_all(target);
    const e2e::WineResult r = e2e::RunWine(kVersion, {installer.exe, "-silent"}, 300, {"TZ=UTC"});
    EXPECT_EQ(r.exitCode, c.exit) << r.output;
    std::map<std::string, Bytes> tree = Tree(target);
    const std::string log(tree["install.log"].begin(), tree["install.log"].end());
    tree.erase("install.log");
    tree.erase("install_props.xml");
    EXPECT_EQ(tree.erase("install_manifest.txt"), 1u);  // for -verify, -repair and continuing
    // The files before the faulty volume, complete and bit-exact (big.bin
    // joined), each logged once; none from the faulty volume on.
    std::vector<std::string> installed, logged;
    for (const auto& p : kProduct) {
      if (!tree.count(p.first)) break;
      EXPECT_EQ(tree.at(p.first), installer.product.at(p.first)) << p.first;
      installed.push_back(p.first);
      logged.push_back("C:\\" + folder + "\\" + p.first);
    }
    EXPECT_EQ(tree.size(), installed.size());  // a prefix of the cabinet's order, nothing incomplete
    logged.push_back("C:\\" + folder + "\\install_manifest.txt");
    EXPECT_EQ(LogLines(log, "File"), logged);
    if (c.exit == 0) {
      EXPECT_EQ(installed.size(), kProduct.size());
      EXPECT_TRUE(LogLines(log, "InstallError").empty());
    } else {
      EXPECT_GE(installed.size(), 1u);  // a.dat lies in Setup.exe
      EXPECT_LT(installed.size(), kProduct.size());
      std::string escaped;  // as the log writes values
      for (char ch : c.reason) escaped += ch == '\'' ? std::string("&apos;") : std::string(1, ch);
      EXPECT_EQ(LogLines(log, "InstallError"), std::vector<std::string>{escaped});
    }
    EXPECT_EQ(installer.Source(), source);
    EXPECT_EQ(e2e::LeftoverTemporaryFolders(kVersion), temporary);
    if (c.exit != 0) continue;
    // The uninstaller removes the joined file like any other.
    const e2e::WineResult u = e2e::RunWine(
        kVersion, {e2e::BinDir() + "/Uninstall.exe", "C:\\" + folder + "\\install.log", "-silent"}, 120);
    EXPECT_EQ(u.exitCode, 0) << u.output;
    for (const auto& p : kProduct) EXPECT_FALSE(fs::exists(target + "/" + p.first)) << p.first;
  }
}

// A file larger than the part size comes back whole from mkinstaller
// extract too.
TEST(VolumeSetE2E, ExtractJoinsParts) {
  Installer installer(SampleCfg(), kInstallXml, "C:\\VolumeSet\\extract");
  testsupport::ScratchDir out;
  std::string output;
  ASSERT_EQ(e2e::Shell(Quote(e2e::BinDir() + "/mkinstaller") + " extract " + Quote(installer.exe) + " " +
                           Quote(out.file("x")),
                       &output),
            0)
      << output;
  for (const auto& p : kProduct) EXPECT_EQ(FileBytes(out.file("x/files/" + p.first)), installer.product.at(p.first)) << p.first;
}

// ---- Through the wizard ---------------------------------------------------

const std::string kWelcome = "page Welcome";
const std::string kLicense = "page License Agreement";
const std::string kFinish = "page Installation Complete";
const std::string kAborted = "page Setup Cancelled";

struct Driven {
  std::vector<std::string> lines;
  int exitCode = -1;
  std::string output;
};

// Runs the installer under ui_driver; each "pause NAME" runs on_pause(NAME)
// before the script goes on.
Driven Drive(const std::string& installer, const std::vector<std::string>& script,
             const std::function<void(const std::string&)>& on_pause) {
  testsupport::ScratchDir dir;
  const std::string out = dir.file("out.txt"), script_file = dir.file("script.txt");
  std::string text;
  for (const std::string& line : script) text += line + "\n";
  testsupport::WriteWholeFile(script_file, text);
  const std::vector<std::string> argv = {e2e::BinDir() + "/ui_driver.exe", e2e::WinePath(out),
                                         e2e::WinePath(script_file), e2e::WinePath(installer)};
  auto run = std::async(std::launch::async, [&] { return e2e::RunWine(kVersion, argv, 400, {"TZ=UTC"}); });
  std::set<std::string> paused;
  while (run.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
    std::istringstream lines(testsupport::ReadText(out));
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("PAUSE ", 0) != 0 || paused.count(line)) continue;
      paused.insert(line);
      on_pause(line.substr(6));
      testsupport::WriteWholeFile(out + "." + line.substr(6) + ".go", "");
    }
  }
  Driven d;
  d.output = run.get().output;
  std::istringstream lines(testsupport::ReadText(out));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("EXIT ", 0) == 0) d.exitCode = std::atoi(line.c_str() + 5);
    d.lines.push_back(line);
  }
  return d;
}

TEST(VolumeSetE2E, WizardInstallsAndAsksForAMissingVolume) {
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  struct Case {
    const char* name;
    bool remove_third;
    std::vector<std::string> on_box;  // after the volume question appeared
    int exit;
  };
  const std::vector<Case> cases = {
      {"intact", false, {}, 0},
      // IDRETRY after Setup-3.cab was copied beside Setup.exe.
      {"retry", true, {"pause copy", "answer 4", kFinish, "click 6", "gone"}, 0},
      {"cancel", true, {"answer 2", kAborted, "click 2", "gone"}, kExitAborted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = std::string("VolumeSetWizard\\") + c.name;
    Installer installer(e2e::SourceDir() + "/examples/sample-game/cfg", kInstallXml, "C:\\" + folder);
    if (c.remove_third) fs::remove(installer.Volume("Setup-3.cab"));
    const std::string target = e2e::DriveC(kVersion) + "/VolumeSetWizard/" + c.name;
    fs::remove_all(target);
    std::vector<std::string> script = {kWelcome, "click 1014", kLicense, "click 1014"};
    if (c.on_box.empty()) {
      script.insert(script.end(), {kFinish, "click 6", "gone"});
    } else {
      script.push_back("box");
      script.insert(script.end(), c.on_box.begin(), c.on_box.end());
    }
    const Driven d = Drive(installer.exe, script, [&](const std::string&) {
      installer.Put("Setup-3.cab", installer.volumes.at("Setup-3.cab"));
    });
    std::string report;
    for (const std::string& line : d.lines) report += line + "\n";
    EXPECT_EQ(d.exitCode, c.exit) << report << d.output;
    if (c.remove_third) {
      // The question names the volume, with Retry and Cancel.
      bool asked = false;
      for (const std::string& line : d.lines)
        asked |= line.rfind("BOX Setup File Missing|", 0) == 0 && line.find("Setup-3.cab") != std::string::npos;
      EXPECT_TRUE(asked) << report;
    }
    std::map<std::string, Bytes> tree = Tree(target);
    tree.erase("install.log");
    tree.erase("install_props.xml");
    tree.erase("install_manifest.txt");
    size_t installed = 0;
    for (const auto& p : kProduct) {
      if (!tree.count(p.first)) break;
      EXPECT_EQ(tree.at(p.first), installer.product.at(p.first)) << p.first;
      ++installed;
    }
    EXPECT_EQ(tree.size(), installed);
    if (c.exit == 0) EXPECT_EQ(installed, kProduct.size());
    else EXPECT_LT(installed, kProduct.size());
  }
}

}  // namespace
