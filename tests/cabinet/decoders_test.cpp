// The decoders on streams written by the tests themselves: a small LZX
// writer with fixed trees (every code of one length, so that a symbol's code
// is its number) and a deflate writer with the fixed codes. Expected output
// comes from expanding the same literal/match list directly.
#include <gtest/gtest.h>

#include "cabinet/bit_reader.h"
#include "cabinet/huffman_table.h"
#include "cabinet/lzx_decoder.h"
#include "cabinet/mszip_decoder.h"
#include "cabinet/quantum_decoder.h"
#include "tests/cabinet/cab_test_builder.h"

namespace {

// ---- Huffman tables -------------------------------------------------------

// Bits written most significant first into 16-bit little-endian words (LZX)
// or least significant first into bytes (deflate).
class BitWriter {
 public:
  explicit BitWriter(bool lsb_first) : lsb_first_(lsb_first) {}
  void Put(uint32_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) PutBit((value >> i) & 1);
  }
  // Deflate's extra bits and header fields go least significant bit first.
  void PutLsb(uint32_t value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) PutBit((value >> i) & 1);
  }
  void Align() {
    const unsigned unit = lsb_first_ ? 8 : 16;
    while (count_ % unit) PutBit(0);
  }
  void Raw(const std::vector<uint8_t>& bytes) {
    Align();
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  size_t BitCount() const { return out_.size() * 8 + count_ % (lsb_first_ ? 8 : 16); }
  std::vector<uint8_t> Take() {
    Align();
    std::vector<uint8_t> r;
    r.swap(out_);
    return r;
  }

 private:
  void PutBit(unsigned bit) {
    if (lsb_first_) {
      acc_ |= bit << (count_ % 8);
      if (++count_ % 8 == 0) {
        out_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0;
      }
    } else {
      acc_ = (acc_ << 1) | bit;
      if (++count_ % 16 == 0) {
        out_.push_back(static_cast<uint8_t>(acc_));
        out_.push_back(static_cast<uint8_t>(acc_ >> 8));
        acc_ = 0;
      }
    }
  }
  bool lsb_first_;
  std::vector<uint8_t> out_;
  uint32_t acc_ = 0;
  size_t count_ = 0;
};

TEST(HuffmanTable, BuildAcceptsCompleteAndIncompleteCodesOnly) {
  const struct {
    std::vector<uint8_t> lengths;
    bool ok;
    bool empty;
  } cases[] = {
      {{1, 1}, true, false},        {{1, 2, 2}, true, false},  {{2, 1, 3, 3}, true, false},
      {{1}, true, false},           {{0, 0, 0}, true, true},   {{1, 1, 1}, false, false},
      {{2, 2, 2, 2, 2}, false, false}, {{17}, false, false}, {{16, 16}, true, false},
  };
  for (const auto& c : cases) {
    cab::HuffmanTable t(8, 4);
    EXPECT_EQ(t.Build(c.lengths.data(), static_cast<unsigned>(c.lengths.size()), false), c.ok);
    if (c.ok) {
      EXPECT_EQ(t.Empty(), c.empty);
    }
  }
}

// Codes shorter and longer than the first-level table, in both bit orders.
TEST(HuffmanTable, DecodesCanonicalCodesInBothBitOrders) {
  // Symbol 1: 0, 0: 10, 2: 110, 3: 1110, 4: 11110, 5: 111110, 6: 111111.
  const uint8_t lengths[] = {2, 1, 3, 4, 5, 6, 6};
  const uint32_t codes[] = {0b10, 0b0, 0b110, 0b1110, 0b11110, 0b111110, 0b111111};
  const int sequence[] = {6, 1, 0, 5, 2, 3, 4, 6, 6, 1};
  for (bool lsb : {false, true}) {
    SCOPED_TRACE(lsb ? "lsb" : "msb");
    cab::HuffmanTable t(7, 2);  // root of 2 bits: most codes go to second level
    ASSERT_TRUE(t.Build(lengths, 7, lsb));
    BitWriter w(lsb);
    for (int s : sequence) w.Put(codes[s], lengths[s]);
    std::vector<uint8_t> bytes = w.Take();
    if (lsb) {
      cab::LsbBitReader r(bytes.data(), bytes.size());
      for (int s : sequence) {
        r.Refill();
        EXPECT_EQ(t.Decode(r), s);
      }
    } else {
      cab::WordBitReader r(bytes.data(), bytes.size());
      for (int s : sequence) {
        r.Refill();
        EXPECT_EQ(t.Decode(r), s);
      }
    }
  }
}

TEST(HuffmanTable, UnusedPatternsOfIncompleteCodesFail) {
  const uint8_t lengths[] = {1, 0, 3};  // "0" and "100"; "101", "11x" unused
  cab::HuffmanTable t(3, 2);
  ASSERT_TRUE(t.Build(lengths, 3, false));
  const uint8_t bits[] = {0x00, 0xC0};  // word 0xC000: 1100...
  cab::WordBitReader r(bits, 2);
  r.Refill();
  EXPECT_EQ(t.Decode(r), -1);
}

// ---- LZX ------------------------------------------------------------------

constexpr unsigned kWindowBits = 15;
// Main trees are written for 32 position slots (a 16-bit window); a 15-bit
// window's decoder reads the first 30 of them.
constexpr unsigned kMainSymbols = 256 + 8 * 32;

// One item of an LZX test stream.
struct Op {
  enum Kind { kLiteral, kMatch, kRepeat } kind;
  uint8_t byte = 0;
  uint32_t length = 0;
  uint32_t offset = 0;  // kMatch: real offset; kRepeat: which of R0..R2
};
Op Lit(uint8_t b) { return {Op::kLiteral, b, 0, 0}; }
Op Match(uint32_t length, uint32_t offset) { return {Op::kMatch, 0, length, offset}; }
Op Repeat(uint32_t length, uint32_t which) { return {Op::kRepeat, 0, length, which}; }

struct Slots {
  uint32_t base[50];
  unsigned extra[50];
  Slots() {
    uint32_t b = 0;
    for (unsigned i = 0; i < 50; ++i) {
      extra[i] = i < 4 ? 0 : std::min(17u, (i - 2) / 2);
      base[i] = b;
      b += 1u << extra[i];
    }
  }
};
const Slots kSlotTable;

// Writes LZX with fixed trees: main and length codes of 9 and 8 bits (so a
// code is its symbol's number), aligned codes of 3 bits.
class LzxWriter {
 public:
  explicit LzxWriter(uint32_t translation_size = 0) {
    w_.Put(translation_size ? 1 : 0, 1);
    if (translation_size) {
      w_.Put(translation_size >> 16, 16);
      w_.Put(translation_size & 0xFFFF, 16);
    }
  }

  void Block(bool aligned, uint32_t size, const std::vector<Op>& ops, unsigned window_bits = kWindowBits) {
    w_.Put(aligned ? 2 : 1, 3);
    w_.Put(size, 24);
    if (aligned)
      for (int i = 0; i < 8; ++i) w_.Put(3, 3);
    Lengths(main_, 0, 256, 9);
    Lengths(main_, 256, window_bits == 15 ? 256 + 8 * 30 : kMainSymbols, 9);
    Lengths(length_, 0, 249, 8);
    for (const Op& op : ops) Emit(op, aligned);
  }

  void Uncompressed(const std::vector<uint8_t>& data, uint32_t r0, uint32_t r1, uint32_t r2) {
    w_.Put(3, 3);
    w_.Put(static_cast<uint32_t>(data.size()), 24);
    // 1 to 16 bits up to the next 16-bit boundary.
    const size_t pad = 16 - w_.BitCount() % 16;
    w_.Put(0, static_cast<unsigned>(pad));
    std::vector<uint8_t> raw;
    for (uint32_t r : {r0, r1, r2})
      for (int i = 0; i < 4; ++i) raw.push_back(static_cast<uint8_t>(r >> (8 * i)));
    raw.insert(raw.end(), data.begin(), data.end());
    if (data.size() & 1) raw.push_back(0);
    w_.Raw(raw);
    repeated_[0] = r0;
    repeated_[1] = r1;
    repeated_[2] = r2;
  }

  void Emit(const Op& op, bool aligned) {
    if (op.kind == Op::kLiteral) {
      w_.Put(op.byte, 9);
      return;
    }
    const uint32_t header = std::min<uint32_t>(op.length - 2, 7);
    unsigned slot;
    uint32_t verbatim = 0;
    if (op.kind == Op::kRepeat) {
      slot = op.offset;
    } else {
      const uint32_t formatted = op.offset + 2;
      slot = 3;
      while (slot + 1 < 50 && kSlotTable.base[slot + 1] <= formatted) ++slot;
      verbatim = formatted - kSlotTable.base[slot];
    }
    w_.Put(256 + slot * 8 + header, 9);
    if (header == 7) w_.Put(op.length - 9, 8);
    if (slot >= 3) {
      const unsigned extra = kSlotTable.extra[slot];
      if (aligned && extra >= 3) {
        w_.Put(verbatim >> 3, extra - 3);
        w_.Put(verbatim & 7, 3);
      } else {
        w_.Put(verbatim, extra);
      }
    }
  }

  void AlignFrame() { w_.Align(); }
  size_t BitCount() const { return w_.BitCount(); }
  std::vector<uint8_t> TakeFrame() { return w_.Take(); }

 private:
  // Pretree of 20 codes of 5 bits; each length as a difference from the
  // previous block's.
  void Lengths(uint8_t* previous, unsigned first, unsigned last, uint8_t length) {
    for (int i = 0; i < 20; ++i) w_.Put(5, 4);
    for (unsigned i = first; i < last; ++i) {
      w_.Put((previous[i] + 17 - length) % 17, 5);
      previous[i] = length;
    }
  }
  BitWriter w_{false};
  uint8_t main_[kMainSymbols] = {};
  uint8_t length_[249] = {};
  uint32_t repeated_[3] = {1, 1, 1};
};

// The output of a list of ops, with LZX's repeated-offset rules.
void Expand(const std::vector<Op>& ops, std::vector<uint8_t>& out, uint32_t repeated[3]) {
  for (const Op& op : ops) {
    if (op.kind == Op::kLiteral) {
      out.push_back(op.byte);
      continue;
    }
    uint32_t offset;
    if (op.kind == Op::kMatch) {
      offset = op.offset;
      repeated[2] = repeated[1];
      repeated[1] = repeated[0];
      repeated[0] = offset;
    } else {
      offset = repeated[op.offset];
      std::swap(repeated[0], repeated[op.offset]);
    }
    for (uint32_t i = 0; i < op.length; ++i) out.push_back(out[out.size() - offset]);
  }
}

uint32_t SizeOf(const std::vector<Op>& ops) {
  uint32_t n = 0;
  for (const Op& op : ops) n += op.kind == Op::kLiteral ? 1 : op.length;
  return n;
}

std::vector<Op> SampleOps(uint32_t seed, size_t count) {
  std::vector<Op> ops;
  uint32_t x = seed;
  size_t produced = 0;
  for (size_t i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    const unsigned choice = (x >> 16) % 10;
    if (produced < 8 || choice < 5) {
      ops.push_back(Lit(static_cast<uint8_t>('a' + (x >> 20) % 26)));
      ++produced;
    } else if (choice < 8) {
      const uint32_t offset = 1 + (x >> 8) % std::min<size_t>(produced, 30000);
      const uint32_t length = 2 + (x >> 3) % 255;
      ops.push_back(Match(length, offset));
      produced += length;
    } else {
      const uint32_t length = 2 + (x >> 5) % 40;
      ops.push_back(Repeat(length, choice - 7));  // R1 or R2
      produced += length;
    }
  }
  return ops;
}

TEST(LzxDecoder, VerbatimAndAlignedBlocksWithRepeatedOffsets) {
  for (bool aligned : {false, true}) {
    SCOPED_TRACE(aligned ? "aligned" : "verbatim");
    std::vector<Op> ops = {Lit('a'), Lit('b'), Lit('c'), Lit('d'), Lit('e'), Lit('f'), Lit('g'), Lit('h'),
                           Match(8, 8),   Match(100, 3), Repeat(5, 0),   Match(3, 1000 % 100 + 7),
                           Repeat(9, 1),  Repeat(20, 2), Match(257, 50), Match(2, 2)};
    std::vector<Op> more = SampleOps(aligned ? 7 : 3, 300);
    ops.insert(ops.end(), more.begin(), more.end());
    std::vector<uint8_t> expected;
    uint32_t repeated[3] = {1, 1, 1};
    Expand(ops, expected, repeated);
    ASSERT_LE(expected.size(), 32768u);

    LzxWriter w;
    w.Block(aligned, SizeOf(ops), ops);
    std::vector<uint8_t> frame = w.TakeFrame();
    cab::LzxDecoder d(kWindowBits);
    std::vector<uint8_t> out(expected.size());
    ASSERT_TRUE(d.DecodeBlock(frame.data(), frame.size(), out.data(), out.size()));
    EXPECT_EQ(out, expected);
  }
}

// Offsets of every slot that carries aligned bits, in an aligned block.
TEST(LzxDecoder, AlignedOffsetsOfEverySlot) {
  std::vector<Op> ops;
  for (int i = 0; i < 2000; ++i) ops.push_back(Lit(static_cast<uint8_t>(i * 7)));
  for (uint32_t offset : {7u, 8u, 9u, 15u, 16u, 17u, 100u, 1000u, 1001u, 1007u, 1999u, 2000u})
    ops.push_back(Match(4, offset));
  std::vector<uint8_t> expected;
  uint32_t repeated[3] = {1, 1, 1};
  Expand(ops, expected, repeated);
  LzxWriter w;
  w.Block(true, SizeOf(ops), ops);
  std::vector<uint8_t> frame = w.TakeFrame();
  cab::LzxDecoder d(kWindowBits);
  std::vector<uint8_t> out(expected.size());
  ASSERT_TRUE(d.DecodeBlock(frame.data(), frame.size(), out.data(), out.size()));
  EXPECT_EQ(out, expected);
}

// A block that spans frames, frames realigned, the window wrapping around.
TEST(LzxDecoder, BlocksSpanFramesAndTheWindowWraps) {
  std::vector<std::vector<Op>> frames;
  std::vector<uint8_t> expected;
  uint32_t repeated[3] = {1, 1, 1};
  // Four frames of exactly 32768 bytes each: the 32 KB window wraps three times.
  for (int f = 0; f < 4; ++f) {
    std::vector<Op> ops;
    uint32_t produced = 0;
    uint32_t x = 99 + f;
    while (produced < 32768) {
      x = x * 1103515245u + 12345u;
      uint32_t room = 32768 - produced;
      if (expected.size() + produced < 16 || room < 3 || (x >> 16) % 3 == 0) {
        ops.push_back(Lit(static_cast<uint8_t>(x >> 24)));
        ++produced;
      } else {
        uint32_t length = std::min<uint32_t>(room, 2 + (x >> 4) % 200);
        uint32_t offset = 1 + (x >> 12) % std::min<uint32_t>(32000, static_cast<uint32_t>(expected.size()) + produced);
        ops.push_back(Match(length, offset));
        produced += length;
      }
    }
    Expand(ops, expected, repeated);
    frames.push_back(ops);
  }
  LzxWriter w;
  std::vector<std::vector<uint8_t>> data;
  for (size_t f = 0; f < frames.size(); ++f) {
    if (f == 0) w.Block(false, 4 * 32768, {});  // one block for all four frames
    for (const Op& op : frames[f]) w.Emit(op, false);
    data.push_back(w.TakeFrame());
  }
  cab::LzxDecoder d(kWindowBits);
  std::vector<uint8_t> out(32768);
  for (size_t f = 0; f < frames.size(); ++f) {
    ASSERT_TRUE(d.DecodeBlock(data[f].data(), data[f].size(), out.data(), out.size())) << f;
    EXPECT_TRUE(std::equal(out.begin(), out.end(), expected.begin() + f * 32768)) << f;
  }
}

// With a window as large as the decoder's buffer, an offset of nearly the
// whole window reads the bytes just ahead of those being written.
TEST(LzxDecoder, OffsetsOfNearlyTheWholeWindow) {
  const unsigned bits = 16;
  std::vector<Op> ops;
  uint32_t x = 5;
  for (int i = 0; i < 66000; ++i) {
    x = x * 1103515245u + 12345u;
    ops.push_back(Lit(static_cast<uint8_t>(x >> 24)));
  }
  // The largest offset a 16-bit window can code is 65536 - 3.
  for (uint32_t offset : {65533u, 65533u - 256u, 40000u, 65000u}) ops.push_back(Match(257, offset));
  std::vector<uint8_t> expected;
  uint32_t repeated[3] = {1, 1, 1};
  Expand(ops, expected, repeated);

  LzxWriter w;
  w.Block(false, SizeOf(ops), {}, bits);
  std::vector<std::vector<uint8_t>> frames;
  uint32_t in_frame = 0;
  for (const Op& op : ops) {
    w.Emit(op, false);
    in_frame += op.kind == Op::kLiteral ? 1 : op.length;
    if (in_frame >= 32768) {
      ASSERT_EQ(in_frame, 32768u);  // literals fill the first frames exactly
      frames.push_back(w.TakeFrame());
      in_frame = 0;
    }
  }
  frames.push_back(w.TakeFrame());
  cab::LzxDecoder d(bits);
  std::vector<uint8_t> out;
  for (size_t f = 0; f < frames.size(); ++f) {
    std::vector<uint8_t> part(std::min<size_t>(32768, expected.size() - out.size()));
    ASSERT_TRUE(d.DecodeBlock(frames[f].data(), frames[f].size(), part.data(), part.size())) << f;
    out.insert(out.end(), part.begin(), part.end());
  }
  EXPECT_TRUE(out == expected);
}

TEST(LzxDecoder, UncompressedBlocksSetRepeatedOffsetsAndKeepParity) {
  // Any bit position before the uncompressed header: 0 to 15 literals of 9
  // bits, which also covers the header ending on a 16-bit boundary.
  for (int lead = 0; lead < 16; ++lead) {
    SCOPED_TRACE(lead);
    std::vector<Op> first;
    for (int i = 0; i < 3 + lead; ++i) first.push_back(Lit(static_cast<uint8_t>('A' + i)));
    const std::vector<uint8_t> odd = cabtest::Bytes("21 raw bytes, 1 pad.!");  // odd: a padding byte follows
    ASSERT_EQ(odd.size() % 2, 1u);
    std::vector<Op> after = {Repeat(6, 0), Lit('z'), Repeat(4, 1)};

    LzxWriter w;
    w.Block(false, SizeOf(first), first);
    w.Uncompressed(odd, 5, 9, 2);
    w.Block(false, SizeOf(after), after);
    std::vector<uint8_t> frame = w.TakeFrame();

    std::vector<uint8_t> expected;
    uint32_t repeated[3] = {1, 1, 1};
    Expand(first, expected, repeated);
    expected.insert(expected.end(), odd.begin(), odd.end());
    uint32_t from_header[3] = {5, 9, 2};
    Expand(after, expected, from_header);

    cab::LzxDecoder d(kWindowBits);
    std::vector<uint8_t> out(expected.size());
    ASSERT_TRUE(d.DecodeBlock(frame.data(), frame.size(), out.data(), out.size()));
    EXPECT_EQ(out, expected);
  }
}

void PutLe32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
uint32_t GetLe32(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}

TEST(LzxDecoder, IntelCallTranslation) {
  const uint32_t file_size = 100000;
  // Two frames of raw data carrying E8 operands that the encoder made absolute.
  std::vector<uint8_t> frame1(32768, 0x90), frame2(1000, 0x90);
  struct Call {
    int frame;
    size_t at;
    uint32_t stored;   // the absolute operand in the stream
    uint32_t decoded;  // what the decoder must give back
  };
  const Call calls[] = {
      {0, 100, 116, 16},                                 // absolute >= 0: minus the position
      {0, 200, static_cast<uint32_t>(-50), file_size - 50},   // -position <= absolute < 0: plus the size
      {0, 300, static_cast<uint32_t>(-301), static_cast<uint32_t>(-301)},  // below -position: untouched
      {0, 400, file_size, file_size},                    // at or beyond the size: untouched
      {0, 32768 - 5, 5000, 5000},                        // in the frame's last 10 bytes: untouched
      {0, 32768 - 11, 40000, 40000 - (32768 - 11)},      // the last translated position
      {1, 10, 40000, 40000 - (32768 + 10)},              // second frame: position counts from the folder start
  };
  for (const Call& c : calls) {
    std::vector<uint8_t>& f = c.frame ? frame2 : frame1;
    f[c.at] = 0xE8;
    PutLe32(f, c.at + 1, c.stored);
  }
  // Frame 1: an uncompressed block of exactly one frame; frame 2 another.
  LzxWriter writer(file_size);
  writer.Uncompressed(frame1, 1, 1, 1);
  std::vector<uint8_t> data1 = writer.TakeFrame();
  writer.Uncompressed(frame2, 1, 1, 1);
  std::vector<uint8_t> data2 = writer.TakeFrame();

  cab::LzxDecoder d(kWindowBits);
  std::vector<uint8_t> out1(frame1.size()), out2(frame2.size());
  ASSERT_TRUE(d.DecodeBlock(data1.data(), data1.size(), out1.data(), out1.size()));
  ASSERT_TRUE(d.DecodeBlock(data2.data(), data2.size(), out2.data(), out2.size()));
  for (const Call& c : calls) {
    const std::vector<uint8_t>& out = c.frame ? out2 : out1;
    EXPECT_EQ(out[c.at], 0xE8);
    EXPECT_EQ(GetLe32(out, c.at + 1), c.decoded) << "frame " << c.frame << " at " << c.at;
  }
}

TEST(LzxDecoder, RejectsBadStreams) {
  using E = cab::DecodeError;
  std::vector<Op> ops = {Lit('a'), Lit('b'), Match(2, 2)};
  struct Case {
    const char* what;
    std::vector<uint8_t> frame;
    size_t out_size;
    E error;
  };
  std::vector<Case> cases;
  {
    LzxWriter w;
    w.Block(false, 4, ops);
    cases.push_back({"frame larger than the block list", w.TakeFrame(), 10, E::kInputEnds});
  }
  {
    LzxWriter w;
    w.Block(false, 3, {Lit('a'), Match(3, 1)});  // match longer than the block
    cases.push_back({"match beyond block", w.TakeFrame(), 3, E::kBadMatch});
  }
  {
    BitWriter b(false);
    b.Put(0, 1);
    b.Put(5, 3);  // block type 5
    b.Put(100, 24);
    cases.push_back({"block type 5", b.Take(), 100, E::kBadBlockType});
  }
  {
    BitWriter b(false);
    b.Put(0, 1);
    b.Put(1, 3);
    b.Put(0, 24);
    cases.push_back({"empty block", b.Take(), 100, E::kBadBlockSize});
  }
  {
    LzxWriter w;
    w.Uncompressed(cabtest::Bytes("0123456789"), 1, 1, 1);
    std::vector<uint8_t> f = w.TakeFrame();
    f.resize(f.size() - 6);
    cases.push_back({"uncompressed block cut short", f, 10, E::kInputEnds});
  }
  {
    LzxWriter w;
    w.Block(false, 40, SampleOps(1, 30));
    std::vector<uint8_t> f = w.TakeFrame();
    f.resize(f.size() / 2);
    cases.push_back({"verbatim block cut short", f, 40, E::kInputEnds});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cab::LzxDecoder d(kWindowBits);
    std::vector<uint8_t> out(c.out_size);
    EXPECT_FALSE(d.DecodeBlock(c.frame.data(), c.frame.size(), out.data(), out.size()));
    EXPECT_STREQ(cab::DecodeErrorText(d.LastError()), cab::DecodeErrorText(c.error));
  }
}

// ---- MSZIP ----------------------------------------------------------------

// Deflate with the fixed codes of RFC 1951, 3.2.6.
class FixedDeflateWriter {
 public:
  void Begin(bool final) {
    w_.PutLsb(final ? 1 : 0, 1);
    w_.PutLsb(1, 2);
  }
  void Literal(unsigned v) {
    if (v < 144) w_.Put(0x30 + v, 8);
    else if (v < 256) w_.Put(0x190 + v - 144, 9);
    else if (v < 280) w_.Put(v - 256, 7);
    else w_.Put(0xC0 + v - 280, 8);
  }
  void End() { Literal(256); }
  // Only the codes the tests need: length 258 and distances via code 29.
  void Match258(uint32_t distance) {
    Literal(285);
    ASSERT_GE(distance, 24577u);
    w_.Put(29, 5);
    w_.PutLsb(distance - 24577, 13);
  }
  std::vector<uint8_t> Take() {
    std::vector<uint8_t> r = {'C', 'K'};
    std::vector<uint8_t> b = w_.Take();
    r.insert(r.end(), b.begin(), b.end());
    return r;
  }

 private:
  BitWriter w_{true};
};

std::vector<uint8_t> StoredMszipBlock(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> r = {'C', 'K', 0x01, static_cast<uint8_t>(data.size()), static_cast<uint8_t>(data.size() >> 8),
                            static_cast<uint8_t>(~data.size()), static_cast<uint8_t>(~data.size() >> 8)};
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

TEST(MszipDecoder, MatchesReachIntoThePreviousBlock) {
  const std::vector<uint8_t> first = cabtest::Pattern(32768, 5);
  FixedDeflateWriter w;
  w.Begin(true);
  w.Literal('X');
  w.Match258(32768);  // starts at the previous block's byte 1
  w.Literal(200);
  w.End();
  const std::vector<uint8_t> second = w.Take();

  cab::MszipDecoder d;
  std::vector<uint8_t> out(32768);
  std::vector<uint8_t> in1 = StoredMszipBlock(first);
  ASSERT_TRUE(d.DecodeBlock(in1.data(), in1.size(), out.data(), out.size()));
  EXPECT_EQ(out, first);
  std::vector<uint8_t> out2(260);
  ASSERT_TRUE(d.DecodeBlock(second.data(), second.size(), out2.data(), out2.size()));
  EXPECT_EQ(out2[0], 'X');
  EXPECT_TRUE(std::equal(out2.begin() + 1, out2.begin() + 259, first.begin() + 1));
  EXPECT_EQ(out2[259], 200);

  // A new folder has no history to reach into.
  d.Reset();
  EXPECT_FALSE(d.DecodeBlock(second.data(), second.size(), out2.data(), out2.size()));
}

TEST(MszipDecoder, RejectsBadBlocks) {
  FixedDeflateWriter ok;
  ok.Begin(true);
  ok.Literal('a');
  ok.End();
  const std::vector<uint8_t> good = ok.Take();
  using E = cab::DecodeError;
  struct Case {
    const char* what;
    std::vector<uint8_t> in;
    size_t out_size;
    E error;
  };
  std::vector<uint8_t> no_ck = good;
  no_ck[0] = 'Q';
  std::vector<uint8_t> stored_bad_nlen = StoredMszipBlock(cabtest::Bytes("abc"));
  stored_bad_nlen[5] ^= 1;
  FixedDeflateWriter not_final;
  not_final.Begin(false);
  not_final.Literal('a');
  not_final.End();
  const Case cases[] = {
      {"no CK", no_ck, 1, E::kBadSignature},
      {"more output announced", good, 2, E::kOutputSize},
      {"less output announced", good, 0, E::kOutputSize},
      {"stored length check", stored_bad_nlen, 3, E::kBadBlockSize},
      {"no final block", not_final.Take(), 2, E::kInputEnds},
      {"cut", std::vector<uint8_t>(good.begin(), good.begin() + 2), 1, E::kInputEnds},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cab::MszipDecoder d;
    std::vector<uint8_t> out(c.out_size + 1);
    EXPECT_FALSE(d.DecodeBlock(c.in.data(), c.in.size(), out.data(), c.out_size));
    EXPECT_STREQ(cab::DecodeErrorText(d.LastError()), cab::DecodeErrorText(c.error));
  }
  cab::MszipDecoder d;
  uint8_t out[1];
  EXPECT_TRUE(d.DecodeBlock(good.data(), good.size(), out, 1));
  EXPECT_EQ(out[0], 'a');
}

// ---- Quantum ----------------------------------------------------------------

TEST(QuantumDecoder, GarbageNeverRunsOutOfBounds) {
  for (unsigned bits : {10u, 15u, 21u}) {
    cab::QuantumDecoder d(bits);
    std::vector<uint8_t> in = cabtest::Pattern(3000, bits);
    std::vector<uint8_t> out(32768);
    for (int frame = 0; frame < 3; ++frame) {
      // Either result is fine; the output buffer is the only thing written.
      d.DecodeBlock(in.data(), in.size(), out.data(), out.size());
    }
  }
}

}  // namespace
