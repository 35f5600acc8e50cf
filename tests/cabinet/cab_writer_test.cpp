// The cabinet writer, read back by the project's own cabinet engine through
// its published interface: every compression method and LZX window, many
// files and folders, empty files, names, dates and attributes, the header's
// fields, streaming from files, and the writer's refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cabinet/cab_format.h"
#include "cabinet/cab_writer.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_test_builder.h"
#include "tests/cabinet/cab_writer_test_data.h"
#include "tests/cabinet/encoder_test_data.h"

namespace {

using cab::CabCompression;
using cab::CabFolderOptions;
using cab::CabWriter;
using writertest::Added;
using writertest::FillManyFolders;
using writertest::Folder;
using writertest::Get16;
using writertest::Get32;
using writertest::ToBytes;
using writertest::WriteToBytes;

TEST(CabWriter, EngineReadsEveryFolderKindBackExactly) {
  CabWriter w;
  std::vector<Added> added = FillManyFolders(w);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(WriteToBytes(w, &bytes)) << w.error();
  cabtest::EngineRun run = cabtest::RunEngine(bytes);
  ASSERT_TRUE(run.ok) << "engine error " << run.error.code;
  ASSERT_EQ(run.files.size(), added.size());
  ASSERT_EQ(run.copy_order.size(), added.size());
  for (size_t i = 0; i < added.size(); ++i) {
    const Added& a = added[i];
    SCOPED_TRACE(a.name);
    EXPECT_EQ(run.copy_order[i], a.name) << "entries keep the order they were added in";
    EXPECT_TRUE(run.files[a.name] == a.data);
    const fdi::Notification& n = run.closed.at(a.name);
    EXPECT_EQ(n.date, a.date);
    EXPECT_EQ(n.time, a.time);
    EXPECT_EQ(n.attribs, a.attributes);
  }
  EXPECT_GT(w.lzx_stats().frames, 0u);
}

TEST(CabWriter, HeaderFoldersAndDataBlocksFollowTheFormat) {
  CabWriter w;
  w.SetSetId(0x1234);
  std::vector<Added> added = FillManyFolders(w);
  std::vector<uint8_t> v;
  ASSERT_TRUE(WriteToBytes(w, &v)) << w.error();
  ASSERT_GE(v.size(), cab::kHeaderSize);
  EXPECT_EQ(std::string(v.begin(), v.begin() + 4), "MSCF");
  EXPECT_EQ(Get32(v, 8), v.size()) << "cbCabinet";
  const uint16_t folders = Get16(v, 26), files = Get16(v, 28);
  EXPECT_EQ(folders, 9);
  EXPECT_EQ(files, added.size());
  EXPECT_EQ(Get32(v, 16), cab::kHeaderSize + cab::kFolderSize * folders) << "coffFiles";
  EXPECT_EQ(Get16(v, 24), cab::kVersion);
  EXPECT_EQ(Get16(v, 30), 0) << "flags";
  EXPECT_EQ(Get16(v, 32), 0x1234) << "setID";
  const uint16_t expected_types[] = {cab::kCompressNone, cab::kCompressMszip, cab::MakeLzxType(15),
                                     cab::MakeLzxType(16), cab::MakeLzxType(17), cab::MakeLzxType(18),
                                     cab::MakeLzxType(19), cab::MakeLzxType(20), cab::MakeLzxType(21)};
  size_t expected_data = Get32(v, 16);
  for (const Added& a : added) expected_data += cab::kFileEntrySize + a.name.size() + 1;
  for (uint16_t f = 0; f < folders; ++f) {
    SCOPED_TRACE("folder " + std::to_string(f));
    const size_t at = cab::kHeaderSize + cab::kFolderSize * f;
    EXPECT_EQ(Get16(v, at + 6), expected_types[f]);
    // The folder's data blocks follow each other; every block but the last
    // holds exactly 32768 bytes.
    size_t block = Get32(v, at);
    EXPECT_EQ(block, expected_data);
    const uint16_t count = Get16(v, at + 4);
    uint64_t folder_bytes = 0;
    for (uint16_t b = 0; b < count; ++b) {
      ASSERT_LE(block + cab::kDataHeaderSize, v.size());
      const uint16_t packed = Get16(v, block + 4), unpacked = Get16(v, block + 6);
      if (b + 1 < count) {
        EXPECT_EQ(unpacked, 32768);
      }
      EXPECT_LE(packed, cab::kMaxBlockCompressed);
      folder_bytes += unpacked;
      block += cab::kDataHeaderSize + packed;
    }
    uint64_t added_bytes = 0;
    for (size_t i = 0; i < 6; ++i) added_bytes += added[f * 6 + i].data.size();
    EXPECT_EQ(folder_bytes, added_bytes);
    expected_data = block;
  }
  EXPECT_EQ(expected_data, v.size());
}

TEST(CabWriter, SameInputsGiveSameBytes) {
  std::vector<uint8_t> first, second;
  {
    CabWriter w;
    FillManyFolders(w);
    ASSERT_TRUE(WriteToBytes(w, &first));
  }
  {
    CabWriter w;
    FillManyFolders(w);
    ASSERT_TRUE(WriteToBytes(w, &second));
  }
  EXPECT_TRUE(first == second);
}

TEST(CabWriter, StreamsSourceFilesAndNoticesChangedOnes) {
  testsupport::ScratchDir dir;
  std::vector<uint8_t> big = enctest::Mixed(90000, 3);  // several blocks
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("big.bin"), big.data(), big.size()));
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("empty.bin"), "", 0));
  CabWriter w;
  std::vector<uint64_t> progress;
  w.SetProgress([&](uint64_t done, uint64_t total) {
    EXPECT_EQ(total, big.size());
    progress.push_back(done);
  });
  ASSERT_TRUE(w.AddFile("files\\big.bin", dir.file("big.bin"), 0, 0, 0x20)) << w.error();
  ASSERT_TRUE(w.AddFile("files\\empty.bin", dir.file("empty.bin"), 0, 0, 0x20)) << w.error();
  ASSERT_TRUE(w.WriteToFile(dir.file("out.cab"))) << w.error();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), big.size());
  std::vector<uint8_t> cabinet;
  ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("out.cab"), &cabinet));
  cabtest::EngineRun run = cabtest::RunEngine(cabinet);
  ASSERT_TRUE(run.ok);
  EXPECT_TRUE(run.files["files\\big.bin"] == big);
  EXPECT_TRUE(run.files["files\\empty.bin"].empty());

  // A source that grows or shrinks after it was added fails the write.
  for (size_t new_size : {big.size() + 1, big.size() - 1}) {
    CabWriter changed;
    ASSERT_TRUE(changed.AddFile("files\\big.bin", dir.file("big.bin"), 0, 0, 0));
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("big.bin"), big.data(), new_size));
    EXPECT_FALSE(changed.WriteToFile(dir.file("bad.cab")));
    EXPECT_NE(changed.error().find("changed"), std::string::npos) << changed.error();
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("big.bin"), big.data(), big.size()));
  }
  CabWriter missing;
  EXPECT_FALSE(missing.AddFile("x", dir.file("no-such-file"), 0, 0, 0));
}

TEST(CabWriter, RefusesUnsafeOrDuplicateNames) {
  const std::string longest(255, 'n');
  struct Case {
    std::string name;
    bool ok;
  };
  const Case cases[] = {
      {"files\\data\\level1.map", true},
      {longest, true},
      {"cfg\\install.xml", true},
      {"", false},
      {longest + "n", false},
      {"\\absolute.txt", false},
      {"trailing\\", false},
      {"double\\\\slash", false},
      {"files\\..\\escape.txt", false},
      {"..", false},
      {"files\\.\\x", false},
      {"forward/slash", false},
      {"c:drive.txt", false},
      {"star*.txt", false},
      {std::string("tab\tname"), false},
  };
  for (const Case& c : cases) {
    CabWriter w;
    EXPECT_EQ(w.AddFileData(c.name, {1, 2, 3}, 0, 0, 0), c.ok) << "'" << c.name << "': " << w.error();
  }
  CabWriter w;
  ASSERT_TRUE(w.AddFileData("files\\Game.exe", {1}, 0, 0, 0));
  EXPECT_FALSE(w.AddFileData("FILES\\game.EXE", {2}, 0, 0, 0)) << "names differing in case only";
  EXPECT_EQ(w.file_count(), 1u);
}

TEST(CabWriter, FoldersWithoutFilesAreDroppedAndBadOptionsRefused) {
  CabWriter w;
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(WriteToBytes(w, &bytes)) << "a cabinet without files";
  EXPECT_FALSE(w.StartFolder(Folder(CabCompression::kLzx, 14)));
  EXPECT_FALSE(w.StartFolder(Folder(CabCompression::kLzx, 22)));
  EXPECT_FALSE(w.StartFolder(Folder(CabCompression::kLzx, 21, 9)));
  ASSERT_TRUE(w.StartFolder(Folder(CabCompression::kMszip)));
  ASSERT_TRUE(w.StartFolder(Folder(CabCompression::kStored)));  // the empty MSZIP folder is replaced
  ASSERT_TRUE(w.AddFileData("a.txt", ToBytes("aaaa"), 0, 0, 0));
  ASSERT_TRUE(w.StartFolder(Folder(CabCompression::kLzx)));     // stays empty
  ASSERT_TRUE(WriteToBytes(w, &bytes)) << w.error();
  EXPECT_EQ(Get16(bytes, 26), 1) << "one folder";
  EXPECT_EQ(Get16(bytes, cab::kHeaderSize + 6), cab::kCompressNone);
  cabtest::EngineRun run = cabtest::RunEngine(bytes);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.files["a.txt"], ToBytes("aaaa"));
}

TEST(CabWriter, FilesWithoutAFolderGetTheDefaultLzxFolder) {
  CabWriter w;
  ASSERT_TRUE(w.AddFileData("only.bin", enctest::Text(5000, 1), 0, 0, 0));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(WriteToBytes(w, &bytes));
  EXPECT_EQ(Get16(bytes, cab::kHeaderSize + 6), cab::MakeLzxType(21));
}

// The LZX stream header at the start of a folder's first data block: the
// E8 flag bit, then the 32-bit translation size, in 16-bit little-endian
// words read from the top bit.
void ReadLzxHeader(const std::vector<uint8_t>& cab, size_t folder, bool* e8, uint32_t* size) {
  const size_t data = Get32(cab, cab::kHeaderSize + cab::kFolderSize * folder) + cab::kDataHeaderSize;
  const uint64_t bits = (uint64_t(Get16(cab, data)) << 32) | (uint64_t(Get16(cab, data + 2)) << 16) | Get16(cab, data + 4);
  *e8 = (bits >> 47) != 0;
  *size = static_cast<uint32_t>(bits >> 15);
}

TEST(CabWriter, E8TranslationSizeIsTheFoldersSizeUnlessGiven) {
  CabWriter w;
  CabFolderOptions automatic = Folder(CabCompression::kLzx), given = automatic, off = automatic;
  given.lzx_e8_translation_size = 12000000;
  off.lzx_e8_translation = false;
  for (const CabFolderOptions& o : {automatic, given, off}) {
    ASSERT_TRUE(w.StartFolder(o));
    const std::string n = std::to_string(w.file_count());
    ASSERT_TRUE(w.AddFileData("a" + n, enctest::X86Code(50000, 1), 0, 0, 0));
    ASSERT_TRUE(w.AddFileData("b" + n, enctest::X86Code(30001, 2), 0, 0, 0));
  }
  std::vector<uint8_t> v;
  ASSERT_TRUE(WriteToBytes(w, &v)) << w.error();
  bool e8 = false;
  uint32_t size = 0;
  ReadLzxHeader(v, 0, &e8, &size);
  EXPECT_TRUE(e8);
  EXPECT_EQ(size, 80001u);
  ReadLzxHeader(v, 1, &e8, &size);
  EXPECT_TRUE(e8);
  EXPECT_EQ(size, 12000000u);
  ReadLzxHeader(v, 2, &e8, &size);
  EXPECT_FALSE(e8);
  cabtest::EngineRun run = cabtest::RunEngine(v);
  ASSERT_TRUE(run.ok);
  EXPECT_TRUE(run.files["b4"] == enctest::X86Code(30001, 2));
}

TEST(CabWriter, DosDateAndTimeFields) {
  EXPECT_EQ(cab::DosDate(1980, 1, 1), 0x21);
  EXPECT_EQ(cab::DosDate(2009, 10, 22), ((2009 - 1980) << 9) | (10 << 5) | 22);
  EXPECT_EQ(cab::DosTime(23, 59, 59), (23 << 11) | (59 << 5) | 29);
  EXPECT_EQ(cab::DosDate(1979, 12, 31), 0);
  EXPECT_EQ(cab::DosDate(2000, 13, 1), 0);
  EXPECT_EQ(cab::DosTime(24, 0, 0), 0);
}

}  // namespace
