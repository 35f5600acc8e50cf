#include "driver/payload.h"

#include <gtest/gtest.h>

#include <cstring>

#include "cabinet/cab_parts.h"
#include "driver/installer_run.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutLE32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct Rec {
  uint32_t type;
  Bytes data;
  int64_t length_field = -1;  // written instead of data.size() when not -1
};

// image + records (data, length, type) + optional signature + tail
Bytes Build(size_t image_size, const std::vector<Rec>& records, bool signature, const Bytes& tail = {}) {
  Bytes out(image_size, 0x4D);
  for (const Rec& r : records) {
    out.insert(out.end(), r.data.begin(), r.data.end());
    PutLE32(&out, r.length_field >= 0 ? static_cast<uint32_t>(r.length_field) : static_cast<uint32_t>(r.data.size()));
    PutLE32(&out, r.type);
  }
  if (signature) out.insert(out.end(), kPayloadSignature, kPayloadSignature + kPayloadSignatureSize);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

// The finished layout: the image is the data of a type-2 record.
Bytes Finished(size_t image_size, const Bytes& cabinet, const std::vector<Rec>& texts, bool signature,
               const Bytes& tail = {}) {
  std::vector<Rec> records;
  Bytes image(image_size, 0x4D);
  records.push_back({kRecordSkipped, image});
  for (const Rec& t : texts) records.push_back(t);
  records.push_back({kRecordCabinet, cabinet});
  return Build(0, records, signature, tail);
}

struct Outcome {
  bool ok;
  int32_t cabinet_offset;
  uint32_t cabinet_length;
  std::vector<std::string> texts;
};

Outcome Locate(const Bytes& file) {
  testsupport::ScratchDir dir;
  std::string path = dir.file("setup.exe");
  EXPECT_TRUE(testsupport::WriteWholeFile(path, file.data(), file.size()));
  PayloadFile payload;
  EXPECT_TRUE(payload.Open(path));
  PayloadRecords records;
  Outcome o;
  o.ok = LocatePayload(payload, &records);
  o.cabinet_offset = records.cabinetOffset;
  o.cabinet_length = records.cabinetLength;
  o.texts = records.attachedTexts;
  return o;
}

TEST(Payload, FinishedInstallerLeadsToTheCabinet) {
  Bytes cab = Text("MSCF-cabinet-bytes");
  Outcome o = Locate(Finished(1000, cab, {}, true));
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.cabinet_offset, 1000 + 8);
  EXPECT_EQ(o.cabinet_length, cab.size());
  EXPECT_TRUE(o.texts.empty());
}

TEST(Payload, TrailingBytesAfterTheSignatureAreNeverRead) {
  Bytes certificate(3000, 0xAB);  // as a code-signing table would be
  Outcome o = Locate(Finished(500, Text("cab"), {}, true, certificate));
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.cabinet_offset, 500 + 8);
}

TEST(Payload, TheLastSignatureInTheTailWins) {
  // The text record holds a signature; the chain read from that earlier
  // occurrence would hit the bytes "YYYY" as a type and fail.
  std::string decoy = "XXXXYYYY" + std::string(kPayloadSignature) + "ZZZZ";
  Outcome o = Locate(Finished(200, Text("cab"), {{kRecordDefinesText, Text(decoy)}}, true));
  ASSERT_TRUE(o.ok);
  ASSERT_EQ(o.texts.size(), 1u);
  EXPECT_EQ(o.texts[0], decoy);
}

TEST(Payload, ChainEndingAtTheEndOfTheFileNeedsNoSignature) {
  Outcome o = Locate(Finished(300, Text("cabinet"), {}, false));
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.cabinet_length, 7u);
}

TEST(Payload, SignedFileWithoutSignatureFails) {
  EXPECT_FALSE(Locate(Finished(300, Text("cabinet"), {}, false, Bytes(64, 0))).ok);
}

TEST(Payload, DefinesTextsKeepFileOrderAndEveryByte) {
  Bytes binary = {'a', 0, '\r', '\n', 0xFF, 0x1A, 'z'};
  Outcome o = Locate(Finished(100, Text("cab"),
                              {{kRecordDefinesText, Text("<Defines>first</Defines>")},
                               {kRecordDefinesText, binary}},
                              true));
  ASSERT_TRUE(o.ok);
  ASSERT_EQ(o.texts.size(), 2u);
  EXPECT_EQ(o.texts[0], "<Defines>first</Defines>");
  EXPECT_EQ(o.texts[1], std::string(binary.begin(), binary.end()));
}

TEST(Payload, SeveralCabinetsTheOneNearestTheStartCounts) {
  Bytes file = Build(0, {{kRecordSkipped, Bytes(64, 1)}, {kRecordCabinet, Text("first")},
                         {kRecordCabinet, Text("second!")}}, true);
  Outcome o = Locate(file);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.cabinet_offset, 64 + 8);
  EXPECT_EQ(o.cabinet_length, 5u);
}

struct BadCase {
  const char* name;
  Bytes file;
};

TEST(Payload, DamagedChainsFail) {
  std::vector<BadCase> cases = {
      {"unknown type", Build(0, {{kRecordSkipped, Bytes(40, 1)}, {7, Text("x")}}, true)},
      {"zero length", Build(0, {{kRecordSkipped, Bytes(40, 1)}, {kRecordCabinet, Text("abc"), 0}}, true)},
      {"length beyond its end", Build(0, {{kRecordCabinet, Text("abc"), 4000}}, true)},
      {"length one past its end", Build(0, {{kRecordCabinet, Text("abcd"), 5}}, true)},
      {"garbage", Bytes(5000, 0xEE)},
      {"type field without a length before it", Bytes{1, 2, 3, 4, 5, 6, 7}},
  };
  for (const BadCase& c : cases) EXPECT_FALSE(Locate(c.file).ok) << c.name;
}

TEST(Payload, TinyFilesHoldAnEmptyChainWithoutCabinet) {
  // The walk starts before offset 0 and is complete at once; the missing
  // cabinet is noticed by the extraction later.
  for (const Bytes& file : {Bytes(), Bytes(3, 1), Text(kPayloadSignature)}) {
    Outcome o = Locate(file);
    EXPECT_TRUE(o.ok) << file.size();
    EXPECT_EQ(o.cabinet_length, 0u);
  }
}

TEST(Payload, SignatureBeyondTheSearchedTailIsNotFound) {
  Bytes file = Finished(100, Text("cab"), {}, true, Bytes(kSignatureSearchSpan + 10, 0));
  EXPECT_FALSE(Locate(file).ok);
}

// The volume-set record: a set of two volumes and one joined file, byte by
// byte as the format lays it out, read back through the chain.
Bytes TwoVolumeRecord() {
  Bytes r;
  PutLE32(&r, 1);  // version
  PutLE32(&r, 2);  // volumes
  for (const char* name : {"Game-2.cab", "Game-3.cab"}) {
    r.push_back(static_cast<uint8_t>(std::strlen(name)));
    r.push_back(0);
    r.insert(r.end(), name, name + std::strlen(name));
    for (int i = 0; i < 8; ++i) r.push_back(i == 4 ? 1 : 0);  // 2^32 bytes
    for (int i = 0; i < 32; ++i) r.push_back(static_cast<uint8_t>(name[5] + i));
  }
  PutLE32(&r, 1);  // joined files
  const char joined[] = "files\\big.pak";
  r.push_back(sizeof joined - 1);
  r.push_back(0);
  r.insert(r.end(), joined, joined + sizeof joined - 1);
  PutLE32(&r, 1000);
  return r;
}

TEST(VolumeSetRecord, ParsedFromTheChainAndWrittenBackByteForByte) {
  const Bytes record = TwoVolumeRecord();
  testsupport::ScratchDir dir;
  const Bytes file = Build(0, {{kRecordSkipped, Bytes(64, 1)}, {kRecordCabinet, Text("cab")}, {kRecordVolumeSet, record}},
                           true);
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("g.exe"), file.data(), file.size()));
  PayloadFile payload;
  ASSERT_TRUE(payload.Open(dir.file("g.exe")));
  PayloadRecords records;
  ASSERT_TRUE(LocatePayload(payload, &records));
  ASSERT_TRUE(records.hasVolumeSet);
  const VolumeSet& set = records.volumeSet;
  ASSERT_EQ(set.volumes.size(), 2u);
  EXPECT_EQ(set.volumes[1].name, "Game-3.cab");
  EXPECT_EQ(set.volumes[0].size, 1ull << 32);
  EXPECT_EQ(set.volumes[1].sha256[31], '3' + 31);
  ASSERT_EQ(set.joined.size(), 1u);
  EXPECT_EQ(set.joined[0].name, "files\\big.pak");
  EXPECT_EQ(set.joined[0].parts, 1000u);
  EXPECT_EQ(SerializeVolumeSet(set), std::string(record.begin(), record.end()));
  EXPECT_EQ(cab::PartEntryName("files\\big.pak", 7, 1000), "files\\big.pak.0007");
  EXPECT_EQ(cab::PartEntryName("a", 12, 999), "a.012");
}

TEST(VolumeSetRecord, EachMalformedFormIsNamedAndFailsThePayload) {
  const Bytes good = TwoVolumeRecord();
  auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes r = good;
    std::copy(bytes.begin(), bytes.end(), r.begin() + at);
    return r;
  };
  const size_t second_name = 8 + 52 + 2, parts = good.size() - 4;
  struct Case {
    const char* what;
    Bytes record;
    VolumeSetError error;
  };
  const std::vector<Case> cases = {
      {"cut inside a hash", Bytes(good.begin(), good.begin() + 40), VolumeSetError::kTruncated},
      {"cut before the joined count", Bytes(good.begin(), good.begin() + 8 + 2 * 52), VolumeSetError::kTruncated},
      {"name length past the end", with(8, {0xFF, 0xFF}), VolumeSetError::kTruncated},
      {"version 2", with(0, {2}), VolumeSetError::kUnknownVersion},
      {"volume count past the data", with(4, {3}), VolumeSetError::kTruncated},
      {"volume name with a folder", with(second_name + 4, {'/'}), VolumeSetError::kBadVolumeName},
      {"volume name with a backslash", with(second_name, {'\\'}), VolumeSetError::kBadVolumeName},
      {"volume name with a drive", with(second_name + 1, {':'}), VolumeSetError::kBadVolumeName},
      {"volume name with a control character", with(second_name + 9, {'\n'}), VolumeSetError::kBadVolumeName},
      {"empty volume name", with(8, {0, 0}), VolumeSetError::kBadVolumeName},
      {"the same volume twice", with(second_name + 5, {'2'}), VolumeSetError::kDuplicateVolumeName},
      {"one part", with(parts, {1, 0, 0, 0}), VolumeSetError::kBadPartCount},
      {"no parts", with(parts, {0, 0, 0, 0}), VolumeSetError::kBadPartCount},
      {"empty joined name", [&] {
         Bytes r(good.begin(), good.begin() + 8 + 2 * 52);
         PutLE32(&r, 1);
         r.insert(r.end(), {0, 0, 5, 0, 0, 0});
         return r;
       }(), VolumeSetError::kBadJoinedName},
      {"a byte after the last field", [&] {
         Bytes r = good;
         r.push_back(0);
         return r;
       }(), VolumeSetError::kTrailingBytes},
  };
  for (const Case& c : cases) {
    VolumeSet set;
    EXPECT_EQ(ParseVolumeSet(c.record.data(), c.record.size(), &set), c.error) << c.what;
    const Bytes file = Build(0, {{kRecordSkipped, Bytes(64, 1)}, {kRecordCabinet, Text("cab")}, {kRecordVolumeSet, c.record}},
                             true);
    EXPECT_FALSE(Locate(file).ok) << c.what;
  }
  // Two records of a set, each good alone.
  EXPECT_FALSE(Locate(Build(0, {{kRecordCabinet, Text("cab")}, {kRecordVolumeSet, good}, {kRecordVolumeSet, good}},
                            true)).ok);
}

TEST(InstallerPaths, StubSuffixNamesThePayloadFile) {
  struct Case {
    const char* installer;
    const char* payload;
    const char* dir;
  } cases[] = {
      {"C:\\Games\\Game_Stub.exe", "C:\\Games\\Game.exe", "C:\\Games"},
      {"C:\\Games\\Setup.exe", "C:\\Games\\Setup.exe", "C:\\Games"},
      {"C:\\a_Stub.exe\\b_Stub.exe", "C:\\a.exe\\b_Stub.exe", "C:\\a_Stub.exe"},
      {"C:/x/Game_stub.exe", "C:/x/Game_stub.exe", "C:/x"},
      {"Game_Stub.exe", "Game.exe", "Game_Stub.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PayloadPathFor(c.installer), c.payload) << c.installer;
    EXPECT_EQ(InstallerDirFor(c.installer), c.dir) << c.installer;
  }
}

}  // namespace

namespace {

std::vector<FileHashEntry> TwoHashedFiles() {
  std::vector<FileHashEntry> files(2);
  files[0].name = "files\\game.exe";
  files[0].size = 1ull << 33;
  files[0].sha256.fill(0xA1);
  files[1].name = "files\\data\\world.pak";
  files[1].size = 7;
  files[1].sha256.fill(0x5C);
  return files;
}

TEST(FileHashesRecord, ReadFromTheChainWithTheInstallerId) {
  const std::string record = SerializeFileHashes(TwoHashedFiles());
  const Bytes file = Build(0, {{kRecordSkipped, Bytes(64, 1)}, {kRecordCabinet, Text("cab")},
                               {kRecordFileHashes, Text(record)}, {kRecordDefinesText, Text("<a/>")}},
                           true);
  testsupport::ScratchDir dir;
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("g.exe"), file.data(), file.size()));
  PayloadFile payload;
  ASSERT_TRUE(payload.Open(dir.file("g.exe")));
  PayloadRecords records;
  ASSERT_TRUE(LocatePayload(payload, &records));
  ASSERT_TRUE(records.hasFileHashes);
  ASSERT_EQ(records.fileHashes.size(), 2u);
  EXPECT_EQ(records.fileHashes[1].name, "files\\data\\world.pak");
  EXPECT_EQ(records.fileHashes[0].size, 1ull << 33);
  EXPECT_EQ(records.fileHashes[1].sha256[31], 0x5C);
  EXPECT_EQ(SerializeFileHashes(records.fileHashes), record);
  EXPECT_EQ(records.installerId, base::Sha256Hex(base::Sha256Of(record.data(), record.size())));
  EXPECT_EQ(records.installerId.size(), 64u);
  EXPECT_EQ(records.attachedTexts.size(), 1u);
}

TEST(FileHashesRecord, EachMalformedFormIsNamedAndFailsThePayload) {
  const std::string good = SerializeFileHashes(TwoHashedFiles());
  auto with = [&](size_t at, const std::string& bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
  const size_t first_name = 8 + 2, second_name = 8 + 2 + 14 + 40 + 2;
  struct Case {
    const char* what;
    std::string record;
    FileHashesError error;
  };
  const std::vector<Case> cases = {
      {"cut inside a hash", good.substr(0, 40), FileHashesError::kTruncated},
      {"count past the data", with(4, "\x03"), FileHashesError::kTruncated},
      {"version 2", with(0, "\x02"), FileHashesError::kUnknownVersion},
      {"name outside files\\", with(first_name, "cfg\\\\"), FileHashesError::kBadName},
      {"name of the prefix alone", [&] {
         std::vector<FileHashEntry> f(1);
         f[0].name = "files\\";
         return SerializeFileHashes(f);
       }(), FileHashesError::kBadName},
      {"control character", with(second_name + 7, "\n"), FileHashesError::kBadName},
      {"the same name twice but for case", [&] {
         std::vector<FileHashEntry> f = TwoHashedFiles();
         f[1].name = "files\\GAME.EXE";
         return SerializeFileHashes(f);
       }(), FileHashesError::kDuplicateName},
      {"a byte after the last field", good + '\0', FileHashesError::kTrailingBytes},
  };
  for (const Case& c : cases) {
    std::vector<FileHashEntry> files;
    EXPECT_EQ(ParseFileHashes(reinterpret_cast<const uint8_t*>(c.record.data()), c.record.size(), &files), c.error)
        << c.what;
    EXPECT_FALSE(Locate(Build(0, {{kRecordCabinet, Text("cab")}, {kRecordFileHashes, Text(c.record)}}, true)).ok)
        << c.what;
  }
  EXPECT_FALSE(Locate(Build(0, {{kRecordCabinet, Text("cab")}, {kRecordFileHashes, Text(good)},
                                {kRecordFileHashes, Text(good)}}, true)).ok);
}

}  // namespace
