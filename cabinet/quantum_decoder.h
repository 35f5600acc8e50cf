// Quantum: an LZ77 window of 2^10 to 2^21 bytes whose literals and matches
// are coded with a 16-bit arithmetic coder over adaptive frequency models.
//
// Seven selectors: 0-3 a literal from one of four 64-symbol models, 4 a
// match of 3 bytes, 5 a match of 4 bytes, 6 a match whose length has its
// own model; match positions come from one of three position-slot models.
// Models adapt across the whole folder; the arithmetic coder starts afresh
// with every data block, each of which yields one frame of output.
#pragma once

#include <cstdint>
#include <vector>

#include "cabinet/bit_reader.h"
#include "cabinet/decompressor.h"

namespace cab {

class QuantumDecoder : public Decompressor {
 public:
  static constexpr unsigned kMinWindowBits = 10;
  static constexpr unsigned kMaxWindowBits = 21;

  explicit QuantumDecoder(unsigned window_bits);
  const char* FormatName() const override { return "Quantum"; }
  bool Allocated() const override { return window_.allocated(); }
  void Reset() override;
  bool DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) override;

 private:
  static constexpr unsigned kMaxModelSymbols = 64;

  // An adaptive model: symbols kept in table order with cumulative
  // frequencies, cumulative[i] being the total frequency of entries i and
  // later (cumulative[count] = 0, cumulative[0] the model's total).
  struct Model {
    unsigned count = 0;
    unsigned first_symbol = 0;
    unsigned time_to_reorder = 0;
    uint16_t symbols[kMaxModelSymbols];
    uint16_t cumulative[kMaxModelSymbols + 1];

    void Init(unsigned first, unsigned n);
    void Update(unsigned index);
    void Rescale();
  };

  unsigned DecodeSymbol(Model& model);
  void Copy(uint32_t offset, uint32_t length);

  const unsigned window_bits_;
  const uint32_t window_size_;
  // The buffer holds at least two frames, so that a frame is still whole
  // when a match that ends it runs over into the next one.
  const uint32_t buffer_size_;
  const uint32_t buffer_mask_;
  WindowBuffer window_;

  MsbBitReader reader_;
  uint32_t high_ = 0, low_ = 0, code_ = 0;

  uint64_t produced_ = 0;
  uint64_t delivered_ = 0;

  Model selector_;
  Model literals_[4];
  Model positions3_;  // selector 4
  Model positions4_;  // selector 5
  Model positions_;   // selector 6
  Model lengths_;     // selector 6
};

}  // namespace cab
