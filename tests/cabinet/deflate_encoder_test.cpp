// The MSZIP compressor against the project's MSZIP decoder: each block a
// deflate stream after "CK", with matches reaching into earlier blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cabinet/cab_format.h"
#include "cabinet/decompressor.h"
#include "cabinet/deflate_encoder.h"
#include "tests/cabinet/encoder_test_data.h"

namespace {

// Compresses `data` in blocks of `block` bytes and decodes them again;
// returns the compressed size, or 0 when decoding failed or differed.
size_t RoundTrip(const std::vector<uint8_t>& data, size_t block = 32768) {
  cab::DeflateEncoder encoder;
  encoder.Reset();
  auto decoder = cab::CreateDecompressor(cab::kCompressMszip);
  std::vector<uint8_t> out(32768);
  size_t total = 0;
  for (size_t at = 0; at < data.size(); at += block) {
    size_t n = std::min(block, data.size() - at);
    std::vector<uint8_t> packed = {'C', 'K'};
    encoder.CompressBlock(data.data() + at, n, &packed);
    total += packed.size();
    EXPECT_LE(packed.size(), 32768u + 12) << "block at " << at;
    if (!decoder->DecodeBlock(packed.data(), packed.size(), out.data(), n)) {
      ADD_FAILURE() << "decoder rejected the block at " << at;
      return 0;
    }
    if (!std::equal(out.begin(), out.begin() + n, data.begin() + at)) {
      ADD_FAILURE() << "block at " << at << " decodes to other bytes";
      return 0;
    }
  }
  return total;
}

TEST(DeflateEncoder, RoundTripsEveryKindOfData) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    double max_ratio;
  };
  const Case cases[] = {
      {"text", enctest::Text(200000, 1), 0.45},
      {"code", enctest::X86Code(200000, 2), 0.8},
      {"random (stored blocks)", enctest::Random(100000, 3), 1.001},
      {"runs", enctest::Runs(200000, 4), 0.1},
      {"mixed", enctest::Mixed(50000, 5), 0.7},
      {"one byte", {42}, 20},
      {"short last block", enctest::Text(32768 + 7, 6), 0.6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t packed = RoundTrip(c.data);
    ASSERT_GT(packed, 0u);
    EXPECT_LE(packed, c.data.size() * c.max_ratio + 16);
  }
}

TEST(DeflateEncoder, MatchesReachIntoThePreviousBlock) {
  // Two identical random blocks: the second is one long match 32768 back.
  std::vector<uint8_t> data = enctest::Random(32768, 9);
  data.insert(data.end(), data.begin(), data.end());
  cab::DeflateEncoder encoder;
  encoder.Reset();
  std::vector<uint8_t> first, second;
  encoder.CompressBlock(data.data(), 32768, &first);
  encoder.CompressBlock(data.data() + 32768, 32768, &second);
  EXPECT_GT(first.size(), 32768u);
  EXPECT_LT(second.size(), 1000u);
  EXPECT_GT(RoundTrip(data), 0u);
}

}  // namespace
