// The setup wizard end to end: the sample game packed by mkinstaller, run
// under Wine and Xvfb and clicked through by ui_driver.exe (our own
// UI-automation program) as a person would. Screenshots of the pages are
// kept under build/wizard-screens; the header colours are checked on them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kVersion = e2e::kWin7;
// Script commands that wait for each page by its header line (most pages
// share one caption).
const std::string kWelcome = "page Welcome";
const std::string kOptions = "page Settings";
const std::string kInstalling = "page Installing";
const std::string kFinish = "page Installation Complete";
const std::string kAborted = "page Setup Cancelled";
const std::string kWelcomeCaption = "Welcome to the Star Courier Setup";
const std::string kCaption = "Star Courier Setup";
const std::string kRegistryKey = "HKLM\\SOFTWARE\\Zelkon Games\\Star Courier";

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool HasDisplay() { return std::getenv("DISPLAY") && *std::getenv("DISPLAY"); }

std::string ScreenDir() {
  const std::string dir = e2e::BinDir() + "/../wizard-screens";
  fs::create_directories(dir);
  return dir;
}

// ---- What ui_driver reports ----

struct Control {
  int id = 0;
  std::string cls;
  bool visible = false, enabled = false;
  int x = 0, y = 0, w = 0, h = 0;
  std::string text;
};

struct Listing {
  int x = 0, y = 0;                    // outer top-left corner on the screen
  int clientX = 0, clientY = 0, clientW = 0, clientH = 0;
  std::string caption;
  std::map<int, Control> controls;     // by ID (the -1 statics are kept apart)
  std::vector<Control> statics;
};

struct Driven {
  std::vector<std::string> lines;  // everything but the listings
  std::vector<Listing> listings;
  int exitCode = -1;
  std::string output;
  // For failure messages: what the driver reported.
  std::string Report() const {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  }
};

// Runs the installer under ui_driver with the script; every "pause NAME"
// becomes the screenshot NAME.png.
Driven Drive(const std::string& installer, const std::vector<std::string>& script,
             const std::vector<std::string>& args = {}) {
  testsupport::ScratchDir dir;
  const std::string out = dir.file("out.txt"), script_file = dir.file("script.txt");
  std::string text;
  for (const std::string& line : script) text += line + "\n";
  testsupport::WriteWholeFile(script_file, text);
  std::vector<std::string> argv = {e2e::BinDir() + "/ui_driver.exe", e2e::WinePath(out), e2e::WinePath(script_file),
                                   e2e::WinePath(installer)};
  argv.insert(argv.end(), args.begin(), args.end());
  auto run = std::async(std::launch::async, [&] { return e2e::RunWine(kVersion, argv, 400, {"TZ=UTC"}); });
  std::set<std::string> shot;
  while (run.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
    std::istringstream lines(testsupport::ReadText(out));
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("PAUSE ", 0) != 0 || shot.count(line)) continue;
      shot.insert(line);
      const std::string name = line.substr(6);
      e2e::Shell("import -window root " + Quote(ScreenDir() + "/" + name + ".png"));
      testsupport::WriteWholeFile(out + "." + name + ".go", "");
    }
  }
  Driven d;
  d.output = run.get().output;
  std::istringstream lines(testsupport::ReadText(out));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "W") {
      Listing l;
      in >> l.x >> l.y >> l.clientW >> l.clientH;  // outer w, h: overwritten below
      in >> l.clientX >> l.clientY >> l.clientW >> l.clientH;
      std::getline(in, l.caption);
      l.caption.erase(0, 1);
      d.listings.push_back(l);
    } else if (kind == "C" && !d.listings.empty()) {
      Control c;
      in >> c.id >> c.cls >> c.visible >> c.enabled >> c.x >> c.y >> c.w >> c.h;
      std::getline(in, c.text);
      if (!c.text.empty()) c.text.erase(0, 1);
      if (c.id == -1)
        d.listings.back().statics.push_back(c);
      else
        d.listings.back().controls[c.id] = c;
    } else {
      if (kind == "EXIT") d.exitCode = std::atoi(line.c_str() + 5);
      d.lines.push_back(line);
    }
  }
  return d;
}

// ---- Checks shared by the runs ----

// No placeholder is left anywhere on a page.
void ExpectExpanded(const Listing& l) {
  EXPECT_EQ(l.caption.find('%'), std::string::npos) << l.caption;
  for (const auto& c : l.controls) {
    EXPECT_EQ(c.second.text.find('%'), std::string::npos) << l.caption << ": " << c.first;
  }
  for (const Control& c : l.statics) {
    EXPECT_EQ(c.text.find('%'), std::string::npos) << l.caption << ": " << c.text;
  }
}

// Right-aligned buttons: one width (a multiple of 4), the last ending 6 units
// from the right and 12 units between them. Returns the unit in pixels.
int ExpectRightAligned(const Listing& l, const std::vector<int>& ids) {
  const Control& last = l.controls.at(ids.back());
  const int margin = l.clientW - (last.x + last.w);  // 6 units
  EXPECT_EQ(margin % 6, 0) << l.caption;
  for (size_t i = 0; i < ids.size(); ++i) {
    const Control& b = l.controls.at(ids[i]);
    EXPECT_TRUE(b.visible) << l.caption << ": " << ids[i];
    EXPECT_EQ(b.w, last.w) << l.caption << ": " << ids[i];
    EXPECT_EQ(b.w % 4, 0) << l.caption;
    if (i + 1 < ids.size()) {
      EXPECT_EQ(l.controls.at(ids[i + 1]).x - (b.x + b.w), 2 * margin) << l.caption;
    }
  }
  return margin / 6;
}

struct Image {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  std::string Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return "outside";
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
  }
};

Image ReadImage(const std::string& path) {
  testsupport::ScratchDir dir;
  Image image;
  if (e2e::Shell("convert " + Quote(path) + " -depth 8 " + Quote("ppm:" + dir.file("i.ppm"))) != 0) return image;
  std::ifstream in(dir.file("i.ppm"), std::ios::binary);
  std::string magic;
  int max = 0;
  in >> magic >> image.w >> image.h >> max;
  in.get();
  image.rgb.resize(static_cast<size_t>(image.w) * image.h * 3);
  in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
  return image;
}

// The header band, its lines, the background, the footer, both bitmaps and
// the product panel's frame, at the page's client origin.
void ExpectPaintedHeader(const std::string& shot, const Listing& l) {
  const Image screen = ReadImage(shot);
  ASSERT_GT(screen.w, 0) << shot;
  const std::string cfg = e2e::SourceDir() + "/examples/sample-game/cfg/";
  const Image logo = ReadImage(cfg + "logo.bmp"), product = ReadImage(cfg + "product.bmp");
  const int x = l.clientX, y = l.clientY, w = l.clientW, h = l.clientH, depth = 34;  // 96 pixels per inch
  const int left = w - product.w - 21;  // product panel
  struct Point {
    const char* what;
    int px, py;
    std::string colour;
  } points[] = {
      {"header band", logo.w + 20, 30, "191,191,191"},
      {"dark line", logo.w + 20, 76, "125,125,125"},
      {"white line", logo.w + 20, 77, "255,255,255"},
      {"background", 3, 100, "218,218,218"},
      {"footer white line", 2, h - depth - 1, "255,255,255"},
      {"footer band", 2, h - 2, "191,191,191"},
      {"logo", 0, 0, logo.Pixel(0, 0)},
      {"logo end", logo.w - 1, logo.h - 1, logo.Pixel(logo.w - 1, logo.h - 1)},
      {"panel frame", left, 30, "125,125,125"},
      {"panel inner white", left + 1, 30, "255,255,255"},
      {"panel fill", left + 3, 30, "218,218,218"},
      {"product", left + 5, 10, product.Pixel(0, 0)},
  };
  for (const Point& p : points) EXPECT_EQ(screen.Pixel(x + p.px, y + p.py), p.colour) << shot << ": " << p.what;
}

// ---- The sample game ----

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HasDisplay()) GTEST_SKIP() << "the wizard's pages need a display";
    files_ = scratch_.file("files");
    fs::create_directories(files_);
    fs::copy(e2e::SourceDir() + "/examples/sample-game/files", files_, fs::copy_options::recursive);
    fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files_ + "/StarCourier.exe");
    RemoveInstall();
  }
  void TearDown() override { RemoveInstall(); }

  std::string Pack(const std::string& cfg = "") {
    const std::string out = scratch_.file("Setup" + std::to_string(++packed_) + ".exe");
    std::string output;
    EXPECT_EQ(e2e::Shell("TZ=UTC " + Quote(e2e::BinDir() + "/mkinstaller") + " build --stub " +
                             Quote(e2e::BinDir() + "/InstallerStub.exe") + " --cfg " +
                             Quote(cfg.empty() ? e2e::SourceDir() + "/examples/sample-game/cfg" : cfg) + " --files " +
                             Quote(files_) + " -o " + Quote(out),
                         &output),
              0)
        << output;
    return out;
  }

  static std::string DefaultFolder() { return e2e::DriveC(kVersion) + "/Program Files/Zelkon Games/Star Courier"; }
  static std::string TypedFolder() { return e2e::DriveC(kVersion) + "/e2e-wizard/typed"; }

  static void RemoveInstall() {
    std::error_code ec;
    fs::remove_all(DefaultFolder(), ec);
    fs::remove_all(e2e::DriveC(kVersion) + "/e2e-wizard", ec);
    e2e::RegDeleteKey(kVersion, kRegistryKey);
  }

  // Every installed file with its contents, the install log and the values.
  static std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      snapshot[fs::relative(entry.path(), folder).string()] =
          entry.is_regular_file() ? testsupport::ReadText(entry.path().string()) : "<folder>";
    for (const char* value : {"InstallPath", "Version"}) {
      std::string data;
      e2e::RegQuery(kVersion, kRegistryKey, value, &data);
      snapshot[std::string("registry ") + value] = data;
    }
    return snapshot;
  }

  // The sample game's configuration with a prerequisite that takes its time
  // (so that the progress page stays up) and, as the program to launch, a
  // stand-in that leaves "<itself>.ran" beside itself. The prerequisite runs
  // from the build folder: a cancelled run leaves it running, and a running
  // program in the temporary folder would keep that folder.
  std::string SlowConfig(int sleep_ms) {
    const std::string cfg = scratch_.file("slow-cfg");
    fs::copy(e2e::SourceDir() + "/examples/sample-game/cfg", cfg, fs::copy_options::recursive);
    fs::copy_file(e2e::BinDir() + "/status_listener_gui.exe", files_ + "/marker.exe");
    std::string install = testsupport::ReadText(cfg + "/install.xml");
    install.replace(install.find("<RunExe>%GameExe%</RunExe>"), 26, "<RunExe>%InstallPath%\\marker.exe</RunExe>");
    install.replace(install.find("</InstallConfig>"), 16,
                    "<PreExec><Exe>" + e2e::WinePath(e2e::BinDir() + "/status_listener.exe") +
                        "</Exe><Params>sleep " + std::to_string(sleep_ms) +
                        "</Params></PreExec></InstallConfig>");
    testsupport::WriteWholeFile(cfg + "/install.xml", install);
    return cfg;
  }

  testsupport::ScratchDir scratch_;
  std::string files_;
  int packed_ = 0;
};

TEST_F(WizardTest, ClickingThroughInstallsWhatTheSilentInstallDoes) {
  const std::string installer = Pack();
  e2e::WineResult silent = e2e::RunWine(kVersion, {installer, "-silent"}, 300, {"TZ=UTC"});
  ASSERT_EQ(silent.exitCode, 0) << silent.output;
  const auto expected = Snapshot(DefaultFolder());
  RemoveInstall();

  const Driven d = Drive(installer, {kWelcome, "list", "pause welcome", "click 1014", kFinish,
                                     "list", "pause finish", "check 1022 0", "click 6", "gone"});
  ASSERT_EQ(d.exitCode, 0) << d.Report();
  EXPECT_EQ(Snapshot(DefaultFolder()), expected);
  ASSERT_EQ(d.listings.size(), 2u) << d.Report();

  const Listing& welcome = d.listings[0];
  for (const Listing& l : d.listings) ExpectExpanded(l);
  EXPECT_EQ(welcome.caption, kWelcomeCaption);  // the property holds %InstallName%
  EXPECT_EQ(welcome.controls.at(1020).text, "C:\\Program Files\\Zelkon Games\\Star Courier");
  EXPECT_EQ(welcome.controls.at(1021).text, "Zelkon Games\\Star Courier");
  const int unit = ExpectRightAligned(welcome, {1014, 2});
  EXPECT_EQ(welcome.controls.at(1018).x, 6 * unit);
  // Template tops and heights are kept: Next and Change Settings share them.
  EXPECT_EQ(welcome.controls.at(1018).y, welcome.controls.at(1014).y);
  ExpectPaintedHeader(ScreenDir() + "/welcome.png", welcome);

  // Finish: readme and Done spread to both sides, the launch box shown.
  const Listing& finish = d.listings[1];
  const Control& readme = finish.controls.at(8);
  const Control& done = finish.controls.at(6);
  EXPECT_TRUE(readme.visible && done.visible && finish.controls.at(1022).visible);
  EXPECT_EQ(readme.w, done.w);
  EXPECT_EQ(readme.x, 6 * unit);
  EXPECT_EQ(done.x + done.w, finish.clientW - 6 * unit);
  ExpectPaintedHeader(ScreenDir() + "/finish.png", finish);
}

TEST_F(WizardTest, OptionsBackValidationMessagesAndTypedPath) {
  const std::string installer = Pack();
  fs::create_directories(TypedFolder());
  const std::string typed = "C:\\e2e-wizard\\typed";
  // Each refused choice: what is typed, then the message it brings.
  struct Refusal {
    const char* path;
    const char* group;
    const char* message;
  } refusals[] = {
      {"C:\\\\e2e-wizard", "Zelkon", "Invalid Path!|Please specify a valid local path to install to."},
      {"e2e-wizard", "Zelkon", "Invalid Path!|Please specify a path, including the drive letter."},
      {"C:\\Ga&mes", "Zelkon",
       "Invalid Path!|The path specified contains an invalid character.  Please select a different path."},
      {"C:\\e2e-wizard\\typed", "",
       "Invalid Start Menu Location!|The start menu location specified is invalid.  Please choose a different start "
       "menu location."},
      {"C:\\e2e-wizard\\typed", "A:B",
       "Invalid Start Menu Location!|The start menu location specified contains an invalid character.  Please select "
       "a different start menu location."},
      {"Q:\\Games", "Zelkon", "Invalid Drive!|The drive specified is not valid.  Please select a different path."},
  };
  std::vector<std::string> script = {
      kWelcome, "click 1018", kOptions, "list", "pause options", "type 1006 C:\\elsewhere", "type 1008 Other",
      "click 110",  // Back: the saved defaults again
      kWelcome, "list", "click 1018", kOptions, "list", "move 40 50",
      // Browse starts at the deepest existing folder of the typed path.
      "type 1006 " + typed + "\\not\\there", "click 1007", "dialog", "tree", "answer 2"};
  for (const Refusal& r : refusals) {
    script.push_back(std::string("type 1006 ") + r.path);
    script.push_back(std::string("type 1008 ") + r.group);
    script.insert(script.end(), {"click 1014", "box", "answer 1", kOptions});
  }
  script.insert(script.end(), {"list", "type 1006 " + typed + "\\", "type 1008 Zelkon Games\\Wizard", "click 1014",
                               kFinish, "list", "check 1022 0", "click 6", "gone"});
  const Driven d = Drive(installer, script);
  ASSERT_EQ(d.exitCode, 0) << d.Report();

  std::vector<std::string> boxes, trees;
  for (const std::string& line : d.lines) {
    if (line.rfind("BOX ", 0) == 0) boxes.push_back(line.substr(4));
    if (line.rfind("TREE ", 0) == 0) trees.push_back(line.substr(5));
  }
  ASSERT_EQ(boxes.size(), std::size(refusals)) << d.Report();
  for (size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(boxes[i], refusals[i].message) << refusals[i].path;
  ASSERT_EQ(trees.size(), 1u);
  EXPECT_EQ(trees[0].substr(0, 17), "typed<e2e-wizard<") << trees[0];

  ASSERT_EQ(d.listings.size(), 5u) << d.Report();
  const Listing& options = d.listings[0];
  ExpectExpanded(options);
  EXPECT_EQ(options.controls.at(1006).text, "C:\\Program Files\\Zelkon Games\\Star Courier");
  EXPECT_EQ(options.controls.at(1008).text, "Zelkon Games\\Star Courier");
  ExpectRightAligned(options, {110, 1014, 2});
  ExpectPaintedHeader(ScreenDir() + "/options.png", options);
  EXPECT_EQ(d.listings[1].controls.at(1020).text, "C:\\Program Files\\Zelkon Games\\Star Courier");  // after Back
  EXPECT_EQ(d.listings[2].controls.at(1006).text, "C:\\Program Files\\Zelkon Games\\Star Courier");
  // Moved to (40, 50): every later page opens there.
  for (size_t i = 3; i < d.listings.size(); ++i) {
    EXPECT_EQ(d.listings[i].x, 40) << d.listings[i].caption;
    EXPECT_EQ(d.listings[i].y, 50) << d.listings[i].caption;
  }
  // The refused values are shown again for correction.
  EXPECT_EQ(d.listings[3].controls.at(1006).text, "Q:\\Games");

  // Installed in the typed folder (without its trailing backslash) only.
  EXPECT_TRUE(fs::exists(TypedFolder() + "/StarCourier.exe"));
  EXPECT_FALSE(fs::exists(DefaultFolder()));
  std::string data;
  ASSERT_TRUE(e2e::RegQuery(kVersion, kRegistryKey, "InstallPath", &data));
  EXPECT_EQ(data, typed);
  const std::string log = testsupport::ReadText(TypedFolder() + "/Uninstall/install.log");
  EXPECT_NE(log.find("<Value>C:\\e2e-wizard\\typed</Value>"), std::string::npos) << log;
  EXPECT_NE(log.find("Zelkon Games\\Wizard"), std::string::npos) << log;

  // Silent, the same refused group ends the run as aborted, with no window.
  const std::string cfg = scratch_.file("cfg");
  fs::copy(e2e::SourceDir() + "/examples/sample-game/cfg", cfg, fs::copy_options::recursive);
  std::string defines = testsupport::ReadText(cfg + "/defines.xml");
  defines.replace(defines.find("Zelkon Games\\Star Courier</Value>"), 25, "A:B");
  testsupport::WriteWholeFile(cfg + "/defines.xml", defines);
  RemoveInstall();
  const e2e::WineResult silent = e2e::RunWine(kVersion, {Pack(cfg), "-silent"}, 300, {"TZ=UTC"});
  EXPECT_EQ(silent.exitCode, 10) << silent.output;
  EXPECT_FALSE(fs::exists(DefaultFolder()));
}

TEST_F(WizardTest, CancelOnTheProgressPageAsksAndEndsOnTheAbortedPage) {
  const std::string installer = Pack(SlowConfig(15000));
  const auto leftovers_before = e2e::LeftoverTemporaryFolders(kVersion);

  const Driven d = Drive(installer, {kWelcome, "click 1014", kInstalling, "list", "click 2",
                                     "box", "answer 7",  // No: the install goes on
                                     "pause progress", "click 2", "box", "answer 6",  // Yes
                                     kAborted, "list", "pause aborted", "click 2", "gone"});
  EXPECT_EQ(d.exitCode, 10) << d.Report();
  std::vector<std::string> boxes;
  for (const std::string& line : d.lines)
    if (line.rfind("BOX ", 0) == 0) boxes.push_back(line.substr(4));
  const std::string confirm = "Cancel Setup|Do you want to stop installing Star Courier?";
  EXPECT_EQ(boxes, (std::vector<std::string>{confirm, confirm})) << d.Report();
  ASSERT_EQ(d.listings.size(), 2u) << d.Report();
  ExpectExpanded(d.listings[0]);
  ExpectRightAligned(d.listings[0], {2});
  const Listing& aborted = d.listings[1];
  ExpectExpanded(aborted);
  ExpectRightAligned(aborted, {2});
  EXPECT_EQ(aborted.caption, kCaption);
  ExpectPaintedHeader(ScreenDir() + "/aborted.png", aborted);
  EXPECT_EQ(e2e::LeftoverTemporaryFolders(kVersion), leftovers_before);
}

TEST_F(WizardTest, OnlyProgressShowsTheProgressPageAloneThenLaunches) {
  const std::string installer = Pack(SlowConfig(2000));
  // The first dialog of the run is the progress page; when it has closed
  // the run is over, and the program to launch has been started.
  const Driven d = Drive(installer, {"dialog", "list", "gone"}, {"-onlyprogressui"});
  EXPECT_EQ(d.exitCode, 0) << d.Report();
  ASSERT_EQ(d.listings.size(), 1u) << d.Report();
  EXPECT_EQ(d.listings[0].caption, kCaption);
  EXPECT_EQ(d.listings[0].controls.at(1019).text, "Installing");
  EXPECT_TRUE(fs::exists(DefaultFolder() + "/StarCourier.exe"));
  const std::string marker = DefaultFolder() + "/marker.exe.ran";
  for (int i = 0; i < 100 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(marker));
}

}  // namespace
