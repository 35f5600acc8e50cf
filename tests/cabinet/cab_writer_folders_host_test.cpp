// Folders compressed several at once: the same bytes whatever the thread
// count, as one cabinet and as a set, every folder bounded, read back by
// cabextract; a failing folder is reported in folder order, whichever
// compressor failed first.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "support/run_command_host.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using cab::CabCompression;

std::string Content(size_t size, unsigned seed) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = (i / 3000) % 2 ? static_cast<char>(x >> 24) : "folders of a game "[(i + seed) % 18];
  }
  return s;
}

struct Case {
  const char* what;
  CabCompression compression;
  uint64_t folder_size;
  std::vector<size_t> sizes;
  size_t folders;  // as the rule gives them
  uint64_t volume;  // 0: one cabinet
};

// Writes the case with `threads`; the cabinet's (or set's) bytes, joined.
std::vector<uint8_t> WriteCase(const Case& c, unsigned threads, const std::string& dir, std::string* error) {
  cab::CabWriter w;
  cab::CabFolderOptions o;
  o.compression = c.compression;
  o.lzx_window_bits = 16;
  o.lzx_level = 1;
  w.StartFolder(o);
  w.SetFolderSize(c.folder_size);
  w.SetThreads(threads);
  for (size_t i = 0; i < c.sizes.size(); ++i)
    EXPECT_TRUE(w.AddFile("files\\f" + std::to_string(i), dir + "/in/f" + std::to_string(i), 0x5021, 0x6000, 0x20));
  std::vector<uint8_t> all, bytes;
  if (c.volume == 0) {
    if (!w.WriteToFile(dir + "/Game.exe")) *error = w.error();
    testsupport::ReadWholeFile(dir + "/Game.exe", &all);
    return all;
  }
  cab::CabSetLayout layout;
  layout.first_cabinet_bytes = layout.cabinet_bytes = c.volume;
  layout.name = [](size_t i) { return i == 0 ? std::string("Game.exe") : "Game-" + std::to_string(i + 1) + ".cab"; };
  layout.path = [&](size_t i) { return dir + "/" + layout.name(i); };
  layout.scratch_path = dir + "/scratch";
  std::vector<cab::CabSetCabinet> cabinets;
  if (!w.WriteSet(layout, &cabinets)) *error = w.error();
  for (const cab::CabSetCabinet& k : cabinets) {
    testsupport::ReadWholeFile(k.path, &bytes);
    all.insert(all.end(), bytes.begin(), bytes.end());
  }
  return all;
}

TEST(CabWriterFolders, SameBytesWhateverTheThreadsAndEveryFolderReadsBack) {
  const bool cabextract = std::system("command -v cabextract >/dev/null 2>&1") == 0;
  const std::vector<Case> cases = {
      // 100K folders: {f0 f1} {f2 f3 f4} {f5} {f6, larger than a folder} {f7}
      {"lzx", CabCompression::kLzx, 100000, {40000, 60000, 90000, 0, 5, 30000, 250000, 1}, 5, 0},
      {"mszip, a folder per file", CabCompression::kMszip, 32768, {70000, 70000, 70000, 70000, 3}, 5, 0},
      {"stored set, folders across volumes", CabCompression::kStored, 65536,
       {50000, 50000, 50000, 200000, 7, 90000}, 6, 120000},
      {"lzx set", CabCompression::kLzx, 65536, {60000, 60000, 60000, 60000, 60000, 60000}, 6, 150000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScratchDir dir;
    fs::create_directories(dir.file("in"));
    for (size_t i = 0; i < c.sizes.size(); ++i)
      testsupport::WriteWholeFile(dir.file("in/f" + std::to_string(i)), Content(c.sizes[i], static_cast<unsigned>(i)));
    std::string error;
    const std::vector<uint8_t> one = WriteCase(c, 1, dir.path(), &error);
    ASSERT_TRUE(error.empty()) << error;
    if (c.volume == 0) {
      ASSERT_GT(one.size(), 28u);
      EXPECT_EQ(one[26] | (one[27] << 8), static_cast<int>(c.folders));  // CFHEADER cFolders
    }
    for (unsigned threads : {2u, 3u, 8u}) {
      EXPECT_TRUE(WriteCase(c, threads, dir.path(), &error) == one) << threads << " threads";
      EXPECT_TRUE(error.empty()) << error;
    }
    if (!cabextract) continue;
    std::string out;
    ASSERT_EQ(testsupport::RunCommand("cd " + dir.path() + " && cabextract -q -d x Game.exe", &out), 0) << out;
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
    for (size_t i = 0; i < c.sizes.size(); ++i)
      EXPECT_EQ(testsupport::ReadText(dir.file("x/files/f" + std::to_string(i))), Content(c.sizes[i], static_cast<unsigned>(i))) << i;
  }
}

TEST(CabWriterFolders, TheFirstFailingFolderIsReported) {
  // f2 and f5 vanish before writing; each run names f2's source, the first
  // folder that fails, however the compressors race.
  const Case c{"lzx", CabCompression::kLzx, 40000, {30000, 30000, 30000, 30000, 30000, 30000}, 6, 0};
  testsupport::ScratchDir dir;
  fs::create_directories(dir.file("in"));
  for (size_t i = 0; i < c.sizes.size(); ++i)
    testsupport::WriteWholeFile(dir.file("in/f" + std::to_string(i)), Content(c.sizes[i], static_cast<unsigned>(i)));
  for (unsigned threads : {1u, 2u, 3u, 6u}) {
    cab::CabWriter w;
    w.SetFolderSize(c.folder_size);
    w.SetThreads(threads);
    for (size_t i = 0; i < c.sizes.size(); ++i)
      ASSERT_TRUE(w.AddFile("files\\f" + std::to_string(i), dir.file("in/f" + std::to_string(i)), 0, 0, 0));
    fs::rename(dir.file("in/f2"), dir.file("in/g2"));
    fs::rename(dir.file("in/f5"), dir.file("in/g5"));
    EXPECT_FALSE(w.WriteToFile(dir.file("Game.cab")));
    EXPECT_EQ(w.error(), "Failed to read file '" + dir.file("in/f2") + "'") << threads;
    fs::rename(dir.file("in/g2"), dir.file("in/f2"));
    fs::rename(dir.file("in/g5"), dir.file("in/f5"));
  }
}

}  // namespace
