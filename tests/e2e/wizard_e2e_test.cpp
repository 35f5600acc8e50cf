// The setup wizard end to end: the sample game packed by mkinstaller, run
// under Wine and Xvfb and clicked through by ui_driver.exe (our own
// UI-automation program) as a person would. Screenshots of the pages are
// kept under build/wizard-screens; the header colours are checked on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/wine_harness.h"
#include "resources/resource_ids.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_test_builder.h"

namespace fs = std::filesystem;

namespace {

// A control's ID as ui_driver's script commands take it.
std::string Id(int id) { return std::to_string(id); }

const std::string kVersion = e2e::kWin7;
// Script commands that wait for each page by its header line (most pages
// share one caption).
const std::string kWelcome = "page Welcome";
const std::string kOptions = "page Settings";
const std::string kInstalling = "page Installing";
const std::string kFinish = "page Installation Complete";
const std::string kAborted = "page Setup Cancelled";
const std::string kLicense = "page License Agreement";
const std::string kStore = "page Almost Ready!";
// Esc on the store page, pressed in its opt-out box.
const std::string kStoreEsc = "key " + Id(IDC_OPT_OUT) + " 27";
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
  int needW = -1, needH = -1;  // the room its text needs ("measure"), -1 when not measured
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

// Where a run shows its pages: the prefix and the X display (empty: the
// test run's own).
struct Screen {
  std::string version = kVersion;
  std::string display;
};

// Runs the installer under ui_driver with the script; every "pause NAME"
// becomes the screenshot NAME.png.
Driven Drive(const std::string& installer, const std::vector<std::string>& script,
             const std::vector<std::string>& args = {}, const Screen& screen = {}) {
  testsupport::ScratchDir dir;
  const std::string out = dir.file("out.txt"), script_file = dir.file("script.txt");
  std::string text;
  for (const std::string& line : script) text += line + "\n";
  testsupport::WriteWholeFile(script_file, text);
  std::vector<std::string> argv = {e2e::BinDir() + "/ui_driver.exe", e2e::WinePath(out), e2e::WinePath(script_file),
                                   e2e::WinePath(installer)};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env = {"TZ=UTC"};
  if (!screen.display.empty()) env.push_back("DISPLAY=" + screen.display);
  auto run = std::async(std::launch::async, [&] { return e2e::RunWine(screen.version, argv, 400, env); });
  std::set<std::string> shot;
  while (run.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
    std::istringstream lines(testsupport::ReadText(out));
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("PAUSE ", 0) != 0 || shot.count(line)) continue;
      shot.insert(line);
      const std::string name = line.substr(6);
      e2e::Shell("import " + (screen.display.empty() ? "" : "-display " + screen.display + " ") + "-window root " +
                 Quote(ScreenDir() + "/" + name + ".png"));
      testsupport::WriteWholeFile(out + "." + name + ".go", "");
    }
  }
  Driven d;
  Control* last = nullptr;  // the control an "X" line measures
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
      last = nullptr;
    } else if (kind == "C" && !d.listings.empty()) {
      Control c;
      in >> c.id >> c.cls >> c.visible >> c.enabled >> c.x >> c.y >> c.w >> c.h;
      std::getline(in, c.text);
      if (!c.text.empty()) c.text.erase(0, 1);
      if (c.id == -1) {
        d.listings.back().statics.push_back(c);
        last = &d.listings.back().statics.back();
      } else {
        last = &(d.listings.back().controls[c.id] = c);
      }
    } else if (kind == "X" && last) {
      in >> last->needW >> last->needH;
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

// Every visible text of a measured page has the room it needs in its
// control: statics wrap within their width, so that too many lines overflow
// their height; buttons keep their edges or box beside one line.
void ExpectTextsFit(const Listing& l) {
  int measured = 0;
  auto fits = [&](const Control& c) {
    if (!c.visible || c.needW < 0) return;
    ++measured;
    EXPECT_LE(c.needW, c.w) << l.caption << ": " << c.id << " " << c.text;
    EXPECT_LE(c.needH, c.h) << l.caption << ": " << c.id << " " << c.text;
  };
  for (const auto& c : l.controls) fits(c.second);
  for (const Control& c : l.statics) fits(c);
  EXPECT_GT(measured, 0) << l.caption;
}

// The header at another DPI than 96: the bands and lines at their scaled
// places, each bitmap at its scaled size (smoothed, so its middle is compared
// within a tolerance) and the product panel's frame to its left.
void ExpectScaledHeader(const std::string& shot, const Listing& l, int dpi) {
  const Image screen = ReadImage(shot);
  ASSERT_GT(screen.w, 0) << shot;
  const std::string cfg = e2e::SourceDir() + "/examples/sample-game/cfg/";
  const Image logo = ReadImage(cfg + "logo.bmp"), product = ReadImage(cfg + "product.bmp");
  auto s = [dpi](int pixels) { return pixels * dpi / 96; };
  const int x = l.clientX, y = l.clientY, w = l.clientW, h = l.clientH, depth = s(34);
  const int lw = s(logo.w), lh = s(logo.h), pw = s(product.w), ph = s(product.h);
  const int panel = w - s(11) - 2 * s(5) - pw, product_top = 2 * s(5);
  struct Point {
    const char* what;
    int px, py;
    std::string colour;
  } points[] = {
      {"header band", lw + s(20), s(30), "191,191,191"},
      {"header band's last row", lw + s(20), s(76) - 1, "191,191,191"},
      {"dark line", lw + s(20), s(76), "125,125,125"},
      {"white line", lw + s(20), s(76) + 1, "255,255,255"},
      {"background", 3, s(100), "218,218,218"},
      {"footer white line", 2, h - depth - 1, "255,255,255"},
      {"footer band", 2, h - 2, "191,191,191"},
      {"beside the logo", lw + 1, lh / 2, "191,191,191"},
      {"below the logo", lw / 2, lh + 1, "191,191,191"},
      {"panel frame", panel, s(30), "125,125,125"},
      {"panel inner white", panel + 1, s(30), "255,255,255"},
      {"panel fill", panel + 3, s(30), "218,218,218"},
  };
  for (const Point& p : points) EXPECT_EQ(screen.Pixel(x + p.px, y + p.py), p.colour) << shot << ": " << p.what;
  struct Sample {
    const char* what;
    int px, py;
    const Image& image;
    int ix, iy;
  } samples[] = {
      {"logo middle", lw / 2, lh / 2, logo, logo.w / 2, logo.h / 2},
      {"logo near its end", lw - 3, lh - 3, logo, logo.w - 2, logo.h - 2},
      {"product middle", panel + s(5) + pw / 2, product_top + ph / 2, product, product.w / 2, product.h / 2},
  };
  for (const Sample& p : samples) {
    int a[3] = {}, b[3] = {};
    std::sscanf(screen.Pixel(x + p.px, y + p.py).c_str(), "%d,%d,%d", &a[0], &a[1], &a[2]);
    std::sscanf(p.image.Pixel(p.ix, p.iy).c_str(), "%d,%d,%d", &b[0], &b[1], &b[2]);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], 40) << shot << ": " << p.what;
  }
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
  static std::string StartMenuFolder() {
    return e2e::DriveC(kVersion) + "/ProgramData/Microsoft/Windows/Start Menu/Programs/Zelkon Games";
  }
  static std::string TypedFolder() { return e2e::DriveC(kVersion) + "/e2e-wizard/typed"; }

  static void RemoveInstall() {
    std::error_code ec;
    fs::remove_all(DefaultFolder(), ec);
    fs::remove_all(e2e::DriveC(kVersion) + "/e2e-wizard", ec);
    fs::remove_all(StartMenuFolder(), ec);
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
    // The sleeper has no console: a console program gets a console window
    // (as from any installer), which would cover the page being checked.
    install.replace(install.find("</InstallConfig>"), 16,
                    "<PreExec><Exe>" + e2e::WinePath(e2e::BinDir() + "/status_listener_gui.exe") +
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

  const Driven d = Drive(installer, {kWelcome, "list", "pause welcome", "click " + Id(IDC_NEXT), kLicense,
                                     "click " + Id(IDC_NEXT), kStore, kStoreEsc, kFinish, "list", "pause finish",
                                     "check " + Id(IDC_LAUNCH_BOX) + " 0", "click " + Id(IDC_DONE), "gone"});
  ASSERT_EQ(d.exitCode, 0) << d.Report();
  // The store page was left with Esc: no retailer was chosen, so both
  // retailers' icons went with the temporary resources.
  auto without_store_icons = expected;
  EXPECT_EQ(without_store_icons.erase("stores/comet.ico") + without_store_icons.erase("stores/harbor.ico"), 2u);
  EXPECT_EQ(Snapshot(DefaultFolder()), without_store_icons);
  ASSERT_EQ(d.listings.size(), 2u) << d.Report();

  const Listing& welcome = d.listings[0];
  for (const Listing& l : d.listings) ExpectExpanded(l);
  EXPECT_EQ(welcome.caption, kWelcomeCaption);  // the property holds %InstallName%
  EXPECT_EQ(welcome.controls.at(IDC_INSTALL_PATH_TEXT).text, "C:\\Program Files\\Zelkon Games\\Star Courier");
  EXPECT_EQ(welcome.controls.at(IDC_INSTALL_GROUP_TEXT).text, "Zelkon Games\\Star Courier");
  const int unit = ExpectRightAligned(welcome, {IDC_NEXT, IDC_CANCEL});
  EXPECT_EQ(welcome.controls.at(IDC_CHANGE_SETTINGS).x, 6 * unit);
  // Template tops and heights are kept: Next and Change Settings share them.
  EXPECT_EQ(welcome.controls.at(IDC_CHANGE_SETTINGS).y, welcome.controls.at(IDC_NEXT).y);
  ExpectPaintedHeader(ScreenDir() + "/welcome.png", welcome);

  // Finish: readme and Done spread to both sides, the launch box shown.
  const Listing& finish = d.listings[1];
  const Control& readme = finish.controls.at(IDC_VIEW_README);
  const Control& done = finish.controls.at(IDC_DONE);
  EXPECT_TRUE(readme.visible && done.visible && finish.controls.at(IDC_LAUNCH_BOX).visible);
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
      kWelcome, "click " + Id(IDC_CHANGE_SETTINGS), kOptions, "list", "pause options",
      "type " + Id(IDC_PATH_EDIT) + " C:\\elsewhere", "type " + Id(IDC_GROUP_EDIT) + " Other",
      "click " + Id(IDC_BACK),  // Back: the saved defaults again
      kWelcome, "list", "click " + Id(IDC_CHANGE_SETTINGS), kOptions, "list", "move 40 50",
      // Browse starts at the deepest existing folder of the typed path.
      "type " + Id(IDC_PATH_EDIT) + " " + typed + "\\not\\there", "click " + Id(IDC_BROWSE), "dialog", "tree",
      "answer 2"};
  for (const Refusal& r : refusals) {
    script.push_back("type " + Id(IDC_PATH_EDIT) + " " + r.path);
    script.push_back("type " + Id(IDC_GROUP_EDIT) + " " + r.group);
    script.insert(script.end(), {"click " + Id(IDC_NEXT), "box", "answer 1", kOptions});
  }
  script.insert(script.end(), {"list", "type " + Id(IDC_PATH_EDIT) + " " + typed + "\\",
                               "type " + Id(IDC_GROUP_EDIT) + " Zelkon Games\\Wizard", "click " + Id(IDC_NEXT),
                               kLicense, "list", "click " + Id(IDC_NEXT), kStore, kStoreEsc, kFinish, "list",
                               "check " + Id(IDC_LAUNCH_BOX) + " 0", "click " + Id(IDC_DONE), "gone"});
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

  ASSERT_EQ(d.listings.size(), 6u) << d.Report();
  const Listing& options = d.listings[0];
  ExpectExpanded(options);
  EXPECT_EQ(options.controls.at(IDC_PATH_EDIT).text, "C:\\Program Files\\Zelkon Games\\Star Courier");
  EXPECT_EQ(options.controls.at(IDC_GROUP_EDIT).text, "Zelkon Games\\Star Courier");
  ExpectRightAligned(options, {IDC_BACK, IDC_NEXT, IDC_CANCEL});
  ExpectPaintedHeader(ScreenDir() + "/options.png", options);
  EXPECT_EQ(d.listings[1].controls.at(IDC_INSTALL_PATH_TEXT).text,
            "C:\\Program Files\\Zelkon Games\\Star Courier");  // after Back
  EXPECT_EQ(d.listings[2].controls.at(IDC_PATH_EDIT).text, "C:\\Program Files\\Zelkon Games\\Star Courier");
  // Moved to (40, 50): the next options page opens there; the larger
  // license page centres itself on the 1024 x 768 screen, and the pages
  // after it open where it was.
  EXPECT_EQ(d.listings[3].x, 40);
  EXPECT_EQ(d.listings[3].y, 50);
  const Listing& license = d.listings[4];
  const int frame = license.clientX - license.x;
  EXPECT_EQ(license.x, (1024 - (license.clientW + 2 * frame)) / 2);
  EXPECT_EQ(d.listings[5].x, license.x);
  EXPECT_EQ(d.listings[5].y, license.y);
  // The refused values are shown again for correction.
  EXPECT_EQ(d.listings[3].controls.at(IDC_PATH_EDIT).text, "Q:\\Games");

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

  const Driven d = Drive(installer, {kWelcome, "click " + Id(IDC_NEXT), kLicense, "click " + Id(IDC_NEXT), kInstalling,
                                     "list", "click " + Id(IDC_CANCEL), "box", "answer 7",  // No: the install goes on
                                     "pause progress", "click " + Id(IDC_CANCEL), "box", "answer 6",  // Yes
                                     kAborted, "list", "pause aborted", "click " + Id(IDC_CANCEL), "gone"});
  EXPECT_EQ(d.exitCode, 10) << d.Report();
  std::vector<std::string> boxes;
  for (const std::string& line : d.lines)
    if (line.rfind("BOX ", 0) == 0) boxes.push_back(line.substr(4));
  const std::string confirm = "Cancel Setup|Do you want to stop installing Star Courier?";
  EXPECT_EQ(boxes, (std::vector<std::string>{confirm, confirm})) << d.Report();
  ASSERT_EQ(d.listings.size(), 2u) << d.Report();
  ExpectExpanded(d.listings[0]);
  ExpectRightAligned(d.listings[0], {IDC_CANCEL});
  const Listing& aborted = d.listings[1];
  ExpectExpanded(aborted);
  ExpectRightAligned(aborted, {IDC_CANCEL});
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
  EXPECT_EQ(d.listings[0].controls.at(IDC_HEADER_LINE).text, "Installing");
  EXPECT_TRUE(fs::exists(DefaultFolder() + "/StarCourier.exe"));
  const std::string marker = DefaultFolder() + "/marker.exe.ran";
  for (int i = 0; i < 100 * e2e::TimeoutScale() && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(marker));
}

// What a driven run's output lines of one kind say ("BOX ...", "SELECTION ...").
std::vector<std::string> LinesOf(const Driven& d, const std::string& kind) {
  std::vector<std::string> found;
  for (const std::string& line : d.lines)
    if (line.rfind(kind + " ", 0) == 0) found.push_back(line.substr(kind.size() + 1));
  return found;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(WizardTest, LicensePageShowsRichOrPlainTextAndDeclineNeedsConfirmation) {
  // Where the underlined reference starts in the rich text: each paragraph
  // end counts one character.
  const std::string title = "STAR COURIER - SAMPLE LICENSE";
  const std::string intro = "This sample game exists to demonstrate the installer. You may install it, run it and "
                            "remove it as often as you like. The terms below are limited as set out in ";
  const int reference = static_cast<int>(title.size() + 2 + intro.size());
  const int address = reference + static_cast<int>(std::string("limitation of liability.\r\r1. Use\r").size() +
                                                   std::string("You may copy the sample game for any purpose. News "
                                                               "and updates: ").size());
  std::u16string utf16 = u"\uFEFFLine one\nLine two \u00FC\n";
  const std::string utf16_bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  const std::string confirm = "Cancel Setup|Do you want to stop installing Star Courier?";
  struct Case {
    const char* name;
    const char* rtf;                     // nullptr: no license.rtf
    std::string txt;                     // license.txt ("" keeps the sample's)
    std::vector<std::string> onPage;     // after the page's first listing
    std::string plain;                   // expected plain text (\r\n written out), "" when rich
  } cases[] = {
      {"rich",
       "",
       "",
       {"pause license", "linkclick " + Id(IDC_LICENSE_RICH) + " " + std::to_string(reference),
        "selection " + Id(IDC_LICENSE_RICH), "format " + Id(IDC_LICENSE_RICH) + " " + std::to_string(address),
        "format " + Id(IDC_LICENSE_RICH) + " " + std::to_string(reference - 1), "format " + Id(IDC_LICENSE_RICH) + " 1",
        "click " + Id(IDC_CANCEL), "box", "answer 7", "list", "click " + Id(IDC_CANCEL), "box", "answer 6"},
       ""},
      {"rtf with a blank first",
       " {\\rtf1 not shown as rich text}\n",
       utf16_bytes,
       {"click " + Id(IDC_CANCEL), "box", "answer 6"},
       "Line one\\r\\nLine two \xC3\xBC\\r\\n"},
      {"no rtf",
       nullptr,
       "First\nSecond\r\nThird",
       {"click " + Id(IDC_CANCEL), "box", "answer 6"},
       "First\\r\\nSecond\\r\\nThird"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string cfg = scratch_.file(std::string("license-cfg-") + std::to_string(&c - cases));
    fs::copy(e2e::SourceDir() + "/examples/sample-game/cfg", cfg, fs::copy_options::recursive);
    if (!c.rtf) fs::remove(cfg + "/license.rtf");
    else if (*c.rtf) testsupport::WriteWholeFile(cfg + "/license.rtf", c.rtf);
    if (!c.txt.empty()) testsupport::WriteWholeFile(cfg + "/license.txt", c.txt);
    std::vector<std::string> script = {kWelcome, "click " + Id(IDC_NEXT), kLicense, "list"};
    script.insert(script.end(), c.onPage.begin(), c.onPage.end());
    script.insert(script.end(), {kAborted, "click " + Id(IDC_CANCEL), "gone"});
    const Driven d = Drive(Pack(cfg), script);
    EXPECT_EQ(d.exitCode, 10) << d.Report();
    EXPECT_FALSE(fs::exists(DefaultFolder()));
    ASSERT_GE(d.listings.size(), 1u) << d.Report();
    const Listing& page = d.listings[0];
    ExpectExpanded(page);
    EXPECT_EQ(page.caption, kCaption);
    const bool rich = c.plain.empty();
    EXPECT_EQ(page.controls.at(IDC_LICENSE_RICH).visible, rich);
    EXPECT_EQ(page.controls.at(IDC_LICENSE_PLAIN).visible, !rich);
    if (!rich) {
      EXPECT_EQ(page.controls.at(IDC_LICENSE_PLAIN).text, c.plain);
      EXPECT_EQ(LinesOf(d, "BOX"), std::vector<std::string>{confirm});
      continue;
    }
    // The reference jumps to the words of its heading, "2. Limitation of
    // Liability"; No keeps the page, Yes ends the run.
    const std::vector<std::string> selection = LinesOf(d, "SELECTION");
    ASSERT_EQ(selection.size(), 1u) << d.Report();
    EXPECT_NE(selection[0].find(" Limitation of Liability"), std::string::npos) << selection[0];
    EXPECT_EQ(selection[0].substr(selection[0].size() - 24), " Limitation of Liability") << selection[0];
    // The web address became a link by URL detection, the reference by its
    // heading; the text before the reference and the bold title stay text.
    const std::vector<std::string> formats = LinesOf(d, "FORMAT");
    ASSERT_EQ(formats.size(), 3u) << d.Report();
    EXPECT_EQ(formats[0].substr(0, formats[0].size() - 2), std::to_string(address) + " 1 0");  // underline: the control's
    EXPECT_EQ(formats[1], std::to_string(reference - 1) + " 0 0 0");
    EXPECT_EQ(formats[2], "1 0 1 0");
    EXPECT_EQ(LinesOf(d, "BOX"), (std::vector<std::string>{confirm, confirm}));
    ASSERT_EQ(d.listings.size(), 2u) << d.Report();
    EXPECT_EQ(d.listings[1].controls.at(IDC_HEADER_LINE).text, "License Agreement");
  }
}

// A cabinet entry whose name leaves the install folder, in an installer made
// without the authoring tool (which refuses it), run by a person: after the
// license page the install stops before writing a file, the reason comes in
// the fatal error box (the name shown as it is, its "%...%" not expanded),
// then the aborted page; the run ends with exit code 10 and writes nothing
// but the install log's header and its properties copy.
TEST_F(WizardTest, RefusedEntryNameIsShownLiterallyThenTheAbortedPage) {
  const std::string hostile = "files\\..\\%GameExe%.txt";
  std::vector<cabtest::TestEntry> entries;
  const std::string cfg = e2e::SourceDir() + "/examples/sample-game/cfg";
  for (const auto& file : fs::directory_iterator(cfg))
    entries.push_back({"cfg\\" + file.path().filename().string(),
                       cabtest::Bytes(testsupport::ReadText(file.path().string()))});
  entries.push_back({"files\\readme.txt", cabtest::Bytes("first")});
  entries.push_back({hostile, cabtest::Bytes("hostile")});
  std::vector<uint8_t> stub;
  ASSERT_TRUE(testsupport::ReadWholeFile(e2e::BinDir() + "/InstallerStub.exe", &stub));
  const std::vector<uint8_t> installer_bytes = e2e::AssembleInstaller({}, {{2, stub}, {1, cabtest::BuildCabinet(entries).bytes}});
  const std::string installer = scratch_.file("HostileSetup.exe");
  ASSERT_TRUE(testsupport::WriteWholeFile(installer, installer_bytes.data(), installer_bytes.size()));
  // The install folder's parent: where the name would have led.
  const std::string group = e2e::DriveC(kVersion) + "/Program Files/Zelkon Games";

  const Driven d = Drive(installer, {kWelcome, "click " + Id(IDC_NEXT), kLicense, "click " + Id(IDC_NEXT), "box",
                                     "answer 1", kAborted, "list", "click " + Id(IDC_CANCEL), "gone"});
  EXPECT_EQ(d.exitCode, 10) << d.Report();
  EXPECT_EQ(LinesOf(d, "BOX"),
            std::vector<std::string>{kCaption + "|Refused cabinet entry '" + hostile +
                                     "': it would be written outside the destination"})
      << d.Report();
  ASSERT_EQ(d.listings.size(), 1u) << d.Report();
  EXPECT_EQ(d.listings[0].controls.at(IDC_HEADER_LINE).text, "Setup Cancelled");
  std::vector<std::string> written;
  for (const auto& entry : fs::recursive_directory_iterator(group))
    if (entry.is_regular_file()) written.push_back(fs::relative(entry.path(), group).string());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"Star Courier/Uninstall/install.log",
                                               "Star Courier/Uninstall/install_props.xml"}));
  EXPECT_EQ(testsupport::ReadText(DefaultFolder() + "/Uninstall/install.log").find("<File>"), std::string::npos);
  EXPECT_FALSE(e2e::RegKeyExists(kVersion, kRegistryKey));
  EXPECT_FALSE(fs::exists(StartMenuFolder()));
}

TEST_F(WizardTest, StorePageCreatesTheChosenRetailersShortcutsOnly) {
  const std::string installer = Pack();
  const std::string links = StartMenuFolder() + "/Star Courier/";
  struct Case {
    const char* name;
    std::vector<std::string> onPage;
    const char* chosen;  // the retailer whose link and icon stay, or nullptr
  } cases[] = {
      {"chosen",
       {"list", "check " + Id(IDC_OPT_OUT) + " 1", "check " + Id(IDC_OPT_OUT) + " 0", "list",
        "dropdown " + Id(IDC_RETAILER_LIST), "pause store", "pick " + Id(IDC_RETAILER_LIST) + " 1", "list",
        "click " + Id(IDC_NEXT)},
       "harbor"},
      {"opted out", {"check " + Id(IDC_OPT_OUT) + " 1", "list", "click " + Id(IDC_NEXT)}, nullptr},
      {"esc", {kStoreEsc}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveInstall();
    std::vector<std::string> script = {kWelcome, "click " + Id(IDC_NEXT), kLicense, "click " + Id(IDC_NEXT), kStore};
    script.insert(script.end(), c.onPage.begin(), c.onPage.end());
    script.insert(script.end(), {kFinish, "check " + Id(IDC_LAUNCH_BOX) + " 0", "click " + Id(IDC_DONE), "gone"});
    const Driven d = Drive(installer, script);
    ASSERT_EQ(d.exitCode, 0) << d.Report();
    const std::string log = testsupport::ReadText(DefaultFolder() + "/Uninstall/install.log");
    EXPECT_EQ(Count(log, "Star Courier.lnk"), 1u) << log;  // the configuration's own, once
    for (const char* store : {"comet", "harbor"}) {
      const bool kept = c.chosen && std::string(store) == c.chosen;
      const std::string title = std::string(store) == "comet" ? "Comet" : "Harbor";
      const std::string link = links + "Star Courier (" + title + ").lnk";
      EXPECT_EQ(fs::exists(DefaultFolder() + "/stores/" + store + ".ico"), kept) << store;
      EXPECT_EQ(fs::exists(link), kept) << link;
      EXPECT_EQ(Count(log, "Star Courier (" + title + ").lnk"), kept ? 1u : 0u) << log;
      if (!kept) continue;
      const e2e::WineResult read =
          e2e::RunWine(kVersion, {e2e::BinDir() + "/action_inspector.exe", "link", e2e::WinePath(link)}, 60);
      EXPECT_NE(read.output.find("target=C:\\Program Files\\Zelkon Games\\Star Courier\\StarCourier.exe"),
                std::string::npos) << read.output;
      EXPECT_NE(read.output.find(std::string("arguments=-store ") + store), std::string::npos) << read.output;
      EXPECT_NE(read.output.find(std::string("stores\\") + store + ".ico"), std::string::npos) << read.output;
    }
    if (std::string(c.name) == "chosen") {
      ASSERT_EQ(d.listings.size(), 3u) << d.Report();
      const Listing& first = d.listings[0];
      ExpectExpanded(first);
      EXPECT_EQ(first.caption, " Star Courier Installer");  // with its leading blank
      ExpectRightAligned(first, {IDC_NEXT});
      EXPECT_FALSE(first.controls.at(IDC_NEXT).enabled);
      EXPECT_FALSE(d.listings[1].controls.at(IDC_NEXT).enabled);  // box checked and unchecked, nothing chosen
      EXPECT_TRUE(d.listings[2].controls.at(IDC_NEXT).enabled);
      ExpectPaintedHeader(ScreenDir() + "/store.png", first);
    } else if (std::string(c.name) == "opted out") {
      ASSERT_EQ(d.listings.size(), 1u) << d.Report();
      EXPECT_TRUE(d.listings[0].controls.at(IDC_NEXT).enabled);
      EXPECT_FALSE(d.listings[0].controls.at(IDC_RETAILER_LIST).enabled);
    }
  }

  // Silent: neither page; the store's icons stay as packed, no store link.
  RemoveInstall();
  const e2e::WineResult silent = e2e::RunWine(kVersion, {installer, "-silent"}, 300, {"TZ=UTC"});
  ASSERT_EQ(silent.exitCode, 0) << silent.output;
  EXPECT_TRUE(fs::exists(DefaultFolder() + "/stores/comet.ico"));
  EXPECT_FALSE(fs::exists(links + "Star Courier (Comet).lnk"));
  EXPECT_FALSE(fs::exists(links + "Star Courier (Harbor).lnk"));
}

// ---- Display scale ----

// Both programs tell Windows that they draw for the display's DPI (per
// monitor where it can), so that it does not stretch their windows.
TEST(DpiAwareness, StubAndUninstallerDeclareIt) {
  for (const char* program : {"InstallerStub.exe", "Uninstall.exe"}) {
    const std::string bytes = testsupport::ReadText(e2e::BinDir() + "/" + program);
    EXPECT_NE(bytes.find(">true/pm</dpiAware>"), std::string::npos) << program;
    EXPECT_NE(bytes.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << program;
  }
}

// A page told it now shows on a monitor of 144 dots per inch lays itself out
// again: its client and every control scaled, the fonts made for 144 (every
// text still fits), the header drawn at 144; told 96 again it is as before.
TEST_F(WizardTest, PageMovedToAnotherDpiLaysItselfOutAgain) {
  const Driven d = Drive(Pack(), {kWelcome, "measure", "dpi 144", "measure", "pause moved-to-144dpi", "dpi 96", "list",
                                  "pause moved-back-to-96dpi", "click 2", "box", "answer 6", kAborted, "click 2",
                                  "gone"});
  EXPECT_EQ(d.exitCode, 10) << d.Report();
  ASSERT_EQ(d.listings.size(), 3u) << d.Report();
  const Listing &before = d.listings[0], &moved = d.listings[1], &back = d.listings[2];
  auto scaled = [](int pixels) { return (pixels * 3 + 1) / 2; };  // x 1.5, halves rounded up
  EXPECT_EQ(moved.clientW, scaled(before.clientW));
  EXPECT_EQ(moved.clientH, scaled(before.clientH));
  EXPECT_EQ(back.clientW, before.clientW);
  EXPECT_EQ(back.clientH, before.clientH);
  for (const auto& c : before.controls) {
    const Control &m = moved.controls.at(c.first), &b = back.controls.at(c.first);
    EXPECT_EQ(std::vector<int>({m.x, m.y, m.x + m.w, m.y + m.h}),
              std::vector<int>({scaled(c.second.x), scaled(c.second.y), scaled(c.second.x + c.second.w),
                                scaled(c.second.y + c.second.h)}))
        << c.first;
    EXPECT_EQ(std::vector<int>({b.x, b.y, b.w, b.h}), std::vector<int>({c.second.x, c.second.y, c.second.w, c.second.h}))
        << c.first;
  }
  ExpectTextsFit(before);
  ExpectTextsFit(moved);
  ExpectScaledHeader(ScreenDir() + "/moved-to-144dpi.png", moved, 144);
  ExpectPaintedHeader(ScreenDir() + "/moved-back-to-96dpi.png", back);
}

// A 150 % display as players have them: a Windows 7 prefix of its own with
// Wine's LogPixels at 144 (read as each program starts), shown on an X
// display of its own of 1920 x 1200 (the test run's 1024 x 768 could not hold
// the larger license page at that scale).
class HighDpiWizardTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    if (IsSkipped()) return;
    // The display first: every program of the prefix, Wine's own included,
    // shows on it.
    for (int n = 150; n < 200 && screen_.display.empty(); ++n) {
      if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
      e2e::Shell("Xvfb :" + std::to_string(n) + " -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 & echo $! >" +
                 Quote(scratch_.file("xvfb.pid")));
      for (int i = 0; i < 50 && !fs::exists("/tmp/.X11-unix/X" + std::to_string(n)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      screen_.display = ":" + std::to_string(n);
    }
    ASSERT_FALSE(screen_.display.empty());
    const std::string prefix = e2e::PrefixDir(screen_.version);
    std::string output;
    ASSERT_EQ(e2e::Shell("DISPLAY=" + screen_.display + " " + Quote(e2e::SourceDir() + "/scripts/make-prefix.sh") + " " +
                             Quote(prefix) + " win7",
                         &output),
              0)
        << output;
    e2e::Shell("WINEPREFIX=" + Quote(prefix) + " wineserver -p");
    const e2e::WineResult set = e2e::RunWine(
        screen_.version, {"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                          "144", "/f"},
        60, {"DISPLAY=" + screen_.display});
    ASSERT_EQ(set.exitCode, 0) << set.output;
  }
  void TearDown() override {
    e2e::Shell("WINEPREFIX=" + Quote(e2e::PrefixDir(screen_.version)) + " wineserver -k");
    if (fs::exists(scratch_.file("xvfb.pid"))) e2e::Shell("kill $(cat " + Quote(scratch_.file("xvfb.pid")) + ")");
    WizardTest::TearDown();
  }
  std::string InstalledGame() const {
    return e2e::DriveC(screen_.version) + "/Program Files/Zelkon Games/Star Courier/StarCourier.exe";
  }
  Screen screen_{"win7-144dpi", ""};
};

// Every page at 144 dots per inch, screenshots kept as dpi144-<page>.png:
// the header, its bitmaps and every text fit; the game is installed.
TEST_F(HighDpiWizardTest, EveryPageScalesToTheDisplay) {
  const Driven aborted = Drive(Pack(), {kWelcome, "click 2", "box", "answer 6", kAborted, "measure",
                                        "pause dpi144-aborted", "click 2", "gone"},
                               {}, screen_);
  EXPECT_EQ(aborted.exitCode, 10) << aborted.Report();
  ASSERT_EQ(aborted.listings.size(), 1u) << aborted.Report();
  ExpectTextsFit(aborted.listings[0]);
  ExpectScaledHeader(ScreenDir() + "/dpi144-aborted.png", aborted.listings[0], 144);

  const Driven d = Drive(Pack(SlowConfig(6000)),
                         {kWelcome, "measure", "pause dpi144-welcome", "click 1018", kOptions, "measure",
                          "pause dpi144-options", "click 1014", kLicense, "measure", "pause dpi144-license",
                          "click 1014", kInstalling, "measure", "pause dpi144-progress", kStore, "measure",
                          "dropdown 1026", "pause dpi144-store", kStoreEsc, kFinish, "measure", "pause dpi144-finish",
                          "check 1022 0", "click 6", "gone"},
                         {}, screen_);
  ASSERT_EQ(d.exitCode, 0) << d.Report();
  EXPECT_TRUE(fs::exists(InstalledGame()));
  const char* names[] = {"welcome", "options", "license", "progress", "store", "finish"};
  ASSERT_EQ(d.listings.size(), std::size(names)) << d.Report();
  for (size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(names[i]);
    const Listing& page = d.listings[i];
    ExpectExpanded(page);
    ExpectTextsFit(page);
    ExpectScaledHeader(ScreenDir() + "/dpi144-" + names[i] + ".png", page, 144);
  }
  // The retailer list's selection field holds an item of 1.5 times the height.
  EXPECT_GE(d.listings[4].controls.at(1026).h, 27);
}

}  // namespace
