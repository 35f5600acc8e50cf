// Builds the binary XML form from items: a string table and one record per
// item, in the plain (byte-aligned) or packed (bit-stream) mode. Reading the
// result with XMLParser delivers the same items.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "xml/xml_item.h"

namespace BrioCommon {

class XMLParser;

class BinaryXMLWriter {
 public:
  enum Mode { Plain = 0, Packed = 1 };

  // Appends one item; types other than SectionStart, SectionEnd, Element,
  // Instruction and CData are ignored. Names and texts are taken in their raw
  // form when that decodes to the item's value, otherwise from the decoded
  // value with every "&" written as "&amp;" (so CDATA text survives the
  // decoding the binary reader applies).
  void Add(const XMLItem& item);
  // Appends every item the parser delivers. On a reader error returns false
  // with its text, decorated with the line and file as the readers report it.
  bool AddDocument(XMLParser& parser, WString* error);

  size_t ItemCount() const { return records_.size(); }

  // The whole file, magic included. False when a string holds a character
  // that UTF-8 cannot carry (an unpaired surrogate, U+FFFE or U+FFFF).
  bool Write(Mode mode, std::string* out, WString* error) const;

 private:
  struct Record {
    int32_t type;
    uint32_t first;   // name, text, target or content
    uint32_t second;  // instruction body
    std::vector<std::pair<uint32_t, uint32_t>> attributes;
  };
  uint32_t Intern(const WString& text);
  bool EncodeTable(std::vector<std::string>* table, WString* error) const;
  void WritePlain(const std::vector<std::string>& table, std::string* out) const;
  void WritePacked(const std::vector<std::string>& table, std::string* out) const;

  std::vector<WString> strings_;
  std::map<WString, uint32_t> string_index_;
  std::vector<Record> records_;
};

// Reads a text (or binary) XML file and writes it in binary form.
bool ConvertXMLFileToBinary(const std::string& source_file, const std::string& binary_file,
                            BinaryXMLWriter::Mode mode, WString* error);

}  // namespace BrioCommon
