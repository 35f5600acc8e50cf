// Cabinets the writer tests make and then read back with different readers
// (the project's engine, cabextract and gcab on the host, Windows' own
// cabinet library under Wine): the same files every time.
#pragma once
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "tests/cabinet/encoder_test_data.h"

namespace writertest {

using cab::CabCompression;
using cab::CabFolderOptions;
using cab::CabWriter;

struct Added {
  std::string name;
  std::vector<uint8_t> data;
  uint16_t date, time, attributes;
};

inline std::vector<uint8_t> ToBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline bool WriteToBytes(CabWriter& w, std::vector<uint8_t>* out) {
  std::stringstream s(std::ios::in | std::ios::out | std::ios::binary);
  if (!w.Write(s)) return false;
  *out = ToBytes(s.str());
  return true;
}

inline uint16_t Get16(const std::vector<uint8_t>& v, size_t at) { return static_cast<uint16_t>(v[at] | (v[at + 1] << 8)); }
inline uint32_t Get32(const std::vector<uint8_t>& v, size_t at) { return Get16(v, at) | (uint32_t(Get16(v, at + 2)) << 16); }

inline CabFolderOptions Folder(CabCompression c, unsigned bits = 21, int level = cab::LzxEncoderOptions::kDefaultLevel) {
  CabFolderOptions o;
  o.compression = c;
  o.lzx_window_bits = bits;
  o.lzx_level = level;
  return o;
}

// One folder per method and LZX window, each with a few files of different
// kinds, sizes around the block size, and empty files.
inline std::vector<Added> FillManyFolders(CabWriter& w) {
  std::vector<CabFolderOptions> folders = {Folder(CabCompression::kStored), Folder(CabCompression::kMszip)};
  for (unsigned bits = 15; bits <= 21; ++bits) folders.push_back(Folder(CabCompression::kLzx, bits, 1 + bits % 5));
  std::vector<Added> added;
  for (size_t f = 0; f < folders.size(); ++f) {
    EXPECT_TRUE(w.StartFolder(folders[f])) << w.error();
    const std::string dir = "files\\f" + std::to_string(f) + "\\";
    std::vector<Added> files = {
        {dir + "readme.txt", enctest::Text(40000 + f * 1000, f), cab::DosDate(2009, 10, 22), cab::DosTime(13, 45, 30), 0x20},
        {dir + "empty.dat", {}, cab::DosDate(1980, 1, 1), cab::DosTime(0, 0, 0), 0},
        {dir + "bin\\game.exe", enctest::X86Code(70000, f), cab::DosDate(2107, 12, 31), cab::DosTime(23, 59, 58), 0x21},
        {dir + "exact.bin", enctest::Random(32768, f), cab::DosDate(2001, 2, 3), cab::DosTime(4, 5, 6), 0x07},
        {dir + "a\\b\\c\\deep.txt", ToBytes("deep"), cab::DosDate(2020, 6, 15), cab::DosTime(12, 0, 0), 0x20},
        {dir + "empty2.dat", {}, cab::DosDate(2020, 6, 15), cab::DosTime(12, 0, 0), 0x02},
    };
    for (Added& a : files) {
      EXPECT_TRUE(w.AddFileData(a.name, a.data, a.date, a.time, a.attributes)) << w.error();
      added.push_back(std::move(a));
    }
  }
  return added;
}

// LZX-21 at every level over data that drives each block type: code with
// E8 calls, noise (stored blocks), runs, text and 16-byte records.
inline std::vector<Added> FillLevels(CabWriter& w) {
  std::vector<Added> added;
  for (int level = cab::LzxEncoderOptions::kFastest; level <= cab::LzxEncoderOptions::kBest; ++level) {
    EXPECT_TRUE(w.StartFolder(Folder(CabCompression::kLzx, 21, level)));
    const std::string dir = "level" + std::to_string(level) + "\\";
    std::vector<Added> files = {
        {dir + "mixed.bin", enctest::Mixed(40000, level), cab::DosDate(2015, 5, 5), cab::DosTime(5, 5, 4), 0x20},
        {dir + "noise.bin", enctest::Random(70000, level), cab::DosDate(2015, 5, 5), cab::DosTime(5, 5, 4), 0x20},
        {dir + "code.dll", enctest::X86Code(100000, level), cab::DosDate(2015, 5, 5), cab::DosTime(5, 5, 4), 0x20},
        {dir + "empty", {}, cab::DosDate(2015, 5, 5), cab::DosTime(5, 5, 4), 0x20},
    };
    for (Added& a : files) {
      EXPECT_TRUE(w.AddFileData(a.name, a.data, a.date, a.time, a.attributes)) << w.error();
      added.push_back(std::move(a));
    }
  }
  return added;
}

}  // namespace writertest
