#include "cabinet/lzx_decoder.h"

#include <algorithm>
#include <cstring>

#include "cabinet/byte_order.h"

namespace cab {

using namespace lzx;

namespace {
// Bytes past the buffer's end that the fast loop's wide copies may touch.
constexpr uint32_t kWindowSlack = 32;
// The largest compressed block a cabinet can hold (CFDATA.cbData).
constexpr size_t kMaxInputSize = 65535;
// First-level widths of the decoding tables.
constexpr unsigned kMainRootBits = 10;
constexpr unsigned kLengthRootBits = 8;
constexpr unsigned kAlignedRootBits = 7;
constexpr unsigned kPretreeRootBits = 6;
}  // namespace

LzxDecoder::LzxDecoder(unsigned window_bits)
    : window_size_(1u << window_bits),
      buffer_size_(std::max(1u << window_bits, 2 * kFrameSize)),
      buffer_mask_(buffer_size_ - 1),
      main_symbols_(kNumChars + 8 * NumPositionSlots(window_bits)),
      window_(buffer_size_ + kWindowSlack),
      swapped_input_(kMaxInputSize),
      main_tree_(kNumChars + 8 * kMaxPositionSlots, kMainRootBits),
      length_tree_(kLengthTreeSize, kLengthRootBits),
      aligned_tree_(kAlignedTreeSize, kAlignedRootBits),
      pretree_(kPretreeSize, kPretreeRootBits) {
  Reset();
}

void LzxDecoder::Reset() {
  std::fill(window_.begin(), window_.end(), 0);
  header_read_ = false;
  translation_on_ = false;
  translation_size_ = 0;
  produced_ = 0;
  delivered_ = 0;
  frames_ = 0;
  block_type_ = kBlockNone;
  block_remaining_ = 0;
  odd_block_ = false;
  raw_pos_ = 0;
  repeated_[0] = repeated_[1] = repeated_[2] = 1;
  std::memset(main_lengths_, 0, sizeof main_lengths_);
  std::memset(length_lengths_, 0, sizeof length_lengths_);
  std::memset(aligned_lengths_, 0, sizeof aligned_lengths_);
}

bool LzxDecoder::DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  ClearError();
  if (out_size == 0 || out_size > kFrameSize) return Fail(DecodeError::kBadFrameSize);
  // The reader's fast refills read the block with its words byte-swapped.
  if (in_size <= swapped_input_.size()) {
    WordBitReader::SwapWords(in, in_size, swapped_input_.data());
    reader_.Reset(in, in_size, swapped_input_.data());
  } else {
    reader_.Reset(in, in_size);
  }
  raw_pos_ = 0;

  if (!header_read_) {
    reader_.Refill();
    translation_on_ = reader_.Read(1) != 0;
    if (translation_on_) {
      uint32_t high = reader_.Read(16);
      translation_size_ = (high << 16) | reader_.Read(16);
    }
    header_read_ = true;
  }

  const uint64_t frame_start = delivered_;
  const uint64_t frame_end = delivered_ + out_size;
  while (produced_ < frame_end) {
    if (block_remaining_ == 0 && !ReadBlockHeader()) return FailBlock(reader_.Overrun());
    bool ok = block_type_ == kBlockUncompressed ? CopyUncompressed(frame_end) : DecodeSymbols(frame_end);
    if (!ok || reader_.Overrun()) return FailBlock(reader_.Overrun());
  }

  // Hand out the frame; it may wrap around the end of the window when an
  // earlier frame of the folder was short.
  const uint32_t start = static_cast<uint32_t>(frame_start) & buffer_mask_;
  const size_t first = std::min<size_t>(out_size, buffer_size_ - start);
  std::memcpy(out, &window_[start], first);
  std::memcpy(out + first, &window_[0], out_size - first);

  if (translation_on_ && frames_ < kTranslatedFrames) TranslateE8ToRelative(out, out_size, static_cast<uint32_t>(delivered_), translation_size_);
  delivered_ = frame_end;
  ++frames_;
  return true;
}

bool LzxDecoder::ReadBlockHeader() {
  reader_.Refill();
  const unsigned type = reader_.Read(3);
  const uint32_t size = reader_.Read(24);
  if (size == 0) return Fail(DecodeError::kBadBlockSize);

  switch (type) {
    case kBlockAligned:
      for (unsigned i = 0; i < kAlignedTreeSize; ++i) aligned_lengths_[i] = static_cast<uint8_t>(reader_.Read(3));
      if (!aligned_tree_.Build(aligned_lengths_, kAlignedTreeSize, false)) return Fail(DecodeError::kBadHuffmanTable);
      // The rest of the header is that of a verbatim block.
      // fall through
    case kBlockVerbatim:
      if (!ReadLengths(main_lengths_, 0, kNumChars) || !ReadLengths(main_lengths_, kNumChars, main_symbols_))
        return false;
      if (!main_tree_.Build(main_lengths_, main_symbols_, false)) return Fail(DecodeError::kBadHuffmanTable);
      if (!ReadLengths(length_lengths_, 0, kLengthTreeSize)) return false;
      if (!length_tree_.Build(length_lengths_, kLengthTreeSize, false)) return Fail(DecodeError::kBadHuffmanTable);
      break;
    case kBlockUncompressed: {
      // 1 to 16 bits of padding up to a 16-bit boundary, then the three
      // repeated offsets as raw little-endian words.
      const size_t bit_pos = reader_.BitPosition();
      const size_t byte_pos = (bit_pos + 16 - bit_pos % 16) / 8;
      if (reader_.Overrun() || byte_pos + 12 > reader_.Size()) return Fail(DecodeError::kInputEnds);
      const uint8_t* p = reader_.Data() + byte_pos;
      repeated_[0] = Load32(p);
      repeated_[1] = Load32(p + 4);
      repeated_[2] = Load32(p + 8);
      raw_pos_ = byte_pos + 12;
      odd_block_ = (size & 1) != 0;
      break;
    }
    default:
      return Fail(DecodeError::kBadBlockType);
  }
  if (reader_.Overrun()) return Fail(DecodeError::kInputEnds);
  block_type_ = static_cast<BlockType>(type);
  block_remaining_ = size;
  return true;
}

// Tree lengths are sent as differences from the previous block's lengths,
// through a 20-symbol pretree.
bool LzxDecoder::ReadLengths(uint8_t* lengths, unsigned first, unsigned last) {
  uint8_t pre[kPretreeSize];
  for (unsigned i = 0; i < kPretreeSize; ++i) pre[i] = static_cast<uint8_t>(reader_.Read(4));
  if (!pretree_.Build(pre, kPretreeSize, false)) return Fail(DecodeError::kBadHuffmanTable);

  unsigned x = first;
  while (x < last) {
    reader_.Refill();
    int code = pretree_.Decode(reader_);
    if (code < 0) return Fail(DecodeError::kBadHuffmanCode);
    if (code <= 16) {
      lengths[x] = static_cast<uint8_t>((lengths[x] + 17 - code) % 17);
      ++x;
      continue;
    }
    unsigned run;
    uint8_t value = 0;
    if (code == 17) {
      run = 4 + reader_.Read(4);
    } else if (code == 18) {
      run = 20 + reader_.Read(5);
    } else {
      run = 4 + reader_.Read(1);
      reader_.Refill();
      int delta = pretree_.Decode(reader_);
      if (delta < 0 || delta > 16) return Fail(DecodeError::kBadHuffmanCode);
      value = static_cast<uint8_t>((lengths[x] + 17 - delta) % 17);
    }
    // A run that overshoots the range is cut at its end.
    run = std::min(run, last - x);
    std::memset(lengths + x, value, run);
    x += run;
    if (reader_.Overrun()) return Fail(DecodeError::kInputEnds);
  }
  return true;
}

// One symbol at a time, every bound checked; it finishes what the fast loop
// leaves: the last bytes of the input, of a block, of the window.
bool LzxDecoder::DecodeSymbols(uint64_t frame_end) {
  if (!DecodeSymbolsFast(frame_end)) return false;
  const bool aligned = block_type_ == kBlockAligned;
  while (produced_ < frame_end && block_remaining_ > 0) {
    reader_.Refill();
    int sym = main_tree_.Decode(reader_);
    if (sym < 0) return Fail(DecodeError::kBadHuffmanCode);
    if (sym < static_cast<int>(kNumChars)) {
      window_[static_cast<uint32_t>(produced_) & buffer_mask_] = static_cast<uint8_t>(sym);
      ++produced_;
      --block_remaining_;
      continue;
    }
    sym -= kNumChars;
    uint32_t length = (sym & 7) + 2;
    const unsigned slot = static_cast<unsigned>(sym) >> 3;
    if ((sym & 7) == 7) {
      const int extra_length = length_tree_.Decode(reader_);
      if (extra_length < 0) return Fail(DecodeError::kBadHuffmanCode);
      length += static_cast<uint32_t>(extra_length);
    }

    uint32_t offset;
    if (slot == 0) {
      offset = repeated_[0];
    } else if (slot == 1) {
      offset = repeated_[1];
      repeated_[1] = repeated_[0];
      repeated_[0] = offset;
    } else if (slot == 2) {
      offset = repeated_[2];
      repeated_[2] = repeated_[0];
      repeated_[0] = offset;
    } else {
      const unsigned extra = kSlots.extra[slot];
      offset = kSlots.base[slot] - 2;
      if (aligned && extra >= 3) {
        offset += reader_.Read(extra - 3) << 3;
        reader_.Refill();
        const int low = aligned_tree_.Decode(reader_);
        if (low < 0) return Fail(DecodeError::kBadHuffmanCode);
        offset += static_cast<uint32_t>(low);
      } else {
        offset += reader_.Read(extra);
      }
      repeated_[2] = repeated_[1];
      repeated_[1] = repeated_[0];
      repeated_[0] = offset;
    }
    if (offset == 0 || offset > window_size_ || length > block_remaining_) return Fail(DecodeError::kBadMatch);
    CopyMatch(static_cast<uint32_t>(produced_) & buffer_mask_, offset, length);
    produced_ += length;
    block_remaining_ -= length;
  }
  return true;
}

// A match anywhere in the buffer: the source may lie before the folder's
// first byte (the window starts zeroed) and either side may wrap around the
// window's end.
void LzxDecoder::CopyMatch(uint32_t dst, uint32_t offset, uint32_t length) {
  uint8_t* const window = window_.data();
  const uint32_t src = (dst - offset) & buffer_mask_;
  if (dst + length <= buffer_size_ && src + length <= buffer_size_) {
    if (src + length <= dst || dst + length <= src) {
      std::memcpy(window + dst, window + src, length);
    } else if (src > dst) {
      // An offset of nearly the whole window: the source lies just ahead
      // of the destination and is read before it is overwritten.
      std::memmove(window + dst, window + src, length);
    } else {
      // A source overlapping the bytes being written repeats them.
      for (uint32_t i = 0; i < length; ++i) window[dst + i] = window[src + i];
    }
  } else {
    for (uint32_t i = 0; i < length; ++i) window[(dst + i) & buffer_mask_] = window[(src + i) & buffer_mask_];
  }
}

namespace {

inline void Copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

inline void Copy16(uint8_t* dst, const uint8_t* src) {
  uint8_t v[16];
  std::memcpy(v, src, 16);
  std::memcpy(dst, v, 16);
}

// Copies a match in whole words, possibly writing up to 15 bytes past its
// end; the bytes there are still history (the oldest of the window) and are
// put back. The source runs at least 8 bytes (16 with wide16) ahead of the
// bytes being written, so every step reads only final bytes.
inline void WideCopy(uint8_t* d, const uint8_t* s, uint32_t length, bool wide16) {
  uint8_t saved[16];
  std::memcpy(saved, d + length, 16);
  Copy8(d, s);
  if (length > 8) {
    if (wide16) {
      for (uint32_t i = 8; i < length; i += 16) Copy16(d + i, s + i);
    } else {
      for (uint32_t i = 8; i < length; i += 8) Copy8(d + i, s + i);
    }
  }
  std::memcpy(d + length, saved, 16);
}

}  // namespace

// The loop that decodes nearly every symbol. It runs while the refills of
// the longest symbol (main code, length code, then 17 offset bits or 14 and
// an aligned code: at most 53 bits) read inside the input,
// the block holds the longest match and the window has room for it without
// wrapping; so only the codes and the repeated offsets need checking (a new
// offset is always inside the window: lzx_format.h). The bit stream, the
// repeated offsets and the tables live in locals: the window's byte stores
// could alias any member.
bool LzxDecoder::DecodeSymbolsFast(uint64_t frame_end) {
  return block_type_ == kBlockAligned ? DecodeSymbolsFast<true>(frame_end) : DecodeSymbolsFast<false>(frame_end);
}

template <bool kAligned>
bool LzxDecoder::DecodeSymbolsFast(uint64_t frame_end) {
  // A 64-bit buffer holds a whole symbol after one refill; a 32-bit one
  // holds one code (or an offset's extra bits) and is refilled before each.
  constexpr bool kOneRefill = WordBitReader::Cursor::kGuaranteedBits >= 16 + 16 + 21;
  static_assert(WordBitReader::Cursor::kGuaranteedBits >= 14 + 7, "one refill per code");
  if (block_remaining_ < kMaxMatch || !reader_.FastRefillReady()) return true;
  WordBitReader::Cursor reader = reader_.TakeCursor();
  if (reader.limit_bytes < 8) return true;
  // A refill at a position below this, and the later ones of its symbol,
  // read inside the input: up to 32 bits on for a 64-bit buffer (8-byte
  // loads), up to 48 for a 32-bit one (4-byte loads). (A reader that has
  // run into its padding stands beyond it.)
  if (reader.limit_bytes < 12) return true;
  const size_t position_end = (reader.limit_bytes - 11) * 8;
  if (reader.position >= position_end) return true;

  uint8_t* const window = window_.data();
  const HuffmanTable::Lookup main_tree{main_tree_.Entries(), kMainRootBits};
  const HuffmanTable::Lookup length_tree{length_tree_.Entries(), kLengthRootBits};
  const HuffmanTable::Lookup aligned_tree{aligned_tree_.Entries(), kAlignedRootBits};
  const uint32_t window_size = window_size_;
  const uint32_t buffer_size = buffer_size_;

  const uint32_t start = static_cast<uint32_t>(produced_) & buffer_mask_;
  // The loop runs while dst < limit: before the frame's end, with room for
  // a match before the block's end and before the buffer's end.
  uint64_t limit = std::min<uint64_t>(frame_end - produced_, block_remaining_ - kMaxMatch + 1) + start;
  limit = std::min<uint64_t>(limit, buffer_size_ - kMaxMatch + 1);
  const uint32_t dst_limit = static_cast<uint32_t>(limit);
  if (start >= dst_limit) return true;

  uint32_t r0 = repeated_[0], r1 = repeated_[1], r2 = repeated_[2];
  uint32_t dst = start;
  bool ok = true;
  while (dst < dst_limit && reader.position < position_end) {
    reader.Refill();
    int sym = main_tree.Decode(reader);
    if (sym < static_cast<int>(kNumChars)) {
      if (sym < 0) {
        ok = Fail(DecodeError::kBadHuffmanCode);
        break;
      }
      window[dst++] = static_cast<uint8_t>(sym);
      // Literals (most symbols with a small window) come two to a refill
      // of a 64-bit buffer.
      if (dst >= dst_limit) break;
      if (!kOneRefill) reader.Refill();
      sym = main_tree.Decode(reader);
      if (sym < static_cast<int>(kNumChars)) {
        if (sym < 0) {
          ok = Fail(DecodeError::kBadHuffmanCode);
          break;
        }
        window[dst++] = static_cast<uint8_t>(sym);
        continue;
      }
      if (kOneRefill) reader.Refill();
    }
    if (!kOneRefill) reader.Refill();
    sym -= kNumChars;
    uint32_t length = (sym & 7) + 2;
    const unsigned slot = static_cast<unsigned>(sym) >> 3;
    if ((sym & 7) == 7) {
      const int extra_length = length_tree.Decode(reader);
      if (extra_length < 0) {
        ok = Fail(DecodeError::kBadHuffmanCode);
        break;
      }
      length += static_cast<uint32_t>(extra_length);
    }

    uint32_t offset;
    if (slot >= kNumRepeats) {
      if (!kOneRefill) reader.Refill();
      const unsigned extra = kSlots.extra[slot];
      offset = kSlots.base[slot] - 2;
      if (kAligned && extra >= 3) {
        if (extra > 3) {
          offset += reader.Peek(extra - 3) << 3;
          reader.Drop(extra - 3);
        }
        const int low = aligned_tree.Decode(reader);
        if (low < 0) {
          ok = Fail(DecodeError::kBadHuffmanCode);
          break;
        }
        offset += static_cast<uint32_t>(low);
      } else if (extra > 0) {
        offset += reader.Peek(extra);
        reader.Drop(extra);
      }
      r2 = r1;
      r1 = r0;
      r0 = offset;
    } else {
      if (slot == 0) {
        offset = r0;
      } else if (slot == 1) {
        offset = r1;
        r1 = r0;
        r0 = offset;
      } else {
        offset = r2;
        r2 = r0;
        r0 = offset;
      }
      // An uncompressed block's header may have set any value.
      if (offset == 0 || offset > window_size) {
        ok = Fail(DecodeError::kBadMatch);
        break;
      }
    }

    uint8_t* const d = window + dst;
    if (offset <= dst) {
      if (offset >= 8) {
        WideCopy(d, d - offset, length, offset >= 16);
      } else {
        // A source overlapping the bytes being written repeats them.
        const uint8_t* const s = d - offset;
        for (uint32_t i = 0; i < length; ++i) d[i] = s[i];
      }
    } else {
      // The source wraps around the buffer's start: it lies near the
      // buffer's end, ahead of the destination.
      const uint32_t src = dst - offset + buffer_size;
      if (src + length <= buffer_size && src - dst >= 16) {
        WideCopy(d, window + src, length, true);
      } else {
        CopyMatch(dst, offset, length);
      }
    }
    dst += length;
  }

  const uint32_t done = dst - start;
  produced_ += done;
  block_remaining_ -= done;
  repeated_[0] = r0;
  repeated_[1] = r1;
  repeated_[2] = r2;
  reader_.SeekToBit(reader.position);
  return ok;
}

bool LzxDecoder::CopyUncompressed(uint64_t frame_end) {
  uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(block_remaining_, frame_end - produced_));
  if (raw_pos_ + n > reader_.Size()) return Fail(DecodeError::kInputEnds);
  const uint8_t* src = reader_.Data() + raw_pos_;
  for (uint32_t done = 0; done < n;) {
    uint32_t dst = static_cast<uint32_t>(produced_ + done) & buffer_mask_;
    uint32_t chunk = std::min(n - done, buffer_size_ - dst);
    std::memcpy(&window_[dst], src + done, chunk);
    done += chunk;
  }
  raw_pos_ += n;
  produced_ += n;
  block_remaining_ -= n;
  if (block_remaining_ == 0) {
    // Raw bytes end on an even boundary; the bit stream resumes there.
    if (odd_block_ && raw_pos_ < reader_.Size()) ++raw_pos_;
    if (!reader_.SeekToByte(raw_pos_)) return Fail(DecodeError::kInputEnds);
  }
  return true;
}

}  // namespace cab
