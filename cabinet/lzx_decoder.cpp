#include "cabinet/lzx_decoder.h"

#include <algorithm>
#include <cstring>

#include "cabinet/byte_order.h"

namespace cab {

using namespace lzx;

LzxDecoder::LzxDecoder(unsigned window_bits)
    : window_size_(1u << window_bits),
      buffer_size_(std::max(1u << window_bits, 2 * kFrameSize)),
      buffer_mask_(buffer_size_ - 1),
      main_symbols_(kNumChars + 8 * NumPositionSlots(window_bits)),
      window_(buffer_size_),
      main_tree_(kNumChars + 8 * kMaxPositionSlots, 10),
      length_tree_(kLengthTreeSize, 8),
      aligned_tree_(kAlignedTreeSize, 7),
      pretree_(kPretreeSize, 6) {
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
  reader_.Reset(in, in_size);
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

bool LzxDecoder::DecodeSymbols(size_t frame_end) {
  uint8_t* const window = window_.data();
  const bool aligned = block_type_ == kBlockAligned;
  while (produced_ < frame_end && block_remaining_ > 0) {
    reader_.Refill();
    int sym = main_tree_.Decode(reader_);
    if (sym < 0) return Fail(DecodeError::kBadHuffmanCode);
    if (sym < static_cast<int>(kNumChars)) {
      window[produced_ & buffer_mask_] = static_cast<uint8_t>(sym);
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

    // The source may lie before the folder's first byte (the window starts
    // zeroed) and either side may wrap around the window's end.
    uint32_t dst = static_cast<uint32_t>(produced_) & buffer_mask_;
    uint32_t src = (dst - offset) & buffer_mask_;
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
      for (uint32_t i = 0; i < length; ++i)
        window[(dst + i) & buffer_mask_] = window[(src + i) & buffer_mask_];
    }
    produced_ += length;
    block_remaining_ -= length;
  }
  return true;
}

bool LzxDecoder::CopyUncompressed(size_t frame_end) {
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
