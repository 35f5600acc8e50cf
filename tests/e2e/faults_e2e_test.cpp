// Faults a player's machine really has, under Wine on real installers: a
// full disk, a read-only file in the way, damaged payloads and cabinets whose
// entry names point outside the install folder. Each must end with a
// truthful exit code and log, and must never touch anything outside the
// install folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/install_packing.h"
#include "e2e/wine_harness.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_test_builder.h"

namespace fs = std::filesystem;

namespace {

using e2e::LoggedFiles;

using Bytes = std::vector<uint8_t>;

const std::string kVersion = e2e::kWin7;
const char kSignature[] = "!zelkoninstallersig!";
constexpr int kExitAborted = 10;
constexpr int kExitCannotReadPayload = 5;

// The product: a few files, one of them large enough to fill a small disk.
struct ProductFile {
  std::string name;  // below files\, with backslashes
  size_t size;
};
const std::vector<ProductFile> kFiles = {
    {"a.dat", 200 << 10}, {"b.dat", 300 << 10}, {"big\\c.dat", 2 << 20}, {"d.txt", 100}};

const char kInstallXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<InstallConfig><InstallLog>%InstallPath%\\install.log</InstallLog></InstallConfig>\n";

std::string HostName(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

Bytes RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes data(size);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  return data;
}

std::string DefinesText(const std::string& install_path) {
  return "<Defines><Define><Name>InstallPath</Name><Value>" + install_path + "</Value></Define></Defines>";
}

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// Every file below a folder (relative, '/' separators) with its size.
std::map<std::string, uintmax_t> Tree(const std::string& folder) {
  std::map<std::string, uintmax_t> out;
  if (!fs::exists(folder)) return out;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) out[fs::relative(e.path(), folder).string()] = e.file_size();
  return out;
}

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> boxes;
  std::string output;
};

// Runs an installer silently through the listener, which answers message
// boxes with "ok" (the retry prompt: the second attempt then runs).
Outcome RunSilent(const std::string& installer, const std::string& button = "ok") {
  testsupport::ScratchDir dir;
  const std::string out = dir.file("status.txt");
  e2e::WineResult r = e2e::RunWine(kVersion, {e2e::BinDir() + "/status_listener.exe", "listen", e2e::WinePath(out),
                                              button, e2e::WinePath(installer), "-silent"});
  Outcome o;
  o.output = r.output;
  std::istringstream lines(testsupport::ReadText(out));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("B ", 0) == 0) o.boxes.push_back(line.substr(2));
    if (line.rfind("EXIT ", 0) == 0) o.exitCode = std::atoi(line.c_str() + 5);
  }
  return o;
}

class FaultsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new testsupport::ScratchDir();
    cfg_ = scratch_->path() + "/cfg";
    files_ = scratch_->path() + "/files";
    fs::create_directories(cfg_);
    fs::create_directories(files_ + "/big");
    for (const char* name : {"defines.xml", "props.xml"})
      fs::copy_file(e2e::SourceDir() + "/tests/e2e/data/install_sample/cfg/" + name, cfg_ + "/" + name);
    testsupport::WriteWholeFile(cfg_ + "/install.xml", std::string(kInstallXml));
    unsigned seed = 1;
    for (const ProductFile& f : kFiles) {
      Bytes data = RandomBytes(f.size, seed++);
      testsupport::WriteWholeFile(files_ + "/" + HostName(f.name), data.data(), data.size());
    }
  }
  static void TearDownTestSuite() { delete scratch_; }

  // The product packed by the authoring tool for an install folder, with
  // the test's install.xml or another one.
  Bytes Packed(const std::string& install_path, const std::string& install_xml = "") {
    std::string cfg = cfg_, error;
    if (!install_xml.empty()) {
      cfg = dir_.file("cfg-variant");
      fs::remove_all(cfg);
      fs::copy(cfg_, cfg);
      testsupport::WriteWholeFile(cfg + "/install.xml", install_xml);
    }
    Bytes packed = e2e::PackInstaller(cfg, files_, {DefinesText(install_path)}, {}, &error);
    EXPECT_FALSE(packed.empty()) << error;
    return packed;
  }

  std::string Write(const Bytes& bytes, const std::string& name = "Setup.exe") {
    const std::string path = dir_.file(name);
    EXPECT_TRUE(testsupport::WriteWholeFile(path, bytes.data(), bytes.size()));
    return path;
  }

  static testsupport::ScratchDir* scratch_;
  static std::string cfg_, files_;
  testsupport::ScratchDir dir_;
};

testsupport::ScratchDir* FaultsTest::scratch_ = nullptr;
std::string FaultsTest::cfg_, FaultsTest::files_;

// The destination on a small file system mapped as drive M:. Too small for
// the product, the free-space check before the install step refuses it and
// nothing is written. When the check passes but the disk fills during the
// extraction, at big\c.dat (the file system has room for the bytes but not
// for the file entries, which the check does not count; or a pre-install
// program takes the space after the check), the retry prompt comes once,
// the second attempt fails at the same file, the run ends with exit code
// 10, the files written completely (on both attempts) are logged and the
// part of big\c.dat that was written is gone. Nothing outside the install
// folder changes but for what the pre-install program wrote.
TEST_F(FaultsTest, DiskFull) {
  // Then the install manifest, written before the first product file.
  const std::vector<std::string> logged = {"M:\\Game\\a.dat", "M:\\Game\\b.dat", "M:\\Game\\a.dat",
                                           "M:\\Game\\b.dat", "M:\\Game\\install_manifest.txt"};
  std::string filling_xml = kInstallXml;
  filling_xml.insert(filling_xml.find("</InstallConfig>"),
                     "<PreExec><Exe>" + e2e::WinePath(e2e::BinDir() + "/status_listener.exe") +
                         "</Exe><Params>fill M:\\filler.bin 2621440</Params></PreExec>");
  struct Case {
    const char* name;
    const char* mount_options;
    std::string install_xml;               // "": the test's own
    size_t boxes;                          // retry prompts
    std::vector<std::string> installed;    // below the mount point
    std::vector<std::string> logged;
  };
  const std::vector<Case> cases = {
      {"too small for the product", "size=1m", "", 0, {}, {}},
      // Inodes: the root, Game, the log, its properties copy, the manifest,
      // a.dat and b.dat; the folder big finds none left.
      {"out of file entries during the extraction", "size=16m,nr_inodes=7", "", 1,
       {"Game/a.dat", "Game/b.dat", "Game/install.log", "Game/install_manifest.txt", "Game/install_props.xml"},
       logged},
      // The check wants 2.7 MiB of the 4; 1.5 MiB are left for the files,
      // so the 2 MiB of big\c.dat stop part-way.
      {"taken by a pre-install program, big\\c.dat stops part-way", "size=4m", filling_xml, 1,
       {"Game/a.dat", "Game/b.dat", "Game/install.log", "Game/install_manifest.txt", "Game/install_props.xml",
        "filler.bin"},
       logged},
  };
  const std::string mount_point = dir_.file("small");
  fs::create_directories(mount_point);
  const std::string drive = e2e::PrefixDir(kVersion) + "/dosdevices/m:";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (e2e::Shell("mount -t tmpfs -o " + std::string(c.mount_options) + " tmpfs '" + mount_point + "'") != 0)
      GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    fs::remove(drive);
    fs::create_symlink(mount_point, drive);
    const auto drive_c_before = Tree(e2e::DriveC(kVersion) + "/users");

    Outcome o = RunSilent(Write(Packed("M:\\Game", c.install_xml)));
    const auto installed = Tree(mount_point);
    const auto log_files = LoggedFiles(testsupport::ReadText(mount_point + "/Game/install.log"));
    // Each product file there holds exactly what was packed.
    unsigned seed = 1;
    for (const ProductFile& f : kFiles) {
      Bytes data;
      if (testsupport::ReadWholeFile(mount_point + "/Game/" + HostName(f.name), &data)) {
        EXPECT_TRUE(data == RandomBytes(f.size, seed)) << f.name;
      }
      ++seed;
    }
    fs::remove(drive);
    e2e::Shell("umount '" + mount_point + "'");

    EXPECT_EQ(o.exitCode, kExitAborted) << o.output;
    EXPECT_EQ(o.boxes.size(), c.boxes);
    std::vector<std::string> names;
    for (const auto& file : installed) names.push_back(file.first);
    EXPECT_EQ(names, c.installed);
    EXPECT_EQ(log_files, c.logged);
    if (installed.count("filler.bin")) {
      EXPECT_EQ(installed.at("filler.bin"), 2621440u);  // all of it, before the extraction
    }
    EXPECT_EQ(Tree(e2e::DriveC(kVersion) + "/users"), drive_c_before);
  }
}

// A read-only file of an earlier install is replaced; the run succeeds and
// the log names every file.
TEST_F(FaultsTest, ReadOnlyDestinationFileIsReplaced) {
  const std::string host_dir = e2e::DriveC(kVersion) + "/faults/readonly";
  fs::remove_all(host_dir);
  fs::create_directories(host_dir);
  testsupport::WriteWholeFile(host_dir + "/a.dat", std::string("old"));
  chmod((host_dir + "/a.dat").c_str(), 0444);
  Outcome o = RunSilent(Write(Packed("C:\\faults\\readonly")));
  EXPECT_EQ(o.exitCode, 0) << o.output;
  EXPECT_TRUE(o.boxes.empty());
  const auto installed = Tree(host_dir);
  for (const ProductFile& f : kFiles) EXPECT_EQ(installed.at(HostName(f.name)), f.size) << f.name;
  EXPECT_EQ(LoggedFiles(testsupport::ReadText(host_dir + "/install.log")).size(), kFiles.size() + 1);  // + the manifest
  fs::permissions(host_dir + "/a.dat", fs::perms::owner_write, fs::perm_options::add);
  fs::remove_all(host_dir);
}

bool WaitFor(const std::function<bool()>& condition, int seconds) {
  for (int i = 0; i < seconds * 10 * e2e::TimeoutScale(); ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

// Ends every process whose command line names this scratch folder: the
// test's own runs (installer, listener, holder), by the folder's unique name.
void KillProcessesNaming(const std::string& scratch_folder) {
  const std::string unique = fs::path(scratch_folder).filename().string();
  e2e::Shell("for p in $(pgrep -f -- '" + unique + "'); do kill -9 $p; done");
}

// A file held open without sharing by another program (a running game):
// the extraction stops at it, the retry prompt is answered, the second
// attempt stops there too, and the run ends with exit code 10; the held file
// keeps its contents and only the files written completely are logged. A run
// killed while it waits at that prompt, then run again once the file is
// free, installs everything: the killed run's temporary folder and half-done
// install folder do not get in its way.
TEST_F(FaultsTest, HeldFileThenKilledRunThenRunAgain) {
  const std::string host_dir = e2e::DriveC(kVersion) + "/faults/held";
  fs::remove_all(host_dir);
  fs::create_directories(host_dir);
  testsupport::WriteWholeFile(host_dir + "/b.dat", std::string("old contents"));
  const std::string marker = dir_.file("held.marker");
  std::thread holder([&] {
    e2e::RunWine(kVersion, {e2e::BinDir() + "/status_listener.exe", "hold", "C:\\faults\\held\\b.dat", "600000",
                            e2e::WinePath(marker)});
  });
  ASSERT_TRUE(WaitFor([&] { return fs::exists(marker); }, 60)) << "the helper never held the file";
  const std::string installer = Write(Packed("C:\\faults\\held"), "HeldSetup.exe");

  Outcome o = RunSilent(installer);
  EXPECT_EQ(o.exitCode, kExitAborted) << o.output;
  EXPECT_EQ(o.boxes.size(), 1u);
  EXPECT_EQ(testsupport::ReadText(host_dir + "/b.dat"), "old contents");
  EXPECT_EQ(LoggedFiles(testsupport::ReadText(host_dir + "/install.log")),
            (std::vector<std::string>{"C:\\faults\\held\\a.dat", "C:\\faults\\held\\a.dat",
                                      "C:\\faults\\held\\install_manifest.txt"}));

  // Again, with the prompt left open; the run is killed there.
  const auto leftovers_before = e2e::LeftoverTemporaryFolders(kVersion);
  fs::remove(host_dir + "/a.dat");
  std::thread killed([&] { RunSilent(installer, "none"); });
  const bool reached = WaitFor([&] { return fs::exists(host_dir + "/a.dat") && fs::file_size(host_dir + "/a.dat") ==
                                                                                   kFiles[0].size; }, 60);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  KillProcessesNaming(dir_.path());  // the installer, its caller and the holder
  killed.join();
  holder.join();
  ASSERT_TRUE(reached);

  o = RunSilent(installer);
  EXPECT_EQ(o.exitCode, 0) << o.output;
  EXPECT_TRUE(o.boxes.empty());
  for (const ProductFile& f : kFiles) {
    Bytes packed, installed;
    ASSERT_TRUE(testsupport::ReadWholeFile(files_ + "/" + HostName(f.name), &packed));
    ASSERT_TRUE(testsupport::ReadWholeFile(host_dir + "/" + HostName(f.name), &installed)) << f.name;
    EXPECT_TRUE(packed == installed) << f.name;
  }
  EXPECT_EQ(LoggedFiles(testsupport::ReadText(host_dir + "/install.log")).size(), kFiles.size() + 1);  // + the manifest
  for (const std::string& folder : e2e::LeftoverTemporaryFolders(kVersion))
    if (std::find(leftovers_before.begin(), leftovers_before.end(), folder) == leftovers_before.end())
      fs::remove_all(folder);  // the killed run's
  fs::remove_all(host_dir);
}

// The records of a finished installer: [stub][N,2][cabinet][len,1][hashes][len,4][defines][len,0][signature].
struct Layout {
  size_t cabinet_offset, cabinet_length, cabinet_record_end;  // end: its type field
};
Layout Walk(const Bytes& b) {
  size_t end = b.size() - 20 - 4;  // type field of the defines record
  const size_t defines_length = Get32(b, end - 4);
  end = end - 4 - defines_length - 4;  // type field of the cabinet record, or of the file hashes after it
  if (Get32(b, end) == 4) end = end - 4 - Get32(b, end - 4) - 4;
  const size_t cab_length = Get32(b, end - 4);
  return {end - 4 - cab_length, cab_length, end};
}

// Clears the checksum of every data block of every folder.
void ClearDataChecksums(Bytes& b, size_t cab) {
  const uint16_t folders = b[cab + 26] | (b[cab + 27] << 8);
  for (uint16_t i = 0; i < folders; ++i) {
    const size_t folder = cab + 36 + 8 * i;
    size_t block = cab + Get32(b, folder);
    const uint16_t blocks = b[folder + 4] | (b[folder + 5] << 8);
    for (uint16_t k = 0; k < blocks; ++k) {
      for (int j = 0; j < 4; ++j) b[block + j] = 0;
      block += 8 + (b[block + 4] | (b[block + 5] << 8));
    }
  }
}

// Damaged payloads: the run ends with the code given, and writes nothing
// outside its install folder.
TEST_F(FaultsTest, DamagedPayloads) {
  const std::string host_dir = e2e::DriveC(kVersion) + "/faults/damaged";
  const Bytes good = Packed("C:\\faults\\damaged");
  const Layout layout = Walk(good);
  ASSERT_EQ(std::string(good.begin() + layout.cabinet_offset, good.begin() + layout.cabinet_offset + 4), "MSCF");

  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    int exit_code;
    bool installs;  // every file lands complete
  };
  const std::vector<Case> cases = {
      {"cut short after signing", [](Bytes& b) { b.resize(b.size() - 5000); }, kExitCannotReadPayload, false},
      {"flipped byte in the last data block, checksums present",
       [&](Bytes& b) { b[layout.cabinet_offset + layout.cabinet_length - 10] ^= 0x40; }, kExitAborted, false},
      {"flipped byte in the last data block, no checksums",
       [&](Bytes& b) {
         ClearDataChecksums(b, layout.cabinet_offset);
         b[layout.cabinet_offset + layout.cabinet_length - 10] ^= 0x40;
       },
       // Without checksums the cabinet carries nothing to check the data
       // against: a flipped literal decodes to a wrong byte and installs.
       0, true},
      {"cabinet record longer than the file in front of it",
       [&](Bytes& b) {
         const uint32_t huge = static_cast<uint32_t>(layout.cabinet_record_end);
         for (int i = 0; i < 4; ++i) b[layout.cabinet_record_end - 4 + i] = uint8_t(huge >> (8 * i));
       },
       kExitCannotReadPayload, false},
      {"a second signature after a skipped record",
       [](Bytes& b) {
         for (uint32_t v : {20u, 2u})
           for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
         b.insert(b.end(), kSignature, kSignature + 20);
       },
       0, true},
      {"garbage after the signature",
       [](Bytes& b) {
         Bytes tail = RandomBytes(4096, 99);
         b.insert(b.end(), tail.begin(), tail.end());
       },
       0, true},
  };
  const auto drive_c_before = Tree(e2e::DriveC(kVersion) + "/users");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(host_dir);
    Bytes damaged = good;
    c.damage(damaged);
    Outcome o = RunSilent(Write(damaged));
    EXPECT_EQ(o.exitCode, c.exit_code) << o.output;
    const auto installed = Tree(host_dir);
    if (c.installs) {
      for (const ProductFile& f : kFiles) EXPECT_EQ(installed.count(HostName(f.name)), 1u) << f.name;
    } else {
      // Whatever is there is complete and logged.
      const auto logged = LoggedFiles(testsupport::ReadText(host_dir + "/install.log"));
      for (const ProductFile& f : kFiles) {
        if (installed.count(HostName(f.name))) {
          EXPECT_EQ(installed.at(HostName(f.name)), f.size) << f.name;
        }
      }
      for (const std::string& path : logged) EXPECT_EQ(path.rfind("C:\\faults\\damaged\\", 0), 0u) << path;
    }
  }
  EXPECT_EQ(Tree(e2e::DriveC(kVersion) + "/users"), drive_c_before);
  fs::remove_all(host_dir);
}

// An installer of several folders, which the installer decodes at once: a
// damaged block in the first folder of files ends the install as one thread
// would. Retry prompt, the same failure again, exit 10; the files before the
// damaged block are installed and logged; nothing of the later folders
// (written meanwhile) is left or logged.
TEST_F(FaultsTest, DamagedFolderAmongSeveral) {
  const std::string host_dir = e2e::DriveC(kVersion) + "/faults/folders";
  std::string error;
  Bytes packed =
      e2e::PackInstaller(cfg_, files_, {DefinesText("C:\\faults\\folders")}, {}, &error, "--folder-size 64K");
  ASSERT_FALSE(packed.empty()) << error;
  const size_t cab = Walk(packed).cabinet_offset;
  const uint8_t* header = &packed[cab];
  ASSERT_EQ(cab::LoadField(header, cab::cfheader::kFlags), 0u);
  const unsigned folders = cab::LoadField(header, cab::cfheader::kFolderCount);
  struct Entry {
    std::string name;
    unsigned folder;
    uint64_t end;
  };
  std::vector<Entry> entries;
  size_t at = cab + cab::LoadField(header, cab::cfheader::kFilesOffset);
  for (unsigned i = 0; i < cab::LoadField(header, cab::cfheader::kFileCount); ++i) {
    const uint8_t* e = &packed[at];
    const std::string name(reinterpret_cast<const char*>(e + cab::kFileEntrySize));
    entries.push_back({name, cab::LoadField(e, cab::cffile::kFolderIndex),
                       uint64_t{cab::LoadField(e, cab::cffile::kFolderOffset)} + cab::LoadField(e, cab::cffile::kSize)});
    at += cab::kFileEntrySize + name.size() + 1;
  }
  unsigned damaged = folders;
  for (const Entry& e : entries)
    if (e.name.rfind("files\\", 0) == 0 && e.folder < damaged) damaged = e.folder;
  ASSERT_LT(damaged + 2, folders) << "two folders after the damaged one";
  // The damaged folder's last block: the files that end before it are whole.
  const uint8_t* folder = header + cab::kHeaderSize + damaged * cab::kFolderSize;
  size_t block = cab + cab::LoadField(folder, cab::cffolder::kDataOffset);
  uint64_t whole = 0;
  for (unsigned k = 1; k < cab::LoadField(folder, cab::cffolder::kBlockCount); ++k) {
    whole += cab::LoadField(&packed[block], cab::cfdata::kUncompressedSize);
    block += cab::kDataHeaderSize + cab::LoadField(&packed[block], cab::cfdata::kCompressedSize);
  }
  packed[block + cab::kDataHeaderSize + 2] ^= 0x40;
  std::set<std::string> expected;
  for (const Entry& e : entries)
    if (e.name.rfind("files\\", 0) == 0 && (e.folder < damaged || (e.folder == damaged && e.end <= whole)))
      expected.insert(e.name.substr(6));
  expected.insert("install_manifest.txt");  // written before the first file, kept for a later run to continue

  fs::remove_all(host_dir);
  const Outcome o = RunSilent(Write(packed));
  EXPECT_EQ(o.exitCode, kExitAborted) << o.output;
  EXPECT_EQ(o.boxes.size(), 1u);  // the retry prompt, once
  std::set<std::string> installed, logged;
  for (const auto& f : Tree(host_dir))
    if (f.first != "install.log" && f.first.find("_props") == std::string::npos) installed.insert(f.first);
  for (const std::string& path : LoggedFiles(testsupport::ReadText(host_dir + "/install.log")))
    logged.insert(path.substr(std::string("C:\\faults\\folders\\").size()));
  std::set<std::string> expected_host;
  for (const std::string& name : expected) expected_host.insert(HostName(name));
  EXPECT_EQ(installed, expected_host);
  EXPECT_EQ(logged, expected);
  fs::remove_all(host_dir);
}

// Entry names that would leave the install folder or clash on Windows, in
// an otherwise valid installer made without the authoring tool (which
// refuses them): the install ends with exit code 10 without the retry
// prompt (trying again cannot help) and nothing is written.
TEST_F(FaultsTest, HostileEntryNamesAreRefusedBeforeAnythingIsWritten) {
  const std::string host_dir = e2e::DriveC(kVersion) + "/faults/hostile";
  Bytes stub;
  ASSERT_TRUE(testsupport::ReadWholeFile(e2e::BinDir() + "/InstallerStub.exe", &stub));
  const std::vector<std::string> names = {
      "files\\..\\escaped.txt", "files\\sub\\..\\..\\escaped.txt", "files\\C:\\escaped.txt",
      "files\\\\\\server\\share\\x", "files\\readme.txt:stream", "files\\con.txt", "files\\sub\\LPT1",
      "files\\" + std::string(200, 'n') + "\\" + std::string(48, 'm'), "files\\A.DAT"};
  const std::string outside = e2e::DriveC(kVersion) + "/escaped.txt";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    fs::remove_all(host_dir);
    fs::remove(outside);
    std::vector<cabtest::TestEntry> entries;
    for (const char* cfg : {"defines.xml", "install.xml", "props.xml"})
      entries.push_back({std::string("cfg\\") + cfg, cabtest::Bytes(testsupport::ReadText(cfg_ + "/" + cfg))});
    entries.push_back({"files\\a.dat", cabtest::Bytes("first")});
    entries.push_back({name, cabtest::Bytes("hostile")});
    const cabtest::BuiltCabinet cab = cabtest::BuildCabinet(entries);
    const std::string defines = DefinesText("C:\\faults\\hostile");
    Outcome o = RunSilent(Write(e2e::AssembleInstaller(
        {}, {{2, stub}, {1, cab.bytes}, {0, Bytes(defines.begin(), defines.end())}})));
    EXPECT_EQ(o.exitCode, kExitAborted) << o.output;
    EXPECT_TRUE(o.boxes.empty());
    EXPECT_FALSE(fs::exists(outside));
    // Only the log (with no File line) and its properties copy are there.
    const auto installed = Tree(host_dir);
    EXPECT_EQ(installed.size(), 2u);
    EXPECT_EQ(installed.count("install.log"), 1u);
    EXPECT_TRUE(LoggedFiles(testsupport::ReadText(host_dir + "/install.log")).empty());
  }
  fs::remove_all(host_dir);
}

}  // namespace
