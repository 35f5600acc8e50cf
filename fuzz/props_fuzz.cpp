// Fuzzes the property table reader (props.xml).
#include <cstddef>
#include <cstdint>

#include "config/properties_parser.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BrioCommon::PropertiesParser table;
  if (!table.ParseFile(WriteFuzzInputFile(data, size)) && table.ErrorText().empty()) __builtin_trap();
  return 0;
}
