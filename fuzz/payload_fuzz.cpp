// Fuzzes the payload record chain at the end of an installer: every input
// must be read or refused, and a cabinet found must lie inside the file.
#include <cstddef>
#include <cstdint>

#include "driver/payload.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PayloadFile file;
  if (!file.Open(WriteFuzzInputFile(data, size))) __builtin_trap();
  PayloadRecords records;
  if (LocatePayload(file, &records) && records.cabinetLength != 0) {
    if (records.cabinetOffset < 0 || uint64_t(records.cabinetOffset) + records.cabinetLength > size) __builtin_trap();
  }
  size_t text_bytes = 0;
  for (const std::string& t : records.attachedTexts) text_bytes += t.size();
  if (text_bytes > size) __builtin_trap();
  return 0;
}
