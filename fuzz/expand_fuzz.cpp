// Fuzzes the expansion language. The input's first line is a list of
// variables "Name=Value;Name=Value" stored before the rest is expanded, so
// that the fuzzer can build chains and cycles of references.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/defines_parser.h"
#include "config/expand.h"
#include "base/string_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  std::string definitions = newline == std::string::npos ? std::string() : input.substr(0, newline);
  std::string text = newline == std::string::npos ? input : input.substr(newline + 1);

  DefinesParser& store = MainVariables();
  store.Clear();
  for (const std::string& entry : Split(definitions, ';')) {
    size_t equals = entry.find('=');
    if (equals != std::string::npos)
      store.SetVariable(Widen(entry.substr(0, equals)), Widen(entry.substr(equals + 1)));
  }
  WString result = Expand(Widen(text), true);
  if (result.size() > kMaxExpansionLength) __builtin_trap();
  Expand(Widen(text), false);
  return 0;
}
