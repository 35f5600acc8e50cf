// The names of a file stored as parts: a file larger than one folder can hold
// is written as consecutive entries "<name>.001", "<name>.002", ... (three
// digits, more only past 999 parts), each the part size but the last. The
// writer names them, the installer and the authoring tool join them again.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>

namespace cab {

inline std::string PartEntryName(const std::string& name, uint32_t index, uint32_t parts) {
  const std::string digits = std::to_string(index);
  const size_t width = std::max<size_t>(3, std::to_string(parts).size());
  return name + "." + std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

}  // namespace cab
