// The entries of a cabinet file as data (name, size, date, time, attributes),
// read with the installer's own cabinet engine, for output formats that
// scripts read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CabinetEntry {
  std::string name;  // with backslashes, as stored
  int64_t size = 0;
  uint16_t date = 0;  // MS-DOS date and time, local time of the packing machine
  uint16_t time = 0;
  uint16_t attributes = 0;
};

// False with the engine's reason when the cabinet cannot be listed.
bool ReadCabinetEntries(const std::string& cabinet, std::vector<CabinetEntry>* entries, std::string* error);

// "YYYY-MM-DD HH:MM:SS" of an MS-DOS date and time.
std::string DosDateTimeText(uint16_t date, uint16_t time);

// "rhsax" with '-' for each attribute that is not set.
std::string AttributeLetters(uint16_t attributes);
