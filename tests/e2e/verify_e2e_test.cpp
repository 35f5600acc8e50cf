// -verify end to end under Wine: the sample game installed by a silent run
// leaves its manifest (complete, listed in the log, hashes as list --json
// prints them); a corrupted, a deleted and an added file: the silent check
// names exactly the first two with its exit code and report, the window
// lists them; then the refusals (manifest edited, another installer's
// manifest, the folder gone, an installer without hashes), each with its
// exit code and message and nothing changed on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include "base/sha256.h"
#include "e2e/wine_harness.h"
#include "resources/resource_ids.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kVersion = e2e::kWin7;
const std::string kFolder = "C:\\verify\\Star Courier";  // with a blank, as most are

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string HostFolder() { return e2e::DriveC(kVersion) + "/verify/Star Courier"; }

std::string Sha256HexOf(const std::string& bytes) { return base::Sha256Hex(base::Sha256Of(bytes.data(), bytes.size())); }

// Every file below a folder with its bytes' hash and its modification time:
// what a refusal must leave as it was.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> out;
  if (!fs::exists(folder)) return out;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (!e.is_regular_file()) continue;
    struct stat st;
    stat(e.path().c_str(), &st);
    out[fs::relative(e.path(), folder).string()] =
        Sha256HexOf(testsupport::ReadText(e.path().string())) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
        std::to_string(st.st_mtim.tv_nsec);
  }
  return out;
}

class VerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(HostFolder());
    files_ = scratch_.file("files");
    fs::copy(e2e::SourceDir() + "/examples/sample-game/files", files_, fs::copy_options::recursive);
    fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files_ + "/StarCourier.exe");
  }
  void TearDown() override { fs::remove_all(e2e::DriveC(kVersion) + "/verify"); }

  std::string Pack(const std::string& name) {
    const std::string out = scratch_.file(name);
    std::string output;
    EXPECT_EQ(e2e::Shell("TZ=UTC " + Quote(e2e::BinDir() + "/mkinstaller") + " build --stub " +
                             Quote(e2e::BinDir() + "/InstallerStub.exe") + " --cfg " +
                             Quote(e2e::SourceDir() + "/examples/sample-game/cfg") + " --files " + Quote(files_) +
                             " --with-uninstaller --define " + Quote("InstallPath=" + kFolder) + " -o " + Quote(out),
                         &output),
              0)
        << output;
    return out;
  }

  // A silent check: exit code and report.
  std::pair<int, std::string> Verify(const std::string& installer, const std::string& option = "-verify") {
    const std::string report = scratch_.file("report.txt");
    fs::remove(report);
    const e2e::WineResult r =
        e2e::RunWine(kVersion, {installer, option, "-silent", "-report=" + e2e::WinePath(report)}, 300);
    return {r.exitCode, testsupport::ReadText(report)};
  }

  testsupport::ScratchDir scratch_;
  std::string files_;
};

TEST_F(VerifyTest, InstallLeavesTheManifestAndVerifyNamesWhatChanged) {
  const std::string installer = Pack("Setup.exe");
  ASSERT_EQ(e2e::RunWine(kVersion, {installer, "-silent"}, 300).exitCode, 0);
  const std::string host = HostFolder();
  const std::string manifest_path = host + "/Uninstall/install_manifest.txt";
  const std::string manifest = testsupport::ReadText(manifest_path);

  // The manifest: this installer's id (as list --json prints it), complete,
  // and each product file's hash equal to the installed bytes.
  std::string json;
  ASSERT_EQ(e2e::Shell(Quote(e2e::BinDir() + "/mkinstaller") + " list --json " + Quote(installer), &json), 0);
  const size_t id_at = json.find("\"installerId\": \"");
  ASSERT_NE(id_at, std::string::npos) << json;
  const std::string id = json.substr(id_at + 16, 64);
  EXPECT_EQ(manifest.find("zelmanifest 1\ninstaller " + id + "\nstate complete\nroot " + kFolder + "\nfile "), 0u)
      << manifest;
  std::istringstream lines(manifest);
  std::string line;
  size_t product_files = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("file ", 0) != 0) continue;
    ++product_files;
    const std::string path = line.substr(line.find(' ', 71) + 1);
    std::string host_path = e2e::DriveC(kVersion) + "/" + path.substr(3);
    for (char& c : host_path)
      if (c == '\\') c = '/';
    EXPECT_EQ(line.substr(5, 64), Sha256HexOf(testsupport::ReadText(host_path))) << path;
    EXPECT_NE(json.find("\"sha256\": \"" + line.substr(5, 64) + "\""), std::string::npos) << path;
  }
  EXPECT_GE(product_files, 6u);
  // The log: one File line per product file, then the manifest's, once.
  const std::string log = testsupport::ReadText(host + "/Uninstall/install.log");
  const std::string manifest_line = "\t<File>" + kFolder + "\\Uninstall\\install_manifest.txt</File>";
  EXPECT_NE(log.find(manifest_line), std::string::npos) << log;
  EXPECT_EQ(log.find(manifest_line), log.rfind(manifest_line));
  size_t file_lines = 0;  // before the manifest's: the product files
  for (size_t at = log.find("<File>"); at < log.find(manifest_line); at = log.find("<File>", at + 1)) ++file_lines;
  EXPECT_EQ(file_lines, product_files) << log;

  auto clean = Verify(installer);
  EXPECT_EQ(clean.first, 0) << clean.second;
  EXPECT_EQ(clean.second.find("zelverify 1\nresult clean\ninstaller " + id + "\n"), 0u) << clean.second;

  // One file corrupted (same size), one deleted, one added.
  std::string levels = testsupport::ReadText(host + "/data/levels.txt");
  levels[0] ^= 0x20;
  testsupport::WriteWholeFile(host + "/data/levels.txt", levels);
  fs::remove(host + "/readme.txt");
  testsupport::WriteWholeFile(host + "/data/mod.txt", std::string("a player's own file"));
  auto found = Verify(installer);
  EXPECT_EQ(found.first, 20);
  EXPECT_EQ(found.second, "zelverify 1\nresult differences\ninstaller " + id + "\nroot " + kFolder +
                              "\nstate complete\nmissing " + kFolder + "\\readme.txt\nchanged " + kFolder +
                              "\\data\\levels.txt\n");

  // The window lists the same two.
  {
    const std::string out = scratch_.file("ui.txt"), script = scratch_.file("script.txt");
    testsupport::WriteWholeFile(script, "page Installed Files\nget " + std::to_string(IDC_VERIFY_SUMMARY) + "\nget " +
                                            std::to_string(IDC_VERIFY_LIST) + "\npause verify\nclick " +
                                            std::to_string(IDC_DONE) + "\ngone\n");
    auto run = std::async(std::launch::async, [&] {
      return e2e::RunWine(kVersion, {e2e::BinDir() + "/ui_driver.exe", e2e::WinePath(out), e2e::WinePath(script),
                                     e2e::WinePath(installer), "-verify"}, 300);
    });
    while (run.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
      if (testsupport::ReadText(out).find("PAUSE verify") == std::string::npos || fs::exists(out + ".verify.go"))
        continue;
      const std::string screens = e2e::BinDir() + "/../wizard-screens";
      fs::create_directories(screens);
      e2e::Shell("import -window root " + Quote(screens + "/verify.png"));
      testsupport::WriteWholeFile(out + ".verify.go", "");
    }
    run.get();
    const std::string driven = testsupport::ReadText(out);
    EXPECT_NE(driven.find("TEXT " + std::to_string(IDC_VERIFY_SUMMARY) + " 2 of "), std::string::npos) << driven;
    EXPECT_NE(driven.find("TEXT " + std::to_string(IDC_VERIFY_LIST) + " Missing: " + kFolder +
                          "\\readme.txt\\r\\nChanged: " + kFolder + "\\data\\levels.txt\\r\\n"),
              std::string::npos)
        << driven;
    EXPECT_NE(driven.find("EXIT 20"), std::string::npos) << driven;
  }

  // Refusals: each with its code and reason, nothing changed.
  const std::string good_manifest = manifest;
  std::string edited = manifest;
  edited.replace(edited.find("state complete"), 14, "state incomplete");
  testsupport::WriteWholeFile(manifest_path, edited);
  auto before = Snapshot(host);
  auto refused = Verify(installer);
  EXPECT_EQ(refused.first, 23);
  EXPECT_EQ(refused.second, "zelverify 1\nresult refused\nmessage The install manifest is damaged or edited: " +
                                kFolder + "\\Uninstall\\install_manifest.txt (the manifest is damaged or edited)\n");
  EXPECT_EQ(Snapshot(host), before);
  testsupport::WriteWholeFile(manifest_path, good_manifest);

  testsupport::WriteWholeFile(files_ + "/data/patch.txt", std::string("a newer build"));
  const std::string other = Pack("Other.exe");
  before = Snapshot(host);
  refused = Verify(other);
  EXPECT_EQ(refused.first, 24);
  EXPECT_NE(refused.second.find("message The game was installed by another installer than this one: "),
            std::string::npos) << refused.second;
  EXPECT_EQ(Snapshot(host), before);

  fs::rename(host, host + " moved");
  refused = Verify(installer);
  EXPECT_EQ(refused.first, 25);
  EXPECT_NE(refused.second.find("message The game's folder no longer exists: "), std::string::npos) << refused.second;
  EXPECT_FALSE(fs::exists(host));

  // The same installer without its file-hash record, as one built before
  // the record existed.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(testsupport::ReadWholeFile(installer, &bytes));
  auto get32 = [&](size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
  };
  for (size_t end = bytes.size() - 20; end > 8;) {  // the chain, from the signature backwards
    const uint32_t type = get32(end - 4), length = get32(end - 8);
    const size_t start = end - 8 - length;
    if (type == 4) {
      bytes.erase(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(end));
      break;
    }
    end = start;
  }
  const std::string older = scratch_.file("Older.exe");
  ASSERT_TRUE(testsupport::WriteWholeFile(older, bytes.data(), bytes.size()));
  refused = Verify(older);
  EXPECT_EQ(refused.first, 21);
  EXPECT_EQ(refused.second, "zelverify 1\nresult refused\nmessage This installer has no file hashes: it cannot check "
                            "an installed game.\n");
}

}  // namespace
