// Feeds arbitrary bytes to the XML reader as a document held in memory:
// every input must end in items, an error or a clean end. The entity helpers
// are exercised on whatever the reader delivers, and escaped text must read
// back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xml/entities.h"
#include "xml/xml_parser.h"

namespace {

// A reader must never deliver more items than there are input characters
// plus the synthetic end tags of self-closing tags (at most one per ">").
constexpr size_t kItemsPerByte = 2;

void CheckEscapingRoundTrip(const WString& value) {
  // Escaping keeps every character except CR and tab, which collapse as
  // whitespace, and other control characters, which the reader refuses.
  if (value.empty() || value.size() > 256) return;
  for (WChar c : value)
    if (c < 0x20 && c != u'\n') return;
  BrioCommon::XMLParser parser;
  parser.SetSourceText(u"<V>" + BrioCommon::EncodeEntities(value) + u"</V>");
  BrioCommon::XMLItem item;
  if (!parser.ReadNext(item) || !parser.ReadNext(item)) std::abort();
  if (item.type != BrioCommon::Element || item.value != value) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  BrioCommon::XMLParser parser;
  parser.OpenBytes(bytes, "fuzz.xml");
  BrioCommon::XMLItem item;
  size_t items = 0;
  while (parser.ReadNext(item)) {
    if (++items > kItemsPerByte * size + 2) std::abort();
    if (item.type == BrioCommon::Element) CheckEscapingRoundTrip(item.value);
  }
  if (parser.HasError() && parser.ErrorText().empty()) std::abort();
  // Once finished, the reader stays finished.
  if (parser.ReadNext(item)) std::abort();
  return 0;
}
