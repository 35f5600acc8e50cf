// Fuzzes the install configuration reader (install.xml).
#include <cstddef>
#include <cstdint>

#include "engine/install_config.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BrioCommon::InstallConfigParser config;
  if (!config.ParseFile(WriteFuzzInputFile(data, size)) && config.GetErrorText().empty()) __builtin_trap();
  return 0;
}
