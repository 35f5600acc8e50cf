// Packing test installers for the end-to-end tests of the install with the
// authoring tool: a "cfg" and a "files" folder become one cabinet, which goes
// after the stub with the defines texts. Times are taken as UTC (the tests
// run Wine with TZ=UTC as well), so a file's modification time is what the
// installed file must show.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace e2e {

// The installer that "mkinstaller build" makes of cfg_dir and files_dir
// (cabinet entries "cfg\..." and "files\..." in name order), with one
// defines text record per text and the given cabinet attribute bits per
// entry name ("files\a\b.dat"), and any further options of the tool
// ("--folder-size 64K"). Empty on failure (the reason goes to *error).
inline std::vector<uint8_t> PackInstaller(const std::string& cfg_dir, const std::string& files_dir,
                                          const std::vector<std::string>& defines_texts,
                                          const std::map<std::string, uint16_t>& attributes = {},
                                          std::string* error = nullptr, const std::string& options = "") {
  std::string scratch_error;
  std::string& why = error ? *error : scratch_error;
  auto quote = [](const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  };
  testsupport::ScratchDir stage;
  std::string command = "TZ=UTC " + quote(BinDir() + "/mkinstaller") + " build --stub " +
                        quote(BinDir() + "/InstallerStub.exe") + " --cfg " + quote(cfg_dir) + " --files " +
                        quote(files_dir) + " -o " + quote(stage.file("Setup.exe")) + " " + options;
  for (size_t i = 0; i < defines_texts.size(); ++i) {
    const std::string text_file = stage.file("defines" + std::to_string(i) + ".txt");
    testsupport::WriteWholeFile(text_file, defines_texts[i]);
    command += " --defines-text " + quote(text_file);
  }
  for (const auto& entry : attributes) {
    std::string flags;
    if (entry.second & 0x01) flags += 'r';
    if (entry.second & 0x02) flags += 'h';
    if (entry.second & 0x04) flags += 's';
    if (entry.second & 0x20) flags += 'a';
    command += " --attrib " + quote(entry.first + "=" + flags);
  }
  std::string output;
  if (Shell(command, &output) != 0) {
    why = "mkinstaller build failed: " + output;
    return {};
  }
  std::vector<uint8_t> installer;
  if (!testsupport::ReadWholeFile(stage.file("Setup.exe"), &installer)) why = "cannot read the packed installer";
  return installer;
}

// The same layout packed with gcab, for configurations that the authoring
// tool refuses to pack because the installer would refuse them (a broken
// install.xml): the stub, the cabinet, the defines texts, the signature.
inline std::vector<uint8_t> PackUncheckedInstaller(const std::string& cfg_dir, const std::string& files_dir,
                                                   const std::vector<std::string>& defines_texts,
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
  std::vector<Record> records = {{2, stub}, {1, cab}};
  for (const std::string& text : defines_texts) records.push_back({0, std::vector<uint8_t>(text.begin(), text.end())});
  return AssembleInstaller({}, records);
}

}  // namespace e2e
