// One registry value to write: from install.xml's Registry list or from a
// "-regvalue" option on the command line. Strings are narrow and unexpanded.
#pragma once
#include <cstdint>
#include <string>

struct RegValue {
  std::string Key;
  int32_t TypeNum = 0;  // 0 string, 1 number, 2 binary
  std::string Name;
  std::string Value;
};
