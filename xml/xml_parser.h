// The pull reader for the installer's configuration files: one item (start
// tag, end tag, text, instruction, CDATA) per ReadNext, from text XML in
// 8-bit, UTF-8 or UTF-16, or from the plain or packed binary form.
//
// Typical use:
//   BrioCommon::XMLParser parser;
//   parser.Open(path);                 // a failed Open is reported below
//   BrioCommon::XMLItem item;
//   while (parser.ReadNext(item)) { ... dispatch on item.type, item.value ... }
//   if (parser.HasError()) report ErrorText(), LineNumber(), SourceName()
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "xml/encoding_parser.h"
#include "xml/entities.h"
#include "xml/utf8_file_writer.h"
#include "xml/xml_item.h"

namespace BrioCommon {

class BitReader;

class XMLParser : public EncodingParser {
 public:
  XMLParser();
  ~XMLParser() override;

  // Opens a file and detects its form: a file starting with "BINXML" is read
  // as binary XML, anything else as text. On failure the error
  // "Unable to open file <name>" is recorded and the line number is 0.
  bool Open(const std::string& file_name) override;
  // Reads a document held in memory exactly as Open reads a file with those
  // bytes; `source_name` is what SourceName() reports.
  void OpenBytes(const std::string& bytes, const std::string& source_name = std::string());
  // Text sources with no binary detection (bytes are decoded by the
  // detected encoding, characters are taken as they are).
  void SetSourceBytes(const std::string& bytes) override;
  void SetSourceText(const WString& text) override;

  // Starts a fresh document: section path and error emptied, line 1, text form.
  void Reset();

  // Fills `item` with the next item. False at the end of the input or on an
  // error; HasError() tells the two apart.
  virtual bool ReadNext(XMLItem& item);

  bool HasError() const { return failed_; }
  const WString& ErrorText() const { return error_text_; }
  uint32_t LineNumber() const { return line_number_; }
  const std::string& SourceName() const { return source_name_; }
  void SetError(const WString& text);

 private:
  void DetectBinaryForm();
  bool ReadNextText(XMLItem& item);
  bool FinishTag(XMLItem& item, WString& attr_name, WString& attr_value,
                 WString& last_attr_name);
  bool CloseSection(const WString& name);
  void OpenSection(const WString& name);

  // Binary form (binary_xml_reader.cpp).
  bool ReadNextBinary(XMLItem& item);
  bool LoadBinaryHeader();
  bool LoadStringTable();
  bool ReadPlainU8(uint32_t* value);
  bool ReadPlainU16(uint32_t* value);
  bool ReadPlainU32(uint32_t* value);
  bool ReadPlainString(std::string* bytes);
  bool ReadStringRef(const WString** text);
  bool ReadCount(uint32_t* value);
  bool ReadBinaryRecord(uint32_t type, XMLItem& item);

  std::string source_name_;
  WString error_text_;
  bool failed_ = false;
  uint32_t line_number_ = 1;
  WString section_path_;

  // 0 = text, 1 = binary with the string table not yet loaded, 2 = binary ready.
  int binary_state_ = 0;
  int binary_mode_byte_ = 0;  // 0 plain, 1 packed
  std::vector<WString> string_table_;
  std::unique_ptr<BitReader> bit_reader_;
  bool end_of_data_ = false;
};

}  // namespace BrioCommon
