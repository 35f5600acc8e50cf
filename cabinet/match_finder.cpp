#include "cabinet/match_finder.h"

#include <algorithm>
#include <cstring>

#include "cabinet/byte_order.h"

namespace cab {
namespace {

constexpr unsigned kHash3Bits = 16;
// How far ahead a tree insert starts the loads of later inserts.
constexpr uint32_t kFarAhead = 12;
constexpr uint32_t kNearAhead = 6;

inline uint32_t Hash4(const uint8_t* p, unsigned bits) {
  return (Load32(p) * 2654435761u) >> (32 - bits);
}

inline uint32_t Hash3(const uint8_t* p) {
  uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v * 2654435761u) >> (32 - kHash3Bits);
}

inline uint32_t Hash8(const uint8_t* p, unsigned bits) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return static_cast<uint32_t>((v * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

inline uint32_t Hash2(const uint8_t* p) { return p[0] | (p[1] << 8); }

}  // namespace

void MatchFinder::Reset(const MatchFinderParams& params) {
  params_ = params;
  // Links are found by position modulo the table's size: a node is read
  // only within the reach, so it cannot have been overwritten since.
  tree_reach_ = params.max_distance;
  if (params.binary_tree && params.tree_reach != 0) tree_reach_ = std::min(params.tree_reach, params.max_distance);
  uint32_t chain_size = 1;
  while (chain_size <= tree_reach_) chain_size <<= 1;
  chain_mask_ = chain_size - 1;
  history_ = params.max_distance;
  // Room for the history plus several chunks, so that the window slides (a
  // copy of the history) only once every few chunks.
  buffer_.assign(static_cast<size_t>(history_) + 8 * static_cast<size_t>(params.chunk_size), 0);
  head4_.assign(size_t(1) << params.hash_bits, 0);
  chain_.assign(params.binary_tree ? 2 * size_t(chain_size) : chain_size, 0);
  head3_.assign(size_t(1) << kHash3Bits, 0);
  head2_.assign(size_t(1) << 16, 0);
  far_.assign(params.binary_tree && params.far_hash_bits != 0 ? size_t(1) << params.far_hash_bits : 0, 0);
  base_ = end_ = indexed_ = 0;
}

uint8_t* MatchFinder::Load(const uint8_t* data, size_t size, uint32_t pos) {
  if (buffer_.size() < size) buffer_.assign(size, 0);
  std::fill(head4_.begin(), head4_.end(), 0);
  std::fill(head3_.begin(), head3_.end(), 0);
  std::fill(head2_.begin(), head2_.end(), 0);
  std::fill(far_.begin(), far_.end(), 0);
  // chain_ needs no clearing: a link is read only at a position indexed
  // since, which wrote it.
  std::memcpy(buffer_.data(), data, size);
  base_ = indexed_ = pos;
  end_ = pos + static_cast<uint32_t>(size);
  return buffer_.data();
}

uint8_t* MatchFinder::Append(const uint8_t* data, size_t size) {
  size_t used = end_ - base_;
  if (used + size > buffer_.size()) {
    size_t keep = std::min<size_t>(used, history_);
    std::memmove(buffer_.data(), buffer_.data() + (used - keep), keep);
    base_ = end_ - static_cast<uint32_t>(keep);
    used = keep;
  }
  uint8_t* dest = buffer_.data() + used;
  std::memcpy(dest, data, size);
  end_ += static_cast<uint32_t>(size);
  return dest;
}

uint32_t MatchFinder::CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t len = 0;
  while (len + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    uint64_t diff = x ^ y;
    if (diff != 0) return len + static_cast<uint32_t>(__builtin_ctzll(diff) >> 3);
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

void MatchFinder::IndexFar(uint32_t pos) {
  if (!far_.empty() && pos + 8 <= end_) far_[Hash8(At(pos), params_.far_hash_bits)] = pos + 1;
}

void MatchFinder::SkipFarTo(uint32_t pos) {
  for (; indexed_ < pos; ++indexed_) IndexFar(indexed_);
}

void MatchFinder::Index(uint32_t pos) {
  const uint8_t* p = At(pos);
  if (params_.binary_tree) {
    TreeInsert(pos, nullptr, nullptr, 0, nullptr);
    IndexFar(pos);
    head3_[Hash3(p)] = pos + 1;
    head2_[Hash2(p)] = pos + 1;
    return;
  }
  uint32_t h = Hash4(p, params_.hash_bits);
  chain_[pos & chain_mask_] = head4_[h];
  head4_[h] = pos + 1;
  head3_[Hash3(p)] = pos + 1;
  head2_[Hash2(p)] = pos + 1;
}

void MatchFinder::PrefetchHeads(const uint8_t* p) const {
  __builtin_prefetch(&head4_[Hash4(p, params_.hash_bits)]);
  __builtin_prefetch(&head3_[Hash3(p)]);
  __builtin_prefetch(&head2_[Hash2(p)]);
}

void MatchFinder::TreeInsert(uint32_t pos, LzMatch* out, size_t* count, uint32_t limit, uint32_t* best) {
  const uint32_t avail = std::min(end_ - pos, params_.max_length);
  if (avail < 4) return;
  const uint8_t* cur = At(pos);
  // Every insert waits on memory (the bucket head, then each node's links
  // and bytes). Positions are inserted in order, so start those loads for
  // the positions ahead: the table heads a few positions on, and the first
  // candidates nearer on (whose heads were fetched already).
  if (pos + kFarAhead + 4 <= end_) {
    PrefetchHeads(cur + kFarAhead);
    const uint32_t next = head4_[Hash4(cur + kNearAhead, params_.hash_bits)];
    if (next > base_) {
      __builtin_prefetch(&chain_[2 * size_t((next - 1) & chain_mask_)]);
      __builtin_prefetch(At(next - 1));
    }
    const uint32_t next3 = head3_[Hash3(cur + kNearAhead)];
    if (next3 > base_) __builtin_prefetch(At(next3 - 1));
    if (!far_.empty() && pos + kFarAhead + 8 <= end_) {
      __builtin_prefetch(&far_[Hash8(cur + kFarAhead, params_.far_hash_bits)]);
      const uint32_t next_far = far_[Hash8(cur + kNearAhead, params_.far_hash_bits)];
      if (next_far > base_) __builtin_prefetch(At(next_far - 1));
    }
  }
  const uint32_t h = Hash4(cur, params_.hash_bits);
  uint32_t cand = head4_[h];
  head4_[h] = pos + 1;
  // `less` is the link that takes the next node found to sort before `cur`,
  // `more` the one for a node after it; both start as cur's own children.
  uint32_t* less = &chain_[2 * size_t(pos & chain_mask_)];
  uint32_t* more = less + 1;
  uint32_t len_less = 0, len_more = 0;
  const uint32_t nice = std::min(params_.nice_length, avail);
  const uint32_t max_distance = std::min(tree_reach_, pos - base_);
  for (uint32_t depth = params_.max_depth; cand != 0 && depth > 0; --depth) {
    const uint32_t cpos = cand - 1;
    const uint32_t distance = pos - cpos;
    if (distance > max_distance) break;
    const uint8_t* match = cur - distance;
    uint32_t* node = &chain_[2 * size_t(cpos & chain_mask_)];
    uint32_t len = std::min(len_less, len_more);
    if (match[len] == cur[len]) {
      len += CommonLength(cur + len, match + len, avail - len);
      if (out) {
        const uint32_t capped = std::min(len, limit);
        if (capped > *best) {
          *best = capped;
          out[(*count)++] = LzMatch{capped, distance};
        }
      }
      if (len >= nice) {
        // As far as anyone will look, cur and the candidate agree: cur takes
        // the candidate's place and children.
        *less = node[0];
        *more = node[1];
        return;
      }
    }
    if (match[len] < cur[len]) {
      *less = cand;
      less = &node[1];
      cand = *less;
      len_less = len;
    } else {
      *more = cand;
      more = &node[0];
      cand = *more;
      len_more = len;
    }
  }
  *less = 0;
  *more = 0;
}

void MatchFinder::IndexUpTo(uint32_t pos) {
  // A position is indexed once its 4 hashed bytes are in the window; the
  // last three of a chunk wait for the next one.
  uint32_t stop = end_ >= 4 ? std::min(pos, end_ - 3) : 0;
  while (indexed_ < stop) Index(indexed_++);
}

size_t MatchFinder::FindMatches(uint32_t pos, uint32_t limit, LzMatch* out) {
  IndexUpTo(pos);
  // The next search most likely starts one byte on: fetch its hash head
  // while this one runs.
  if (pos + 5 <= end_) __builtin_prefetch(&head4_[Hash4(At(pos + 1), params_.hash_bits)]);
  size_t count = 0;
  limit = std::min(limit, params_.max_length);
  if (limit < params_.min_length) {
    IndexUpTo(pos + 1);
    return 0;
  }
  const uint8_t* cur = At(pos);
  const uint32_t max_distance = std::min(params_.max_distance, pos - base_);
  uint32_t best = params_.min_length - 1;
  auto consider = [&](uint32_t cand_plus_one) {
    if (cand_plus_one == 0) return;
    uint32_t distance = pos - (cand_plus_one - 1);
    if (distance == 0 || distance > max_distance) return;
    uint32_t len = CommonLength(cur, cur - distance, limit);
    if (len > best) {
      best = len;
      out[count++] = LzMatch{len, distance};
    }
  };

  if (params_.min_length <= 2 && limit >= 2) {
    uint32_t cand = head2_[Hash2(cur)];
    if (cand != 0 && pos - (cand - 1) <= params_.max_near2_distance) consider(cand);
  }
  if (limit >= 3 && pos + 3 <= end_ && best < limit) consider(head3_[Hash3(cur)]);

  if (params_.binary_tree) {
    TreeInsert(pos, out, &count, limit, &best);
    if (!far_.empty() && pos + 8 <= end_ && best < limit) consider(far_[Hash8(cur, params_.far_hash_bits)]);
    IndexFar(pos);
    if (pos + 3 <= end_) head3_[Hash3(cur)] = pos + 1;
    head2_[Hash2(cur)] = pos + 1;
    indexed_ = pos + 1;
    return count;
  }
  if (limit >= 4 && pos + 4 <= end_ && best < limit && best < params_.nice_length) {
    uint32_t cand = head4_[Hash4(cur, params_.hash_bits)];
    uint32_t depth = best >= params_.good_length ? params_.max_depth / 4 + 1 : params_.max_depth;
    bool cut = best >= params_.good_length;
    const uint32_t nice = std::min(params_.nice_length, limit);
    while (cand != 0 && depth-- > 0) {
      uint32_t cpos = cand - 1;
      uint32_t distance = pos - cpos;
      if (distance > max_distance || distance == 0) break;
      const uint8_t* match = cur - distance;
      // Only a candidate that agrees at the current best length can beat it.
      if (match[best] == cur[best] && Load32(match) == Load32(cur)) {
        uint32_t len = CommonLength(cur, match, limit);
        if (len > best) {
          best = len;
          out[count++] = LzMatch{len, distance};
          if (len >= nice) break;
          if (!cut && len >= params_.good_length) {
            cut = true;
            depth /= 4;
          }
        }
      }
      cand = chain_[cpos & chain_mask_];
    }
  }
  IndexUpTo(pos + 1);
  return count;
}

}  // namespace cab
