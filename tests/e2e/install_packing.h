// Packing test installers for the end-to-end tests of the install: a "cfg"
// and a "files" folder become one cabinet, which goes after the stub with the
// defines texts. Times are taken as UTC (the tests run Wine with TZ=UTC as
// well), so a file's modification time is what the installed file must show.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace e2e {

// Sets the attribute bits of the named cabinet entries ("files\a\b.dat") in
// a cabinet image. False when the image is not a cabinet or a name is not in
// it.
inline bool SetCabinetEntryAttributes(std::vector<uint8_t>* cab, const std::map<std::string, uint16_t>& attributes) {
  auto le16 = [&](size_t at) { return uint32_t((*cab)[at] | ((*cab)[at + 1] << 8)); };
  if (cab->size() < 36 || std::string(cab->begin(), cab->begin() + 4) != "MSCF") return false;
  size_t at = le16(16) | (le16(18) << 16);  // coffFiles
  const uint32_t count = le16(28);          // cFiles
  size_t found = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 16 > cab->size()) return false;
    size_t name_end = at + 16;
    while (name_end < cab->size() && (*cab)[name_end]) ++name_end;
    const std::string name(cab->begin() + at + 16, cab->begin() + name_end);
    auto it = attributes.find(name);
    if (it != attributes.end()) {
      (*cab)[at + 14] = uint8_t(it->second);
      (*cab)[at + 15] = uint8_t(it->second >> 8);
      ++found;
    }
    at = name_end + 1;
  }
  return found == attributes.size();
}

// The stub, the cabinet of cfg_dir and files_dir (entries "cfg\..." and
// "files\..." in name order) and one defines text record per text. Empty on
// failure (the reason goes to *error).
inline std::vector<uint8_t> PackInstaller(const std::string& cfg_dir, const std::string& files_dir,
                                          const std::vector<std::string>& defines_texts,
                                          const std::map<std::string, uint16_t>& attributes = {},
                                          std::string* error = nullptr) {
  std::string scratch_error;
  std::string& why = error ? *error : scratch_error;
  testsupport::ScratchDir stage;
  std::string output;
  const std::string command = "cd '" + stage.path() + "' && mkdir cfg files && cp -a '" + cfg_dir +
                              "'/. cfg/ && cp -a '" + files_dir +
                              "'/. files/ && TZ=UTC gcab -c -z payload.cab $(find cfg files -type f | LC_ALL=C sort)";
  if (Shell(command, &output) != 0) {
    why = "gcab failed: " + output;
    return {};
  }
  std::vector<uint8_t> cab, stub;
  if (!testsupport::ReadWholeFile(stage.file("payload.cab"), &cab) ||
      !testsupport::ReadWholeFile(BinDir() + "/InstallerStub.exe", &stub)) {
    why = "cannot read the cabinet or the stub";
    return {};
  }
  if (!SetCabinetEntryAttributes(&cab, attributes)) {
    why = "cannot set the entry attributes";
    return {};
  }
  std::vector<Record> records = {{2, stub}, {1, cab}};
  for (const std::string& text : defines_texts) records.push_back({0, std::vector<uint8_t>(text.begin(), text.end())});
  return AssembleInstaller({}, records);
}

}  // namespace e2e
