#include "cabinet/deflate_encoder.h"

#include <algorithm>
#include <cstring>

#include "cabinet/deflate_format.h"
#include "cabinet/huffman_encoder.h"

namespace cab {

using namespace deflate;

namespace {

constexpr unsigned kNumLitLen = kNumLitLenCodes;
constexpr unsigned kNumDist = kNumDistanceCodes;
constexpr unsigned kNumCodeLen = kNumCodeLengthCodes;
constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kMaxCodeLenCodeLength = 7;
constexpr uint32_t kMaxDistance = kWindowSize;
// A 3-byte match this far away costs more than its three literals.
constexpr uint32_t kFarShortMatch = 4096;

unsigned LengthCode(uint32_t length) {  // index into kLengthBase
  unsigned i = 28;
  while (kLengthBase[i] > length) --i;
  return i;
}

unsigned DistCode(uint32_t distance) {
  unsigned i = 29;
  while (kDistanceBase[i] > distance) --i;
  return i;
}

// Deflate's bit order: least significant bit first; Huffman codes are sent
// with their first bit in the lowest position.
class DeflateBitWriter {
 public:
  explicit DeflateBitWriter(std::vector<uint8_t>* out) : out_(out) {}
  void Put(uint32_t value, unsigned bits) {
    acc_ |= static_cast<uint64_t>(value) << count_;
    count_ += bits;
    while (count_ >= 8) {
      out_->push_back(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      count_ -= 8;
    }
  }
  void PutCode(uint16_t code, uint8_t length) { Put(ReverseBits(code, length), length); }
  void AlignToByte() {
    if (count_ > 0) Put(0, 8 - count_);
  }

 private:
  std::vector<uint8_t>* out_;
  uint64_t acc_ = 0;
  unsigned count_ = 0;
};

struct Code {
  uint8_t lengths[kNumLitLen + kNumDist];
  uint16_t codes[kNumLitLen + kNumDist];
  const uint8_t* lit() const { return lengths; }
  const uint8_t* dist() const { return lengths + kNumLitLen; }
};

// The run-length coded lengths of a dynamic block's two codes.
struct CodeLengthCoding {
  struct Op {
    uint8_t symbol;
    uint8_t extra;
  };
  std::vector<Op> ops;
  uint8_t lengths[kNumCodeLen];
  uint16_t codes[kNumCodeLen];
  unsigned hlit, hdist, hclen;
  uint64_t bits;

  void Plan(const uint8_t* lit, const uint8_t* dist) {
    hlit = kNumLitLen;
    while (hlit > 257 && lit[hlit - 1] == 0) --hlit;
    hdist = kNumDist;
    while (hdist > 1 && dist[hdist - 1] == 0) --hdist;
    std::vector<uint8_t> all(lit, lit + hlit);
    all.insert(all.end(), dist, dist + hdist);
    ops.clear();
    for (size_t i = 0; i < all.size();) {
      const uint8_t v = all[i];
      size_t run = 1;
      while (i + run < all.size() && all[i + run] == v) ++run;
      if (v == 0 && run >= 3) {
        size_t take = std::min<size_t>(run, 138);
        if (take >= 11) ops.push_back(Op{18, static_cast<uint8_t>(take - 11)});
        else ops.push_back(Op{17, static_cast<uint8_t>(take - 3)});
        i += take;
      } else if (v != 0 && run >= 4) {
        ops.push_back(Op{v, 0});
        size_t take = std::min<size_t>(run - 1, 6);
        ops.push_back(Op{16, static_cast<uint8_t>(take - 3)});
        i += 1 + take;
      } else {
        ops.push_back(Op{v, 0});
        ++i;
      }
    }
    uint32_t freqs[kNumCodeLen] = {};
    for (const Op& op : ops) ++freqs[op.symbol];
    EnsureTwoSymbols(freqs, kNumCodeLen);
    BuildHuffmanLengths(freqs, kNumCodeLen, kMaxCodeLenCodeLength, lengths);
    BuildCanonicalCodes(lengths, kNumCodeLen, codes);
    hclen = kNumCodeLen;
    while (hclen > 4 && lengths[kCodeLengthOrder[hclen - 1]] == 0) --hclen;
    bits = 5 + 5 + 4 + 3 * hclen;
    for (const Op& op : ops) bits += lengths[op.symbol] + ExtraBits(op.symbol);
  }
  static unsigned ExtraBits(uint8_t symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }
  void Write(DeflateBitWriter& w) const {
    w.Put(hlit - 257, 5);
    w.Put(hdist - 1, 5);
    w.Put(hclen - 4, 4);
    for (unsigned i = 0; i < hclen; ++i) w.Put(lengths[kCodeLengthOrder[i]], 3);
    for (const Op& op : ops) {
      w.PutCode(codes[op.symbol], lengths[op.symbol]);
      if (unsigned e = ExtraBits(op.symbol)) w.Put(op.extra, e);
    }
  }
};

void FixedCode(Code* c) {
  // Symbols 286 and 287 exist in the fixed code (never used) and shape it.
  uint8_t lit[kNumFixedLitLenCodes];
  for (unsigned i = 0; i < kNumFixedLitLenCodes; ++i) lit[i] = FixedLitLenLength(i);
  std::memcpy(c->lengths, lit, kNumLitLen);
  for (unsigned i = 0; i < kNumDist; ++i) c->lengths[kNumLitLen + i] = kFixedDistanceLength;
  uint16_t codes[kNumFixedLitLenCodes];
  BuildCanonicalCodes(lit, kNumFixedLitLenCodes, codes);
  std::memcpy(c->codes, codes, kNumLitLen * sizeof(uint16_t));
  BuildCanonicalCodes(c->lengths + kNumLitLen, kNumDist, c->codes + kNumLitLen);
}

}  // namespace

void DeflateEncoder::Reset() {
  MatchFinderParams p;
  p.max_distance = kMaxDistance;
  p.max_length = kMaxMatch;
  p.min_length = kMinMatch;
  p.max_depth = 64;
  p.nice_length = 128;
  p.hash_bits = 15;
  p.chunk_size = static_cast<uint32_t>(kMaxBlock);
  finder_.Reset(p);
  pos_ = 0;
  ready_ = true;
}

void DeflateEncoder::Parse(uint32_t start, uint32_t size) {
  tokens_.clear();
  const uint32_t end = start + size;
  LzMatch matches[kMaxMatch + 2];
  auto best_at = [&](uint32_t pos, LzMatch* best) {
    uint32_t limit = std::min(kMaxMatch, end - pos);
    size_t n = finder_.FindMatches(pos, limit, matches);
    *best = LzMatch{0, 0};
    for (size_t i = n; i-- > 0;) {
      if (matches[i].length == kMinMatch && matches[i].distance > kFarShortMatch) continue;
      *best = matches[i];
      break;
    }
  };
  uint32_t pos = start;
  LzMatch cur{0, 0};
  bool have = false;
  while (pos < end) {
    if (!have) best_at(pos, &cur);
    have = false;
    if (cur.length == 0) {
      tokens_.push_back(Token{0, *finder_.At(pos)});
      ++pos;
      continue;
    }
    if (cur.length < 128 && pos + 1 < end) {
      LzMatch next;
      best_at(pos + 1, &next);
      if (next.length > cur.length) {
        tokens_.push_back(Token{0, *finder_.At(pos)});
        ++pos;
        cur = next;
        have = true;
        continue;
      }
    }
    tokens_.push_back(Token{static_cast<uint16_t>(cur.length), static_cast<uint16_t>(cur.distance - 1)});
    pos += cur.length;
    finder_.SkipTo(pos);
  }
}

void DeflateEncoder::CompressBlock(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  if (!ready_) Reset();
  finder_.Append(data, size);
  Parse(pos_, static_cast<uint32_t>(size));
  pos_ += static_cast<uint32_t>(size);

  uint32_t freqs[kNumLitLen + kNumDist] = {};
  uint32_t* lit_freqs = freqs;
  uint32_t* dist_freqs = freqs + kNumLitLen;
  uint64_t extra_bits = 0;
  for (const Token& t : tokens_) {
    if (t.length == 0) {
      ++lit_freqs[t.value];
    } else {
      unsigned lc = LengthCode(t.length), dc = DistCode(t.value + 1u);
      ++lit_freqs[257 + lc];
      ++dist_freqs[dc];
      extra_bits += kLengthExtra[lc] + kDistanceExtra[dc];
    }
  }
  lit_freqs[kEndOfBlock] = 1;

  Code dynamic;
  uint32_t build[kNumLitLen];
  std::memcpy(build, lit_freqs, sizeof(uint32_t) * kNumLitLen);
  EnsureTwoSymbols(build, kNumLitLen);
  BuildHuffmanLengths(build, kNumLitLen, kMaxCodeLength, dynamic.lengths);
  std::memcpy(build, dist_freqs, sizeof(uint32_t) * kNumDist);
  EnsureTwoSymbols(build, kNumDist);
  BuildHuffmanLengths(build, kNumDist, kMaxCodeLength, dynamic.lengths + kNumLitLen);
  BuildCanonicalCodes(dynamic.lengths, kNumLitLen, dynamic.codes);
  BuildCanonicalCodes(dynamic.lengths + kNumLitLen, kNumDist, dynamic.codes + kNumLitLen);
  CodeLengthCoding header;
  header.Plan(dynamic.lit(), dynamic.dist());

  Code fixed;
  FixedCode(&fixed);
  uint64_t dynamic_bits = 3 + header.bits + extra_bits, fixed_bits = 3 + extra_bits;
  for (unsigned i = 0; i < kNumLitLen + kNumDist; ++i) {
    dynamic_bits += uint64_t(freqs[i]) * dynamic.lengths[i];
    fixed_bits += uint64_t(freqs[i]) * fixed.lengths[i];
  }
  // Stored: header, padding to a byte (at most 7 bits), LEN and NLEN.
  uint64_t stored_bits = 3 + 7 + 32 + 8 * uint64_t(size);

  DeflateBitWriter w(out);
  if (stored_bits <= dynamic_bits && stored_bits <= fixed_bits) {
    w.Put(1, 1);  // final
    w.Put(0, 2);
    w.AlignToByte();
    w.Put(static_cast<uint32_t>(size), 16);
    w.Put(static_cast<uint32_t>(~size) & 0xFFFF, 16);
    out->insert(out->end(), data, data + size);
    return;
  }
  const bool use_dynamic = dynamic_bits < fixed_bits;
  const Code& code = use_dynamic ? dynamic : fixed;
  w.Put(1, 1);
  w.Put(use_dynamic ? 2 : 1, 2);
  if (use_dynamic) header.Write(w);
  for (const Token& t : tokens_) {
    if (t.length == 0) {
      w.PutCode(code.codes[t.value], code.lengths[t.value]);
      continue;
    }
    unsigned lc = LengthCode(t.length), dc = DistCode(t.value + 1u);
    w.PutCode(code.codes[257 + lc], code.lengths[257 + lc]);
    if (kLengthExtra[lc]) w.Put(t.length - kLengthBase[lc], kLengthExtra[lc]);
    w.PutCode(code.codes[kNumLitLen + dc], code.lengths[kNumLitLen + dc]);
    if (kDistanceExtra[dc]) w.Put(t.value + 1u - kDistanceBase[dc], kDistanceExtra[dc]);
  }
  w.PutCode(code.codes[kEndOfBlock], code.lengths[kEndOfBlock]);
  w.AlignToByte();
}

}  // namespace cab
