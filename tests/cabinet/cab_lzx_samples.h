// Inputs for the LZX cabinet tests and a way to pack them with the
// cabinet writer.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "tests/cabinet/cab_test_builder.h"

namespace cabtest {

inline std::map<std::string, std::vector<uint8_t>> LzxSampleFiles() {
  std::map<std::string, std::vector<uint8_t>> files;
  files["text.txt"] = Pattern(100000, 11);
  std::vector<uint8_t> noise(40000);
  uint32_t x = 12345;
  for (auto& b : noise) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  files["noise.bin"] = noise;
  // Code-like bytes: CALL opcodes with small relative targets.
  std::vector<uint8_t> code;
  for (uint32_t i = 0; code.size() < 100000; ++i) {
    const uint8_t call[] = {0x55, 0x8B, 0xEC, 0xE8, static_cast<uint8_t>(i * 40), static_cast<uint8_t>(i % 3), 0, 0,
                            0x5D, 0xC3};
    code.insert(code.end(), call, call + sizeof call);
  }
  files["program.exe"] = code;
  files["empty"] = {};
  return files;
}

inline std::vector<uint8_t> MakeLzxCabinet(const std::map<std::string, std::vector<uint8_t>>& files,
                                          unsigned window_bits) {
  cab::CabWriter writer;
  cab::CabFolderOptions options;
  options.compression = cab::CabCompression::kLzx;
  options.lzx_window_bits = window_bits;
  writer.StartFolder(options);
  for (const auto& f : files)
    if (!writer.AddFileData(f.first, f.second, cab::DosDate(2020, 5, 6), cab::DosTime(7, 8, 10), 0x20)) return {};
  std::ostringstream out;
  if (!writer.Write(out)) return {};
  const std::string s = out.str();
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace cabtest
