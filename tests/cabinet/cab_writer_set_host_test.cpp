// Sets of cabinets from the writer, read by an independent reader
// (cabextract follows the previous/next names and continued folders): small
// cabinet and part sizes so that each case cuts many times, folders of every
// kind, cuts that fall inside a file, at a file's end and between folders.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "support/run_command_host.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using cab::CabCompression;

// Half text-like, half noise, so that every compression has work to do.
std::string Content(size_t size, unsigned seed) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = (i / 4096) % 2 ? static_cast<char>(x >> 24) : "the quick brown fox "[(i + seed) % 20];
  }
  return s;
}

struct SetCase {
  const char* what;
  CabCompression compression;
  uint64_t first_bytes, cabinet_bytes, part_size;
  std::vector<size_t> sizes;  // files\f<i>.bin, in order
};

struct Written {
  std::vector<cab::CabSetCabinet> cabinets;
  std::vector<cab::CabJoinedFile> joined;
};

Written WriteSet(const SetCase& c, const std::string& dir, bool* ok, std::string* error) {
  cab::CabWriter w;
  w.SetPartSize(c.part_size);
  cab::CabFolderOptions o;
  o.compression = c.compression;
  o.lzx_window_bits = 16;
  o.lzx_level = 1;
  w.StartFolder(o);
  for (size_t i = 0; i < c.sizes.size(); ++i) {
    const std::string path = dir + "/in/f" + std::to_string(i) + ".bin";
    testsupport::WriteWholeFile(path, Content(c.sizes[i], static_cast<unsigned>(i)));
    *ok = w.AddFile("files\\f" + std::to_string(i) + ".bin", path, 0x5021, 0x6000, 0x20);
    if (!*ok) {
      *error = w.error();
      return {};
    }
  }
  cab::CabSetLayout layout;
  layout.first_cabinet_bytes = c.first_bytes;
  layout.cabinet_bytes = c.cabinet_bytes;
  layout.first_cabinet_files = 1;
  layout.set_id = 0x1234;
  layout.name = [](size_t i) { return i == 0 ? std::string("Game.exe") : "Game-" + std::to_string(i + 1) + ".cab"; };
  layout.path = [&](size_t i) { return dir + "/" + layout.name(i); };
  layout.scratch_path = dir + "/scratch";
  Written out;
  *ok = w.WriteSet(layout, &out.cabinets);
  *error = w.error();
  out.joined = w.joined_files();
  return out;
}

TEST(CabWriterSet, CabextractTestsAndExtractsEverySetWithPartsJoined) {
  if (std::system("command -v cabextract >/dev/null 2>&1") != 0) GTEST_SKIP() << "cabextract is not installed";
  const std::vector<SetCase> cases = {
      {"stored, a file in parts and cuts inside files", CabCompression::kStored, 50000, 80000, 100000,
       {1000, 250001, 7, 40000, 0, 300000}},
      {"mszip", CabCompression::kMszip, 60000, 90000, 200000, {3000, 420000, 12345, 180000}},
      {"lzx", CabCompression::kLzx, 60000, 70000, 150000, {5000, 500000, 1, 260000, 0}},
      // Files of whole blocks: most cuts fall where a file ends.
      {"stored, block-sized files", CabCompression::kStored, 70000, 100000, 1 << 20,
       {32768, 65536, 32768, 0, 98304, 32768, 131072, 0}},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScratchDir dir;
    fs::create_directories(dir.file("in"));
    bool ok = false;
    std::string error;
    Written set = WriteSet(c, dir.path(), &ok, &error);
    ASSERT_TRUE(ok) << error;
    ASSERT_GT(set.cabinets.size(), 2u);
    EXPECT_FALSE(fs::exists(dir.file("scratch")));
    for (size_t i = 0; i < set.cabinets.size(); ++i) {
      std::vector<uint8_t> bytes;
      ASSERT_TRUE(testsupport::ReadWholeFile(set.cabinets[i].path, &bytes));

      EXPECT_EQ(bytes.size(), set.cabinets[i].size);
      EXPECT_LE(bytes.size(), i == 0 ? c.first_bytes : c.cabinet_bytes) << i;
      EXPECT_EQ(set.cabinets[i].sha256, base::Sha256Of(bytes.data(), bytes.size())) << i;
    }
    std::string out;
    EXPECT_EQ(testsupport::RunCommand("cabextract -t " + dir.file("Game.exe"), &out), 0) << out;
    EXPECT_NE(out.find("All done, no errors"), std::string::npos) << out;
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
    ASSERT_EQ(testsupport::RunCommand("cd " + dir.path() + " && cabextract -q -d x Game.exe", &out), 0) << out;
    size_t parted = 0;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      const std::string name = "f" + std::to_string(i) + ".bin";
      if (c.sizes[i] > c.part_size) {
        ASSERT_LT(parted, set.joined.size());
        EXPECT_EQ(set.joined[parted++].name, "files\\" + name);
        ASSERT_EQ(testsupport::RunCommand("cd " + dir.file("x/files") + " && cat " + name + ".* > " + name, &out), 0) << out;
      }
      std::vector<uint8_t> back;
      ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("x/files/" + name), &back)) << name;
      const std::string want = Content(c.sizes[i], static_cast<unsigned>(i));
      EXPECT_TRUE(back == std::vector<uint8_t>(want.begin(), want.end())) << name;
    }
    EXPECT_EQ(parted, set.joined.size());
  }
}

TEST(CabWriterSet, OneCabinetIsWhatWriteGivesAndSetsRepeatByteForByte) {
  testsupport::ScratchDir dir;
  fs::create_directories(dir.file("in"));
  bool ok = false;
  std::string error;
  const SetCase one{"one", CabCompression::kLzx, 1 << 20, 1 << 20, 1 << 20, {5000, 70000, 0, 3}};
  Written set = WriteSet(one, dir.path(), &ok, &error);
  ASSERT_TRUE(ok) << error;
  ASSERT_EQ(set.cabinets.size(), 1u);
  cab::CabWriter w;
  cab::CabFolderOptions o;
  o.lzx_window_bits = 16;
  o.lzx_level = 1;
  w.StartFolder(o);
  for (size_t i = 0; i < one.sizes.size(); ++i)
    w.AddFile("files\\f" + std::to_string(i) + ".bin", dir.file("in/f" + std::to_string(i) + ".bin"), 0x5021, 0x6000,
              0x20);
  ASSERT_TRUE(w.WriteToFile(dir.file("single.cab")));
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("single.cab"), &a));
  ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("Game.exe"), &b));
  EXPECT_TRUE(a == b);

  const SetCase many{"many", CabCompression::kLzx, 60000, 70000, 150000, {5000, 300000, 1}};
  Written first = WriteSet(many, dir.path(), &ok, &error);
  ASSERT_TRUE(ok) << error;
  Written again = WriteSet(many, dir.path(), &ok, &error);
  ASSERT_TRUE(ok) << error;
  ASSERT_EQ(first.cabinets.size(), again.cabinets.size());
  for (size_t i = 0; i < first.cabinets.size(); ++i) EXPECT_EQ(first.cabinets[i].sha256, again.cabinets[i].sha256);
}

// A stored set is planned and written in one pass, an LZX one through the
// scratch file; either way the cabinets are the bytes the scratch-file
// writer gave (their SHA-256 as it wrote them), and cabinet 0 goes to a
// stream behind what is there already.
TEST(CabWriterSet, CabinetsInPlaceAreTheScratchWritersBytes) {
  struct Case {
    SetCase set;
    std::vector<const char*> sha256;  // of each cabinet
  };
  const std::vector<Case> cases = {
      {{"stored, a file in parts and cuts inside files", CabCompression::kStored, 50000, 80000, 100000,
        {1000, 250001, 7, 40000, 0, 300000}},
       {
        "cac63021d4ac14425f679ac403e975b3b6b17b2429ac54944c37a7c0cfda8a61",
        "a68b5a4df4f5c8c943d5d965d6b6d66c3c7bb6d3a186313ab364f9a56761caa7",
        "35c5337f1ef6abce2101093e34af8a1a05100adec2f2f0c1e9ea98820dab25f3",
        "b8654e8354e94eae85cec2d4f1a5fa4aea065cbe8e45cdcb024816ce271f663a",
        "ccbe379a0d370c122f61e988a9799eb048e4972df6798d85ea7756618ebfca1a",
        "1607c9fbb1b7372f0e990a3e091a60a567717d7bfe09c22b7ae5013d7df1e6ca",
        "9ec40f1811bea52c98ee3db9d78c42d5a982dd0f40bee58689ebd898f1140739",
        "78dfecc6aa99805e1b7432a16417e88254810a02554341c27a198a7245df4dcc",
       }},
      {{"stored, block-sized files", CabCompression::kStored, 70000, 100000, 1 << 20,
        {32768, 65536, 32768, 0, 98304, 32768, 131072, 0}},
       {
        "0450287829afc4f1c769f1e626d1ddc866919fa266a27e7689d17396440f707a",
        "5a1649a34af6d0e712943b9cb2cb3fd62801842d7aecd19d1fb9790c3a43e2fc",
        "73cb9169b9a2c90faf26443a546b203805329459ffd4e3de62e2fc403302d7be",
        "09349fd5ebfda308af63d3c21e8c9f64110fccc284f4c45ab9d7879f70ef68e6",
        "8963ad5d1cf0cb402483d0932e81a41c623f1b68b8aac2723c74b66ce2c82a79",
       }},
      {{"stored, one cabinet", CabCompression::kStored, 1 << 20, 1 << 20, 1 << 20, {5000, 70000, 0, 3}},
       {"449d851855949817688cc49b64134491b15756e7ba2d2c9d35d6373fd950e35c"}},
      // Its bytes are the compressor's to change: the stream's are the file's.
      {{"lzx", CabCompression::kLzx, 60000, 70000, 150000, {5000, 500000, 1, 260000, 0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set.what);
    testsupport::ScratchDir dir;
    fs::create_directories(dir.file("in"));
    bool ok = false;
    std::string error;
    Written set = WriteSet(c.set, dir.path(), &ok, &error);
    ASSERT_TRUE(ok) << error;
    if (!c.sha256.empty()) {
      ASSERT_EQ(set.cabinets.size(), c.sha256.size());
    }
    for (size_t i = 0; i < c.sha256.size(); ++i) EXPECT_EQ(base::Sha256Hex(set.cabinets[i].sha256), c.sha256[i]) << i;

    // Again, cabinet 0 behind a program; a stored set has no use for the
    // scratch file (its folder does not exist).
    cab::CabWriter w;
    w.SetPartSize(c.set.part_size);
    cab::CabFolderOptions o;
    o.compression = c.set.compression;
    o.lzx_window_bits = 16;
    o.lzx_level = 1;
    w.StartFolder(o);
    for (size_t i = 0; i < c.set.sizes.size(); ++i)
      ASSERT_TRUE(w.AddFile("files\\f" + std::to_string(i) + ".bin", dir.file("in/f" + std::to_string(i) + ".bin"),
                            0x5021, 0x6000, 0x20));
    const std::string program(777, 'P');
    std::ofstream exe(dir.file("Setup.exe"), std::ios::binary);
    exe << program;
    cab::CabSetLayout layout;
    layout.first_cabinet_bytes = c.set.first_bytes;
    layout.cabinet_bytes = c.set.cabinet_bytes;
    layout.first_cabinet_files = 1;
    layout.set_id = 0x1234;
    layout.name = [](size_t i) { return i == 0 ? std::string("Game.exe") : "Game-" + std::to_string(i + 1) + ".cab"; };
    layout.path = [&](size_t i) { return dir.file("again-" + std::to_string(i)); };
    layout.first_cabinet_stream = &exe;
    layout.scratch_path = dir.file(c.set.compression == CabCompression::kStored ? "none/scratch" : "scratch");
    std::vector<cab::CabSetCabinet> again;
    ASSERT_TRUE(w.WriteSet(layout, &again)) << w.error();
    exe.close();
    ASSERT_EQ(again.size(), set.cabinets.size());
    EXPECT_EQ(again[0].path, "");
    std::vector<uint8_t> bytes, first;
    ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("Setup.exe"), &bytes));
    ASSERT_TRUE(testsupport::ReadWholeFile(set.cabinets[0].path, &first));
    EXPECT_TRUE(std::equal(program.begin(), program.end(), bytes.begin()));
    EXPECT_TRUE(std::vector<uint8_t>(bytes.begin() + program.size(), bytes.end()) == first);
    EXPECT_EQ(again[0].sha256, base::Sha256Digest{});
    for (size_t i = 0; i < again.size(); ++i) {
      if (i > 0) {
        EXPECT_EQ(again[i].sha256, set.cabinets[i].sha256) << i;
      }
      EXPECT_EQ(again[i].size, set.cabinets[i].size) << i;
    }
  }
}

TEST(CabWriterSet, FailuresAreNamedAndLeaveNoFile) {
  struct Case {
    SetCase set;
    size_t max_cabinets;
    cab::CabSetError error;
  };
  const std::vector<Case> cases = {
      {{"chain too long", CabCompression::kStored, 50000, 50000, 1 << 20, {1000, 400000}}, 4,
       cab::CabSetError::kTooManyCabinets},
      {{"first file larger than the first cabinet", CabCompression::kStored, 50000, 1 << 20, 1 << 20, {80000, 10}},
       65536, cab::CabSetError::kFirstCabinetTooSmall},
      {{"cabinet smaller than a block", CabCompression::kStored, 50000, 20000, 1 << 20, {1000, 100000}}, 65536,
       cab::CabSetError::kBlockTooLarge},
  };
  for (const Case& c : cases) {
    testsupport::ScratchDir dir;
    fs::create_directories(dir.file("in"));
    cab::CabWriter w;
    w.StartFolder(cab::CabFolderOptions{CabCompression::kStored});
    for (size_t i = 0; i < c.set.sizes.size(); ++i) {
      const std::string path = dir.file("in/f" + std::to_string(i));
      testsupport::WriteWholeFile(path, Content(c.set.sizes[i], 1));
      ASSERT_TRUE(w.AddFile("f" + std::to_string(i), path, 0, 0, 0));
    }
    cab::CabSetLayout layout;
    layout.first_cabinet_bytes = c.set.first_bytes;
    layout.cabinet_bytes = c.set.cabinet_bytes;
    layout.first_cabinet_files = 1;
    layout.max_cabinets = c.max_cabinets;
    layout.name = [](size_t i) { return "c" + std::to_string(i); };
    layout.path = [&](size_t i) { return dir.file("c" + std::to_string(i)); };
    layout.scratch_path = dir.file("scratch");
    std::vector<cab::CabSetCabinet> cabinets;
    EXPECT_FALSE(w.WriteSet(layout, &cabinets)) << c.set.what;
    EXPECT_EQ(w.set_error(), c.error) << c.set.what << ": " << w.error();
    EXPECT_TRUE(cabinets.empty());
    size_t left = 0;
    for (auto& e : fs::directory_iterator(dir.path())) left += e.path().filename() != "in";
    EXPECT_EQ(left, 0u) << c.set.what;
  }
}

}  // namespace
