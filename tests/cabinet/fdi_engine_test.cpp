// The cabinet engine through its published interface, over cabinets built
// by the tests: structure, notifications, error numbers, and damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_test_builder.h"

using cabtest::BuildCabinet;
using cabtest::Bytes;
using cabtest::CabinetLayout;
using cabtest::EngineRun;
using cabtest::Pattern;
using cabtest::RunEngine;
using cabtest::TestEntry;

namespace {

std::vector<TestEntry> MixedEntries() {
  std::vector<TestEntry> e(5);
  e[0] = {"cfg\\install.xml", Bytes("<install/>"), 0};
  e[1] = {"files\\empty.txt", {}, 0};
  e[2] = {"files\\data\\big.bin", Pattern(70000, 1), 1};
  e[3] = {"files\\data\\exact.bin", Pattern(32768, 2), 1};
  e[4] = {"files\\readme.txt", Bytes("read me"), 0};
  return e;
}

CabinetLayout TwoFolders() {
  CabinetLayout l;
  l.folder_types = {cab::kCompressNone, cab::kCompressMszip};
  return l;
}

void ExpectAllExtracted(const EngineRun& run, const std::vector<TestEntry>& entries) {
  ASSERT_TRUE(run.ok) << "error " << run.error.code;
  EXPECT_EQ(run.leaked_handles, 0u);
  for (const TestEntry& e : entries) {
    auto it = run.files.find(e.name);
    ASSERT_NE(it, run.files.end()) << e.name;
    EXPECT_EQ(it->second, e.data) << e.name;
  }
}

TEST(FdiEngine, ExtractsStoredAndMszipFolders) {
  auto entries = MixedEntries();
  auto cab = BuildCabinet(entries, TwoFolders());
  ExpectAllExtracted(RunEngine(cab.bytes), entries);
}

TEST(FdiEngine, LayoutsWithReservedAreasNeighboursAndSmallBlocks) {
  struct Case {
    const char* what;
    CabinetLayout layout;
  };
  std::vector<Case> cases(5);
  cases[0].what = "reserved areas";
  cases[0].layout.header_reserve = 300;
  cases[0].layout.folder_reserve = 7;
  cases[0].layout.data_reserve = 13;
  cases[1].what = "empty reserve field";
  cases[1].layout.reserve_field = true;
  cases[2].what = "previous and next cabinet names";
  cases[2].layout.prev_cabinet = "disk0.cab";
  cases[2].layout.prev_disk = "Disk 0";
  cases[2].layout.next_cabinet = "disk2.cab";
  cases[2].layout.next_disk = "Disk 2";
  cases[3].what = "many small blocks";
  cases[3].layout.block_size = 1000;
  cases[4].what = "no checksums";
  cases[4].layout.checksums = false;
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.layout.folder_types = {cab::kCompressMszip, cab::kCompressNone};
    auto entries = MixedEntries();
    ExpectAllExtracted(RunEngine(BuildCabinet(entries, c.layout).bytes), entries);
  }
}

// Entries whose data lie before the cursor make the folder start again.
TEST(FdiEngine, FileTableOutOfFolderOrder) {
  std::vector<TestEntry> entries = {
      {"a", Pattern(50000, 3), 0}, {"b", Pattern(40000, 4), 0}, {"c", Pattern(10, 5), 0}};
  auto cab = BuildCabinet(entries, TwoFolders());
  // Swap the first and last file entries: "c" (at the folder's end) first.
  std::vector<uint8_t>& v = cab.bytes;
  const size_t first = cab.files_offset;
  const size_t e1 = first + cab::kFileEntrySize + 2;
  const size_t e2 = e1 + cab::kFileEntrySize + 2;
  std::vector<uint8_t> a(v.begin() + first, v.begin() + e1), c(v.begin() + e2, v.begin() + e2 + cab::kFileEntrySize + 2);
  std::copy(c.begin(), c.end(), v.begin() + first);
  std::copy(a.begin(), a.end(), v.begin() + e2);
  EngineRun run = RunEngine(v);
  ExpectAllExtracted(run, entries);
  EXPECT_EQ(run.copy_order, (std::vector<std::string>{"c", "b", "a"}));
}

TEST(FdiEngine, NotificationsComeInPublishedOrder) {
  auto cab = BuildCabinet({{"one", Bytes("1")}, {"two", Bytes("22")}});
  EngineRun run = RunEngine(cab.bytes);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.notifications, (std::vector<int>{fdi::kCabinetInfo, fdi::kEnumerate, fdi::kCopyFile,
                                                 fdi::kCloseFileInfo, fdi::kCopyFile, fdi::kCloseFileInfo,
                                                 fdi::kEnumerate}));
}

TEST(FdiEngine, CloseFileInfoCarriesDateTimeAndAttributes) {
  std::vector<TestEntry> entries(2);
  entries[0] = {"run.exe", Bytes("MZ"), 0, 0x3A8C, 0x5D6F,
                cab::kAttribReadOnly | cab::kAttribHidden | cab::kAttribExecute};
  entries[1] = {"plain", Bytes("x"), 0, 0x1021, 0x0000, 0};
  EngineRun run = RunEngine(BuildCabinet(entries).bytes);
  ASSERT_TRUE(run.ok);
  const fdi::Notification& exe = run.closed.at("run.exe");
  EXPECT_EQ(exe.date, 0x3A8C);
  EXPECT_EQ(exe.time, 0x5D6F);
  EXPECT_EQ(exe.attribs, cab::kAttribReadOnly | cab::kAttribHidden);  // run bit removed
  EXPECT_EQ(exe.size, 1);                                             // ... and reported here
  EXPECT_EQ(run.closed.at("plain").size, 0);
  EXPECT_EQ(run.closed.at("plain").attribs, 0);
}

intptr_t SkipAll(const fdi::Notification&) { return 0; }
intptr_t AbortAtSecond(const fdi::Notification& n) { return std::string(n.name1) == "two" ? -1 : 1; }

TEST(FdiEngine, CallerSkipsAndAborts) {
  auto cab = BuildCabinet({{"one", Bytes("1")}, {"two", Bytes("22")}, {"three", Bytes("333")}});
  EngineRun skipped = RunEngine(cab.bytes, SkipAll);
  EXPECT_TRUE(skipped.ok);
  EXPECT_TRUE(skipped.files.empty());
  EXPECT_EQ(skipped.copy_order.size(), 3u);

  EngineRun aborted = RunEngine(cab.bytes, AbortAtSecond);
  EXPECT_FALSE(aborted.ok);
  EXPECT_EQ(aborted.error.code, fdi::kErrorUserAbort);
  EXPECT_TRUE(aborted.error.error);
  EXPECT_EQ(aborted.files.count("one"), 1u);
  EXPECT_EQ(aborted.files.count("three"), 0u);
  EXPECT_EQ(aborted.leaked_handles, 0u);
}

TEST(FdiEngine, ContinuedAndMissingFolders) {
  std::vector<TestEntry> entries = {{"here", Bytes("ok"), 0},
                                    {"from-previous", Bytes("zz"), cab::kFolderContinuedFromPrev},
                                    {"nowhere", Bytes("zz"), 7}};
  EngineRun run = RunEngine(BuildCabinet(entries).bytes);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.copy_order, (std::vector<std::string>{"here"}));
  EXPECT_EQ(std::count(run.notifications.begin(), run.notifications.end(), fdi::kPartialFile), 1);
}

TEST(FdiEngine, ErrorNumbers) {
  struct Case {
    const char* what;
    std::vector<uint8_t> cabinet;
    int32_t code;
    const char* detail = "";
  };
  const std::vector<TestEntry> one = {{"f", Pattern(100, 9)}};
  auto with_type = [&](uint16_t type) {
    CabinetLayout l;
    l.folder_types = {type};
    return BuildCabinet(one, l).bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"not a cabinet", Bytes("this is no cabinet at all, not even close to one"), fdi::kErrorNotACabinet});
  cases.push_back({"empty file", {}, fdi::kErrorNotACabinet});
  auto version = BuildCabinet(one).bytes;
  version[24] = 4;
  cases.push_back({"version 1.4", version, fdi::kErrorUnknownCabinetVersion});
  cases.push_back({"type 15", with_type(0x000F), fdi::kErrorBadCompressionType});
  cases.push_back({"type 4", with_type(0x0004), fdi::kErrorBadCompressionType});
  cases.push_back({"LZX window 22", with_type(cab::MakeLzxType(22)), fdi::kErrorDecompressorFailure});
  cases.push_back({"LZX window 14", with_type(cab::MakeLzxType(14)), fdi::kErrorDecompressorFailure});
  cases.push_back({"Quantum window 9", with_type(0x0902), fdi::kErrorDecompressorFailure});
  cases.push_back({"Quantum window 22", with_type(0x1602), fdi::kErrorDecompressorFailure});
  auto checksum = BuildCabinet(one);
  checksum.bytes[checksum.block_offsets[0] + 8 + 50] ^= 0x01;
  cases.push_back({"data checksum", checksum.bytes, fdi::kErrorCorruptCabinet, "bad block checksum in folder 0"});
  auto size = BuildCabinet(one);
  size.bytes[size.block_offsets[0] + 6] = 99;  // stored block claims 99 bytes out of 100 in
  size.bytes[size.block_offsets[0]] = size.bytes[size.block_offsets[0] + 1] = 0;
  size.bytes[size.block_offsets[0] + 2] = size.bytes[size.block_offsets[0] + 3] = 0;
  cases.push_back({"stored size mismatch", size.bytes, fdi::kErrorDecompressorFailure,
                   "stored block of the wrong size in folder 0"});
  auto deflate = BuildCabinet(one, [] {
    CabinetLayout l;
    l.folder_types = {cab::kCompressMszip};
    l.checksums = false;
    return l;
  }());
  deflate.bytes[deflate.block_offsets[0] + 8 + 2] = 0x07;  // deflate block type 3
  cases.push_back({"bad deflate block", deflate.bytes, fdi::kErrorDecompressorFailure,
                   "MSZIP: invalid block type in folder 0"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineRun run = RunEngine(c.cabinet);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error.code, c.code);
    EXPECT_EQ(run.error.detail, c.detail);
    EXPECT_EQ(run.leaked_handles, 0u);
  }
}

// Decoding runs ahead of the writes (a second thread, megabytes ahead): a
// damaged block it meets early must still be reported only when the writes
// reach it, after every file before it was written and closed, and not at
// all when no extracted file needs it.
TEST(FdiEngine, DamageFoundAheadCountsOnlyWhereTheWritesReachIt) {
  const std::vector<TestEntry> entries = {
      {"a", Pattern(3 * 1024 * 1024, 6)}, {"b", Pattern(100000, 7)}, {"c", Pattern(100, 8)}};
  auto cab = BuildCabinet(entries);
  const size_t damaged_block = entries[0].data.size() / 32768 + 1;  // inside "b"
  cab.bytes[cab.block_offsets[damaged_block] + 8 + 20] ^= 0x01;

  EngineRun all = RunEngine(cab.bytes);
  EXPECT_FALSE(all.ok);
  EXPECT_EQ(all.error.code, fdi::kErrorCorruptCabinet);
  EXPECT_EQ(all.error.detail, "bad block checksum in folder 0");
  EXPECT_EQ(all.copy_order, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(all.closed.count("a"), 1u);
  EXPECT_EQ(all.files["a"], entries[0].data);
  EXPECT_EQ(all.closed.count("b"), 0u);
  EXPECT_EQ(all.leaked_handles, 0u);

  EngineRun first_only = RunEngine(cab.bytes, [](const fdi::Notification& n) -> intptr_t {
    return std::string(n.name1) == "a" ? 1 : 0;
  });
  EXPECT_TRUE(first_only.ok) << "error " << first_only.error.code;
  EXPECT_EQ(first_only.files["a"], entries[0].data);
  EXPECT_EQ(first_only.leaked_handles, 0u);
}

TEST(FdiEngine, MissingCabinetAndOverlongPath) {
  fdi::ErrorRecord error;
  auto open_fails = [](void*, const char*, int, int) -> fdi::Handle { return -1; };
  fdi::Context* ctx = fdi::FDICreate(cabtest::internal::Alloc, cabtest::internal::Free, open_fails,
                                     cabtest::internal::Read, cabtest::internal::Write, cabtest::internal::Close,
                                     cabtest::internal::Seek, fdi::kCpu80386, &error);
  ASSERT_NE(ctx, nullptr);
  auto notify = [](fdi::NotificationType, fdi::Notification*) -> intptr_t { return 0; };
  EXPECT_FALSE(fdi::FDICopy(ctx, "missing.cab", "nowhere\\", 0, notify, nullptr, nullptr));
  EXPECT_EQ(error.code, fdi::kErrorCabinetNotFound);
  const std::string long_folder(250, 'd');
  EXPECT_FALSE(fdi::FDICopy(ctx, "1234567.cab", long_folder.c_str(), 0, notify, nullptr, nullptr));
  EXPECT_EQ(error.code, fdi::kErrorCabinetNotFound);
  EXPECT_TRUE(fdi::FDIDestroy(ctx));
}

TEST(FdiEngine, CreateFailsCleanlyWithoutMemory) {
  fdi::ErrorRecord error;
  auto no_memory = [](uint32_t) -> void* { return nullptr; };
  fdi::Context* ctx = fdi::FDICreate(no_memory, cabtest::internal::Free, cabtest::internal::Open,
                                     cabtest::internal::Read, cabtest::internal::Write, cabtest::internal::Close,
                                     cabtest::internal::Seek, fdi::kCpu80386, &error);
  EXPECT_EQ(ctx, nullptr);
  EXPECT_EQ(error.code, fdi::kErrorAllocFail);
  EXPECT_TRUE(error.error);
}

// ---- Damaged cabinets: every result is a clean true or false ------------

// Runs the engine and checks that nothing leaked and that whatever came out
// is at most the entry's announced size.
void ExpectCleanRun(const std::vector<uint8_t>& cabinet) {
  EngineRun run = RunEngine(cabinet);
  EXPECT_EQ(run.leaked_handles, 0u);
  if (!run.ok) {
    EXPECT_TRUE(run.error.error);
  }
}

TEST(FdiEngine, TruncatedAnywhere) {
  CabinetLayout l = TwoFolders();
  l.block_size = 4000;
  std::vector<TestEntry> entries = {{"a\\one", Pattern(9000, 1), 0}, {"b", Pattern(5000, 2), 1}};
  auto cab = BuildCabinet(entries, l).bytes;
  for (size_t length = 0; length < cab.size(); ++length) {
    std::vector<uint8_t> cut(cab.begin(), cab.begin() + length);
    EngineRun run = RunEngine(cut);
    ASSERT_FALSE(run.ok) << "length " << length;
    ASSERT_EQ(run.leaked_handles, 0u);
  }
}

TEST(FdiEngine, FlippedBytesAnywhere) {
  CabinetLayout l = TwoFolders();
  l.checksums = false;  // let the damage reach the decoders
  std::vector<TestEntry> entries = {{"a", Pattern(3000, 1), 0}, {"b", Pattern(2000, 2), 1}};
  auto cab = BuildCabinet(entries, l).bytes;
  for (size_t at = 0; at < cab.size(); at += (at < 300 ? 1 : 37)) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> damaged = cab;
      damaged[at] ^= mask;
      ExpectCleanRun(damaged);
    }
  }
}

TEST(FdiEngine, HugeCountsAndOffsets) {
  struct Patch {
    const char* what;
    size_t offset;  // into the header, or relative to the first block/file entry
    enum Base { kHeader, kFolder, kFile, kBlock } base;
    uint32_t value;
    int width;
  };
  const Patch patches[] = {
      {"65535 files", 28, Patch::kHeader, 0xFFFF, 2},
      {"65535 folders", 26, Patch::kHeader, 0xFFFF, 2},
      {"file table beyond the end", 16, Patch::kHeader, 0xFFFFFFF0u, 4},
      {"header reserve 65535", 36, Patch::kHeader, 0xFFFF, 2},
      {"folder data beyond the end", 0, Patch::kFolder, 0xFFFFFFF0u, 4},
      {"65535 data blocks", 4, Patch::kFolder, 0xFFFF, 2},
      {"file of 4 GB", 0, Patch::kFile, 0xFFFFFFFFu, 4},
      {"file offset near 4 GB", 4, Patch::kFile, 0xFFFFFF00u, 4},
      {"folder index 1 of 1", 8, Patch::kFile, 1, 2},
      {"continued to next, no next", 8, Patch::kFile, cab::kFolderContinuedToNext, 2},
      {"block of 65535 compressed bytes", 4, Patch::kBlock, 0xFFFF, 2},
      {"block of 65535 uncompressed bytes", 6, Patch::kBlock, 0xFFFF, 2},
      {"block of 0 uncompressed bytes", 6, Patch::kBlock, 0, 2},
  };
  CabinetLayout l;
  l.reserve_field = true;
  l.checksums = false;
  auto built = BuildCabinet({{"f", Pattern(1000, 1)}, {"g", Pattern(10, 2)}}, l);
  for (const Patch& p : patches) {
    SCOPED_TRACE(p.what);
    std::vector<uint8_t> v = built.bytes;
    size_t base = p.base == Patch::kHeader ? 0
                  : p.base == Patch::kFolder ? built.folders_offset
                  : p.base == Patch::kFile   ? built.files_offset
                                             : built.block_offsets[0];
    if (p.width == 2) cabtest::Put16(v, base + p.offset, static_cast<uint16_t>(p.value));
    else cabtest::Put32(v, base + p.offset, p.value);
    EngineRun run = RunEngine(v);
    EXPECT_EQ(run.leaked_handles, 0u);
    // Nothing comes out beyond the folder's 1010 bytes.
    for (const auto& f : run.files) EXPECT_LE(f.second.size(), 1010u);
  }
}

TEST(FdiEngine, DamagedSampleCabinetsFailCleanly) {
  SKIP_WITHOUT_SHARED_TESTDATA();
  for (const char* name : {"mszip-lzx18-qtm18.cab", "two-folders-mszip-lzx18.cab", "qtm18-zeroes.cab"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> cab;
    ASSERT_TRUE(testsupport::ReadWholeFile(testsupport::SharedTestData() + "/cabs/" + name, &cab));
    ASSERT_TRUE(RunEngine(cab).ok);
    for (size_t length = 0; length < cab.size(); length += 1 + length / 64) {
      std::vector<uint8_t> cut(cab.begin(), cab.begin() + length);
      EXPECT_FALSE(RunEngine(cut).ok) << length;
    }
    // Without checksums the damage reaches the decoders.
    cabtest::ClearChecksums(cab);
    ASSERT_TRUE(RunEngine(cab).ok);
    for (size_t at = 0; at < cab.size(); at += 1 + at / 128) {
      std::vector<uint8_t> damaged = cab;
      damaged[at] ^= 0x5A;
      ExpectCleanRun(damaged);
    }
  }
}

}  // namespace

// ---- A folder that runs on into the next cabinet ----------------------------

namespace {

// Two cabinets of one set. The folder stream is a (3000 bytes) then b (5000
// bytes): the first cabinet holds a block of 4000 bytes and the first half of
// a block of 2000 that is split; the second holds the other half and the
// last 2000 bytes.
struct SpanningSet {
  std::map<std::string, std::vector<uint8_t>> cabinets;
  std::vector<uint8_t> a, b;
};

SpanningSet MakeSpanningSet(uint16_t second_set_id = 0x1234, uint16_t second_index = 1, uint8_t second_reserve = 0) {
  SpanningSet set;
  std::vector<uint8_t> stream = Pattern(8000, 21);
  set.a.assign(stream.begin(), stream.begin() + 3000);
  set.b.assign(stream.begin() + 3000, stream.end());
  auto slice = [&](size_t from, size_t to) { return std::vector<uint8_t>(stream.begin() + from, stream.begin() + to); };

  CabinetLayout first;
  first.next_cabinet = "two.cab";
  first.next_disk = "Disk 2";
  first.cabinet_index = 0;
  set.cabinets["memory.cab"] = cabtest::BuildRawCabinet(
      first, {{{slice(0, 4000), 4000}, {slice(4000, 5000), 0}}},
      {{"a", 3000, 0, 0}, {"b", 5000, 3000, cab::kFolderContinuedToNext}});

  CabinetLayout second;
  second.prev_cabinet = "memory.cab";
  second.prev_disk = "Disk 1";
  second.set_id = second_set_id;
  second.cabinet_index = second_index;
  second.data_reserve = second_reserve;
  set.cabinets["two.cab"] = cabtest::BuildRawCabinet(
      second, {{{slice(5000, 6000), 2000}, {slice(6000, 8000), 2000}}},
      {{"b", 5000, 0, cab::kFolderContinuedFromPrev}});
  return set;
}

TEST(FdiEngineSpanning, FileRunsOnIntoTheNextCabinet) {
  SpanningSet set = MakeSpanningSet();
  EngineRun run = RunEngine(set.cabinets.at("memory.cab"), nullptr, &set.cabinets);
  ASSERT_TRUE(run.ok) << run.error.code;
  EXPECT_EQ(run.files.at("a"), set.a);
  EXPECT_EQ(run.files.at("b"), set.b);
  EXPECT_EQ(run.next_cabinets, (std::vector<std::string>{"two.cab"}));
  EXPECT_EQ(run.leaked_handles, 0u);

  // The second cabinet alone: its first entry is the continued file.
  EngineRun second = RunEngine(set.cabinets.at("two.cab"));
  EXPECT_TRUE(second.ok);
  EXPECT_TRUE(second.files.empty());
  EXPECT_EQ(std::count(second.notifications.begin(), second.notifications.end(), fdi::kPartialFile), 1);
}

intptr_t RefuseNext(const fdi::Notification&) { return -1; }

TEST(FdiEngineSpanning, NextCabinetMustBelongToTheSet) {
  struct Case {
    const char* what;
    SpanningSet set;
    int32_t code;
  };
  std::vector<Case> cases;
  cases.push_back({"other set", MakeSpanningSet(0x9999), fdi::kErrorWrongCabinet});
  cases.push_back({"wrong index", MakeSpanningSet(0x1234, 2), fdi::kErrorWrongCabinet});
  cases.push_back({"other reserve", MakeSpanningSet(0x1234, 1, 4), fdi::kErrorReserveMismatch});
  SpanningSet missing = MakeSpanningSet();
  missing.cabinets.erase("two.cab");
  cases.push_back({"missing", missing, fdi::kErrorCabinetNotFound});
  SpanningSet not_cab = MakeSpanningSet();
  not_cab.cabinets["two.cab"] = Bytes("not a cabinet, really not one at all......");
  cases.push_back({"not a cabinet", not_cab, fdi::kErrorNotACabinet});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineRun run = RunEngine(c.set.cabinets.at("memory.cab"), nullptr, &c.set.cabinets);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error.code, c.code);
    EXPECT_EQ(run.files.at("a"), c.set.a);  // written before the folder ran out
    EXPECT_EQ(run.leaked_handles, 0u);
  }
  SpanningSet set = MakeSpanningSet();
  EngineRun refused = RunEngine(set.cabinets.at("memory.cab"), nullptr, &set.cabinets, RefuseNext);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error.code, fdi::kErrorUserAbort);
}

TEST(FdiEngineSpanning, OnlyTheLastBlockMayBeSplit) {
  std::vector<uint8_t> data = Pattern(3000, 4);
  CabinetLayout l;
  l.next_cabinet = "two.cab";
  auto cab = cabtest::BuildRawCabinet(
      l, {{{std::vector<uint8_t>(data.begin(), data.begin() + 1000), 0},
           {std::vector<uint8_t>(data.begin() + 1000, data.end()), 2000}}},
      {{"x", 3000, 0, 0}});
  EngineRun run = RunEngine(cab);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error.code, fdi::kErrorCorruptCabinet);
}

}  // namespace
