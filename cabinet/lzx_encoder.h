// LZX compressor for cabinet folders (window 2^15 .. 2^21 bytes).
//
// The input comes in frames of 32768 bytes (the last one may be shorter); for
// each frame the encoder hands its sink the bytes of one CFDATA block, which
// decode to exactly that frame: matches never cross a frame's end and the bit
// stream is padded to 16 bits after each frame. A fresh encoder per folder
// gives the fresh decoder state that cabinet readers start each folder with.
//
// Blocks (verbatim, aligned-offset or uncompressed) are chosen by cost over a
// group of frames and always start at a frame boundary, so the sink receives
// frames in groups, a few frames after they were added. Output depends only on
// the input and the options.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cabinet/lzx_format.h"

namespace cab {

struct LzxEncoderOptions {
  static constexpr int kFastest = 1;
  static constexpr int kDefaultLevel = 3;
  static constexpr int kBest = 5;

  unsigned window_bits = 21;         // 15..21
  int level = kDefaultLevel;         // kFastest..kBest
  bool e8_translation = true;        // x86 CALL translation (useful on executables)
  uint32_t e8_translation_size = 12000000;  // the header's translation size, < 2^31
  // Threads that parse at once (0: one per processor). The output does not
  // depend on it.
  unsigned threads = 0;
};

// What the encoder chose, for tests and benchmarks.
struct LzxEncoderStats {
  uint64_t frames = 0;
  uint64_t verbatim_blocks = 0;
  uint64_t aligned_blocks = 0;
  uint64_t uncompressed_blocks = 0;
  uint64_t literals = 0;
  uint64_t matches = 0;          // new offsets
  uint64_t repeat_matches = 0;   // R0, R1 or R2
  uint64_t compressed_bytes = 0;
};

class LzxEncoder {
 public:
  static constexpr uint32_t kFrameSize = lzx::kFrameSize;

  // Receives one CFDATA block's compressed bytes and its uncompressed size;
  // returning false stops the encoder.
  using FrameSink = std::function<bool(const uint8_t* data, size_t size, uint32_t uncompressed_size)>;

  LzxEncoder();
  ~LzxEncoder();
  LzxEncoder(const LzxEncoder&) = delete;
  LzxEncoder& operator=(const LzxEncoder&) = delete;

  // Begins a new stream. False (with error()) for options out of range.
  bool Start(const LzxEncoderOptions& options, FrameSink sink);
  // Adds the next frame: kFrameSize bytes, or fewer for the stream's last.
  bool AddFrame(const uint8_t* data, size_t size);
  // Sends every frame still held back. The encoder must be started again
  // before further use.
  bool Finish();

  const std::string& error() const;
  const LzxEncoderStats& stats() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Applies the encoder-side E8 translation to one frame in place: `frame_offset`
// is the stream position of its first byte. Exposed for tests.
void LzxTranslateE8(uint8_t* frame, uint32_t size, uint32_t frame_offset, uint32_t translation_size);

}  // namespace cab
