// LZX cabinets from the cabinet writer, at window sizes from 15 to 21 bits, decode to their
// input: text, incompressible data, and x86-like code full of E8 bytes over
// many frames. (On the host, cab_lzx_cabextract_host_test.cpp checks the same
// cabinets against cabextract, so a fault shared by writer and reader would
// still show.)
#include <gtest/gtest.h>

#include <sstream>

#include "cabinet/cab_writer.h"
#include "tests/cabinet/cab_lzx_samples.h"
#include "tests/cabinet/cab_test_builder.h"

namespace {

TEST(CabLzxRoundTrip, WindowSizes) {
  const auto files = cabtest::LzxSampleFiles();
  for (unsigned bits : {15u, 16u, 18u, 21u}) {
    SCOPED_TRACE(bits);
    std::vector<uint8_t> cabinet = cabtest::MakeLzxCabinet(files, bits);
    ASSERT_FALSE(cabinet.empty());
    cabtest::EngineRun run = cabtest::RunEngine(cabinet);
    ASSERT_TRUE(run.ok) << run.error.code;
    for (const auto& f : files) EXPECT_TRUE(run.files[f.first] == f.second) << f.first;
  }
}

}  // namespace
