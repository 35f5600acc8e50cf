// The LZX compressor against the project's own LZX decoder, frame by frame as
// a cabinet carries them: every block type, every window size, the E8
// translation, far matches, frame size limits and determinism.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cabinet/cab_format.h"
#include "cabinet/decompressor.h"
#include "cabinet/lzx_encoder.h"
#include "tests/cabinet/encoder_test_data.h"

namespace {

using cab::LzxEncoder;
using cab::LzxEncoderOptions;
using cab::LzxEncoderStats;

struct Compressed {
  bool ok = false;
  std::string error;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint32_t> sizes;  // uncompressed size of each frame
  LzxEncoderStats stats;
  size_t bytes() const {
    size_t n = 0;
    for (const auto& f : frames) n += f.size();
    return n;
  }
};

Compressed Compress(const std::vector<uint8_t>& data, const LzxEncoderOptions& options) {
  Compressed c;
  LzxEncoder encoder;
  auto sink = [&c](const uint8_t* p, size_t n, uint32_t u) {
    c.frames.emplace_back(p, p + n);
    c.sizes.push_back(u);
    return true;
  };
  if (!encoder.Start(options, sink)) {
    c.error = encoder.error();
    return c;
  }
  for (size_t at = 0; at < data.size(); at += LzxEncoder::kFrameSize) {
    size_t n = std::min<size_t>(LzxEncoder::kFrameSize, data.size() - at);
    if (!encoder.AddFrame(data.data() + at, n)) {
      c.error = encoder.error();
      return c;
    }
  }
  c.ok = encoder.Finish();
  c.error = encoder.error();
  c.stats = encoder.stats();
  return c;
}

// Decodes the frames with the cabinet reader's decoder; false at the first
// frame it rejects.
bool Decode(const Compressed& c, unsigned window_bits, std::vector<uint8_t>* out) {
  auto decoder = cab::CreateDecompressor(cab::MakeLzxType(window_bits));
  if (!decoder) return false;
  out->clear();
  std::vector<uint8_t> frame(LzxEncoder::kFrameSize);
  for (size_t i = 0; i < c.frames.size(); ++i) {
    if (!decoder->DecodeBlock(c.frames[i].data(), c.frames[i].size(), frame.data(), c.sizes[i])) return false;
    out->insert(out->end(), frame.begin(), frame.begin() + c.sizes[i]);
  }
  return true;
}

void ExpectRoundTrip(const std::vector<uint8_t>& data, const LzxEncoderOptions& o, Compressed* result = nullptr) {
  Compressed c = Compress(data, o);
  ASSERT_TRUE(c.ok) << c.error;
  ASSERT_EQ(c.frames.size(), (data.size() + LzxEncoder::kFrameSize - 1) / LzxEncoder::kFrameSize);
  for (size_t i = 0; i < c.frames.size(); ++i) {
    EXPECT_LE(c.frames[i].size(), cab::kMaxBlockCompressed) << "frame " << i;
    EXPECT_EQ(c.frames[i].size() % 2, 0u) << "frame " << i << " is not word aligned";
  }
  std::vector<uint8_t> back;
  ASSERT_TRUE(Decode(c, o.window_bits, &back)) << "the decoder rejected the stream";
  ASSERT_EQ(back.size(), data.size());
  EXPECT_TRUE(back == data) << "decoded bytes differ";
  if (result) *result = std::move(c);
}

struct Kind {
  const char* name;
  std::vector<uint8_t> (*make)(size_t, uint64_t);
};

std::vector<uint8_t> MixedOf(size_t size, uint64_t seed) { return enctest::Mixed(size / 4, seed); }

// 16-byte records whose fields change little from one to the next: matches
// at distances that are multiples of 16, the case aligned-offset blocks win.
std::vector<uint8_t> Records(size_t size, uint64_t seed) {
  enctest::Rng rng(seed);
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i + 16 <= size; i += 16) {
    uint32_t id = static_cast<uint32_t>(i / 16) * 7;
    std::memcpy(&v[i], &id, 4);
    uint32_t back = 16 * (1 + rng.Below(2000));
    if (i >= back) std::memcpy(&v[i + 4], &v[i + 4 - back], 12);
    else for (int k = 4; k < 16; ++k) v[i + k] = static_cast<uint8_t>(rng.Next());
    if (rng.Below(3) == 0) v[i + 4 + rng.Below(12)] = static_cast<uint8_t>(rng.Next());
  }
  return v;
}

const Kind kKinds[] = {{"text", enctest::Text},     {"x86", enctest::X86Code}, {"random", enctest::Random},
                       {"runs", enctest::Runs},     {"mixed", MixedOf},        {"records", Records}};

TEST(LzxEncoder, EveryLevelRoundTripsEveryKindOfData) {
  LzxEncoderStats total;
  for (const Kind& kind : kKinds) {
    std::vector<uint8_t> data = kind.make(150000, 7);
    for (int level = LzxEncoderOptions::kFastest; level <= LzxEncoderOptions::kBest; ++level) {
      SCOPED_TRACE(std::string(kind.name) + " level " + std::to_string(level));
      LzxEncoderOptions o;
      o.level = level;
      Compressed c;
      ExpectRoundTrip(data, o, &c);
      total.verbatim_blocks += c.stats.verbatim_blocks;
      total.aligned_blocks += c.stats.aligned_blocks;
      total.uncompressed_blocks += c.stats.uncompressed_blocks;
      total.repeat_matches += c.stats.repeat_matches;
      if (std::string(kind.name) == "random") {
        EXPECT_GT(c.stats.uncompressed_blocks, 0u);
        EXPECT_LT(c.bytes(), data.size() + 200) << "stored blocks should bound the growth";
      } else {
        EXPECT_LT(c.bytes(), data.size() / 2) << "compressible data should shrink";
      }
    }
  }
  // The table as a whole must have used every block type and repeated offsets.
  EXPECT_GT(total.verbatim_blocks, 0u);
  EXPECT_GT(total.aligned_blocks, 0u);
  EXPECT_GT(total.uncompressed_blocks, 0u);
  EXPECT_GT(total.repeat_matches, 0u);
}

TEST(LzxEncoder, EveryWindowSizeRoundTrips) {
  std::vector<uint8_t> data = enctest::Mixed(60000, 11);
  for (unsigned bits = 15; bits <= 21; ++bits) {
    SCOPED_TRACE("window bits " + std::to_string(bits));
    LzxEncoderOptions o;
    o.window_bits = bits;
    ExpectRoundTrip(data, o);
  }
}

TEST(LzxEncoder, MatchesReachTheWindowsFarEnd) {
  // Window minus 3 is the farthest offset the format allows. At 21 bits it
  // lies beyond the default level's trees, for its long-match table to find.
  const struct {
    unsigned bits;
    std::vector<int> levels;
  } cases[] = {{15, {1, 3, 5}}, {17, {1, 3, 5}}, {21, {3}}};
  for (const auto& [bits, levels] : cases) {
    for (int level : levels) {
      SCOPED_TRACE("window bits " + std::to_string(bits) + " level " + std::to_string(level));
      const uint32_t distance = (1u << bits) - 3, chunk = 3000;
      std::vector<uint8_t> data = enctest::FarRepeat(distance, chunk, bits);
      LzxEncoderOptions o;
      o.window_bits = bits;
      o.level = level;
      o.e8_translation = false;
      Compressed c;
      ExpectRoundTrip(data, o, &c);
      EXPECT_LT(c.bytes(), distance + chunk / 4) << "the repeat at the window's end was not found";
      // One byte farther is out of reach: that repeat cannot compress.
      std::vector<uint8_t> beyond = enctest::FarRepeat(distance + 1, chunk, bits);
      ExpectRoundTrip(beyond, o, &c);
      EXPECT_GT(c.bytes(), distance + chunk);
    }
  }
}

TEST(LzxEncoder, E8TranslationRoundTripsAndHelpsCode) {
  std::vector<uint8_t> code = enctest::X86Code(400000, 3);
  // E8 bytes in the last ten bytes of frames and of the stream.
  for (size_t at = 32768 - 12; at < code.size(); at += 32768)
    for (size_t k = 0; k < 12; ++k) code[at + k] = 0xE8;
  for (size_t k = code.size() - 12; k < code.size(); ++k) code[k] = 0xE8;
  code.resize(code.size() - 5);  // a short last frame
  LzxEncoderOptions on, off;
  off.e8_translation = false;
  Compressed with, without;
  ExpectRoundTrip(code, on, &with);
  ExpectRoundTrip(code, off, &without);
  EXPECT_LT(with.bytes(), without.bytes() * 9 / 10);
  // Small translation sizes put many call targets out of range.
  for (uint32_t size : {1u, 1000u, 0x7FFFFFFFu}) {
    SCOPED_TRACE("translation size " + std::to_string(size));
    on.e8_translation_size = size;
    ExpectRoundTrip(code, on);
  }
}

TEST(LzxEncoder, OutputDependsOnlyOnInputAndOptions) {
  std::vector<uint8_t> data = enctest::Mixed(50000, 5);
  for (int level : {1, 3, 5}) {
    LzxEncoderOptions o;
    o.level = level;
    Compressed a = Compress(data, o), b = Compress(data, o);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_TRUE(a.frames == b.frames) << "level " << level;
  }
}

TEST(LzxEncoder, SameOutputWhateverTheThreadCount) {
  // Several of the stretches the compressor parses on their own, at a
  // hash-chain level and a binary-tree level, with stored blocks (random
  // pieces) on and near their joins.
  std::vector<uint8_t> data;
  for (uint64_t seed = 1; data.size() < 4400000; ++seed) {
    std::vector<uint8_t> piece = enctest::Mixed(120000, seed);
    data.insert(data.end(), piece.begin(), piece.end());
  }
  for (int level : {1, 3}) {
    SCOPED_TRACE("level " + std::to_string(level));
    LzxEncoderOptions o;
    o.level = level;
    o.threads = 1;
    Compressed one;
    ExpectRoundTrip(data, o, &one);
    EXPECT_GT(one.stats.uncompressed_blocks, 0u);
    for (unsigned threads : {3u}) {  // a count that does not divide a round
      o.threads = threads;
      Compressed many = Compress(data, o);
      ASSERT_TRUE(many.ok) << many.error;
      EXPECT_TRUE(many.frames == one.frames) << threads << " threads";
    }
  }
}

TEST(LzxEncoder, SmallAndOddStreams) {
  for (size_t size : {1u, 2u, 3u, 10u, 11u, 32767u, 32768u, 32769u, 65536u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    ExpectRoundTrip(enctest::Text(size, size), LzxEncoderOptions());
    ExpectRoundTrip(enctest::Random(size, size), LzxEncoderOptions());
  }
  // No frames at all: nothing is sent.
  Compressed empty = Compress({}, LzxEncoderOptions());
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.frames.empty());
}

TEST(LzxEncoder, RejectsBadOptionsAndFrames) {
  struct Case {
    const char* what;
    LzxEncoderOptions options;
  };
  std::vector<Case> cases(5);
  cases[0] = {"window 14", {}};
  cases[0].options.window_bits = 14;
  cases[1] = {"window 22", {}};
  cases[1].options.window_bits = 22;
  cases[2] = {"level 0", {}};
  cases[2].options.level = 0;
  cases[3] = {"level 6", {}};
  cases[3].options.level = 6;
  cases[4] = {"translation size 0", {}};
  cases[4].options.e8_translation_size = 0;
  for (const Case& c : cases) {
    LzxEncoder e;
    EXPECT_FALSE(e.Start(c.options, [](const uint8_t*, size_t, uint32_t) { return true; })) << c.what;
    EXPECT_FALSE(e.error().empty()) << c.what;
  }

  LzxEncoder e;
  std::vector<uint8_t> data(LzxEncoder::kFrameSize + 1, 'x');
  EXPECT_FALSE(e.AddFrame(data.data(), 100)) << "not started";
  ASSERT_TRUE(e.Start(LzxEncoderOptions(), [](const uint8_t*, size_t, uint32_t) { return true; }));
  EXPECT_FALSE(e.AddFrame(data.data(), data.size())) << "frame too large";
  EXPECT_FALSE(e.AddFrame(data.data(), 0)) << "empty frame";
  EXPECT_TRUE(e.AddFrame(data.data(), 100));
  EXPECT_FALSE(e.AddFrame(data.data(), 100)) << "a frame after a short one";

  // A sink that fails stops the encoder with an error.
  LzxEncoder failing;
  ASSERT_TRUE(failing.Start(LzxEncoderOptions(), [](const uint8_t*, size_t, uint32_t) { return false; }));
  EXPECT_TRUE(failing.AddFrame(data.data(), 1000));
  EXPECT_FALSE(failing.Finish());
  EXPECT_FALSE(failing.error().empty());
}

// ---------------------------------------------------------------- E8 ----

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

TEST(LzxTranslateE8, MapsRelativeCallsToAbsoluteTargets) {
  const uint32_t kSize = 12000000;
  struct Case {
    uint32_t frame_offset;
    uint32_t index;     // of the E8 byte in the frame
    int32_t relative;   // the call's displacement
    int32_t expected;   // what the encoder stores
  };
  const Case cases[] = {
      {0, 100, 50, 150},                            // target inside the file
      {0, 100, -100, 0},                            // target at the file's start
      {0, 100, -101, -101},                         // before the start: unchanged
      {0, 100, int32_t(kSize) - 101, int32_t(kSize) - 1},  // last target inside
      {0, 100, int32_t(kSize) - 100, -100},         // past the end: wraps below zero
      {0, 100, int32_t(kSize) - 1, -1},
      {0, 100, int32_t(kSize), int32_t(kSize)},     // out of range: unchanged
      {32768, 5, 1000, 32768 + 5 + 1000},           // the frame's offset counts
      {0x3FFF8000, 0, -0x3FFF7000, 0x1000},         // the last translated frame
      {0x40000000, 0, -0x3FFFF000, -0x3FFFF000},    // from 1 GB on: no translation
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("offset " + std::to_string(c.frame_offset) + " relative " + std::to_string(c.relative));
    std::vector<uint8_t> frame(1000, 0x90);
    frame[c.index] = 0xE8;
    std::memcpy(&frame[c.index + 1], &c.relative, 4);
    cab::LzxTranslateE8(frame.data(), static_cast<uint32_t>(frame.size()), c.frame_offset, kSize);
    EXPECT_EQ(static_cast<int32_t>(Le32(&frame[c.index + 1])), c.expected);
  }
}

TEST(LzxTranslateE8, SkipsTheOperandAndTheFramesLastTenBytes) {
  std::vector<uint8_t> frame(64, 0);
  // E8 E8 00 00 00: the second E8 is the first's operand, never a call.
  frame[0] = 0xE8;
  frame[1] = 0xE8;
  frame[53] = 0xE8;  // index 53 < 64 - 10: translated
  frame[54] = 0xE8;  // operand of the one before
  frame[58] = 0xE8;  // index 58 >= 64 - 10: left alone
  std::vector<uint8_t> out = frame;
  cab::LzxTranslateE8(out.data(), 64, 1000, 100000);
  EXPECT_EQ(Le32(&out[1]), 1000u + 0xE8);
  EXPECT_EQ(Le32(&out[54]), 1000u + 53 + 0xE8);
  EXPECT_TRUE(std::equal(out.begin() + 58, out.end(), frame.begin() + 58));
  // Frames of 10 bytes or fewer are never translated.
  std::vector<uint8_t> tiny = {0xE8, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> copy = tiny;
  cab::LzxTranslateE8(copy.data(), 10, 0, 100000);
  EXPECT_EQ(copy, tiny);
}

}  // namespace
