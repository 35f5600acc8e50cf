// ExtractCabinet() with its real callbacks, on the host and under Wine:
// sample cabinets, the counting rules, prefixes, cabinets inside a larger
// file, replaced files, and entries that must never be written.
#include "cabinet/cab_extract.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "cabinet/cab_format.h"
#include "base/string_utils.h"
#include "base/thread_primitives.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_extract_test_support.h"
#include "tests/cabinet/cab_test_builder.h"

using cabtest::BuildCabinet;
using cabtest::Bytes;
using cabtest::Pattern;
using cabtest::TestEntry;

namespace {

const std::string kSep(1, kPathSeparator);

// Sets the run-wide inputs of an extraction.
void Prepare(const std::string& cabinet_path, const std::string& prefix, const std::string& destination,
             int32_t offset = 0) {
  RunState& run = ::Run();
  run.payloadPath = cabinet_path;
  run.entryPrefix = prefix;
  run.destinationFolder = destination + kSep;
  run.cabinetOffset = offset;
  run.extractedFiles.clear();
}

std::string WriteCabinet(const testsupport::ScratchDir& dir, const std::vector<TestEntry>& entries) {
  std::string path = dir.file("test.cab");
  auto cab = BuildCabinet(entries);
  EXPECT_TRUE(testsupport::WriteWholeFile(path, cab.bytes.data(), cab.bytes.size()));
  return path;
}

// Every regular file under a folder, relative, with '/' separators.
std::vector<std::string> FilesUnder(const std::string& folder) { return cabtest::ListFiles(folder); }

TEST(CabExtract, SampleCabinetsMatchPublishedChecksums) {
  SKIP_WITHOUT_SHARED_TESTDATA();
  const std::string cabs = testsupport::SharedTestData() + kSep + "cabs";
  std::ifstream expected(cabs + kSep + "EXPECTED.txt");
  ASSERT_TRUE(expected.good());
  std::string line;
  int checked = 0;
  while (std::getline(expected, line)) {
    std::istringstream fields(line);
    std::string cabinet, md5, name;
    size_t size = 0;
    if (!(fields >> cabinet >> md5 >> size >> name)) continue;
    SCOPED_TRACE(cabinet + " " + name);
    testsupport::ScratchDir out;
    Prepare(cabs + kSep + cabinet, "", out.path());
    ASSERT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();
    std::vector<uint8_t> data;
    ASSERT_TRUE(testsupport::ReadWholeFile(out.file(name), &data));
    EXPECT_EQ(data.size(), size);
    EXPECT_EQ(testsupport::Md5Hex(data.data(), data.size()), md5);
    ++checked;
  }
  EXPECT_EQ(checked, 8);
}

TEST(CabExtract, RequiredSpacePerEntry) {
  const struct {
    int64_t size, space;
  } cases[] = {{0, 32768},         {1, 32768},           {32767, 32768},          {32768, 65536},
               {32769, 65536},     {65536, 98304},       {0x7FFFFFFF, 0x80000000}, {0xFFFFFFFF, 0x100000000}};
  for (const auto& c : cases) EXPECT_EQ(RequiredSpaceForEntry(c.size), c.space) << c.size;
}

TEST(CabExtract, PrefixSelectsEntriesAndCountingCoversAll) {
  testsupport::ScratchDir dir, out;
  const std::string cab = WriteCabinet(dir, {{"cfg\\install.xml", Bytes("<install/>")},
                                             {"cfg\\sub\\deeper\\logo.bmp", Pattern(32768, 1)},
                                             {"files\\game.exe", Pattern(32769, 2)},
                                             {"files\\empty", {}}});
  Prepare(cab, "cfg\\", out.path());
  ::Run().overallPercent = 0;
  ASSERT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();
  EXPECT_EQ(CabinetRequiredSpace(), 32768 + 65536 + 65536 + 32768);
  EXPECT_EQ(CabinetTotalBytes(), 10 + 32768);
  EXPECT_EQ(FilesUnder(out.path()), (std::vector<std::string>{"install.xml", "sub/deeper/logo.bmp"}));
  EXPECT_EQ(testsupport::ReadText(out.file("install.xml")), "<install/>");
  EXPECT_EQ(::Run().extractedFiles,
            (std::vector<std::string>{out.path() + kSep + "install.xml",
                                      out.path() + kSep + "sub" + kSep + "deeper" + kSep + "logo.bmp"}));
  EXPECT_EQ(::Run().overallPercent.load(), 100);
  EXPECT_EQ(::Run().filePercent.load(), 100);
  EXPECT_EQ(::Run().currentFileName.Get(), "sub\\deeper\\logo.bmp");

  testsupport::ScratchDir files_out;
  Prepare(cab, "files\\", files_out.path());
  ASSERT_TRUE(ExtractRunCabinet());
  EXPECT_EQ(FilesUnder(files_out.path()), (std::vector<std::string>{"empty", "game.exe"}));
  EXPECT_EQ(CabinetTotalBytes(), 32769);
}

TEST(CabExtract, PrefixMatchingNothingSucceedsWithoutProgress) {
  testsupport::ScratchDir dir, out;
  const std::string cab = WriteCabinet(dir, {{"files\\a", Bytes("a")}});
  Prepare(cab, "cfg\\", out.path());
  ::Run().overallPercent = 0;
  ASSERT_TRUE(ExtractRunCabinet());
  EXPECT_EQ(CabinetTotalBytes(), 0);
  EXPECT_EQ(CabinetRequiredSpace(), 32768);
  EXPECT_EQ(::Run().overallPercent.load(), 0);
  EXPECT_TRUE(FilesUnder(out.path()).empty());
}

TEST(CabExtract, ReadsTheCabinetInPlaceInsideALargerFile) {
  testsupport::ScratchDir dir, out;
  auto cab = BuildCabinet({{"cfg\\props.xml", Pattern(40000, 3)}, {"cfg\\x", Bytes("x")}});
  std::vector<uint8_t> file = Pattern(4321, 9);  // an executable image stands here
  file.insert(file.end(), cab.bytes.begin(), cab.bytes.end());
  const std::vector<uint8_t> trailer = Bytes("\x10\x00\x00\x00\x01\x00\x00\x00!zelkoninstallersig!");
  file.insert(file.end(), trailer.begin(), trailer.end());
  const std::string path = dir.file("Setup.exe");
  ASSERT_TRUE(testsupport::WriteWholeFile(path, file.data(), file.size()));
  Prepare(path, "cfg\\", out.path(), 4321);
  ASSERT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();
  std::vector<uint8_t> props;
  ASSERT_TRUE(testsupport::ReadWholeFile(out.file("props.xml"), &props));
  EXPECT_EQ(props, Pattern(40000, 3));
}

TEST(CabExtract, ReplacesReadOnlyFiles) {
  testsupport::ScratchDir dir, out;
  const std::string cab = WriteCabinet(dir, {{"f.txt", Bytes("new contents")}});
  ASSERT_TRUE(testsupport::WriteWholeFile(out.file("f.txt"), std::string("old")));
  cabtest::MakeReadOnly(out.file("f.txt"));
  Prepare(cab, "", out.path());
  ASSERT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();
  EXPECT_EQ(testsupport::ReadText(out.file("f.txt")), "new contents");
}

TEST(CabExtract, RefusesEntriesThatLeaveTheDestination) {
  const char* names[] = {
      "files\\..\\escaped.txt",  "files\\a\\..\\..\\escaped.txt", "files\\a/../../escaped.txt",
      "files\\\\escaped.txt",    "files\\/escaped.txt",            "files\\C:\\escaped.txt",
      "files\\C:escaped.txt",    "files\\..",                      "files\\...\\escaped.txt",
      "files\\a\\. \\x",         "files\\",                        "files\\a\\",
      "files\\evil\x01name",     "files\\stream.txt:hidden",
      "files\\NUL",              "files\\sub\\con.txt",            "files\\com1",
      "files\\Lpt9.log",       "files\\FINE.txt",  // the same file as fine.txt on Windows
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    testsupport::ScratchDir dir;
    const std::string dest = dir.file("dest");
    MakeDirectories(dest);
    // A harmless entry first: the refusal happens before anything is written.
    auto cab = BuildCabinet({{"files\\fine.txt", Bytes("fine")}, {name, Bytes("evil")}});
    const std::string cab_path = dir.file("test.cab");
    ASSERT_TRUE(testsupport::WriteWholeFile(cab_path, cab.bytes.data(), cab.bytes.size()));
    Prepare(cab_path, "files\\", dest);
    EXPECT_FALSE(ExtractRunCabinet());
    EXPECT_NE(CabinetExtractionError().find("Refused"), std::string::npos) << CabinetExtractionError();
    EXPECT_TRUE(CabinetEntryRefused());
    EXPECT_TRUE(FilesUnder(dest).empty());
    EXPECT_EQ(FilesUnder(dir.path()), (std::vector<std::string>{"test.cab"}));
    EXPECT_TRUE(::Run().extractedFiles.empty());
  }
}

TEST(CabExtract, RefusesOutputPathsOfTheWindowsLimit) {
  testsupport::ScratchDir dir, out;
  // A name that brings the output path to 259 characters is allowed, one
  // that makes it 260 is not.
  const std::string fits(259 - (out.path().size() + 1), 'a');
  ASSERT_LT(fits.size(), 256u) << "scratch folder path too long for this test";
  const std::string cab = WriteCabinet(dir, {{fits, Bytes("ok")}});
  Prepare(cab, "", out.path());
  EXPECT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();

  testsupport::ScratchDir out2;
  const std::string cab2 = WriteCabinet(dir, {{std::string(260 - (out2.path().size() + 1), 'b'), Bytes("no")}});
  Prepare(cab2, "", out2.path());
  EXPECT_FALSE(ExtractRunCabinet());
  EXPECT_NE(CabinetExtractionError().find("too long"), std::string::npos);
  EXPECT_TRUE(CabinetEntryRefused());
  EXPECT_TRUE(FilesUnder(out2.path()).empty());
}

TEST(CabExtract, MissingOrDamagedCabinetFails) {
  testsupport::ScratchDir dir, out;
  Prepare(dir.file("absent.cab"), "", out.path());
  EXPECT_FALSE(ExtractRunCabinet());
  EXPECT_FALSE(CabinetExtractionError().empty());

  auto cab = BuildCabinet({{"a", Pattern(5000, 1)}});
  cab.bytes.resize(cab.bytes.size() - 100);
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("cut.cab"), cab.bytes.data(), cab.bytes.size()));
  Prepare(dir.file("cut.cab"), "", out.path());
  EXPECT_FALSE(ExtractRunCabinet());
  EXPECT_NE(CabinetExtractionError().find("corrupt"), std::string::npos) << CabinetExtractionError();
  EXPECT_FALSE(CabinetEntryRefused());
  // The file that was being written is removed and not listed: nothing
  // truncated is left looking installed.
  EXPECT_TRUE(::Run().extractedFiles.empty());
  EXPECT_TRUE(FilesUnder(out.path()).empty());
}

TEST(CabExtract, AttributesAndTimesFollowTheCabinet) {
  testsupport::ScratchDir dir, out;
  std::vector<TestEntry> entries(2);
  // 2018-11-10 17:33:42 and 08:05:06.
  entries[0] = {"ro-hidden.txt", Bytes("x"), 0, 0x4D6A, static_cast<uint16_t>((17 << 11) | (33 << 5) | 21),
                cab::kAttribReadOnly | cab::kAttribHidden};
  entries[1] = {"plain.txt", Bytes("y"), 0, 0x4D6A, static_cast<uint16_t>((8 << 11) | (5 << 5) | 3), 0};
  const std::string cab = WriteCabinet(dir, entries);
  Prepare(cab, "", out.path());
  ASSERT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();
  cabtest::ExpectAttributes(out.file("ro-hidden.txt"), true, true);
  cabtest::ExpectAttributes(out.file("plain.txt"), false, false);
  cabtest::ExpectLocalDosTime(out.file("ro-hidden.txt"), entries[0].date, entries[0].time);
  cabtest::ExpectLocalDosTime(out.file("plain.txt"), entries[1].date, entries[1].time);
}

// Two extractions of two cabinets on two threads, both under way at once
// (each waits in its first file until the other has begun one): each keeps
// its own totals, error and created files, and one's failure is not the
// other's.
struct ConcurrentExtraction : ExtractionProgress {
  ExtractionRequest request;
  ExtractionResult result;
  std::vector<std::string> created;
  std::atomic<bool> started{false}, finished{false};
  bool met_other = false;
  ConcurrentExtraction* other = nullptr;

  void FileStarted(const std::string&) override {
    if (started.exchange(true)) return;
    while (!other->started && !other->finished) {
    }
    met_other = other->started;
  }
  void FileCreated(const std::string& path) override { created.push_back(path); }
  static void Body(void* self) {
    auto* x = static_cast<ConcurrentExtraction*>(self);
    x->result = ExtractCabinet(x->request, *x);
    x->finished = true;
  }
};

TEST(CabExtract, TwoExtractionsRunAtOnce) {
  testsupport::ScratchDir dir, out_a, out_b;
  auto a = BuildCabinet({{"a1.bin", Pattern(300000, 1)}, {"sub\\a2.bin", Pattern(70000, 2)}});
  auto b = BuildCabinet({{"b1.bin", Pattern(200000, 3)}, {"b2.bin", Pattern(100000, 4)}});
  b.bytes[b.block_offsets.back() + cab::kDataHeaderSize] ^= 0xFF;  // b2's last block fails its checksum
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("a.cab"), a.bytes.data(), a.bytes.size()));
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("b.cab"), b.bytes.data(), b.bytes.size()));
  ConcurrentExtraction x[2];
  x[0].request.cabinetPath = dir.file("a.cab");
  x[0].request.destination = out_a.path() + kSep;
  x[1].request.cabinetPath = dir.file("b.cab");
  x[1].request.destination = out_b.path() + kSep;
  x[0].other = &x[1];
  x[1].other = &x[0];
  {
    base::Thread threads[2];
    for (int i = 0; i < 2; ++i) {
      if (threads[i].Start(ConcurrentExtraction::Body, &x[i])) continue;
      x[i].finished = true;  // the other one stops waiting for it
      ADD_FAILURE() << "no thread for extraction " << i;
    }
  }  // joined here

  EXPECT_TRUE(x[0].met_other && x[1].met_other);
  EXPECT_TRUE(x[0].result.ok()) << x[0].result.error;
  EXPECT_EQ(x[0].result.totalBytes, 370000);
  EXPECT_EQ(x[0].result.requiredSpace, RequiredSpaceForEntry(300000) + RequiredSpaceForEntry(70000));
  EXPECT_EQ(x[0].created,
            (std::vector<std::string>{out_a.file("a1.bin"), out_a.path() + kSep + "sub" + kSep + "a2.bin"}));
  std::vector<uint8_t> data;
  ASSERT_TRUE(testsupport::ReadWholeFile(out_a.file("a1.bin"), &data));
  EXPECT_EQ(data, Pattern(300000, 1));
  ASSERT_TRUE(testsupport::ReadWholeFile(x[0].created[1], &data));
  EXPECT_EQ(data, Pattern(70000, 2));

  EXPECT_EQ(x[1].result.failure, ExtractionFailure::kCabinet);
  EXPECT_NE(x[1].result.error.find("bad block checksum in folder 0"), std::string::npos) << x[1].result.error;
  EXPECT_EQ(x[1].result.totalBytes, 300000);
  EXPECT_EQ(x[1].created, std::vector<std::string>{out_b.file("b1.bin")});
  EXPECT_EQ(FilesUnder(out_b.path()), std::vector<std::string>{"b1.bin"});
  ASSERT_TRUE(testsupport::ReadWholeFile(out_b.file("b1.bin"), &data));
  EXPECT_EQ(data, Pattern(200000, 3));
}

// What an extraction reported, in order.
struct RecordedProgress : ExtractionProgress {
  std::vector<std::string> events;
  int32_t overall = 0;
  void OverallPercent(int32_t percent) override { overall = percent; }
  void FileStarted(const std::string& name) override { events.push_back("start " + name); }
  void FileCreated(const std::string& path) override { events.push_back("created " + path); }
};

// A selection writes and reports only what it names, counts only its bytes,
// and never decodes a folder it takes nothing from (folder 1's damaged
// block is never read).
TEST(CabExtract, SelectionWritesOnlyWhatItNames) {
  testsupport::ScratchDir dir, out;
  cabtest::CabinetLayout layout;
  layout.folder_types = {cab::kCompressNone, cab::kCompressNone};
  auto cab = BuildCabinet({{"files\\a", Pattern(40000, 1)},
                           {"files\\sub\\b", Pattern(50000, 2)},
                           {"files\\c", Pattern(60000, 3), 1},
                           {"cfg\\b", Pattern(10, 4)}},
                          layout);
  cab.bytes[cab.block_offsets.back() + cab::kDataHeaderSize] ^= 0xFF;
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("s.cab"), cab.bytes.data(), cab.bytes.size()));
  ExtractionRequest request;
  request.cabinetPath = dir.file("s.cab");
  request.prefix = "files\\";
  request.destination = out.path() + kSep;
  std::vector<std::string> asked;
  request.select = [&asked](const std::string& name) {
    asked.push_back(name);
    return name == "sub\\b";
  };
  RecordedProgress progress;
  const ExtractionResult result = ExtractCabinet(request, progress);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.totalBytes, 50000);
  EXPECT_EQ(progress.overall, 100);
  const std::string b = out.path() + kSep + "sub" + kSep + "b";
  EXPECT_EQ(progress.events, (std::vector<std::string>{"start sub\\b", "created " + b}));
  EXPECT_EQ(FilesUnder(out.path()), std::vector<std::string>{"sub/b"});
  std::vector<uint8_t> data;
  ASSERT_TRUE(testsupport::ReadWholeFile(b, &data));
  EXPECT_EQ(data, Pattern(50000, 2));
  EXPECT_EQ(asked.front(), "a");  // names under the prefix only
}

}  // namespace

namespace {

TEST(CabExtract, OrdinaryNamesAreSafe) {
  for (const char* name : {"a", "a.txt", "dir\\sub\\file.bin", "..a", "a..", ".hidden", "console.txt", "com10",
                           "lpt", "nul_file", "icon.d\\x", "\xE9t\xE9.txt", "a b\\c d"})
    EXPECT_TRUE(IsSafeEntryPath(name)) << name;
}

}  // namespace
