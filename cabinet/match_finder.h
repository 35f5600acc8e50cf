// Hash-chain match finder over a sliding window, used by the writer's LZX and
// deflate compressors. The finder owns the window buffer: the compressor
// appends each chunk of input, may edit the appended bytes in place (the LZX
// E8 translation does) and then asks, position by position, for the matches
// that start there.
//
// Positions are absolute offsets in the compressed stream (32-bit: a cabinet
// folder is far smaller than 4 GB). Three tables index the past: the chains of
// a 4-byte hash (every position, newest first), and the most recent position
// of each 3-byte hash and of each 2-byte value, which find the short, near
// matches that the 4-byte chains cannot.
//
// Binary trees may reach less far back than the window, with a fourth table
// (the most recent position of each 8-byte hash) for the long matches beyond
// them. The finder waits on memory: every tree node is a read at random in
// tables a few megabytes large per thread, and on the build machine a read
// that leaves the processor's share of the cache costs six times one that
// stays. Trees over 512 KB of past stay there; over the whole 2 MB window
// they do not, and what they find beyond 512 KB is mostly long repeats that
// the 8-byte table finds with one read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/large_table.h"

namespace cab {

struct LzMatch {
  uint32_t length;
  uint32_t distance;
};

struct MatchFinderParams {
  uint32_t max_distance = 32768;  // farthest match allowed
  uint32_t max_length = 258;      // longest match reported
  uint32_t min_length = 3;        // 2 or 3: shortest match reported
  uint32_t max_depth = 32;        // chain entries visited per search
  uint32_t nice_length = 128;     // a match this long ends the search
  uint32_t good_length = 32;      // past a match this long, search a quarter as deep
  uint32_t max_near2_distance = 64;  // 2-byte matches only this close
  unsigned hash_bits = 16;        // size of the 4-byte hash table
  uint32_t chunk_size = 32768;    // largest Append
  // Binary trees instead of hash chains: each 4-byte hash bucket keeps its
  // positions in a search tree ordered by the bytes that follow, so a search
  // walks towards ever longer matches and finds the longest within
  // max_depth steps. Dearer to index (every indexed position is a tree
  // insert), better matches for the same depth.
  bool binary_tree = false;
  // Binary trees only: how far back the trees reach (0: max_distance), and
  // the size of the 8-byte hash table that finds matches up to max_distance
  // beyond that (0 bits: none).
  uint32_t tree_reach = 0;
  unsigned far_hash_bits = 0;
};

class MatchFinder {
 public:
  MatchFinder() = default;
  MatchFinder(const MatchFinder&) = delete;
  MatchFinder& operator=(const MatchFinder&) = delete;

  // Forgets all data and sizes the tables for `params`.
  void Reset(const MatchFinderParams& params);

  // Appends `size` bytes (at most params.chunk_size) at position end() and
  // returns where they lie in the window, for in-place editing before any
  // search reaches them.
  uint8_t* Append(const uint8_t* data, size_t size);

  // Forgets all data and takes data[0..size) as the window, its first byte
  // at stream position `pos`: for a compressor that hands out independent
  // stretches of one stream, each with the history before it. Nothing is
  // indexed yet (SkipTo indexes the history).
  uint8_t* Load(const uint8_t* data, size_t size, uint32_t pos);

  // Stream position one past the last byte appended.
  uint32_t end() const { return end_; }
  // The byte at stream position `pos` (which must still be in the window).
  const uint8_t* At(uint32_t pos) const { return buffer_.data() + (pos - base_); }

  // Writes to `out` the matches at `pos` whose length is at most `limit`
  // (limit <= end() - pos), shortest first and each longer than the one
  // before, and returns their number (at most limit). Every position before
  // `pos` not yet indexed is indexed first, and `pos` itself after the search.
  size_t FindMatches(uint32_t pos, uint32_t limit, LzMatch* out);

  // Indexes every position before `pos` (as far as the data allows hashing),
  // without searching: the positions a chosen match covers.
  void SkipTo(uint32_t pos) { IndexUpTo(pos); }

  // Indexes every position before `pos` in the 8-byte table only: history
  // older than the trees' reach, which only long matches come from.
  void SkipFarTo(uint32_t pos);

  // Passes over every position before `pos` not yet indexed, leaving them
  // out of the tables: for data where searching has stopped paying.
  void PassOver(uint32_t pos) {
    if (pos > indexed_) indexed_ = pos;
  }

  // Changes the search depth (as MatchFinderParams::max_depth) from now on:
  // a shallower depth makes indexing a long history cheaper.
  void SetDepth(uint32_t depth) { params_.max_depth = depth; }

  // Length of the common prefix of a and b, at most `limit`.
  static uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit);

 private:
  void Index(uint32_t pos);
  // Starts loading the table heads of the position whose bytes are at p.
  void PrefetchHeads(const uint8_t* p) const;
  void IndexUpTo(uint32_t pos);
  void IndexFar(uint32_t pos);
  // Inserts `pos` in its tree; with `out`, also reports the matches met on
  // the way (lengths capped at `limit`, each longer than *best).
  void TreeInsert(uint32_t pos, LzMatch* out, size_t* count, uint32_t limit, uint32_t* best);

  MatchFinderParams params_;
  base::LargeTable<uint8_t> buffer_;
  uint32_t base_ = 0;      // stream position of buffer_[0]
  uint32_t end_ = 0;       // stream position after the last byte
  uint32_t indexed_ = 0;   // every position before this one is in the tables
  uint32_t history_ = 0;   // bytes kept before new data when sliding
  // Table entries are position + 1; 0 marks an empty slot.
  // chain_ holds the tree links in binary-tree mode: two per position, the
  // subtree of smaller and of greater continuations.
  base::LargeTable<uint32_t> head4_, chain_, head3_, head2_, far_;
  uint32_t chain_mask_ = 0;
  uint32_t tree_reach_ = 0;
};

}  // namespace cab
