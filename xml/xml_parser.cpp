#include "xml/xml_parser.h"

#include "xml/bit_reader.h"

namespace BrioCommon {
namespace {

const char kBinaryMagic[] = "BINXML";
constexpr size_t kBinaryMagicSize = 6;

bool IsXmlSpace(WChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool EndsWith(const WString& text, const char16_t* tail, size_t tail_size) {
  return text.size() >= tail_size && text.compare(text.size() - tail_size, tail_size, tail) == 0;
}

}  // namespace

XMLParser::XMLParser() = default;

XMLParser::~XMLParser() { Close(); }

void XMLParser::Reset() {
  section_path_.clear();
  error_text_.clear();
  line_number_ = 1;
  failed_ = false;
  binary_state_ = 0;
  end_of_data_ = false;
  bit_reader_.reset();
  string_table_.clear();
}

void XMLParser::SetError(const WString& text) {
  failed_ = true;
  error_text_ = text;
}

bool XMLParser::Open(const std::string& file_name) {
  if (!EncodingParser::Open(file_name)) {
    Reset();
    source_name_.clear();
    line_number_ = 0;
    SetError(u"Unable to open file " + Widen(file_name));
    return false;
  }
  source_name_ = file_name;
  Reset();
  DetectBinaryForm();
  return true;
}

void XMLParser::OpenBytes(const std::string& bytes, const std::string& source_name) {
  OpenMemory(bytes);
  source_name_ = source_name;
  Reset();
  DetectBinaryForm();
}

void XMLParser::SetSourceBytes(const std::string& bytes) {
  EncodingParser::SetSourceBytes(bytes);
  Reset();
}

void XMLParser::SetSourceText(const WString& text) {
  EncodingParser::SetSourceText(text);
  Reset();
}

void XMLParser::DetectBinaryForm() {
  WChar read[kBinaryMagicSize];
  size_t count = 0;
  int status = CharOk;
  while (count < kBinaryMagicSize) {
    status = ReadChar(&read[count]);
    if (status != CharOk || read[count] != static_cast<WChar>(kBinaryMagic[count])) break;
    ++count;
  }
  if (count == kBinaryMagicSize) {
    ReopenRawAt(kBinaryMagicSize);
    line_number_ = 0;
    binary_state_ = 1;
    return;
  }
  // Not binary: everything looked at is read again by the text reader, a
  // character that failed to decode included.
  if (status == CharOk) {
    UnreadChar(read[count]);
  } else if (status == CharIllegal) {
    UnreadIllegal();
  }
  while (count > 0) UnreadChar(read[--count]);
}

bool XMLParser::ReadNext(XMLItem& item) {
  if (failed_) return false;
  if (binary_state_ != 0) return ReadNextBinary(item);
  return ReadNextText(item);
}

void XMLParser::OpenSection(const WString& name) {
  if (!section_path_.empty()) section_path_.push_back(u'/');
  section_path_ += name;
}

bool XMLParser::CloseSection(const WString& name) {
  size_t slash = section_path_.rfind(u'/');
  if (slash == WString::npos && section_path_.empty()) {
    SetError(u"Unexpected End");
    return false;
  }
  size_t start = slash == WString::npos ? 0 : slash + 1;
  WString open_name = section_path_.substr(start);
  if (open_name != name) {
    SetError(u"End '" + name + u"' Doesn't Match Start '" + open_name + u"'");
    return false;
  }
  section_path_.erase(slash == WString::npos ? 0 : slash);
  return true;
}

// At the ">" of a start tag: completes the last attribute, recognises a
// self-closing tag (queuing its end tag) and enters the section.
bool XMLParser::FinishTag(XMLItem& item, WString& attr_name, WString& attr_value,
                          WString& last_attr_name) {
  bool self_closing = false;
  if (attr_name == u"/") {
    self_closing = true;
  } else {
    bool collecting = !attr_name.empty();
    if (collecting) {
      last_attr_name = attr_name;
      StoreAttribute(item, attr_name, attr_value);
      attr_name.clear();
      attr_value.clear();
    }
    if (!last_attr_name.empty()) {
      WString raw = item.rawAttributes[last_attr_name];
      if (!raw.empty() && raw.back() == u'/') {
        self_closing = true;
        raw.pop_back();
        StoreAttribute(item, last_attr_name, raw);
      }
    }
    if (!collecting && !item.value.empty() && item.value.back() == u'/') {
      item.value.pop_back();
      self_closing = true;
    }
  }
  if (self_closing) UnreadText(u"</" + item.value + u">");
  OpenSection(item.value);
  return true;
}

bool XMLParser::ReadNextText(XMLItem& item) {
  item.Clear();
  item.section = section_path_;
  WString attr_name, attr_value, last_attr_name;
  bool pending_space = false, in_quotes = false, quote_closed = false;
  bool in_attributes = false, after_equals = false;

  // Ends the item in hand: a comment is dropped and reading starts over.
  auto finish = [&]() -> bool {
    if (!attr_name.empty()) StoreAttribute(item, attr_name, attr_value);
    if (item.type != Comment) {
      item.rawValue = item.value;
      item.value = DecodeEntities(item.value);
      return true;
    }
    item.Clear();
    item.section = section_path_;
    attr_name.clear(), attr_value.clear(), last_attr_name.clear();
    pending_space = in_quotes = quote_closed = in_attributes = after_equals = false;
    return false;
  };

  for (;;) {
    WChar c;
    int status = ReadChar(&c);
    if (status == CharIllegal) {
      SetError(u"Illegal Character");
      return false;
    }
    if (status == CharInternal) {
      SetError(u"Internal Error");
      return false;
    }
    if (status == CharEnd) {
      if (item.type == ItemNone) return false;
      SetError(u"Unexpected End of File");
      return false;
    }
    if (c == u'\n') ++line_number_;

    switch (item.type) {
      case Comment:
        item.instruction.push_back(c);
        if (c == u'>' && EndsWith(item.instruction, u"-->", 3)) {
          item.instruction.resize(item.instruction.size() - 3);
          if (finish()) return true;
        }
        continue;
      case Instruction: {
        // The target runs to the first whitespace; the rest is the body.
        WString& into = (item.instruction.empty() && !IsXmlSpace(c)) ? item.value
                                                                      : item.instruction;
        into.push_back(c);
        if (c == u'>' && EndsWith(into, u"?>", 2)) {
          into.resize(into.size() - 2);
          if (finish()) return true;
        }
        continue;
      }
      case CData:
        item.value.push_back(c);
        if (c == u'>' && item.value.size() > 2 && EndsWith(item.value, u"]]>", 3)) {
          item.value.resize(item.value.size() - 3);
          item.rawValue = item.value;
          return true;
        }
        continue;
      default:
        break;
    }

    // Text and tags.
    if (c == u'"') {
      in_quotes = !in_quotes;
      if (!in_quotes) quote_closed = true;
      if (item.type != ItemNone && item.type != Element) continue;
    } else if (in_quotes) {
      // kept as it stands
    } else if (c == u'<') {
      if (item.type == Element) {
        UnreadChar(c);
        if (finish()) return true;
        continue;
      }
      if (item.type != ItemNone) {
        SetError(u"Unexpected '<'");
        return false;
      }
      item.type = SectionStart;
      continue;
    } else if (c == u'>') {
      if (item.type == SectionStart) {
        FinishTag(item, attr_name, attr_value, last_attr_name);
      } else if (item.type == SectionEnd) {
        if (!CloseSection(item.value)) return false;
      } else {
        SetError(u"Unexpected '>'");
        return false;
      }
      if (finish()) return true;
      continue;
    } else if (c == u'/' && item.type == SectionStart && item.value.empty()) {
      item.type = SectionEnd;
      continue;
    } else if (c == u'?' && item.type == SectionStart && item.value.empty()) {
      item.type = Instruction;
      continue;
    } else if (IsXmlSpace(c)) {
      if (!item.value.empty()) pending_space = true;
      continue;
    } else if (c < 0x21) {
      SetError(u"Illegal Character");
      return false;
    }

    // The character is kept.
    if (item.type == ItemNone) item.type = Element;
    if (item.type == SectionStart) {
      if (pending_space) {
        if (!in_attributes) {
          in_attributes = true;
          after_equals = false;
        } else if (!in_quotes) {
          bool complete = after_equals ? (!attr_value.empty() || quote_closed) : c != u'=';
          if (complete) {
            StoreAttribute(item, attr_name, attr_value);
            attr_name.clear(), attr_value.clear(), last_attr_name.clear();
          }
          after_equals = false;
        }
        pending_space = false;
      }
      if (in_attributes) {
        if (c == u'=' && !in_quotes) {
          after_equals = true;
          quote_closed = false;
        } else {
          (after_equals ? attr_value : attr_name).push_back(c);
        }
      } else {
        item.value.push_back(c);
        size_t length = item.value.size();
        if (length == 3 && item.value == u"!--") {
          item.type = Comment;
        } else if (length == 8 && item.value == u"![CDATA[") {
          item.value.clear();
          item.type = CData;
        }
      }
    } else {
      if (pending_space) {
        item.value.push_back(u' ');
        pending_space = false;
      }
      item.value.push_back(c);
    }
  }
}

}  // namespace BrioCommon
