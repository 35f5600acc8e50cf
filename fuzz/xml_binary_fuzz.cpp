// Feeds arbitrary bytes after the "BINXML" magic to the binary reader, in
// the plain and the packed mode alike (the first input byte is the mode), and
// checks that items read from a valid stream survive a rewrite by
// BinaryXMLWriter unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "xml/binary_xml_writer.h"
#include "xml/xml_parser.h"

namespace {

struct Seen {
  int32_t type;
  WString value;
  WString instruction;
  BrioCommon::XMLAttributeMap attributes;
  std::vector<WString> order;
  bool operator==(const Seen& o) const {
    return type == o.type && value == o.value && instruction == o.instruction &&
           attributes == o.attributes && order == o.order;
  }
};

// Reads everything; false when the reader reported an error.
bool ReadAll(const std::string& bytes, std::vector<Seen>* items,
             BrioCommon::BinaryXMLWriter* writer) {
  BrioCommon::XMLParser parser;
  parser.OpenBytes(bytes);
  BrioCommon::XMLItem item;
  while (parser.ReadNext(item)) {
    // Every record takes at least three bits of input.
    if (items->size() > bytes.size() * 8 / 3 + 1) std::abort();
    items->push_back({item.type, item.value, item.instruction, item.attributes,
                      item.attributeOrder});
    if (writer) writer->Add(item);
  }
  if (parser.LineNumber() != 0) std::abort();
  if (parser.ReadNext(item)) std::abort();
  return !parser.HasError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes = "BINXML";
  bytes.append(reinterpret_cast<const char*>(data), size);
  std::vector<Seen> items;
  BrioCommon::BinaryXMLWriter writer;
  if (!ReadAll(bytes, &items, &writer)) return 0;
  for (auto mode : {BrioCommon::BinaryXMLWriter::Plain, BrioCommon::BinaryXMLWriter::Packed}) {
    std::string rewritten;
    WString error;
    // Strings that came through the UTF-8 decoder can always be re-encoded.
    if (!writer.Write(mode, &rewritten, &error)) std::abort();
    std::vector<Seen> again;
    if (!ReadAll(rewritten, &again, nullptr)) std::abort();
    if (!(again == items)) std::abort();
  }
  return 0;
}
