// Turning one frame of input into LZX items: the cost model that prices
// literals and matches in bits, and the two parsers, a lazy one (fast) and a
// near-optimal one (a shortest-path search over the frame, which also follows
// the repeated offsets along each path).
#pragma once
#include <cstdint>
#include <vector>

#include "cabinet/lzx_encoder_format.h"
#include "cabinet/match_finder.h"

namespace cab {
namespace lzxenc {

// Bit prices of the symbols, from the code lengths of recent data.
struct CostModel {
  uint8_t main[kMaxMainTreeSize];
  uint8_t length[kLengthTreeSize];

  // Prices for a stream's start, before any statistics exist.
  void SetDefaults();
  // Prices from symbol counts; symbols not seen get a long code's price.
  void SetFromStats(const SymbolStats& stats, unsigned main_size);

  uint32_t Literal(uint8_t byte) const { return main[byte]; }
  uint32_t Match(uint32_t formatted, uint32_t len) const {
    unsigned slot = SlotOf(formatted);
    uint32_t bits = main[MainSymbolOf(slot, len)];
    if (len - kMinMatch >= kNumPrimaryLengths) bits += length[len - kMinMatch - kNumPrimaryLengths];
    if (formatted >= kNumRepeats) bits += kSlots.extra[slot];
    return bits;
  }
};

struct ParseParams {
  bool near_optimal = false;
  bool lazy = true;             // lazy parser: look one position ahead
  uint32_t nice_length = 96;    // a match this long is taken at once
  uint32_t max_lazy = 32;       // lazy parser: no look-ahead past a match this long
  // After 2^skip_shift searches without a match, search only every second
  // position, after twice as many every third, and so on (0: never).
  unsigned skip_shift = 0;
  int passes = 1;               // near-optimal: re-parse with the frame's own prices
};

// The parser's working memory, kept between frames to avoid reallocation.
struct ParseScratch {
  std::vector<uint32_t> literal_prefix;
  struct Node {
    uint32_t cost;
    uint32_t from;  // where the item reaching this node starts
    Item item;
    uint32_t repeats[kNumRepeats];
  };
  std::vector<Node> nodes;
  std::vector<LzMatch> match_cache;
  std::vector<uint32_t> match_index;  // per position: start in match_cache, then count
  std::vector<Item> reversed;
};

// Parses stream positions [start, start + size) of the match finder's window
// (matches end inside the frame), appending the items to `items` and updating
// `repeats` (R0..R2) as the decoder will.
void ParseFrame(MatchFinder& finder, uint32_t start, uint32_t size, const ParseParams& params,
                const CostModel& model, uint32_t repeats[kNumRepeats], ParseScratch& scratch,
                std::vector<Item>* items);

}  // namespace lzxenc
}  // namespace cab
