// Property tables per language end to end: the sample game packed with a
// German and a Japanese table beside its props.xml, run under Wine with a
// German and a Japanese UI language (LANG / LC_ALL), its pages and message
// boxes read back through ui_driver; "-language" forcing a table (and a
// missing one noted in the install log); the uninstaller speaking the
// install's language under another UI language; a malformed table refused
// with the usual message. The runs use a prefix of their own: a Japanese run
// makes Wine rewrite the prefix's font settings for its code page, which the
// shared prefixes' pixel checks must never see.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <set>
#include <sstream>

#include "e2e/install_packing.h"
#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kGerman = "LANG=de_DE.UTF-8", kGermanAll = "LC_ALL=de_DE.UTF-8";
const std::string kJapanese = "LANG=ja_JP.UTF-8", kJapaneseAll = "LC_ALL=ja_JP.UTF-8";
const std::string kEnglish = "LANG=C.UTF-8", kEnglishAll = "LC_ALL=C.UTF-8";

// Some texts per language; the rest come from props.xml. UTF-8 with its
// byte-order mark (without one the reader takes bytes as 8-bit characters).
const char kGermanTable[] = "\xEF\xBB\xBF" R"(<?xml version="1.0" encoding="utf-8"?>
<Properties>
  <String id="WELCOME_DIALOG_TITLE">Installation von %InstallName%</String>
  <String id="WELCOME_DIALOG_LINE1">Willkommen</String>
  <String id="BUTTON_NEXT">Weiter &gt;</String>
  <String id="BUTTON_CANCEL">Abbrechen</String>
  <String id="ABORT_POPUP_TITLE">Installation abbrechen</String>
  <String id="ABORT_POPUP_TEXT">Möchten Sie die Installation von %InstallName% abbrechen?</String>
  <String id="ABORT_DIALOG_LINE1">Installation abgebrochen</String>
  <String id="UNINSTALL_TITLE">%InstallName% entfernen</String>
</Properties>
)";
const char kJapaneseTable[] = "\xEF\xBB\xBF" R"(<?xml version="1.0" encoding="utf-8"?>
<Properties>
  <String id="WELCOME_DIALOG_TITLE">%InstallName% セットアップ</String>
  <String id="WELCOME_DIALOG_LINE1">ようこそ</String>
  <String id="WELCOME_DIALOG_LINE2">%InstallName% をインストールします。「次へ」を押してください。</String>
  <String id="BUTTON_NEXT">次へ &gt;</String>
  <String id="BUTTON_CANCEL">キャンセル</String>
  <String id="ABORT_POPUP_TITLE">セットアップの中止</String>
  <String id="ABORT_POPUP_TEXT">%InstallName% のインストールを中止しますか?</String>
  <String id="ABORT_DIALOG_LINE1">セットアップは中止されました</String>
  <String id="UNINSTALL_TITLE">%InstallName% アンインストール</String>
  <String id="UNINSTALL_CONFIRM_TEXT">%InstallName% を削除しますか?&cr;(%Details%)</String>
  <String id="UNINSTALL_DONE_TEXT">%InstallName% を削除しました。</String>
</Properties>
)";

std::string Quote(const std::string& s) { return testsupport::ShellQuote(s); }

struct Page {
  std::string caption;
  std::map<int, std::string> texts;  // control ID -> text
};

struct Driven {
  int exitCode = -1;
  std::vector<std::string> boxes;  // "caption|text"
  std::vector<Page> pages;         // one per "list"
  std::string report;              // everything ui_driver said, for failures
};

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "the pages need a display";
    cfg_ = scratch_.file("cfg");
    files_ = scratch_.file("files");
    fs::copy(e2e::SourceDir() + "/examples/sample-game/cfg", cfg_, fs::copy_options::recursive);
    fs::copy(e2e::SourceDir() + "/examples/sample-game/files", files_, fs::copy_options::recursive);
    fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files_ + "/StarCourier.exe");
    testsupport::WriteWholeFile(cfg_ + "/props.de.xml", kGermanTable);
    testsupport::WriteWholeFile(cfg_ + "/props.ja.xml", kJapaneseTable);
  }
  void TearDown() override { fs::remove_all(InstallFolder()); }

  static std::string Prefix() { return e2e::PrefixDir(e2e::kWin7) + "-languages"; }
  static std::string InstallFolder() { return Prefix() + "/drive_c/Program Files/Zelkon Games/Star Courier"; }

  std::string Pack() {
    const std::string out = scratch_.file("Setup.exe");
    std::string output;
    EXPECT_EQ(e2e::Shell("TZ=UTC " + Quote(e2e::BinDir() + "/mkinstaller") + " build --stub " +
                             Quote(e2e::BinDir() + "/InstallerStub.exe") + " --cfg " + Quote(cfg_) + " --files " +
                             Quote(files_) + " --with-uninstaller -o " + Quote(out),
                         &output),
              0)
        << output;
    return out;
  }

  // Runs a program in this test's prefix with the given locale settings.
  static e2e::WineResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                             int timeout = 300) {
    std::string command = "env -u WINE_PERSISTENT_SERVER WINEPREFIX=" + Quote(Prefix()) +
                          " WINE_VERSION=win7 TZ=UTC WINE_TIMEOUT=" + std::to_string(timeout);
    for (const std::string& e : env) command += " " + Quote(e);
    command += " " + Quote(e2e::SourceDir() + "/scripts/wine-run.sh");
    for (const std::string& a : argv) command += " " + Quote(a);
    e2e::WineResult result;
    result.exitCode = e2e::Shell(command, &result.output);
    return result;
  }

  // Runs the program under ui_driver with the script; "pause NAME" becomes
  // the screenshot NAME.png beside the wizard's.
  static Driven Drive(const std::vector<std::string>& program, const std::vector<std::string>& script,
                      const std::vector<std::string>& env) {
    testsupport::ScratchDir dir;
    const std::string out = dir.file("out.txt"), script_file = dir.file("script.txt");
    std::string text;
    for (const std::string& line : script) text += line + "\n";
    testsupport::WriteWholeFile(script_file, text);
    std::vector<std::string> argv = {e2e::BinDir() + "/ui_driver.exe", e2e::WinePath(out), e2e::WinePath(script_file)};
    argv.insert(argv.end(), program.begin(), program.end());
    auto run = std::async(std::launch::async, [&] { return Run(argv, env, 400); });
    const std::string screens = e2e::BinDir() + "/../wizard-screens";
    fs::create_directories(screens);
    std::set<std::string> shot;
    while (run.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
      std::istringstream lines(testsupport::ReadText(out));
      std::string line;
      while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("PAUSE ", 0) != 0 || !shot.insert(line).second) continue;
        e2e::Shell("import -window root " + Quote(screens + "/" + line.substr(6) + ".png"));
        testsupport::WriteWholeFile(out + "." + line.substr(6) + ".go", "");
      }
    }
    Driven d;
    d.report = run.get().output;
    std::istringstream lines(testsupport::ReadText(out));
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      d.report += line + "\n";
      std::istringstream in(line);
      std::string kind, field;
      in >> kind;
      if (kind == "W") {
        d.pages.emplace_back();
        for (int i = 0; i < 8; ++i) in >> field;
        std::getline(in, d.pages.back().caption);
        d.pages.back().caption.erase(0, 1);
      } else if (kind == "C" && !d.pages.empty()) {
        int id = 0;
        in >> id;
        for (int i = 0; i < 7; ++i) in >> field;
        std::string value;
        std::getline(in, value);
        if (id != -1) d.pages.back().texts[id] = value.empty() ? value : value.substr(1);
      } else if (kind == "BOX") {
        d.boxes.push_back(line.substr(4));
      } else if (kind == "EXIT") {
        d.exitCode = std::atoi(line.c_str() + 5);
      }
    }
    return d;
  }

  // The welcome page under a UI language, then Cancel, Yes, and the aborted
  // page's Exit.
  Driven CancelAtWelcome(const std::string& installer, const std::string& welcome, const std::string& aborted,
                         const std::vector<std::string>& env, const std::vector<std::string>& args = {},
                         const std::string& screenshot = "") {
    std::vector<std::string> script = {"page " + welcome, "list"};
    if (!screenshot.empty()) script.push_back("pause " + screenshot);
    for (const char* step : {"click 2", "box", "answer 6"}) script.push_back(step);
    for (const std::string& step : {"page " + aborted, std::string("click 2"), std::string("gone")})
      script.push_back(step);
    std::vector<std::string> program = {e2e::WinePath(installer)};
    program.insert(program.end(), args.begin(), args.end());
    return Drive(program, script, env);
  }

  testsupport::ScratchDir scratch_;
  std::string cfg_, files_;
};

TEST_F(LanguageTest, PagesBoxesForcedLanguageAndUninstallerSpeakTheTablesLanguage) {
  const std::string installer = Pack();
  // Next, Cancel, the header line, the install folder line (not translated).
  constexpr int kNext = 1014, kCancel = 2, kHeader = 1019, kChange = 1018;

  // German UI language: the German table over the default one.
  Driven de = CancelAtWelcome(installer, "Willkommen", "Installation abgebrochen", {kGerman, kGermanAll});
  EXPECT_EQ(de.exitCode, 10) << de.report;
  ASSERT_EQ(de.pages.size(), 1u) << de.report;
  EXPECT_EQ(de.pages[0].caption, "Installation von Star Courier");
  EXPECT_EQ(de.pages[0].texts[kNext], "Weiter >");
  EXPECT_EQ(de.pages[0].texts[kCancel], "Abbrechen");
  EXPECT_EQ(de.pages[0].texts[kChange], "Change Settings");  // the German table lacks it
  EXPECT_EQ(de.boxes, (std::vector<std::string>{
                          "Installation abbrechen|Möchten Sie die Installation von Star Courier abbrechen?"}));

  // Japanese UI language, with a picture of the welcome page.
  Driven ja = CancelAtWelcome(installer, "ようこそ", "セットアップは中止されました", {kJapanese, kJapaneseAll}, {},
                              "welcome-ja");
  EXPECT_EQ(ja.exitCode, 10) << ja.report;
  ASSERT_EQ(ja.pages.size(), 1u) << ja.report;
  EXPECT_EQ(ja.pages[0].caption, "Star Courier セットアップ");
  EXPECT_EQ(ja.pages[0].texts[kHeader], "ようこそ");
  EXPECT_EQ(ja.pages[0].texts[kNext], "次へ >");
  EXPECT_EQ(ja.boxes, (std::vector<std::string>{"セットアップの中止|Star Courier のインストールを中止しますか?"}));
  EXPECT_TRUE(fs::exists(e2e::BinDir() + "/../wizard-screens/welcome-ja.png"));

  // A forced language wins over the UI language.
  Driven forced = CancelAtWelcome(installer, "Willkommen", "Installation abgebrochen", {kJapanese, kJapaneseAll},
                                  {"-language=de"});
  EXPECT_EQ(forced.exitCode, 10) << forced.report;
  ASSERT_EQ(forced.pages.size(), 1u) << forced.report;
  EXPECT_EQ(forced.pages[0].texts[kNext], "Weiter >");

  // A forced language the installer lacks: the default table, copied as it
  // is, and a note in the log.
  const std::string log = InstallFolder() + "/Uninstall/install.log";
  const std::string copy = InstallFolder() + "/Uninstall/install_props.xml";
  e2e::WineResult missing = Run({installer, "-silent", "-language=fr"}, {kGerman, kGermanAll});
  ASSERT_EQ(missing.exitCode, 0) << missing.output;
  const std::string noted_log = testsupport::ReadText(log);
  const std::string note =
      "\t<Note>Language &apos;fr&apos; (-language) is not in this installer; the default texts are "
      "used.</Note>\r\n";
  EXPECT_NE(noted_log.find(note), std::string::npos) << noted_log;
  EXPECT_EQ(testsupport::ReadText(copy), testsupport::ReadText(cfg_ + "/props.xml"));

  // Installed again in Japanese (forced under an English UI language): the
  // same log but for the note, and the merged table beside it.
  e2e::WineResult japanese = Run({installer, "-silent", "-language=ja-JP"}, {kEnglish, kEnglishAll});
  ASSERT_EQ(japanese.exitCode, 0) << japanese.output;
  std::string expected_log = noted_log;
  if (noted_log.find(note) != std::string::npos) expected_log.erase(expected_log.find(note), note.size());
  EXPECT_EQ(testsupport::ReadText(log), expected_log);
  const std::string merged = testsupport::ReadText(copy);
  for (const char* part : {"<String id=\"BUTTON_NEXT\">次へ &gt;</String>",
                           "<String id=\"BUTTON_CHANGE_SETTINGS\">Change Settings</String>"})
    EXPECT_NE(merged.find(part), std::string::npos) << part << "\n" << merged;

  // The uninstaller under a German UI language speaks Japanese, the
  // install's language. It runs from the install folder by its Windows path
  // (so that it knows its own file); -removeuserdata leaves nothing kept, so
  // the last box is the plain one. ui_driver passes the arguments on as they
  // are: the log's path is quoted. A box's text after its first line comes
  // on lines of its own.
  const std::string folder = "C:\\Program Files\\Zelkon Games\\Star Courier\\Uninstall\\";
  Driven un = Drive({folder + "uninstall.exe", "\"" + folder + "install.log\"", "-removeuserdata"},
                    {"box", "answer 6", "box", "answer 1"}, {kGerman, kGermanAll});
  EXPECT_EQ(un.exitCode, 0) << un.report;
  EXPECT_EQ(un.boxes, (std::vector<std::string>{"Star Courier アンインストール|Star Courier を削除しますか?",
                                                "Star Courier アンインストール|Star Courier を削除しました。"}))
      << un.report;
  EXPECT_FALSE(fs::exists(InstallFolder() + "/StarCourier.exe"));
}

// A malformed language table: the installer that chooses it says so as it
// does for props.xml, and installs nothing (mkinstaller refuses to pack it,
// so it is packed without the check).
TEST_F(LanguageTest, MalformedLanguageTableIsRefusedWithThePropertiesError) {
  testsupport::WriteWholeFile(cfg_ + "/props.de.xml", "<Properties>\n<String id=\"BUTTON_NEXT\">Weiter</Strin>\n");
  std::string error;
  const std::vector<uint8_t> bytes = e2e::PackUncheckedInstaller(cfg_, files_, {}, &error);
  ASSERT_FALSE(bytes.empty()) << error;
  const std::string installer = scratch_.file("Broken.exe");
  testsupport::WriteWholeFile(installer, bytes.data(), bytes.size());
  Driven d = Drive({e2e::WinePath(installer)}, {"box", "answer 1"}, {kGerman, kGermanAll});
  EXPECT_EQ(d.exitCode, 10) << d.report;
  ASSERT_EQ(d.boxes.size(), 1u) << d.report;
  EXPECT_NE(d.boxes[0].find("Setup Error|Properties file error: '"), std::string::npos) << d.boxes[0];
  EXPECT_NE(d.boxes[0].find("on Line 2 in File '"), std::string::npos) << d.boxes[0];
  EXPECT_NE(d.boxes[0].find("props.de.xml'"), std::string::npos) << d.boxes[0];
  EXPECT_FALSE(fs::exists(InstallFolder()));
}

}  // namespace
