// The writer's cabinets read by independent host programs: cabextract tests
// and extracts them (compared byte for byte), gcab lists them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "support/run_command_host.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_writer_test_data.h"

namespace {

using writertest::Added;

bool HaveProgram(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string HostPath(const std::string& name) {
  std::string p = name;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

void ExpectCabextractReads(const std::vector<Added>& added, cab::CabWriter& w) {
  testsupport::ScratchDir dir;
  const std::string cab = dir.file("test.cab");
  ASSERT_TRUE(w.WriteToFile(cab)) << w.error();
  std::string out;
  EXPECT_EQ(testsupport::RunCommand("cabextract -t '" + cab + "'", &out), 0) << out;
  EXPECT_NE(out.find("All done, no errors"), std::string::npos) << out;
  ASSERT_EQ(testsupport::RunCommand("cabextract -q -d '" + dir.file("x") + "' '" + cab + "'", &out), 0) << out;
  for (const Added& a : added) {
    std::vector<uint8_t> back;
    ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("x/" + HostPath(a.name)), &back)) << a.name;
    EXPECT_TRUE(back == a.data) << a.name;
  }
  if (HaveProgram("gcab")) {
    ASSERT_EQ(testsupport::RunCommand("gcab -l '" + cab + "'", &out), 0) << out;
    // One line per entry: name, size, date and time.
    for (const Added& a : added) {
      char line[400];
      std::snprintf(line, sizeof line, "%s %zu %04d-%02d-%02d %02d:%02d:%02d", a.name.c_str(), a.data.size(),
                    (a.date >> 9) + 1980, (a.date >> 5) & 15, a.date & 31, a.time >> 11, (a.time >> 5) & 63,
                    (a.time & 31) * 2);
      EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    }
  }
}

TEST(CabWriterHost, CabextractReadsEveryFolderKind) {
  if (!HaveProgram("cabextract")) GTEST_SKIP() << "cabextract is not installed";
  cab::CabWriter w;
  std::vector<Added> added = writertest::FillManyFolders(w);
  ExpectCabextractReads(added, w);
}

TEST(CabWriterHost, CabextractReadsEveryLzxLevel) {
  if (!HaveProgram("cabextract")) GTEST_SKIP() << "cabextract is not installed";
  cab::CabWriter w;
  std::vector<Added> added = writertest::FillLevels(w);
  ExpectCabextractReads(added, w);
  const cab::LzxEncoderStats& s = w.lzx_stats();
  EXPECT_GT(s.verbatim_blocks + s.aligned_blocks, 0u);
  EXPECT_GT(s.uncompressed_blocks, 0u);
}

}  // namespace
