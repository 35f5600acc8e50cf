// "mkinstaller list [--json] Setup.exe": the payload records, the attached
// defines texts and the cabinet's entries.
#include <sys/stat.h>

#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/mkinstaller/cabinet_entries.h"
#include "tools/mkinstaller/installer_file.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller list [--json] Setup.exe\n"
    "\n"
    "Prints the payload records (type, offset, length) in file order, the\n"
    "attached defines texts, and the entries of the cabinet record. With\n"
    "--json the same as one JSON object for scripts:\n"
    "  {\"signature\": true, \"records\": [{\"type\", \"offset\", \"length\"}...],\n"
    "   \"definesTexts\": [\"...\"], \"entries\": [{\"name\", \"size\", \"time\",\n"
    "   \"attributes\"}...]}\n"
    "An installer with volumes (Setup-2.cab, ... beside it) lists the entries of\n"
    "every cabinet of the set, and adds \"volumes\": [{\"name\", \"size\",\n"
    "\"sha256\", \"present\"}...] and \"joinedFiles\": [{\"name\", \"parts\"}...]\n"
    "(files stored as entries NAME.001, NAME.002, ... and joined on install).\n"
    "An installer with the file-hash record adds \"installerId\" and\n"
    "\"fileHashes\": [{\"name\", \"size\", \"sha256\"}...], each product file once\n"
    "(a joined file under its joined name).\n"
    "Names and texts are the payload's bytes; \"time\" is the packing machine's\n"
    "local time as the cabinet keeps it.\n";

const char* TypeName(uint32_t type) {
  switch (type) {
    case kRecordDefinesText: return "defines text";
    case kRecordCabinet: return "cabinet";
    case kRecordSkipped: return "skipped";
    case kRecordVolumeSet: return "volume set";
    case kRecordFileHashes: return "file hashes";
  }
  return "unknown";
}

// A JSON string of bytes: quotes, backslashes and control characters escaped;
// other bytes pass unchanged.
std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Whether a volume lies beside the installer with its recorded size.
const char* VolumeState(const std::string& folder, const VolumeEntry& v) {
  struct stat st;
  if (stat((folder + v.name).c_str(), &st) != 0) return "missing";
  return static_cast<uint64_t>(st.st_size) == v.size ? "present" : "wrong size";
}

void PrintJson(const InstallerContents& contents, const std::vector<CabinetEntry>& entries, const std::string& folder) {
  std::printf("{\n  \"signature\": %s,\n", contents.signed_payload ? "true" : "false");
  if (contents.has_file_hashes) std::printf("  \"installerId\": \"%s\",\n", contents.installer_id.c_str());
  std::printf("  \"records\": [");
  for (size_t i = 0; i < contents.records.size(); ++i) {
    const PayloadRecordInfo& r = contents.records[i];
    std::printf("%s\n    {\"type\": \"%s\", \"offset\": %" PRId64 ", \"length\": %u}", i ? "," : "", TypeName(r.type),
                r.offset, r.length);
  }
  std::printf("\n  ],\n  \"definesTexts\": [");
  for (size_t i = 0; i < contents.defines_texts.size(); ++i)
    std::printf("%s\n    %s", i ? "," : "", JsonString(contents.defines_texts[i]).c_str());
  std::printf("\n  ],\n  \"entries\": [");
  for (size_t i = 0; i < entries.size(); ++i) {
    const CabinetEntry& e = entries[i];
    std::printf("%s\n    {\"name\": %s, \"size\": %" PRId64 ", \"time\": \"%s\", \"attributes\": \"%s\"}",
                i ? "," : "", JsonString(e.name).c_str(), e.size, DosDateTimeText(e.date, e.time).c_str(),
                AttributeLetters(e.attributes).c_str());
  }
  std::printf("\n  ]");
  if (contents.has_volume_set) {
    std::printf(",\n  \"volumes\": [");
    const std::vector<VolumeEntry>& volumes = contents.volume_set.volumes;
    for (size_t i = 0; i < volumes.size(); ++i)
      std::printf("%s\n    {\"name\": %s, \"size\": %" PRIu64 ", \"sha256\": \"%s\", \"present\": %s}", i ? "," : "",
                  JsonString(volumes[i].name).c_str(), volumes[i].size, base::Sha256Hex(volumes[i].sha256).c_str(),
                  std::strcmp(VolumeState(folder, volumes[i]), "present") == 0 ? "true" : "false");
    std::printf("\n  ],\n  \"joinedFiles\": [");
    const std::vector<JoinedFileEntry>& joined = contents.volume_set.joined;
    for (size_t i = 0; i < joined.size(); ++i)
      std::printf("%s\n    {\"name\": %s, \"parts\": %u}", i ? "," : "", JsonString(joined[i].name).c_str(),
                  joined[i].parts);
    std::printf("\n  ]");
  }
  if (contents.has_file_hashes) {
    std::printf(",\n  \"fileHashes\": [");
    for (size_t i = 0; i < contents.file_hashes.size(); ++i) {
      const FileHashEntry& f = contents.file_hashes[i];
      std::printf("%s\n    {\"name\": %s, \"size\": %" PRIu64 ", \"sha256\": \"%s\"}", i ? "," : "",
                  JsonString(f.name).c_str(), f.size, base::Sha256Hex(f.sha256).c_str());
    }
    std::printf("\n  ]");
  }
  std::printf("\n}\n");
}

void PrintText(const InstallerContents& contents, const std::vector<CabinetEntry>& entries, const std::string& folder) {
  std::printf("signature: %s\n", contents.signed_payload ? "present" : "absent (chain ends at the end of the file)");
  if (contents.has_file_hashes) std::printf("installer id: %s\n", contents.installer_id.c_str());
  std::printf("%-14s %12s %12s\n", "record", "offset", "length");
  for (const PayloadRecordInfo& r : contents.records)
    std::printf("%-14s %12" PRId64 " %12u\n", TypeName(r.type), r.offset, r.length);
  for (const std::string& text : contents.defines_texts) std::printf("\ndefines text:\n%s\n", text.c_str());
  if (contents.has_volume_set) {
    std::printf("\nvolumes beside the installer:\n");
    for (const VolumeEntry& v : contents.volume_set.volumes)
      std::printf("%12" PRIu64 " %s %s %s\n", v.size, base::Sha256Hex(v.sha256).c_str(), VolumeState(folder, v),
                  v.name.c_str());
    std::printf("\njoined files:\n");
    for (const JoinedFileEntry& j : contents.volume_set.joined) std::printf("%12u parts %s\n", j.parts, j.name.c_str());
  }
  std::printf("\ncabinet entries:\n");
  for (const CabinetEntry& e : entries)
    std::printf("%12" PRId64 " %s %s %s\n", e.size, DosDateTimeText(e.date, e.time).c_str(),
                AttributeLetters(e.attributes).c_str(), e.name.c_str());
}

}  // namespace

int ListCommand(int argc, char** argv) {
  bool json = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--json") {
      json = true;
    } else if (path.empty() && !(arg.size() > 1 && arg[0] == '-')) {
      path = arg;
    } else {
      std::fputs(kUsage, stderr);
      return kExitUsage;
    }
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  InstallerContents contents;
  ExtractedCabinet cabinet;
  std::vector<CabinetEntry> entries;
  std::string error;
  if (!ReadInstallerContents(path, &contents, &error) || !cabinet.Copy(path, contents.records[contents.cabinet], &error) ||
      !ReadCabinetEntries(cabinet.path(), &entries, &error)) {
    std::fprintf(stderr, "mkinstaller list: %s\n", error.c_str());
    return kExitFailure;
  }
  // Each volume lists the entries that begin in it.
  const std::string folder = InstallerFolder(path);
  for (const VolumeEntry& v : contents.volume_set.volumes) {
    std::vector<CabinetEntry> more;
    if (!ReadCabinetEntries(folder + v.name, &more, &error)) {
      std::fprintf(stderr, "mkinstaller list: volume '%s%s': %s\n", folder.c_str(), v.name.c_str(), error.c_str());
      return kExitFailure;
    }
    entries.insert(entries.end(), more.begin(), more.end());
  }
  if (json)
    PrintJson(contents, entries, folder);
  else
    PrintText(contents, entries, folder);
  return kExitOk;
}
