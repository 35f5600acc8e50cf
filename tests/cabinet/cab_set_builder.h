// Sets of cabinets for the tests of the reader following a set: the files'
// data in order in one stored folder of 1000-byte blocks, the blocks dealt
// to the cabinets by count, each cabinet's table listing every file with
// data in it with the format's continued-folder numbers and offsets in the
// whole folder (as the writer of sets lays them out).
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cabinet/cab_format.h"
#include "tests/cabinet/cab_test_builder.h"

namespace cabtest {

struct CabinetSet {
  std::vector<std::string> names;                        // in set order
  std::map<std::string, std::vector<uint8_t>> cabinets;  // by name
  std::map<std::string, std::vector<uint8_t>> files;     // each file's data, by entry name
};

constexpr size_t kSetBlock = 1000;

using SetEntries = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

inline CabinetSet BuildStoredSetOf(const SetEntries& entries, const std::vector<size_t>& blocks,
                                 const std::vector<std::string>& names) {
  CabinetSet set;
  set.names = names;
  std::vector<uint8_t> stream;
  std::vector<size_t> starts;
  std::vector<std::pair<std::string, size_t>> files;
  for (const auto& e : entries) {
    starts.push_back(stream.size());
    files.push_back({e.first, e.second.size()});
    set.files[e.first] = e.second;
    stream.insert(stream.end(), e.second.begin(), e.second.end());
  }
  std::vector<size_t> first_byte(blocks.size() + 1, 0);  // of each cabinet, in the stream
  for (size_t c = 0; c < blocks.size(); ++c)
    first_byte[c + 1] = std::min(stream.size(), first_byte[c] + blocks[c] * kSetBlock);
  auto cabinet_of = [&](size_t byte) {
    size_t c = 0;
    while (c + 1 < blocks.size() && byte >= first_byte[c + 1]) ++c;
    return c;
  };
  for (size_t c = 0; c < blocks.size(); ++c) {
    CabinetLayout layout;
    layout.cabinet_index = static_cast<uint16_t>(c);
    if (c > 0) layout.prev_cabinet = names[c - 1];
    if (c + 1 < blocks.size()) layout.next_cabinet = names[c + 1];
    std::vector<RawBlock> raw;
    for (size_t at = first_byte[c]; at < first_byte[c + 1]; at += kSetBlock) {
      const size_t n = std::min(kSetBlock, first_byte[c + 1] - at);
      raw.push_back({std::vector<uint8_t>(stream.begin() + at, stream.begin() + at + n), static_cast<uint16_t>(n)});
    }
    std::vector<RawFile> table;
    for (size_t i = 0; i < files.size(); ++i) {
      const size_t first = cabinet_of(starts[i]);
      const size_t last = files[i].second ? cabinet_of(starts[i] + files[i].second - 1) : first;
      if (c < first || c > last) continue;
      uint16_t folder = 0;
      if (c == first && last > first) folder = cab::kFolderContinuedToNext;
      if (c > first) folder = c < last ? cab::kFolderContinuedPrevAndNext : cab::kFolderContinuedFromPrev;
      table.push_back({files[i].first, static_cast<uint32_t>(files[i].second), static_cast<uint32_t>(starts[i]), folder});
    }
    set.cabinets[names[c]] = BuildRawCabinet(layout, {raw}, table);
  }
  return set;
}

// The same with generated contents of the given sizes.
inline CabinetSet BuildStoredSet(const std::vector<std::pair<std::string, size_t>>& files,
                                 const std::vector<size_t>& blocks, const std::vector<std::string>& names) {
  SetEntries entries;
  for (const auto& f : files) entries.push_back({f.first, Pattern(f.second, static_cast<uint32_t>(entries.size() + 1))});
  return BuildStoredSetOf(entries, blocks, names);
}

}  // namespace cabtest
