// Repair and resume of the sample game under Wine. One install is damaged
// (a file changed, one deleted, a save game added) and repaired: the two
// come back bit-exact, nothing else is touched (times of every other file),
// the check is clean afterwards; the uninstall entry carries the repair
// command; a repair with another installer, a damaged manifest or a folder
// without an install is refused and changes nothing; a tampered installer
// fails its own checks and replaces nothing. An install killed part-way (a
// file held open, the run killed at the retry prompt) is continued by the
// next run: complete files kept, the rest extracted, the log complete.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using e2e::LoggedFiles;

using Bytes = std::vector<uint8_t>;
const std::string kVersion = e2e::kWin7;
const std::vector<std::string> kUtc = {"TZ=UTC"};
// Refusals exit with -verify's codes for the same reasons.
constexpr int kExitNoManifest = 22, kExitDamaged = 23, kExitOtherInstaller = 24, kExitFolderGone = 25;
constexpr int kExitRepairFailed = 27;
const char kUninstallKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Star Courier";

Bytes FileBytes(const std::string& path) {
  Bytes b;
  testsupport::ReadWholeFile(path, &b);
  return b;
}

// Modification and change times (ns) of every file below a folder, by
// relative host path: a file written again, even with its old contents and
// modification time, gets a new change time.
std::map<std::string, std::pair<int64_t, int64_t>> Times(const std::string& folder) {
  std::map<std::string, std::pair<int64_t, int64_t>> out;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    struct stat st;
    if (!e.is_regular_file() || stat(e.path().c_str(), &st) != 0) continue;
    out[fs::relative(e.path(), folder).string()] = {st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec,
                                                    st.st_ctim.tv_sec * 1000000000ll + st.st_ctim.tv_nsec};
  }
  return out;
}

// The sample game (its files, the game program, the uninstaller), packed
// to install into `install_path`; `extra` adds a file (another installer).
std::string PackSample(const std::string& folder, const std::string& install_path, const std::string& extra = "") {
  const std::string files = folder + "/files";
  fs::create_directories(files);
  fs::copy(e2e::SourceDir() + "/examples/sample-game/files", files,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(e2e::BinDir() + "/StarCourier.exe", files + "/StarCourier.exe", fs::copy_options::overwrite_existing);
  if (!extra.empty()) testsupport::WriteWholeFile(files + "/" + extra, extra);
  testsupport::WriteWholeFile(folder + "/defines.txt", "<Defines><Define><Name>InstallPath</Name><Value>" +
                                                           install_path + "</Value></Define></Defines>");
  const std::string exe = folder + "/Setup.exe";
  const std::string bin = e2e::BinDir();
  std::string output;
  const int status = e2e::Shell(
      "TZ=UTC '" + bin + "/mkinstaller' build --stub '" + bin + "/InstallerStub.exe' --cfg '" + e2e::SourceDir() +
          "/examples/sample-game/cfg' --files '" + files + "' --uninstaller '" + bin +
          "/Uninstall.exe' --defines-text '" + folder + "/defines.txt' -o '" + exe + "'",
      &output);
  EXPECT_EQ(status, 0) << output;
  return exe;
}

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// A byte of the cabinet's last data block flipped (its checksum then
// fails): the records are walked back from the signature to the cabinet.
void TamperLastBlock(const std::string& exe) {
  Bytes b = FileBytes(exe);
  size_t end = b.size() - 20;  // the signature
  while (end >= 8 && Get32(b, end - 4) != 1) end -= 8 + Get32(b, end - 8);
  ASSERT_GE(end, 8u) << "no cabinet record";
  b[end - 8 - 10] ^= 0x5A;
  testsupport::WriteWholeFile(exe, b.data(), b.size());
}

int RunSetup(const std::string& exe, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {exe};
  argv.insert(argv.end(), args.begin(), args.end());
  const e2e::WineResult r = e2e::RunWine(kVersion, argv, 300, kUtc);
  EXPECT_FALSE(r.timedOut) << r.output;
  return r.exitCode;
}

void ExpectSameProduct(const std::string& source, const std::string& installed) {
  for (const auto& e : fs::recursive_directory_iterator(source)) {
    if (!e.is_regular_file()) continue;
    const std::string relative = fs::relative(e.path(), source).string();
    EXPECT_TRUE(FileBytes(e.path()) == FileBytes(installed + "/" + relative)) << relative;
  }
}

TEST(RepairTest, RepairRestoresOnlyTheDamagedFilesAndRefusesWhatItCannotTrust) {
  testsupport::ScratchDir scratch;
  const std::string base = e2e::DriveC(kVersion) + "/repairtest";
  const std::string host = base + "/game";
  fs::remove_all(base);
  fs::create_directories(base);
  const std::string exe_host = PackSample(base + "/pack", "C:\\repairtest\\game");
  const std::string exe = "C:\\repairtest\\pack\\Setup.exe";  // run by its path on drive C
  ASSERT_EQ(RunSetup(exe, {"-silent"}), 0);
  // The installer lies on a fixed drive, outside the temporary folder: the
  // uninstall entry offers the repair (Windows shows it as Change).
  std::string data;
  EXPECT_TRUE(e2e::RegQuery(kVersion, kUninstallKey, "ModifyPath", &data));
  EXPECT_EQ(data, "\"C:\\repairtest\\pack\\Setup.exe\" -repair=\"C:\\repairtest\\game\"");
  EXPECT_TRUE(e2e::RegQuery(kVersion, kUninstallKey, "NoModify", &data));
  EXPECT_EQ(data, "0x0");
  EXPECT_TRUE(e2e::RegQuery(kVersion, kUninstallKey, "NoRepair", &data));
  EXPECT_EQ(data, "0x1");

  const std::string changed = host + "/data/palette.bin", deleted = host + "/readme.txt";
  auto damage = [&] {
    Bytes b = FileBytes(changed);
    b[100] ^= 1;
    testsupport::WriteWholeFile(changed, b.data(), b.size());
    fs::remove(deleted);
  };
  damage();
  fs::create_directories(host + "/SaveGames");
  testsupport::WriteWholeFile(host + "/SaveGames/slot1.sav", std::string("saved"));
  auto before = Times(host);

  // Refused, nothing changed: another installer of the same game, a damaged
  // manifest, a folder without an install.
  const std::string other = PackSample(scratch.file("other"), "C:\\repairtest\\game", "patch.txt");
  const std::string manifest = host + "/Uninstall/install_manifest.txt";
  const Bytes manifest_bytes = FileBytes(manifest);
  Bytes edited = manifest_bytes;
  edited[edited.size() / 2] ^= 1;
  const struct {
    const char* name;
    std::string exe;
    std::string option;
    Bytes manifest;
    int exit;
  } refusals[] = {
      {"another installer", other, "-repair", manifest_bytes, kExitOtherInstaller},
      {"damaged manifest", exe, "-repair", edited, kExitDamaged},
      {"no install there", exe, "-repair=C:\\repairtest\\pack", manifest_bytes, kExitNoManifest},
      {"no such folder", exe, "-repair=C:\\repairtest\\nowhere", manifest_bytes, kExitFolderGone},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.name);
    testsupport::WriteWholeFile(manifest, r.manifest.data(), r.manifest.size());
    before = Times(host);
    EXPECT_EQ(RunSetup(r.exe, {r.option, "-silent"}), r.exit);
    EXPECT_EQ(Times(host), before);
  }
  testsupport::WriteWholeFile(manifest, manifest_bytes.data(), manifest_bytes.size());
  before = Times(host);

  // The repair: both files back, nothing else touched, the save game kept.
  EXPECT_EQ(RunSetup(exe, {"-repair", "-silent"}), 0);
  ExpectSameProduct(base + "/pack/files", host);
  const auto after = Times(host);
  for (const auto& file : before) {
    if (file.first != "data/palette.bin") {
      EXPECT_EQ(after.at(file.first), file.second) << file.first;
    }
  }
  EXPECT_EQ(after.size(), before.size() + 1);
  EXPECT_EQ(testsupport::ReadText(host + "/SaveGames/slot1.sav"), "saved");
  EXPECT_EQ(RunSetup(exe, {"-verify", "-silent"}), 0);

  // A tampered installer (same file hashes, a flipped byte in its cabinet)
  // fails its block checksum: no file is replaced or restored.
  const std::string tampered = base + "/tampered/Setup.exe";
  fs::create_directories(base + "/tampered");
  fs::copy_file(exe_host, tampered);
  TamperLastBlock(tampered);
  damage();
  for (const char* name : {"StarCourier.exe", "data/levels.txt", "stores/comet.ico", "stores/harbor.ico"})
    fs::remove(host + "/" + name);  // the whole folder must be decoded, its last block included
  before = Times(host);
  EXPECT_EQ(RunSetup(tampered, {"-repair", "-silent"}), kExitRepairFailed);
  EXPECT_EQ(Times(host), before);

  // The intact installer restores them all.
  EXPECT_EQ(RunSetup(exe, {"-repair", "-silent"}), 0);
  ExpectSameProduct(base + "/pack/files", host);
  EXPECT_EQ(RunSetup(exe, {"-verify", "-silent"}), 0);

  e2e::RegDeleteKey(kVersion, kUninstallKey);
  e2e::RegDeleteKey(kVersion, "HKLM\\SOFTWARE\\Zelkon Games");
  fs::remove_all(base);
}

bool WaitFor(const std::function<bool()>& condition, int seconds) {
  for (int i = 0; i < seconds * 10 * e2e::TimeoutScale(); ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

TEST(RepairTest, AnInstallKilledPartWayIsContinued) {
  testsupport::ScratchDir scratch;
  const std::string host = e2e::DriveC(kVersion) + "/resumetest";
  fs::remove_all(host);
  fs::create_directories(host);
  const std::string exe = PackSample(scratch.file("pack"), "C:\\resumetest");
  // readme.txt comes after the program, the uninstaller and data\ in the
  // cabinet: held open, it stops the install there with the retry prompt.
  testsupport::WriteWholeFile(host + "/readme.txt", std::string("old"));
  const std::string marker = scratch.file("held.marker");
  std::thread holder([&] {
    e2e::RunWine(kVersion, {e2e::BinDir() + "/status_listener.exe", "hold", "C:\\resumetest\\readme.txt", "600000",
                            e2e::WinePath(marker)});
  });
  ASSERT_TRUE(WaitFor([&] { return fs::exists(marker); }, 60)) << "the helper never held the file";
  const auto leftovers = e2e::LeftoverTemporaryFolders(kVersion);
  std::thread killed([&] {
    e2e::RunWine(kVersion, {e2e::BinDir() + "/status_listener.exe", "listen", e2e::WinePath(scratch.file("s.txt")),
                            "none", e2e::WinePath(exe), "-silent"});
  });
  const std::string palette = host + "/data/palette.bin";
  const bool reached = WaitFor([&] { return fs::exists(palette) && fs::file_size(palette) == 4096; }, 120);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const std::string unique = fs::path(scratch.path()).filename().string();
  e2e::Shell("for p in $(pgrep -f -- '" + unique + "'); do kill -9 $p; done");
  killed.join();
  holder.join();
  ASSERT_TRUE(reached);
  const std::string manifest = host + "/Uninstall/install_manifest.txt";
  ASSERT_NE(testsupport::ReadText(manifest).find("\nstate incomplete\n"), std::string::npos);
  const auto before = Times(host);

  ASSERT_EQ(RunSetup(exe, {"-silent"}), 0);
  ExpectSameProduct(scratch.file("pack/files"), host);
  const auto after = Times(host);
  for (const char* kept : {"StarCourier.exe", "Uninstall/uninstall.exe", "data/levels.txt", "data/palette.bin"})
    EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
  const std::string log = testsupport::ReadText(host + "/Uninstall/install.log");
  // Every file once (the program a second time as a shortcut's icon; the
  // shortcuts themselves lie elsewhere).
  std::vector<std::string> logged;
  for (const std::string& path : LoggedFiles(log))
    if (path.rfind("C:\\resumetest\\", 0) == 0) logged.push_back(path);
  std::sort(logged.begin(), logged.end());
  EXPECT_EQ(logged, (std::vector<std::string>{
                        "C:\\resumetest\\StarCourier.exe", "C:\\resumetest\\StarCourier.exe",
                        "C:\\resumetest\\Uninstall\\install_manifest.txt",
                        "C:\\resumetest\\Uninstall\\uninstall.exe", "C:\\resumetest\\data\\levels.txt",
                        "C:\\resumetest\\data\\palette.bin", "C:\\resumetest\\readme.txt",
                        "C:\\resumetest\\stores\\comet.ico", "C:\\resumetest\\stores\\harbor.ico"}));
  EXPECT_NE(log.find("</InstallLog>"), std::string::npos);
  EXPECT_NE(testsupport::ReadText(manifest).find("\nstate complete\n"), std::string::npos);
  for (const std::string& folder : e2e::LeftoverTemporaryFolders(kVersion))
    if (std::find(leftovers.begin(), leftovers.end(), folder) == leftovers.end()) fs::remove_all(folder);  // the killed run's
  e2e::RegDeleteKey(kVersion, kUninstallKey);
  e2e::RegDeleteKey(kVersion, "HKLM\\SOFTWARE\\Zelkon Games");
  fs::remove_all(host);
}

}  // namespace
