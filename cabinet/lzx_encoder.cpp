#include "cabinet/lzx_encoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/task_runner.h"
#include "cabinet/byte_order.h"
#include "cabinet/cab_format.h"
#include "cabinet/huffman_encoder.h"
#include "cabinet/lzx_encoder_format.h"
#include "cabinet/lzx_encoder_parse.h"
#include "cabinet/lzx_encoder_trees.h"
#include "cabinet/match_finder.h"

namespace cab {
namespace lzxenc {
}  // namespace lzxenc

using namespace lzxenc;

namespace {

// What each level trades: match search effort, parser, and how many frames
// the block planner weighs together.
struct LevelSettings {
  uint32_t depth;           // chain entries or tree nodes visited per search
  uint32_t good_length;     // past a match this long, search a quarter as deep
  uint32_t nice_length;     // a match this long ends the search / is taken
  uint32_t max_lazy;        // lazy parser: no look-ahead past a match this long
  unsigned skip_shift;      // skip ahead in unmatched data (0: never)
  bool lazy;
  bool near_optimal;
  int passes;
  unsigned hash_bits;
  uint32_t near2_distance;  // 2-byte matches only this close
  unsigned group_frames;    // frames planned together
  unsigned max_block_frames;
  bool binary_tree;         // match finder: binary trees, else hash chains
  // History indexed in the trees before each stretch (capped by the
  // window): the far end of it gives little and costs as much to index as
  // the near end.
  uint32_t prime_bytes;
  // Binary trees: how far back they reach (0: the window), and the bits of
  // the 8-byte hash table that finds long matches beyond (0: none; it is
  // given the whole window's history). The trees' links take the power of
  // two above the reach, so a reach of 2^k - 1 keeps them at 2^k positions.
  uint32_t tree_reach;
  unsigned far_hash_bits;
};

const LevelSettings kLevels[] = {
    // depth good nice lazy skip lazy optimal passes hash near2 group block tree prime reach far
    {4, 16, 32, 0, 4, false, false, 1, 20, 16, 8, 8, false, 512 << 10, 0, 0},            // 1: fastest
    {8, 16, 48, 16, 5, true, false, 1, 20, 32, 8, 8, false, 1u << 21, 0, 0},             // 2
    {12, 24, 48, 0, 7, false, true, 1, 18, 64, 16, 16, true, 512 << 10, (512 << 10) - 1, 20},  // 3: default
    {16, 32, 64, 0, 7, false, true, 2, 20, 64, 16, 16, true, 1u << 21, 0, 0},            // 4
    {48, 64, 257, 0, 0, false, true, 2, 20, 128, 16, 16, true, 1u << 21, 0, 0},          // 5: best
};

// Block headers: 3 bits of type, 24 bits of size.
constexpr uint64_t kBlockHeaderBits = 27;
// An uncompressed block adds up to 16 bits of padding and R0..R2.
constexpr uint64_t kUncompressedOverheadBits = 16 + 96;

struct TreeSet {
  uint8_t main[kMaxMainTreeSize];
  uint8_t length[kLengthTreeSize];
  uint8_t aligned[kAlignedTreeSize];
  bool use_aligned;
};

// The stream is parsed in stretches of kStretchFrames frames, each on its
// own (its own match finder, primed with up to the window's worth of
// history before it, as the level says; fresh prices; repeated offsets unknown at its start), so that
// several can be parsed at once. The stretch size never depends on the
// thread count: the output is the same however many threads run. Priming
// costs an indexing pass over the history (a tree insert per position for
// binary trees), hence long stretches: 4 MB, against a 2 MB history.
constexpr uint32_t kStretchFrames = 128;
// The history is indexed with a shallow search: trees cut short there lose
// a little of the far past (0.1% of output), for a fraction of the cost.
constexpr uint32_t kPrimeDepth = 4;
// Stretches gathered before a parallel round.
constexpr uint32_t kRoundStretches = 4;

// One frame as a worker parsed it.
struct ParsedFrame {
  std::vector<Item> items;
  SymbolStats stats;
};

// A worker thread's parsing state, reused from stretch to stretch.
struct Worker {
  MatchFinder finder;
  ParseScratch scratch;
  CostModel model;
  SymbolStats model_stats;
};

struct PendingFrame {
  std::vector<Item> items;
  std::vector<uint8_t> raw;  // the (translated) bytes, for an uncompressed block
  uint32_t repeats_after[kNumRepeats];
  SymbolStats stats;
  bool force_uncompressed;
};

struct PlannedBlock {
  size_t first;
  size_t count;
  bool uncompressed;
};

}  // namespace

void LzxTranslateE8(uint8_t* frame, uint32_t size, uint32_t frame_offset, uint32_t translation_size) {
  lzx::TranslateE8ToAbsolute(frame, size, frame_offset, translation_size);
}

struct LzxEncoder::Impl {
  LzxEncoderOptions options;
  FrameSink sink;
  std::string error;
  LzxEncoderStats stats;
  LevelSettings level{};
  unsigned main_size = 0;
  bool started = false;
  bool had_short_frame = false;
  uint32_t stream_pos = 0;
  uint32_t repeats[kNumRepeats] = {1, 1, 1};
  bool stream_header_sent = false;
  uint8_t prev_main[kMaxMainTreeSize] = {};
  uint8_t prev_length[kLengthTreeSize] = {};

  ParseParams parse;
  MatchFinderParams finder_params;
  unsigned threads = 1;
  std::vector<std::unique_ptr<Worker>> workers;
  // Translated input from stream position input_base: the round before
  // (until it is written) and the window's worth of history before the
  // current round, then the round's frames.
  std::vector<uint8_t> input;
  uint32_t input_base = 0;
  uint32_t round_start = 0;   // stream position of the round's first frame
  size_t round_frames = 0;
  std::vector<ParsedFrame> parsed;  // the round's frames
  // The round parsed before, written while this one is parsed.
  std::vector<ParsedFrame> to_write;
  uint32_t written_start = 0;
  size_t written_frames = 0;
  std::vector<PendingFrame> pending;  // reused; the first pending_count are live
  size_t pending_count = 0;
  std::vector<std::vector<uint8_t>> outputs;

  bool Fail(const std::string& message) {
    error = message;
    return false;
  }

  // Trees for a run of frames and the size in bits of the block they make.
  uint64_t EvaluateCompressed(const SymbolStats& s, const uint8_t* old_main,
                              const uint8_t* old_length, TreeSet* t) const {
    uint32_t freqs[kMaxMainTreeSize];
    std::memcpy(freqs, s.main, main_size * sizeof(uint32_t));
    EnsureTwoSymbols(freqs, main_size);
    BuildHuffmanLengths(freqs, main_size, kMainMaxCodeLength, t->main);
    std::memcpy(freqs, s.length, sizeof s.length);
    EnsureTwoSymbols(freqs, kLengthTreeSize);
    BuildHuffmanLengths(freqs, kLengthTreeSize, kLengthMaxCodeLength, t->length);

    uint64_t bits = kBlockHeaderBits + s.footer_bits;
    for (unsigned i = 0; i < main_size; ++i) bits += uint64_t(s.main[i]) * t->main[i];
    for (unsigned i = 0; i < kLengthTreeSize; ++i) bits += uint64_t(s.length[i]) * t->length[i];
    PretreeCoding coding;
    coding.Plan(old_main, t->main, kNumChars);
    bits += coding.bits();
    coding.Plan(old_main + kNumChars, t->main + kNumChars, main_size - kNumChars);
    bits += coding.bits();
    coding.Plan(old_length, t->length, kLengthTreeSize);
    bits += coding.bits();

    t->use_aligned = false;
    if (s.aligned_items > 0) {
      std::memcpy(freqs, s.aligned, sizeof s.aligned);
      EnsureTwoSymbols(freqs, kAlignedTreeSize);
      BuildHuffmanLengths(freqs, kAlignedTreeSize, kAlignedMaxCodeLength, t->aligned);
      uint64_t aligned_bits = 3 * kAlignedTreeSize;
      for (unsigned i = 0; i < kAlignedTreeSize; ++i) aligned_bits += uint64_t(s.aligned[i]) * t->aligned[i];
      uint64_t verbatim_bits = 3 * uint64_t(s.aligned_items);
      if (aligned_bits < verbatim_bits) {
        t->use_aligned = true;
        bits = bits - verbatim_bits + aligned_bits;
      }
    }
    return bits;
  }

  // Size in bits of frames [first, first + count) as one block: compressed,
  // or stored when that is smaller or a frame must be stored.
  uint64_t BlockCost(size_t first, size_t count, bool* uncompressed) const {
    SymbolStats acc;
    acc.Clear();
    uint64_t bytes = 0;
    bool forced = false;
    for (size_t k = first; k < first + count; ++k) {
      acc.Add(pending[k].stats);
      bytes += pending[k].raw.size();
      forced = forced || pending[k].force_uncompressed;
    }
    const uint64_t raw_bits = kBlockHeaderBits + kUncompressedOverheadBits + 8 * (bytes + (bytes & 1));
    *uncompressed = true;
    if (forced) return raw_bits;
    TreeSet trees;
    const uint64_t bits = EvaluateCompressed(acc, prev_main, prev_length, &trees);
    if (bits >= raw_bits) return raw_bits;
    *uncompressed = false;
    return bits;
  }

  // Splits the pending frames into blocks: a block grows by the next frame
  // while one block is smaller than the two apart (new trees cost their
  // header; data that changes character pays for them).
  std::vector<PlannedBlock> Plan() const {
    std::vector<PlannedBlock> plan;
    bool unc = false;
    PlannedBlock cur{0, 1, false};
    uint64_t cur_bits = BlockCost(0, 1, &unc);
    cur.uncompressed = unc;
    for (size_t k = 1; k < pending_count; ++k) {
      bool next_unc = false, merged_unc = false;
      const uint64_t next_bits = BlockCost(k, 1, &next_unc);
      uint64_t merged_bits = ~uint64_t(0);
      if (cur.count < level.max_block_frames) merged_bits = BlockCost(cur.first, cur.count + 1, &merged_unc);
      if (merged_bits <= cur_bits + next_bits) {
        ++cur.count;
        cur.uncompressed = merged_unc;
        cur_bits = merged_bits;
      } else {
        plan.push_back(cur);
        cur = PlannedBlock{k, 1, next_unc};
        cur_bits = next_bits;
      }
    }
    plan.push_back(cur);
    return plan;
  }

  void WriteStreamHeader(LzxBitWriter& w) {
    if (stream_header_sent) return;
    stream_header_sent = true;
    if (options.e8_translation) {
      w.Put(1, 1);
      w.Put(options.e8_translation_size >> 16, 16);
      w.Put(options.e8_translation_size & 0xFFFF, 16);
    } else {
      w.Put(0, 1);
    }
  }

  static void WriteBlockHeader(LzxBitWriter& w, BlockType type, uint32_t size) {
    w.Put(type, 3);
    w.Put(size >> 8, 16);
    w.Put(size & 0xFF, 8);
  }

  void EmitUncompressed(const PlannedBlock& block) {
    uint32_t size = 0;
    for (size_t k = 0; k < block.count; ++k) size += static_cast<uint32_t>(pending[block.first + k].raw.size());
    for (size_t k = 0; k < block.count; ++k) {
      const PendingFrame& f = pending[block.first + k];
      std::vector<uint8_t>& out = outputs[block.first + k];
      LzxBitWriter w(&out);
      WriteStreamHeader(w);
      if (k == 0) {
        WriteBlockHeader(w, kBlockUncompressed, size);
        // 1 to 16 bits of padding: a full word when already aligned.
        w.Put(0, 16 - w.pending_bits());
        w.Align();
        // The repeated offsets as they stand after the block, so that the
        // frames parsed after it stay valid.
        const uint32_t* reps = pending[block.first + block.count - 1].repeats_after;
        for (unsigned r = 0; r < kNumRepeats; ++r) {
          uint8_t bytes[4];
          Store32(bytes, reps[r]);
          out.insert(out.end(), bytes, bytes + 4);
        }
      }
      out.insert(out.end(), f.raw.begin(), f.raw.end());
      if (k + 1 == block.count && (size & 1)) out.push_back(0);
    }
    ++stats.uncompressed_blocks;
  }

  void EmitCompressed(const PlannedBlock& block) {
    SymbolStats acc;
    acc.Clear();
    uint32_t size = 0;
    for (size_t k = 0; k < block.count; ++k) {
      acc.Add(pending[block.first + k].stats);
      size += static_cast<uint32_t>(pending[block.first + k].raw.size());
    }
    TreeSet t;
    EvaluateCompressed(acc, prev_main, prev_length, &t);
    uint16_t main_codes[kMaxMainTreeSize], length_codes[kLengthTreeSize], aligned_codes[kAlignedTreeSize];
    BuildCanonicalCodes(t.main, main_size, main_codes);
    BuildCanonicalCodes(t.length, kLengthTreeSize, length_codes);
    if (t.use_aligned) BuildCanonicalCodes(t.aligned, kAlignedTreeSize, aligned_codes);

    for (size_t k = 0; k < block.count; ++k) {
      const PendingFrame& f = pending[block.first + k];
      LzxBitWriter w(&outputs[block.first + k]);
      WriteStreamHeader(w);
      if (k == 0) {
        WriteBlockHeader(w, t.use_aligned ? kBlockAligned : kBlockVerbatim, size);
        if (t.use_aligned)
          for (unsigned i = 0; i < kAlignedTreeSize; ++i) w.Put(t.aligned[i], 3);
        PretreeCoding coding;
        coding.Plan(prev_main, t.main, kNumChars);
        coding.Write(w);
        coding.Plan(prev_main + kNumChars, t.main + kNumChars, main_size - kNumChars);
        coding.Write(w);
        coding.Plan(prev_length, t.length, kLengthTreeSize);
        coding.Write(w);
        std::memcpy(prev_main, t.main, main_size);
        std::memcpy(prev_length, t.length, kLengthTreeSize);
      }
      for (Item item : f.items) {
        const uint32_t len = ItemLength(item);
        if (len == 0) {
          const unsigned sym = ItemValue(item);
          w.Put(main_codes[sym], t.main[sym]);
          continue;
        }
        const uint32_t formatted = ItemValue(item);
        const unsigned slot = SlotOf(formatted);
        const unsigned sym = MainSymbolOf(slot, len);
        w.Put(main_codes[sym], t.main[sym]);
        if (len - kMinMatch >= kNumPrimaryLengths) {
          const unsigned lsym = len - kMinMatch - kNumPrimaryLengths;
          w.Put(length_codes[lsym], t.length[lsym]);
        }
        if (formatted < kNumRepeats) continue;
        const unsigned extra = kSlots.extra[slot];
        const uint32_t footer = formatted - kSlots.base[slot];
        if (t.use_aligned && extra >= 3) {
          if (extra > 3) w.Put(footer >> 3, extra - 3);
          w.Put(aligned_codes[footer & 7], t.aligned[footer & 7]);
        } else if (extra > 0) {
          w.PutLong(footer, extra);
        }
      }
      w.Align();
    }
    ++(t.use_aligned ? stats.aligned_blocks : stats.verbatim_blocks);
  }

  // Parses stretch `index` of the round on `w`: the result depends only on
  // the input.
  void ParseStretch(size_t index, Worker& w) {
    const uint32_t first = static_cast<uint32_t>(index * kStretchFrames);
    const uint32_t last = std::min<uint32_t>(first + kStretchFrames, static_cast<uint32_t>(round_frames));
    const uint32_t start = round_start + first * kFrameSize;
    const uint32_t end = std::min<uint32_t>(round_start + last * kFrameSize, input_base + static_cast<uint32_t>(input.size()));
    const uint32_t window = 1u << options.window_bits;
    const uint32_t loaded = std::min<uint32_t>(start - input_base, level.far_hash_bits != 0 ? window : std::min(level.prime_bytes, window));
    const uint32_t primed = std::min(loaded, level.prime_bytes);
    w.finder.Load(input.data() + (start - loaded - input_base), end - (start - loaded), start - loaded);
    w.finder.SkipFarTo(start - primed);
    w.finder.SetDepth(kPrimeDepth);
    w.finder.SkipTo(start);
    w.finder.SetDepth(finder_params.max_depth);
    w.model.SetDefaults();
    w.model_stats.Clear();
    uint32_t repeats[kNumRepeats] = {kUnknownRepeat, kUnknownRepeat, kUnknownRepeat};
    uint32_t pos = start;
    for (uint32_t k = first; k < last; ++k) {
      const uint32_t size = std::min<uint32_t>(kFrameSize, end - pos);
      ParsedFrame& f = parsed[k];
      f.items.clear();
      ParseFrame(w.finder, pos, size, parse, w.model, repeats, w.scratch, &f.items);
      f.stats.Clear();
      for (Item item : f.items) f.stats.Count(item);
      // The parser prices the next frame by the recent statistics.
      w.model_stats.Halve();
      w.model_stats.Add(f.stats);
      w.model.SetFromStats(w.model_stats, main_size);
      pos += size;
    }
  }

  // Parses the round's frames, stretches in parallel, while one thread
  // plans and writes the round before in stream order (that work would
  // otherwise leave the other threads idle between rounds).
  bool RunRound() {
    const bool write_previous = written_frames != 0;
    if (round_frames == 0 && !write_previous) return true;
    parsed.resize(std::max(parsed.size(), round_frames));
    const size_t stretches = (round_frames + kStretchFrames - 1) / kStretchFrames;
    const size_t tasks = stretches + (write_previous ? 1 : 0);
    const unsigned used = static_cast<unsigned>(std::min<size_t>(threads, tasks));
    while (workers.size() < used) {
      workers.emplace_back(new Worker);
      workers.back()->finder.Reset(finder_params);
    }
    bool ok = true;
    // The write is task 0, claimed first: it is the one whose order matters.
    base::RunTasks(tasks, used, [&](size_t index, unsigned worker) {
      if (write_previous && index == 0) ok = WriteParsedRound();
      else ParseStretch(index - (write_previous ? 1 : 0), *workers[worker]);
    });
    if (!ok) return false;
    parsed.swap(to_write);
    written_start = round_start;
    written_frames = round_frames;
    // Keep this round, for its write, and the window's worth of history
    // before the next.
    const uint32_t end = input_base + static_cast<uint32_t>(input.size());
    const uint32_t keep_from = std::min(round_start, end - std::min(end, 1u << options.window_bits));
    input.erase(input.begin(), input.begin() + (keep_from - input_base));
    input_base = keep_from;
    round_start = end;
    round_frames = 0;
    return true;
  }

  // Plans and writes the frames of the last round parsed.
  bool WriteParsedRound() {
    uint32_t pos = written_start;
    for (size_t k = 0; k < written_frames; ++k) {
      const uint32_t size = std::min<uint32_t>(kFrameSize, input_base + static_cast<uint32_t>(input.size()) - pos);
      PendingFrame& f = pending[pending_count++];
      const uint8_t* raw = input.data() + (pos - input_base);
      f.raw.assign(raw, raw + size);
      f.items.swap(to_write[k].items);
      f.stats = to_write[k].stats;
      f.force_uncompressed = false;
      for (Item item : f.items) {
        const uint32_t len = ItemLength(item);
        if (len == 0) {
          ++stats.literals;
          continue;
        }
        const uint32_t formatted = ItemValue(item);
        ++(formatted < kNumRepeats ? stats.repeat_matches : stats.matches);
        UpdateRepeats(formatted, repeats);
      }
      std::memcpy(f.repeats_after, repeats, sizeof repeats);
      pos += size;
      if (pending_count == pending.size() && !Flush()) return false;
    }
    written_frames = 0;
    return true;
  }

  // Plans and writes every pending frame, then hands them to the sink.
  bool Flush() {
    if (pending_count == 0) return true;
    outputs.resize(std::max(outputs.size(), pending_count));
    uint8_t saved_main[kMaxMainTreeSize], saved_length[kLengthTreeSize];
    std::memcpy(saved_main, prev_main, sizeof saved_main);
    std::memcpy(saved_length, prev_length, sizeof saved_length);
    const bool saved_header = stream_header_sent;
    const LzxEncoderStats saved_stats = stats;
    for (;;) {
      for (size_t k = 0; k < pending_count; ++k) outputs[k].clear();
      std::vector<PlannedBlock> plan = Plan();
      for (const PlannedBlock& block : plan) {
        if (block.uncompressed) EmitUncompressed(block);
        else EmitCompressed(block);
      }
      // Each frame must fit a reader's input buffer. A frame that does not
      // (data that compresses worse than stored, in a block chosen for its
      // neighbours) is sent uncompressed and the group planned again.
      size_t too_big = pending_count;
      for (size_t k = 0; k < pending_count && too_big == pending_count; ++k)
        if (outputs[k].size() > kMaxBlockCompressed) too_big = k;
      if (too_big == pending_count) break;
      pending[too_big].force_uncompressed = true;
      std::memcpy(prev_main, saved_main, sizeof saved_main);
      std::memcpy(prev_length, saved_length, sizeof saved_length);
      stream_header_sent = saved_header;
      stats = saved_stats;
    }
    for (size_t k = 0; k < pending_count; ++k) {
      stats.compressed_bytes += outputs[k].size();
      if (!sink(outputs[k].data(), outputs[k].size(), static_cast<uint32_t>(pending[k].raw.size())))
        return Fail("the compressed data could not be written");
    }
    pending_count = 0;
    return true;
  }
};

LzxEncoder::LzxEncoder() : impl_(new Impl) {}
LzxEncoder::~LzxEncoder() = default;

const std::string& LzxEncoder::error() const { return impl_->error; }
const LzxEncoderStats& LzxEncoder::stats() const { return impl_->stats; }

bool LzxEncoder::Start(const LzxEncoderOptions& options, FrameSink sink) {
  Impl& d = *impl_;
  d.started = false;
  if (options.window_bits < 15 || options.window_bits > 21)
    return d.Fail("LZX window must be 15 to 21 bits");
  if (options.level < LzxEncoderOptions::kFastest || options.level > LzxEncoderOptions::kBest)
    return d.Fail("LZX level must be 1 to 5");
  if (options.e8_translation &&
      (options.e8_translation_size == 0 || options.e8_translation_size >= 0x80000000u))
    return d.Fail("E8 translation size must be 1 to 2^31-1");
  d.options = options;
  d.sink = std::move(sink);
  d.error.clear();
  d.stats = LzxEncoderStats();
  d.level = kLevels[options.level - 1];
  d.main_size = kNumChars + 8 * NumPositionSlots(options.window_bits);
  d.had_short_frame = false;
  d.stream_pos = 0;
  d.repeats[0] = d.repeats[1] = d.repeats[2] = 1;
  d.stream_header_sent = false;
  std::memset(d.prev_main, 0, sizeof d.prev_main);
  std::memset(d.prev_length, 0, sizeof d.prev_length);

  MatchFinderParams& mp = d.finder_params;
  mp.max_distance = (1u << options.window_bits) - 3;
  mp.max_length = kMaxMatch;
  mp.min_length = kMinMatch;
  mp.max_depth = d.level.depth;
  mp.nice_length = d.level.nice_length;
  mp.good_length = d.level.good_length;
  mp.max_near2_distance = d.level.near2_distance;
  mp.hash_bits = d.level.hash_bits;
  mp.chunk_size = kFrameSize;
  mp.binary_tree = d.level.binary_tree;
  mp.tree_reach = d.level.tree_reach;
  mp.far_hash_bits = d.level.far_hash_bits;
  d.threads = options.threads != 0 ? options.threads : base::ProcessorCount();
  d.workers.clear();

  d.parse.near_optimal = d.level.near_optimal;
  d.parse.lazy = d.level.lazy;
  d.parse.nice_length = d.level.nice_length;
  d.parse.max_lazy = d.level.max_lazy;
  d.parse.skip_shift = d.level.skip_shift;
  d.parse.passes = d.level.passes;
  d.input.clear();
  // The window's history and two rounds: the buffer never grows after this.
  d.input.reserve((size_t(1) << options.window_bits) + 2 * size_t(kStretchFrames) * kRoundStretches * kFrameSize);
  d.input_base = d.round_start = 0;
  d.round_frames = 0;
  d.written_frames = 0;
  d.pending_count = 0;
  d.pending.resize(d.level.group_frames);
  d.started = true;
  return true;
}

bool LzxEncoder::AddFrame(const uint8_t* data, size_t size) {
  Impl& d = *impl_;
  if (!d.started) return d.Fail("the LZX encoder is not started");
  if (size == 0 || size > kFrameSize) return d.Fail("an LZX frame holds 1 to 32768 bytes");
  if (d.had_short_frame) return d.Fail("only the last LZX frame may be short");
  if (d.stream_pos > 0x7FFF0000u - size) return d.Fail("an LZX stream must stay under 2 GB");

  const size_t at = d.input.size();
  d.input.insert(d.input.end(), data, data + size);
  const uint32_t frame_size = static_cast<uint32_t>(size);
  if (d.options.e8_translation)
    LzxTranslateE8(d.input.data() + at, frame_size, d.stream_pos, d.options.e8_translation_size);
  d.stream_pos += frame_size;
  d.had_short_frame = frame_size < kFrameSize;
  ++d.stats.frames;
  if (++d.round_frames == kStretchFrames * kRoundStretches) return d.RunRound();
  return true;
}

bool LzxEncoder::Finish() {
  Impl& d = *impl_;
  if (!d.started) return d.Fail("the LZX encoder is not started");
  d.started = false;
  return d.RunRound() && d.WriteParsedRound() && d.Flush();
}

}  // namespace cab
