// An installer shipped as a set of volumes, under Wine: Setup.exe with the
// first cabinet and the volume-set record, Setup-2.cab ... beside it (a
// stored folder continued across all of them, a file stored in three
// parts), installed silently and through the wizard; a missing, truncated
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

#include "base/sha256.h"
#include "driver/payload.h"
#include "e2e/wine_harness.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_set_builder.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kVersion = e2e::kWin7;
constexpr int kExitAborted = 10;
const std::vector<std::string> kNames = {"Setup.exe", "Setup-2.cab", "Setup-3.cab", "Setup-4.cab"};

const char kInstallXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<InstallConfig><InstallLog>%InstallPath%\\install.log</InstallLog></InstallConfig>\n";

Bytes FileBytes(const std::string& path) {
  Bytes b;
  testsupport::ReadWholeFile(path, &b);
  return b;
}

// The product: a.dat, big.bin (three parts, from the first cabinet into the
// third), c.dat (third into fourth), d.txt and e.dat (fourth).
const std::vector<std::pair<std::string, size_t>> kProduct = {
    {"a.dat", 40000}, {"big.bin.001", 50000}, {"big.bin.002", 50000}, {"big.bin.003", 20000},
    {"c.dat", 30000}, {"d.txt", 100},         {"e.dat", 60000}};

struct Installer {
  testsupport::ScratchDir dir;
  cabtest::CabinetSet set;
  std::string exe;
  std::map<std::string, Bytes> installed;  // file name below the install folder -> contents

  // cfg from cfg_dir (install.xml replaced when given), the product, the
  // install folder as a defines text.
  Installer(const std::string& cfg_dir, const std::string& install_xml, const std::string& install_path) {
    cabtest::SetEntries entries;
    size_t cfg_bytes = 0;
    for (const auto& e : fs::directory_iterator(cfg_dir)) {
      const std::string name = e.path().filename().string();
      Bytes data = FileBytes(e.path().string());
      if (name == "install.xml" && !install_xml.empty()) data.assign(install_xml.begin(), install_xml.end());
      cfg_bytes += data.size();
      entries.push_back({"cfg\\" + name, data});
    }
    std::sort(entries.begin(), entries.end());
    uint32_t seed = 7;
    Bytes big;
    for (const auto& p : kProduct) {
      Bytes data = cabtest::Pattern(p.second, seed++);
      entries.push_back({"files\\" + p.first, data});
      if (p.first.rfind("big.bin", 0) == 0) big.insert(big.end(), data.begin(), data.end());
      else installed[p.first] = data;
    }
    installed["big.bin"] = big;
    const size_t first = (cfg_bytes + 60000 + 999) / 1000;
    set = cabtest::BuildStoredSetOf(entries, {first, 60, 60, 80}, kNames);

    VolumeSet record;
    for (size_t i = 1; i < kNames.size(); ++i) {
      const Bytes& v = set.cabinets.at(kNames[i]);
      testsupport::WriteWholeFile(dir.file(kNames[i]), v.data(), v.size());
      record.volumes.push_back({kNames[i], v.size(), base::Sha256Of(v.data(), v.size())});
    }
    record.joined.push_back({"files\\big.bin", 3});
    const std::string record_bytes = SerializeVolumeSet(record);
    const std::string defines =
        "<Defines><Define><Name>InstallPath</Name><Value>" + install_path + "</Value></Define></Defines>";
    Bytes stub = FileBytes(e2e::BinDir() + "/InstallerStub.exe");
    const Bytes out = e2e::AssembleInstaller({}, {{2, stub},
                                                  {1, set.cabinets.at("Setup.exe")},
                                                  {3, Bytes(record_bytes.begin(), record_bytes.end())},
                                                  {0, Bytes(defines.begin(), defines.end())}});
    exe = dir.file("Setup.exe");
    testsupport::WriteWholeFile(exe, out.data(), out.size());
  }
  std::string Volume(const std::string& name) const { return dir.file(name); }
  void Put(const std::string& name, const Bytes& b) const { testsupport::WriteWholeFile(Volume(name), b.data(), b.size()); }
  // Every file beside Setup.exe with its size: what a run must leave as it was.
  std::map<std::string, uintmax_t> Source() const {
    std::map<std::string, uintmax_t> out;
    for (const auto& e : fs::directory_iterator(dir.path())) out[e.path().filename().string()] = e.file_size();
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
    std::string reason;            // the log's InstallError line
    std::vector<std::string> kept;  // the product files installed
  };
  const std::vector<std::string> all = {"a.dat", "big.bin", "c.dat", "d.txt", "e.dat"};
  const std::vector<Case> cases = {
      {"intact", [](Installer&) {}, 0, "", all},
      {"missing", [](Installer& i) { fs::remove(i.Volume("Setup-4.cab")); }, kExitAborted,
       "Setup volume 'Setup-4.cab' is missing", {"a.dat", "big.bin"}},
      {"truncated",
       [](Installer& i) { fs::resize_file(i.Volume("Setup-3.cab"), fs::file_size(i.Volume("Setup-3.cab")) / 2); },
       kExitAborted, "Setup volume 'Setup-3.cab' is of the wrong size (cut short or another file)", {"a.dat"}},
      {"swapped",
       [](Installer& i) {
         i.Put("Setup-2.cab", i.set.cabinets.at("Setup-3.cab"));
         i.Put("Setup-3.cab", i.set.cabinets.at("Setup-2.cab"));
       },
       kExitAborted, "Setup volume 'Setup-2.cab' is damaged or replaced (its contents differ)", {"a.dat"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = std::string("VolumeSet\\") + c.name;
    Installer installer(SampleCfg(), kInstallXml, "C:\\" + folder);
    c.damage(installer);
    const auto source = installer.Source();
    const auto temporary = e2e::LeftoverTemporaryFolders(kVersion);
    const std::string target = e2e::DriveC(kVersion) + "/VolumeSet/" + c.name;
    fs::remove_all(target);
    const e2e::WineResult r = e2e::RunWine(kVersion, {installer.exe, "-silent"}, 300, {"TZ=UTC"});
    EXPECT_EQ(r.exitCode, c.exit) << r.output;
    std::map<std::string, Bytes> tree = Tree(target);
    const std::string log(tree["install.log"].begin(), tree["install.log"].end());
    std::vector<std::string> logged;
    for (const std::string& name : c.kept) {
      EXPECT_EQ(tree[name], installer.installed.at(name)) << name;  // bit-exact, big.bin joined
      logged.push_back("C:\\" + folder + "\\" + name);
    }
    tree.erase("install.log");
    tree.erase("install_props.xml");
    EXPECT_EQ(tree.size(), c.kept.size());  // nothing incomplete left
    // One File line per complete file (the joined one once), nothing else.
    EXPECT_EQ(LogLines(log, "File"), logged);
    EXPECT_EQ(LogLines(log, "InstallError"), c.reason.empty() ? std::vector<std::string>{}
                                                                : std::vector<std::string>{c.reason});
    EXPECT_EQ(installer.Source(), source);
    EXPECT_EQ(e2e::LeftoverTemporaryFolders(kVersion), temporary);
  }
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
    std::vector<std::string> kept;  // the product files installed
  };
  const std::vector<std::string> all = {"a.dat", "big.bin", "c.dat", "d.txt", "e.dat"};
  const std::vector<Case> cases = {
      {"intact", false, {}, 0, all},
      // IDRETRY after Setup-3.cab was copied beside Setup.exe.
      {"retry", true, {"pause copy", "answer 4", kFinish, "click 6", "gone"}, 0, all},
      {"cancel", true, {"answer 2", kAborted, "click 2", "gone"}, kExitAborted, {"a.dat"}},
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
      installer.Put("Setup-3.cab", installer.set.cabinets.at("Setup-3.cab"));
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
    for (const std::string& name : c.kept) EXPECT_EQ(tree[name], installer.installed.at(name)) << name;
    tree.erase("install.log");
    tree.erase("install_props.xml");
    EXPECT_EQ(tree.size(), c.kept.size());
  }
}

}  // namespace
