// XMLParser's reader for the binary form: "BINXML", a mode byte (0 plain,
// 1 packed), a string table, then one record per item. Records refer to the
// table by index, so the items delivered are the same as for the text form.
#include <cstring>

#include "xml/bit_reader.h"
#include "xml/xml_parser.h"

namespace BrioCommon {
namespace {

enum BinaryState { kTextForm = 0, kBinaryTablePending = 1, kBinaryReady = 2 };
enum ModeByte { kPlainMode = 0, kPackedMode = 1 };

constexpr uint8_t kLongLengthMarker = 255;  // a 32-bit length or count follows
constexpr size_t kPackedLoadChunk = 512;
constexpr size_t kPackedStringChunk = 256;
constexpr size_t kPlainStringChunk = 4096;
// A packed stream ends with a zero record type followed by less than a byte.
constexpr size_t kPackedEndSlack = 8;

const char16_t kCorrupted[] = u"File Corrupted";
const char16_t kUnexpectedEnd[] = u"Unexpected End of File";

// Decodes one table entry as UTF-8; false on any invalid sequence.
bool DecodeTableString(EncodingParser& decoder, const std::string& bytes, WString* out) {
  decoder.SetSourceBytes(bytes);
  out->clear();
  for (;;) {
    WChar c;
    int status = decoder.ReadChar(&c);
    if (status == EncodingParser::CharEnd) return true;
    if (status != EncodingParser::CharOk) return false;
    out->push_back(c);
  }
}

}  // namespace

bool XMLParser::ReadPlainU8(uint32_t* value) {
  uint8_t b;
  if (ReadBytes(&b, 1) != 1) return false;
  *value = b;
  return true;
}

bool XMLParser::ReadPlainU16(uint32_t* value) {
  uint8_t b[2];
  if (ReadBytes(b, 2) != 2) return false;
  *value = b[0] | (uint32_t(b[1]) << 8);
  return true;
}

bool XMLParser::ReadPlainU32(uint32_t* value) {
  uint8_t b[4];
  if (ReadBytes(b, 4) != 4) return false;
  *value = b[0] | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  return true;
}

// A length byte, or 255 and a 32-bit length. Used for string lengths and
// attribute counts alike.
bool XMLParser::ReadCount(uint32_t* value) {
  if (binary_mode_byte_ == kPackedMode) return bit_reader_->ReadPackedBigEndian(value);
  if (!ReadPlainU8(value)) return false;
  return *value != kLongLengthMarker || ReadPlainU32(value);
}

bool XMLParser::ReadPlainString(std::string* bytes) {
  uint32_t length;
  if (!ReadPlainU8(&length)) return false;
  if (length == kLongLengthMarker && !ReadPlainU32(&length)) return false;
  // Read piecewise: the buffer only grows with bytes that really exist.
  bytes->clear();
  uint8_t chunk[kPlainStringChunk];
  while (length > 0) {
    size_t n = length < sizeof chunk ? length : sizeof chunk;
    if (ReadBytes(chunk, n) != n) return false;
    bytes->append(reinterpret_cast<const char*>(chunk), n);
    length -= static_cast<uint32_t>(n);
  }
  return true;
}

bool XMLParser::LoadBinaryHeader() {
  uint8_t mode;
  if (ReadBytes(&mode, 1) != 1) {
    SetError(kUnexpectedEnd);
    return false;
  }
  if (mode != kPlainMode && mode != kPackedMode) {
    SetError(kCorrupted);
    return false;
  }
  binary_mode_byte_ = mode;
  if (mode == kPackedMode) {
    std::string rest;
    uint8_t chunk[kPackedLoadChunk];
    for (;;) {
      size_t got = ReadBytes(chunk, sizeof chunk);
      rest.append(reinterpret_cast<const char*>(chunk), got);
      if (got < sizeof chunk) break;
    }
    bit_reader_.reset(new BitReader(rest));
  }
  if (!LoadStringTable()) {
    SetError(kCorrupted);
    return false;
  }
  binary_state_ = kBinaryReady;
  return true;
}

bool XMLParser::LoadStringTable() {
  string_table_.clear();
  EncodingParser decoder;
  decoder.SetEncoding(EncodingUTF8);
  uint32_t count;
  if (binary_mode_byte_ == kPackedMode) {
    if (!bit_reader_->ReadPackedBigEndian(&count)) return false;
  } else if (!ReadPlainU32(&count)) {
    return false;
  }
  std::string bytes;
  WString text;
  // No reservation by `count`: every entry must be read before it is kept.
  for (uint32_t i = 0; i < count; ++i) {
    if (binary_mode_byte_ == kPackedMode) {
      uint32_t length;
      if (!bit_reader_->ReadPackedLittleEndian(&length)) return false;
      bytes.clear();
      uint8_t chunk[kPackedStringChunk];
      while (length > 0) {
        size_t n = length < sizeof chunk ? length : sizeof chunk;
        if (!bit_reader_->Read(8 * n, chunk)) return false;
        bytes.append(reinterpret_cast<const char*>(chunk), n);
        length -= static_cast<uint32_t>(n);
      }
    } else if (!ReadPlainString(&bytes)) {
      return false;
    }
    if (!DecodeTableString(decoder, bytes, &text)) return false;
    string_table_.push_back(text);
  }
  return true;
}

bool XMLParser::ReadStringRef(const WString** text) {
  uint32_t index;
  bool ok;
  if (binary_mode_byte_ == kPackedMode) {
    ok = bit_reader_->ReadPackedBigEndian(&index);
  } else if (string_table_.size() < 0x100) {
    ok = ReadPlainU8(&index);
  } else if (string_table_.size() < 0x10000) {
    ok = ReadPlainU16(&index);
  } else {
    ok = ReadPlainU32(&index);
  }
  if (!ok || index >= string_table_.size()) return false;
  *text = &string_table_[index];
  return true;
}

// Reads the body of one record; false with "File Corrupted" or the section
// mismatch error recorded.
bool XMLParser::ReadBinaryRecord(uint32_t type, XMLItem& item) {
  const WString* first = nullptr;
  const WString* second = nullptr;
  switch (type) {
    case SectionStart: {
      uint32_t attribute_count;
      if (!ReadStringRef(&first) || !ReadCount(&attribute_count)) break;
      item.type = SectionStart;
      bool ok = true;
      for (uint32_t i = 0; ok && i < attribute_count; ++i) {
        const WString* name;
        const WString* value;
        ok = ReadStringRef(&name) && ReadStringRef(&value);
        if (ok) StoreAttribute(item, *name, *value);
      }
      if (!ok) break;
      OpenSection(*first);
      item.rawValue = *first;
      item.value = DecodeEntities(*first);
      return true;
    }
    case SectionEnd:
      if (!ReadStringRef(&first)) break;
      item.type = SectionEnd;
      if (!CloseSection(*first)) return false;
      item.rawValue = *first;
      item.value = DecodeEntities(*first);
      return true;
    case Element:
    case CData:
      if (!ReadStringRef(&first)) break;
      item.type = static_cast<int32_t>(type);
      item.rawValue = *first;
      item.value = DecodeEntities(*first);
      return true;
    case Instruction:
      if (!ReadStringRef(&first) || !ReadStringRef(&second)) break;
      item.type = Instruction;
      item.rawValue = *first;
      item.value = DecodeEntities(*first);
      item.instruction = *second;
      return true;
    default:
      break;
  }
  SetError(kCorrupted);
  return false;
}

bool XMLParser::ReadNextBinary(XMLItem& item) {
  if (end_of_data_) return false;
  if (binary_state_ == kBinaryTablePending && !LoadBinaryHeader()) return false;
  item.Clear();
  item.section = section_path_;

  uint32_t type;
  if (binary_mode_byte_ == kPackedMode) {
    for (;;) {
      if (!bit_reader_->ReadNumber(3, &type)) {
        SetError(kUnexpectedEnd);
        return false;
      }
      if (type != ItemNone) break;
      // A zero type is padding; with less than a byte left it is the end.
      if (bit_reader_->BitsLeft() < kPackedEndSlack) {
        end_of_data_ = true;
        return false;
      }
    }
  } else {
    uint8_t code;
    if (ReadBytes(&code, 1) != 1) {
      if (SourceFailed()) {
        SetError(kUnexpectedEnd);
      } else {
        end_of_data_ = true;
      }
      return false;
    }
    type = code;
  }
  return ReadBinaryRecord(type, item);
}

}  // namespace BrioCommon
