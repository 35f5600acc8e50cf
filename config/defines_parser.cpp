#include "config/defines_parser.h"

#include "xml/xml_parser.h"

using BrioCommon::XMLItem;
using BrioCommon::XMLParser;

void DefinesParser::SetVariable(const WString& name, const WString& value) {
  variables_[Upper(name)] = value;
}

WString DefinesParser::GetVariable(const WString& name) const {
  auto found = variables_.find(Upper(name));
  return found == variables_.end() ? WString() : found->second;
}

void DefinesParser::Clear() {
  variables_.clear();
  failed_ = false;
  errorText_.clear();
}

bool DefinesParser::ParseFile(const std::string& fileName) {
  XMLParser xml;
  xml.Open(fileName);  // a failed open is reported through the reader's error
  return ParseWith(xml);
}

bool DefinesParser::ParseText(const std::string& text) {
  XMLParser xml;
  xml.SetSourceText(Widen(text));
  return ParseWith(xml);
}

// Document level: any number of <Defines> sections.
bool DefinesParser::ParseWith(XMLParser& xml) {
  XMLItem item;
  bool stop = xml.HasError();
  while (!stop && xml.ReadNext(item)) {
    if (item.type == BrioCommon::SectionStart) {
      if (item.value == u"Defines") {
        stop = ReadDefines(xml) == Level::Stop;
      } else {
        RecordError(xml, u"Invalid Section '" + item.value + u"'");
        stop = true;
      }
    } else if (item.type == BrioCommon::Element) {
      RecordError(xml, u"Element Not Expected '" + item.value + u"'");
      stop = true;
    }
  }
  if (xml.HasError()) RecordError(xml, xml.ErrorText());
  return !failed_;
}

// Inside <Defines>: <Define> entries until the closing tag.
DefinesParser::Level DefinesParser::ReadDefines(XMLParser& xml) {
  XMLItem item;
  while (xml.ReadNext(item)) {
    switch (item.type) {
      case BrioCommon::SectionStart:
        if (item.value != u"Define") {
          RecordError(xml, u"Invalid Section '" + item.value + u"'");
          return Level::Stop;
        }
        if (ReadDefine(xml) == Level::Stop) return Level::Stop;
        break;
      case BrioCommon::Element:
        RecordError(xml, u"Element Not Expected '" + item.value + u"'");
        return Level::Stop;
      case BrioCommon::SectionEnd:
        return Level::Continue;
      default:
        break;
    }
  }
  return Level::Stop;
}

// Inside <Define>: a Name and a Value; the variable is stored only when the
// Define is closed and has a name.
DefinesParser::Level DefinesParser::ReadDefine(XMLParser& xml) {
  WString name, value;
  XMLItem item;
  while (xml.ReadNext(item)) {
    switch (item.type) {
      case BrioCommon::SectionStart: {
        WString* target = item.value == u"Name" ? &name : item.value == u"Value" ? &value : nullptr;
        if (!target) {
          RecordError(xml, u"Invalid Section '" + item.value + u"'");
          return Level::Stop;
        }
        if (ReadElementText(xml, target) == Level::Stop) return Level::Stop;
        break;
      }
      case BrioCommon::Element:
        RecordError(xml, u"Element Not Expected '" + item.value + u"'");
        return Level::Stop;
      case BrioCommon::SectionEnd:
        if (!name.empty()) SetVariable(name, value);
        return Level::Continue;
      default:
        break;
    }
  }
  return Level::Stop;
}

// The text of <Name> or <Value>: the last text item before the closing tag.
DefinesParser::Level DefinesParser::ReadElementText(XMLParser& xml, WString* text) {
  text->clear();
  XMLItem item;
  while (xml.ReadNext(item)) {
    switch (item.type) {
      case BrioCommon::Element:
        *text = item.value;
        break;
      case BrioCommon::SectionStart:
        RecordError(xml, u"Unexpected Section: " + item.value);
        return Level::Stop;
      case BrioCommon::SectionEnd:
        return Level::Continue;
      default:
        break;
    }
  }
  return Level::Stop;
}

void DefinesParser::RecordError(XMLParser& xml, const WString& message) {
  failed_ = true;
  errorText_ = Narrow(message);
  if (xml.LineNumber() > 0) errorText_ += " on Line " + std::to_string(xml.LineNumber());
  if (!xml.SourceName().empty()) errorText_ += " in File '" + xml.SourceName() + "'";
}

DefinesParser& MainVariables() {
  static DefinesParser store;
  return store;
}
