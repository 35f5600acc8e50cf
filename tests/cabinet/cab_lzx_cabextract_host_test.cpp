// LZX cabinets from the cabinet writer give, through cabextract (an
// independent decoder), exactly the bytes our engine gives.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_support.h"
#include "tests/cabinet/cab_lzx_samples.h"

namespace {

TEST(CabLzxCabextract, SameBytesAsCabextract) {
  if (std::system("command -v cabextract >/dev/null 2>&1") != 0) GTEST_SKIP() << "cabextract is not installed";
  const auto files = cabtest::LzxSampleFiles();
  for (unsigned bits : {15u, 21u}) {
    SCOPED_TRACE(bits);
    testsupport::ScratchDir dir;
    std::vector<uint8_t> cabinet = cabtest::MakeLzxCabinet(files, bits);
    ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("lzx.cab"), cabinet.data(), cabinet.size()));
    const std::string command = "cabextract -q -d '" + dir.file("ref") + "' '" + dir.file("lzx.cab") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    cabtest::EngineRun ours = cabtest::RunEngine(cabinet);
    ASSERT_TRUE(ours.ok);
    for (const auto& f : files) {
      std::vector<uint8_t> reference;
      ASSERT_TRUE(testsupport::ReadWholeFile(dir.file("ref/" + f.first), &reference)) << f.first;
      EXPECT_TRUE(ours.files[f.first] == reference) << f.first;
    }
  }
}

}  // namespace
