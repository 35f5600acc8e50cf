// ExtractCabinet() over an installer shipped as a set, with its real
// callbacks (host and Wine): the first cabinet inside a larger file, the
// volumes beside it checked by size and SHA-256 before anything is read
// from them, parts joined into one file, and the 64-bit progress arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>

#include "base/sha256.h"
#include "base/string_utils.h"
#include "cabinet/cab_extract.h"
#include "cabinet/cab_writer.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_extract_test_support.h"
#include "tests/cabinet/cab_set_builder.h"

namespace {

const std::string kSep(1, kPathSeparator);
constexpr int64_t kGB = int64_t{1} << 30;

// Four cabinets: a in the first; big.bin in three parts from the first
// cabinet into the third; c and d in the third; e from the third into the
// fourth.
cabtest::CabinetSet GameSet() {
  return cabtest::BuildStoredSet({{"cfg\\setup.xml", 300},
                                  {"files\\a.dat", 1200},
                                  {"files\\big.bin.001", 2000},
                                  {"files\\big.bin.002", 2000},
                                  {"files\\big.bin.003", 700},
                                  {"files\\c.dat", 900},
                                  {"files\\d.dat", 0},
                                  {"files\\e.dat", 2300}},
                                 {3, 3, 2, 3}, {"Game.exe", "Game-2.cab", "Game-3.cab", "Game-4.cab"});
}

class Progress : public ExtractionProgress {
 public:
  void FileCreated(const std::string& path) override { created.push_back(path); }
  void OverallPercent(int32_t percent) override { last_percent = percent; }
  bool RetryVolume(const std::string& volume) override {
    asked.push_back(volume);
    return retry && retry(volume);
  }
  std::vector<std::string> created, asked;
  int32_t last_percent = -1;
  std::function<bool(const std::string&)> retry;
};

struct Installed {
  testsupport::ScratchDir dir;
  std::string source, destination;
  ExtractionRequest request;
  cabtest::CabinetSet set = GameSet();

  // The first cabinet 4 KB into Game.exe, the others beside it, as listed.
  Installed() {
    source = dir.path() + kSep + "source";
    destination = dir.path() + kSep + "game";
    std::filesystem::create_directories(source);
    std::vector<uint8_t> exe(4096, 'M');
    const std::vector<uint8_t>& first = set.cabinets.at("Game.exe");
    exe.insert(exe.end(), first.begin(), first.end());
    testsupport::WriteWholeFile(source + kSep + "Game.exe", std::string(exe.begin(), exe.end()));
    request.cabinetPath = source + kSep + "Game.exe";
    request.cabinetOffset = 4096;
    request.prefix = "files\\";
    request.destination = destination + kSep;
    request.joinedFiles = {{"files\\big.bin", 3}};
    for (size_t i = 1; i < set.names.size(); ++i) {
      const std::vector<uint8_t>& bytes = set.cabinets.at(set.names[i]);
      Put(set.names[i], bytes);
      VolumeExpectation v;
      v.name = set.names[i];
      v.size = static_cast<int64_t>(bytes.size());
      v.sha256 = base::Sha256Of(bytes.data(), bytes.size());
      request.volumes.push_back(v);
    }
  }
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
    testsupport::WriteWholeFile(source + kSep + name, std::string(bytes.begin(), bytes.end()));
  }
  std::string Joined() const {
    std::string out;
    for (const char* part : {"files\\big.bin.001", "files\\big.bin.002", "files\\big.bin.003"})
      out.append(set.files.at(part).begin(), set.files.at(part).end());
    return out;
  }
  std::string Data(const std::string& entry) const {
    return std::string(set.files.at(entry).begin(), set.files.at(entry).end());
  }
};

TEST(CabinetSetExtract, InstallsTheWholeSetWithPartsJoined) {
  Installed g;
  Progress progress;
  const ExtractionResult result = ExtractCabinet(g.request, progress);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(cabtest::ListFiles(g.destination),
            (std::vector<std::string>{"a.dat", "big.bin", "c.dat", "d.dat", "e.dat"}));
  EXPECT_EQ(testsupport::ReadText(g.destination + kSep + "big.bin"), g.Joined());
  for (const char* name : {"a.dat", "c.dat", "d.dat", "e.dat"})
    EXPECT_EQ(testsupport::ReadText(g.destination + kSep + name), g.Data(std::string("files\\") + name)) << name;
  // One report per file: the joined file once, after its last part.
  EXPECT_EQ(progress.created.size(), 5u);
  EXPECT_EQ(progress.created[1], g.destination + kSep + "big.bin");
  EXPECT_EQ(result.totalBytes, 1200 + 4700 + 900 + 2300);
  EXPECT_EQ(progress.last_percent, 100);
  EXPECT_TRUE(progress.asked.empty());

  // The configuration's extraction never reads a volume (a damaged one goes
  // unnoticed), but counts the entries of them all.
  Installed config;
  config.request.prefix = "cfg\\";
  config.request.entriesInVolumes = false;
  std::vector<uint8_t> damaged = config.set.cabinets.at("Game-3.cab");
  damaged.back() ^= 1;
  config.Put("Game-3.cab", damaged);
  const ExtractionResult config_result = ExtractCabinet(config.request, progress);
  ASSERT_TRUE(config_result.ok()) << config_result.error;
  EXPECT_EQ(cabtest::ListFiles(config.destination), (std::vector<std::string>{"setup.xml"}));
  EXPECT_EQ(config_result.requiredSpace, 8 * 32768);
}

TEST(CabinetSetExtract, AFaultyVolumeIsNeverRead) {
  struct Case {
    const char* what;
    std::function<void(Installed&)> damage;
    std::string error;
    std::vector<std::string> kept;  // complete files before the faulty volume
  };
  const std::vector<Case> cases = {
      {"missing", [](Installed& g) { std::filesystem::remove(g.source + kSep + "Game-4.cab"); },
       "Setup volume 'Game-4.cab' is missing", {"a.dat", "big.bin", "c.dat", "d.dat"}},
      {"truncated",
       [](Installed& g) {
         std::vector<uint8_t> cut = g.set.cabinets.at("Game-2.cab");
         cut.resize(cut.size() - 10);
         g.Put("Game-2.cab", cut);
       },
       "Setup volume 'Game-2.cab' is of the wrong size (cut short or another file)", {"a.dat"}},
      {"swapped",
       [](Installed& g) {
         g.Put("Game-3.cab", g.set.cabinets.at("Game-4.cab"));
         g.Put("Game-4.cab", g.set.cabinets.at("Game-3.cab"));
       },
       "Setup volume 'Game-3.cab' is of the wrong size (cut short or another file)", {"a.dat"}},
      {"replaced, same size",
       [](Installed& g) {
         std::vector<uint8_t> four = g.set.cabinets.at("Game-4.cab");
         four.resize(g.set.cabinets.at("Game-3.cab").size(), 0);  // only the hash tells
         g.Put("Game-3.cab", four);
       },
       "Setup volume 'Game-3.cab' is damaged or replaced (its contents differ)", {"a.dat"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installed g;
    c.damage(g);
    Progress progress;
    const ExtractionResult result = ExtractCabinet(g.request, progress);
    EXPECT_TRUE(result.volumeFailed());
    EXPECT_EQ(result.error, c.error);
    // Only complete files are there and reported; the file that ran on into
    // the faulty volume was removed.
    EXPECT_EQ(cabtest::ListFiles(g.destination), c.kept);
    EXPECT_EQ(progress.created.size(), c.kept.size());
    EXPECT_EQ(progress.asked.size(), 1u);
    for (const std::string& name : cabtest::ListFiles(g.source))  // nothing written beside the installer
      EXPECT_TRUE(g.set.cabinets.count(name)) << name;
  }
}

TEST(CabinetSetExtract, RetryAfterTheVolumeIsPutInPlace) {
  Installed g;
  std::filesystem::remove(g.source + kSep + "Game-4.cab");
  Progress progress;
  progress.retry = [&](const std::string& volume) {
    g.Put(volume, g.set.cabinets.at(volume));
    return true;
  };
  const ExtractionResult result = ExtractCabinet(g.request, progress);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(progress.asked, (std::vector<std::string>{"Game-4.cab"}));
  EXPECT_EQ(testsupport::ReadText(g.destination + kSep + "e.dat"), g.Data("files\\e.dat"));
  EXPECT_EQ(progress.created.size(), 5u);

}

// The volumes are checked several at once, whatever order the threads end
// in: each verdict is the one its own volume earns, and asking again checks
// again (the player may have put the volume right meanwhile).
TEST(CabinetSetExtract, VolumesCheckedAtOnceEachGetTheirOwnVerdict) {
  for (unsigned threads : {1u, 2u, 4u}) {
    SCOPED_TRACE(threads);
    Installed g;
    std::filesystem::remove(g.source + kSep + "Game-2.cab");
    std::vector<uint8_t> three = g.set.cabinets.at("Game-3.cab");
    three[three.size() / 2] ^= 1;
    g.Put("Game-3.cab", three);
    VolumeChecker checker(g.source + kSep, g.request.volumes, threads);
    checker.Start();
    EXPECT_EQ(checker.Check("Game-4.cab"), VolumeFault::kNone);
    EXPECT_EQ(checker.Check("Game-3.cab"), VolumeFault::kWrongContents);
    EXPECT_EQ(checker.Check("Game-2.cab"), VolumeFault::kMissing);
    EXPECT_EQ(checker.Check("Game-5.cab"), VolumeFault::kNotListed);
    g.Put("Game-2.cab", g.set.cabinets.at("Game-2.cab"));
    EXPECT_EQ(checker.Check("Game-2.cab"), VolumeFault::kNone);
  }
}

// A set from the cabinet writer with small folders, volumes and parts, so
// that folders run on into the next volume and a file in parts spans three:
// decoded several folders at once it installs as one pass does, with the
// same files, reports and questions, a missing volume included.
TEST(CabinetSetExtract, FoldersDecodedAtOnceInstallAsOnePass) {
  testsupport::ScratchDir dir;
  const std::string source = dir.path() + kSep + "set";
  std::filesystem::create_directories(source);
  cab::CabWriter w;
  w.SetPartSize(72000);
  w.SetFolderSize(32000);
  cab::CabFolderOptions o;
  o.compression = cab::CabCompression::kLzx;
  o.lzx_window_bits = 15;
  o.lzx_level = 1;
  w.StartFolder(o);
  w.AddFileData("cfg\\setup.xml", std::vector<uint8_t>(300, 'x'), 0x5021, 0x6000, 0x20);
  const size_t sizes[] = {9600, 24000, 200000, 7200, 0, 18400, 56000, 24000, 4000, 32800};
  for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
    std::vector<uint8_t> data(sizes[i]);
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u + 1;  // noise: the cabinets as large as the files
    for (uint8_t& b : data) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    const std::string path = dir.path() + kSep + "f" + std::to_string(i) + ".dat";
    testsupport::WriteWholeFile(path, std::string(data.begin(), data.end()));
    ASSERT_TRUE(w.AddFile("files\\f" + std::to_string(i) + ".dat", path, 0x5021, 0x6000, 0x20)) << w.error();
  }
  cab::CabSetLayout layout;
  layout.first_cabinet_bytes = 80000;
  layout.cabinet_bytes = 64000;
  layout.first_cabinet_files = 1;
  layout.set_id = 7;
  layout.name = [](size_t i) { return i == 0 ? std::string("Game.cab") : "Game-" + std::to_string(i + 1) + ".cab"; };
  layout.path = [&](size_t i) { return source + kSep + layout.name(i); };
  layout.scratch_path = dir.path() + kSep + "scratch";
  std::vector<cab::CabSetCabinet> cabinets;
  ASSERT_TRUE(w.WriteSet(layout, &cabinets)) << w.error();
  ASSERT_GE(cabinets.size(), 6u);
  ExtractionRequest request;
  request.cabinetPath = cabinets[0].path;
  request.prefix = "files\\";
  for (const cab::CabJoinedFile& j : w.joined_files()) request.joinedFiles.push_back({j.name, j.parts});
  ASSERT_EQ(request.joinedFiles.size(), 1u);
  for (size_t i = 1; i < cabinets.size(); ++i)
    request.volumes.push_back({layout.name(i), static_cast<int64_t>(cabinets[i].size), cabinets[i].sha256});
  const std::string damaged = layout.name(cabinets.size() / 2);
  std::vector<uint8_t> kept;
  ASSERT_TRUE(testsupport::ReadWholeFile(source + kSep + damaged, &kept));
  std::string flipped(kept.begin(), kept.end());
  flipped[flipped.size() / 2] ^= 1;

  struct Recorder : ExtractionProgress {
    void FileStarted(const std::string& name) override { events.push_back("start " + name); }
    void FileCreated(const std::string& path) override { events.push_back("created " + path.substr(root.size())); }
    void OverallPercent(int32_t percent) override { last = percent; }
    bool RetryVolume(const std::string& volume) override {
      events.push_back("asked " + volume);
      if (!put_back) return false;
      testsupport::WriteWholeFile(folder + kSep + volume, std::string(kept->begin(), kept->end()));
      return true;
    }
    std::string root, folder;
    const std::vector<uint8_t>* kept = nullptr;
    bool put_back = false;
    std::vector<std::string> events;
    int32_t last = -1;
  };
  struct Case {
    const char* what;
    bool damage, put_back;
  };
  // Damaged, not missing: a set counts whole (and is planned) when every
  // volume has its size.
  for (const Case& c : {Case{"intact", false, false}, Case{"damaged, put back", true, true},
                        Case{"damaged, cancelled", true, false}}) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> events[2], files[2];
    ExtractionResult results[2];
    for (int run = 0; run < 2; ++run) {
      testsupport::WriteWholeFile(source + kSep + damaged, c.damage ? flipped : std::string(kept.begin(), kept.end()));
      ExtractionRequest r = request;
      r.decodeThreads = run == 0 ? 1 : 3;
      r.destination = dir.path() + kSep + c.what + std::to_string(run) + kSep;
      Recorder progress;
      progress.root = r.destination;
      progress.folder = source;
      progress.kept = &kept;
      progress.put_back = c.put_back;
      results[run] = ExtractCabinet(r, progress);
      events[run] = progress.events;
      files[run] = cabtest::ListFiles(r.destination);
      if (results[run].ok()) {
        EXPECT_EQ(progress.last, 100);
      }
    }
    EXPECT_EQ(results[0].parallelPasses, 0u);
    EXPECT_GT(results[1].parallelPasses, 3u);
    EXPECT_EQ(results[1].failure, results[0].failure);
    EXPECT_EQ(results[1].error, results[0].error);
    EXPECT_EQ(events[1], events[0]);
    EXPECT_EQ(files[1], files[0]);
    if (!c.damage || c.put_back) {
      EXPECT_TRUE(results[1].ok()) << results[1].error;
      EXPECT_EQ(files[1].size(), 10u);
    } else {
      EXPECT_TRUE(results[1].volumeFailed());
    }
  }
}

TEST(CabinetSetExtract, PercentagesOfHugeInstalls) {
  struct Case {
    int64_t done, total;
    int32_t percent;
  };
  const Case cases[] = {
      {0, 0, 0},
      {1, 60 * kGB, 0},
      {30 * kGB, 60 * kGB, 50},
      {45 * kGB, 60 * kGB, 75},
      {60 * kGB - 1, 60 * kGB, 99},
      {60 * kGB, 60 * kGB, 100},
      {61 * kGB, 60 * kGB, 100},
      {INT64_MAX / 2, INT64_MAX, 50},
      {INT64_MAX - 1, INT64_MAX, 99},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << " of " << c.total;
  // A 60 GB file's percentages step evenly: 1 % every 614 MB.
  for (int64_t p = 0; p < 100; ++p) EXPECT_EQ(ProgressPercent((60 * kGB * p + 99) / 100, 60 * kGB), p);
}

}  // namespace
