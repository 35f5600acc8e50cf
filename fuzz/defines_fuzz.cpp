// Fuzzes the defines reader on texts as they come attached to the installer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/defines_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DefinesParser store;
  if (!store.ParseText(std::string(reinterpret_cast<const char*>(data), size)) && store.ErrorText().empty())
    __builtin_trap();  // every failure has a message
  return 0;
}
