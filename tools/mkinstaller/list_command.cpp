// "mkinstaller list Setup.exe": the payload records and the cabinet's entries.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/payload.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller list Setup.exe\n"
    "\n"
    "Prints the payload records (type, offset, length) in file order, the\n"
    "attached defines texts, and the entries of the cabinet record.\n";

const char* TypeName(uint32_t type) {
  switch (type) {
    case kRecordDefinesText: return "defines text";
    case kRecordCabinet: return "cabinet";
    case kRecordSkipped: return "skipped";
  }
  return "unknown";
}

// The cabinet range copied to a file of its own, for the cabinet engine.
bool ExtractRange(PayloadFile& file, int64_t offset, uint32_t length, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<char> buffer(1 << 20);
  for (uint32_t done = 0; done < length && out;) {
    uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), length - done);
    if (!file.ReadAt(offset + done, buffer.data(), n)) return false;
    out.write(buffer.data(), n);
    done += n;
  }
  return static_cast<bool>(out);
}

}  // namespace

int ListCommand(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  std::string path = argv[1];
  PayloadFile file;
  if (!file.Open(path)) {
    std::fprintf(stderr, "mkinstaller list: cannot open '%s'\n", path.c_str());
    return kExitFailure;
  }
  int64_t end = FindPayloadEnd(file);
  bool signed_payload = end >= 0;
  if (end < 0) end = file.Length();
  std::vector<PayloadRecordInfo> records;
  if (end < 0 || !ListPayloadRecords(file, end - 4, &records)) {
    std::fprintf(stderr, "mkinstaller list: '%s' holds no readable payload\n", path.c_str());
    return kExitFailure;
  }
  std::printf("signature: %s\n", signed_payload ? "present" : "absent (chain ends at the end of the file)");
  std::printf("%-14s %12s %12s\n", "record", "offset", "length");
  for (auto it = records.rbegin(); it != records.rend(); ++it)
    std::printf("%-14s %12" PRId64 " %12u\n", TypeName(it->type), it->offset, it->length);

  // As the installer does: texts in file order, the first cabinet counts.
  const PayloadRecordInfo* cabinet = nullptr;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    if (it->type == kRecordDefinesText) {
      std::string text(it->length, '\0');
      if (file.ReadAt(it->offset, &text[0], it->length)) std::printf("\ndefines text:\n%s\n", text.c_str());
    } else if (it->type == kRecordCabinet && !cabinet) {
      cabinet = &*it;
    }
  }
  if (!cabinet) {
    std::fprintf(stderr, "mkinstaller list: the payload has no cabinet\n");
    return kExitFailure;
  }
  char temp[] = "/tmp/mkinstaller-list-XXXXXX";
  int fd = mkstemp(temp);
  if (fd < 0) {
    std::fprintf(stderr, "mkinstaller list: cannot make a temporary file\n");
    return kExitFailure;
  }
  close(fd);
  std::printf("\ncabinet entries:\n");
  std::fflush(stdout);
  int status = ExtractRange(file, cabinet->offset, cabinet->length, temp) ? ListCabinetEntries(temp) : kExitFailure;
  unlink(temp);
  return status;
}
