#include "xml/binary_xml_writer.h"

#include <cstdio>

#include "xml/bit_writer.h"
#include "xml/entities.h"
#include "xml/xml_parser.h"

namespace BrioCommon {
namespace {

const char kMagic[] = "BINXML";
constexpr uint8_t kLongLengthMarker = 255;

// The text to store so that DecodeEntities gives back `value`.
WString StoredForm(const WString& raw, const WString& value) {
  if (DecodeEntities(raw) == value) return raw;
  WString out;
  for (WChar c : value) {
    if (c == u'&')
      out += u"&amp;";
    else
      out.push_back(c);
  }
  return out;
}

// UTF-8 as the binary reader's decoder accepts it: surrogate pairs become
// four-byte sequences; unpaired surrogates and U+FFFE/U+FFFF have no form.
bool ToUTF8(const WString& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
      return false;
    }
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (c >> 12)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (c >> 18)));
      out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return true;
}

void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

// A byte, or 255 and a 32-bit number: string lengths and attribute counts.
void PutCount(std::string* out, uint32_t v) {
  if (v < kLongLengthMarker) {
    out->push_back(static_cast<char>(v));
  } else {
    out->push_back(static_cast<char>(kLongLengthMarker));
    PutU32(out, v);
  }
}

}  // namespace

uint32_t BinaryXMLWriter::Intern(const WString& text) {
  auto found = string_index_.find(text);
  if (found != string_index_.end()) return found->second;
  uint32_t index = static_cast<uint32_t>(strings_.size());
  strings_.push_back(text);
  string_index_.emplace(text, index);
  return index;
}

void BinaryXMLWriter::Add(const XMLItem& item) {
  Record record{item.type, 0, 0, {}};
  switch (item.type) {
    case SectionStart:
      record.first = Intern(StoredForm(item.rawValue, item.value));
      if (!item.rawAttributes.empty()) {
        // Re-storing the raw attributes in their order gives the same
        // decoded attributes, duplicates resolved alike.
        for (const WString& name : item.rawAttributeOrder) {
          auto found = item.rawAttributes.find(name);
          if (found == item.rawAttributes.end()) continue;
          record.attributes.emplace_back(Intern(name), Intern(found->second));
        }
      } else {
        for (const WString& name : item.attributeOrder) {
          auto found = item.attributes.find(name);
          if (found == item.attributes.end()) continue;
          record.attributes.emplace_back(Intern(StoredForm(WString(), name)),
                                         Intern(StoredForm(WString(), found->second)));
        }
      }
      break;
    case SectionEnd:
    case Element:
    case CData:
      record.first = Intern(StoredForm(item.rawValue, item.value));
      break;
    case Instruction:
      record.first = Intern(StoredForm(item.rawValue, item.value));
      record.second = Intern(item.instruction);
      break;
    default:
      return;
  }
  records_.push_back(std::move(record));
}

bool BinaryXMLWriter::AddDocument(XMLParser& parser, WString* error) {
  XMLItem item;
  while (parser.ReadNext(item)) Add(item);
  if (!parser.HasError()) return true;
  if (error) {
    *error = parser.ErrorText();
    if (parser.LineNumber() > 0) *error += u" on Line " + Widen(std::to_string(parser.LineNumber()));
    if (!parser.SourceName().empty()) *error += u" in File '" + Widen(parser.SourceName()) + u"'";
  }
  return false;
}

bool BinaryXMLWriter::EncodeTable(std::vector<std::string>* table, WString* error) const {
  table->resize(strings_.size());
  for (size_t i = 0; i < strings_.size(); ++i) {
    if (!ToUTF8(strings_[i], &(*table)[i])) {
      if (error) *error = u"Text cannot be stored as UTF-8: '" + strings_[i] + u"'";
      return false;
    }
  }
  return true;
}

void BinaryXMLWriter::WritePlain(const std::vector<std::string>& table, std::string* out) const {
  out->push_back(0);
  PutU32(out, static_cast<uint32_t>(table.size()));
  for (const std::string& s : table) {
    PutCount(out, static_cast<uint32_t>(s.size()));
    out->append(s);
  }
  // Index width follows the table size, as the reader expects.
  auto put_ref = [&](uint32_t index) {
    if (table.size() < 0x100) {
      out->push_back(static_cast<char>(index));
    } else if (table.size() < 0x10000) {
      out->push_back(static_cast<char>(index));
      out->push_back(static_cast<char>(index >> 8));
    } else {
      PutU32(out, index);
    }
  };
  for (const Record& r : records_) {
    out->push_back(static_cast<char>(r.type));
    put_ref(r.first);
    if (r.type == SectionStart) {
      PutCount(out, static_cast<uint32_t>(r.attributes.size()));
      for (const auto& a : r.attributes) {
        put_ref(a.first);
        put_ref(a.second);
      }
    } else if (r.type == Instruction) {
      put_ref(r.second);
    }
  }
}

void BinaryXMLWriter::WritePacked(const std::vector<std::string>& table, std::string* out) const {
  out->push_back(1);
  BitWriter bits;
  bits.WritePackedBigEndian(static_cast<uint32_t>(table.size()));
  for (const std::string& s : table) {
    bits.WritePackedLittleEndian(static_cast<uint32_t>(s.size()));
    bits.WriteBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  }
  for (const Record& r : records_) {
    bits.Write(static_cast<uint32_t>(r.type), 3);
    bits.WritePackedBigEndian(r.first);
    if (r.type == SectionStart) {
      bits.WritePackedBigEndian(static_cast<uint32_t>(r.attributes.size()));
      for (const auto& a : r.attributes) {
        bits.WritePackedBigEndian(a.first);
        bits.WritePackedBigEndian(a.second);
      }
    } else if (r.type == Instruction) {
      bits.WritePackedBigEndian(r.second);
    }
  }
  // End mark: a zero type. The zero bits that complete the last word are
  // read as further zero types until less than a byte is left.
  bits.Write(0, 3);
  out->append(bits.ToBytes());
}

bool BinaryXMLWriter::Write(Mode mode, std::string* out, WString* error) const {
  std::vector<std::string> table;
  if (!EncodeTable(&table, error)) return false;
  out->assign(kMagic, 6);
  if (mode == Packed)
    WritePacked(table, out);
  else
    WritePlain(table, out);
  return true;
}

bool ConvertXMLFileToBinary(const std::string& source_file, const std::string& binary_file,
                            BinaryXMLWriter::Mode mode, WString* error) {
  XMLParser parser;
  parser.Open(source_file);
  BinaryXMLWriter writer;
  if (!writer.AddDocument(parser, error)) return false;
  std::string bytes;
  if (!writer.Write(mode, &bytes, error)) return false;
  std::FILE* file = std::fopen(binary_file.c_str(), "wb");
  bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file && std::fclose(file) != 0) ok = false;
  if (!ok && error) *error = u"Unable to write file " + Widen(binary_file);
  return ok;
}

}  // namespace BrioCommon
