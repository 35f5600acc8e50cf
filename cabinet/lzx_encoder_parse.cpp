#include "cabinet/lzx_encoder_parse.h"

#include <algorithm>
#include <cstring>

#include "cabinet/huffman_encoder.h"

namespace cab {
namespace lzxenc {
namespace {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Length of the match at `pos` against distance `distance`, or 0 when the
// distance reaches before the stream's start.
inline uint32_t RepeatLength(const MatchFinder& finder, uint32_t pos, uint32_t distance,
                             uint32_t limit) {
  if (distance > pos) return 0;
  const uint8_t* cur = finder.At(pos);
  if (cur[0] != cur[-static_cast<ptrdiff_t>(distance)]) return 0;
  return MatchFinder::CommonLength(cur, cur - distance, limit);
}

// ---------------------------------------------------------------- lazy ----

struct Choice {
  uint32_t length = 0;
  uint32_t formatted = 0;
  int32_t gain = 0;  // bits saved against sending the bytes as literals
};

class LazyParser {
 public:
  static constexpr uint32_t kMaxSkip = 32;

  LazyParser(MatchFinder& finder, uint32_t start, uint32_t size, const ParseParams& params,
             const CostModel& model, uint32_t* repeats, ParseScratch& scratch)
      : finder_(finder), start_(start), end_(start + size), params_(params), model_(model),
        repeats_(repeats), prefix_(scratch.literal_prefix) {
    prefix_.resize(size + 1);
    prefix_[0] = 0;
    const uint8_t* data = finder.At(start);
    for (uint32_t i = 0; i < size; ++i) prefix_[i + 1] = prefix_[i] + model.Literal(data[i]);
  }

  void Run(std::vector<Item>* items) {
    uint32_t pos = start_;
    Choice cur;
    bool have_cur = false;
    uint32_t misses = 0;  // positions searched in vain since the last match
    while (pos < end_) {
      if (!have_cur) Best(pos, &cur);
      have_cur = false;
      if (cur.length == 0) {
        // In data that does not match (noise, packed files) searching costs
        // much and finds little: step over ever more positions.
        uint32_t step = 1;
        if (params_.skip_shift != 0) {
          ++misses;
          step = std::min<uint32_t>(1 + (misses >> params_.skip_shift), kMaxSkip);
          step = std::min(step, end_ - pos);
        }
        for (uint32_t k = 0; k < step; ++k) items->push_back(LiteralItem(finder_.At(pos)[k]));
        pos += step;
        if (step > 1) finder_.PassOver(pos);
        continue;
      }
      misses = 0;
      if (params_.lazy && cur.length < params_.max_lazy && pos + 1 < end_) {
        Choice next;
        Best(pos + 1, &next);
        if (next.gain > cur.gain) {
          items->push_back(LiteralItem(*finder_.At(pos)));
          ++pos;
          cur = next;
          have_cur = true;
          continue;
        }
      }
      items->push_back(MatchItem(cur.formatted, cur.length));
      UpdateRepeats(cur.formatted, repeats_);
      pos += cur.length;
      finder_.SkipTo(pos);
    }
  }

 private:
  int32_t LiteralBits(uint32_t pos, uint32_t len) const {
    return static_cast<int32_t>(prefix_[pos - start_ + len] - prefix_[pos - start_]);
  }

  void Consider(uint32_t pos, uint32_t formatted, uint32_t len, Choice* c) const {
    int32_t gain = LiteralBits(pos, len) - static_cast<int32_t>(model_.Match(formatted, len));
    if (gain > c->gain || (gain == c->gain && len > c->length && gain > 0)) {
      c->gain = gain;
      c->length = len;
      c->formatted = formatted;
    }
  }

  void Best(uint32_t pos, Choice* c) {
    *c = Choice();
    const uint32_t limit = std::min<uint32_t>(kMaxMatch, end_ - pos);
    if (limit >= kMinMatch) {
      for (unsigned k = 0; k < kNumRepeats; ++k) {
        uint32_t len = RepeatLength(finder_, pos, repeats_[k], limit);
        if (len >= kMinMatch) Consider(pos, k, len, c);
      }
    }
    size_t n = finder_.FindMatches(pos, limit, matches_);
    for (size_t i = 0; i < n; ++i) {
      const LzMatch& m = matches_[i];
      if (m.distance == repeats_[0] || m.distance == repeats_[1] || m.distance == repeats_[2])
        continue;  // priced above as a repeat
      Consider(pos, m.distance + 2, m.length, c);
    }
  }

  MatchFinder& finder_;
  const uint32_t start_, end_;
  const ParseParams& params_;
  const CostModel& model_;
  uint32_t* repeats_;
  std::vector<uint32_t>& prefix_;
  LzMatch matches_[kMaxMatch + 2];
};

// ---------------------------------------------------------- near-optimal ----

class OptimalParser {
 public:
  static constexpr uint32_t kMaxSkip = 32;

  OptimalParser(MatchFinder& finder, uint32_t start, uint32_t size, const ParseParams& params,
                ParseScratch& scratch)
      : finder_(finder), start_(start), size_(size), params_(params), s_(scratch) {
    if (s_.nodes.size() < size + 1) s_.nodes.resize(size + 1);
  }

  // One pass over the frame. The first pass asks the finder (and records the
  // matches when `record`); later passes replay the recorded matches.
  void Run(const CostModel& model, const uint32_t repeats_in[kNumRepeats], bool from_cache,
           bool record, uint32_t repeats_out[kNumRepeats], std::vector<Item>* items) {
    if (record && !from_cache) {
      s_.match_cache.clear();
      s_.match_index.assign(2 * static_cast<size_t>(size_), 0);
    }
    ParseScratch::Node* nodes = s_.nodes.data();
    const uint8_t* data = finder_.At(start_);
    uint32_t seg = 0;  // start of the current shortest-path segment
    nodes[0].cost = 0;
    std::memcpy(nodes[0].repeats, repeats_in, sizeof nodes[0].repeats);
    uint32_t frontier = 0;  // nodes (seg, frontier] have been initialised
    uint32_t misses = 0, next_search = 0;
    uint32_t i = 0;
    while (i < size_) {
      const uint32_t limit = std::min<uint32_t>(kMaxMatch, size_ - i);
      const LzMatch* matches;
      size_t count;
      if (from_cache) {
        matches = s_.match_cache.data() + s_.match_index[2 * i];
        count = s_.match_index[2 * i + 1];
      } else {
        if (i >= next_search) {
          count = finder_.FindMatches(start_ + i, limit, buffer_);
          // Unmatched data (noise, packed files): search ever more sparsely.
          if (count == 0 && params_.skip_shift != 0) {
            ++misses;
            next_search = i + std::min<uint32_t>(1 + (misses >> params_.skip_shift), kMaxSkip);
            if (next_search > i + 1) finder_.PassOver(start_ + std::min(next_search, size_));
          } else {
            misses = 0;
            next_search = i + 1;
          }
        } else {
          count = 0;
        }
        matches = buffer_;
        if (record) {
          s_.match_index[2 * i] = static_cast<uint32_t>(s_.match_cache.size());
          s_.match_index[2 * i + 1] = static_cast<uint32_t>(count);
          s_.match_cache.insert(s_.match_cache.end(), buffer_, buffer_ + count);
        }
      }
      ParseScratch::Node& cur = nodes[i];
      uint32_t rep_len[kNumRepeats] = {};
      uint32_t longest = count ? matches[count - 1].length : 0;
      unsigned longest_rep = kNumRepeats;
      if (limit >= kMinMatch) {
        for (unsigned k = 0; k < kNumRepeats; ++k) {
          rep_len[k] = RepeatLength(finder_, start_ + i, cur.repeats[k], limit);
          if (rep_len[k] >= kMinMatch && (longest_rep == kNumRepeats || rep_len[k] > rep_len[longest_rep]))
            longest_rep = k;
        }
      }

      // A long match is taken at once: the path so far is closed and the
      // search restarts after the match.
      uint32_t best_rep = longest_rep < kNumRepeats ? rep_len[longest_rep] : 0;
      if (std::max(longest, best_rep) >= params_.nice_length) {
        Emit(seg, i, items);
        uint32_t formatted, len;
        if (best_rep >= longest) {
          formatted = longest_rep;
          len = best_rep;
        } else {
          formatted = matches[count - 1].distance + 2;
          len = longest;
        }
        items->push_back(MatchItem(formatted, len));
        uint32_t reps[kNumRepeats];
        std::memcpy(reps, cur.repeats, sizeof reps);
        UpdateRepeats(formatted, reps);
        i += len;
        misses = 0;
        next_search = i;
        if (!from_cache) finder_.SkipTo(start_ + i);
        seg = i;
        frontier = i;
        nodes[i].cost = 0;
        std::memcpy(nodes[i].repeats, reps, sizeof reps);
        continue;
      }

      const uint32_t reach = i + limit;
      for (uint32_t j = frontier + 1; j <= reach; ++j) nodes[j].cost = kInfinite;
      if (reach > frontier) frontier = reach;

      const uint32_t base_cost = cur.cost;
      // Literal.
      Relax(i + 1, base_cost + model.Literal(data[i]), LiteralItem(data[i]), i, cur.repeats);
      // Repeated offsets: every length up to the longest.
      for (unsigned k = 0; k < kNumRepeats; ++k) {
        if (rep_len[k] < kMinMatch) continue;
        uint32_t reps[kNumRepeats];
        std::memcpy(reps, cur.repeats, sizeof reps);
        UpdateRepeats(k, reps);
        for (uint32_t len = kMinMatch; len <= rep_len[k]; ++len)
          Relax(i + len, base_cost + model.Match(k, len), MatchItem(k, len), i, reps);
      }
      // New offsets: each length from the nearest match that reaches it.
      uint32_t prev_len = kMinMatch - 1;
      for (size_t m = 0; m < count; ++m) {
        const uint32_t distance = matches[m].distance;
        const uint32_t formatted = distance + 2;
        uint32_t reps[kNumRepeats] = {distance, cur.repeats[0], cur.repeats[1]};
        for (uint32_t len = prev_len + 1; len <= matches[m].length; ++len)
          Relax(i + len, base_cost + model.Match(formatted, len), MatchItem(formatted, len), i, reps);
        prev_len = matches[m].length;
      }
      ++i;
    }
    Emit(seg, size_, items);
    std::memcpy(repeats_out, nodes[size_].repeats, sizeof nodes[size_].repeats);
  }

 private:
  void Relax(uint32_t to, uint32_t cost, Item item, uint32_t from, const uint32_t* reps) {
    ParseScratch::Node& n = s_.nodes[to];
    if (cost < n.cost) {
      n.cost = cost;
      n.item = item;
      n.from = from;
      std::memcpy(n.repeats, reps, sizeof n.repeats);
    }
  }

  // Appends the items of the cheapest path from `from` to `to`.
  void Emit(uint32_t from, uint32_t to, std::vector<Item>* items) {
    s_.reversed.clear();
    for (uint32_t at = to; at != from; at = s_.nodes[at].from) s_.reversed.push_back(s_.nodes[at].item);
    items->insert(items->end(), s_.reversed.rbegin(), s_.reversed.rend());
  }

  MatchFinder& finder_;
  const uint32_t start_, size_;
  const ParseParams& params_;
  ParseScratch& s_;
  LzMatch buffer_[kMaxMatch + 2];
};

}  // namespace

void CostModel::SetDefaults() {
  std::fill(main, main + kNumChars, 8);
  for (unsigned i = kNumChars; i < kMaxMainTreeSize; ++i) {
    unsigned slot = (i - kNumChars) / 8;
    main[i] = static_cast<uint8_t>(slot < kNumRepeats ? 7 : 10);
  }
  std::fill(length, length + kLengthTreeSize, 7);
}

void CostModel::SetFromStats(const SymbolStats& stats, unsigned main_size) {
  BuildHuffmanLengths(stats.main, main_size, kMainMaxCodeLength, main);
  BuildHuffmanLengths(stats.length, kLengthTreeSize, kLengthMaxCodeLength, length);
  for (unsigned i = 0; i < main_size; ++i)
    if (main[i] == 0) main[i] = i < kNumChars ? 12 : 14;
  for (unsigned i = main_size; i < kMaxMainTreeSize; ++i) main[i] = 16;
  for (unsigned i = 0; i < kLengthTreeSize; ++i)
    if (length[i] == 0) length[i] = 12;
}

void ParseFrame(MatchFinder& finder, uint32_t start, uint32_t size, const ParseParams& params,
                const CostModel& model, uint32_t repeats[kNumRepeats], ParseScratch& scratch,
                std::vector<Item>* items) {
  if (!params.near_optimal) {
    LazyParser(finder, start, size, params, model, repeats, scratch).Run(items);
    return;
  }
  OptimalParser parser(finder, start, size, params, scratch);
  const size_t first_item = items->size();
  uint32_t repeats_out[kNumRepeats];
  if (params.passes <= 1) {
    parser.Run(model, repeats, false, false, repeats_out, items);
  } else {
    parser.Run(model, repeats, false, true, repeats_out, items);
    for (int pass = 1; pass < params.passes; ++pass) {
      // Price the frame by its own first parse, blended with the prices it
      // started from so that rare symbols keep a sane price.
      SymbolStats stats;
      stats.Clear();
      for (size_t i = first_item; i < items->size(); ++i) stats.Count((*items)[i]);
      CostModel own;
      own.SetFromStats(stats, kMaxMainTreeSize);
      for (unsigned i = 0; i < kMaxMainTreeSize; ++i)
        own.main[i] = static_cast<uint8_t>((own.main[i] * 3 + model.main[i] + 2) / 4);
      for (unsigned i = 0; i < kLengthTreeSize; ++i)
        own.length[i] = static_cast<uint8_t>((own.length[i] * 3 + model.length[i] + 2) / 4);
      items->resize(first_item);
      parser.Run(own, repeats, true, false, repeats_out, items);
    }
  }
  std::memcpy(repeats, repeats_out, sizeof repeats_out);
}

}  // namespace lzxenc
}  // namespace cab
