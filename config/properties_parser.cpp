#include "config/properties_parser.h"

#include "config/defines_parser.h"
#include "xml/xml_parser.h"

namespace BrioCommon {

bool PropertiesParser::ParseFile(const std::string& fileName) {
  XMLParser xml;
  xml.Open(fileName);
  // After a failed open (a missing file) nothing is read; the reader's own
  // error is reported below.
  if (!xml.HasError()) {
    XMLItem item;
    bool stop = false;
    while (!stop && xml.ReadNext(item)) {
      if (item.type == SectionStart) {
        if (item.value == u"Properties") {
          stop = ReadProperties(xml) == Level::Stop;
        } else {
          RecordError(xml, u"Invalid Section '" + item.value + u"'");
          stop = true;
        }
      } else if (item.type == Element) {
        RecordError(xml, u"Element Not Expected '" + item.value + u"'");
        stop = true;
      }
    }
  }
  if (xml.HasError()) RecordError(xml, xml.ErrorText());
  return !failed_;
}

PropertiesParser::Level PropertiesParser::ReadProperties(XMLParser& xml) {
  XMLItem item;
  while (xml.ReadNext(item)) {
    switch (item.type) {
      case SectionStart:
        if (ReadEntry(xml, item.value, item.GetAttribute(u"id")) == Level::Stop) return Level::Stop;
        break;
      case Element:
        RecordError(xml, u"Element Not Expected '" + item.value + u"'");
        return Level::Stop;
      case SectionEnd:
        return Level::Continue;
      default:
        break;
    }
  }
  return Level::Stop;
}

// One entry, from just after its start tag to its end tag. An entry cut off
// by the end of the input is not stored.
PropertiesParser::Level PropertiesParser::ReadEntry(XMLParser& xml, const WString& kind,
                                                    const WString& id) {
  if (kind == u"StringArray") {
    std::vector<WString> texts;
    if (ReadStringArray(xml, &texts) == Level::Stop) return Level::Stop;
    stringArrays_[id] = texts;
    return Level::Continue;
  }
  if (kind != u"String" && kind != u"Boolean" && kind != u"Integer" && kind != u"Double") {
    RecordError(xml, u"Invalid Section '" + kind + u"'");
    return Level::Stop;
  }
  WString text;
  if (ReadElementText(xml, &text) == Level::Stop) return Level::Stop;

  if (kind == u"String") {
    strings_[id] = text;
  } else if (kind == u"Boolean") {
    WString upper = Upper(text);
    if (upper == u"1" || upper == u"YES" || upper == u"ON" || upper == u"TRUE") {
      booleans_[id] = true;
    } else if (upper == u"0" || upper == u"NO" || upper == u"OFF" || upper == u"FALSE") {
      booleans_[id] = false;
    } else {
      RecordError(xml, u"Invalid Boolean Value: '" + upper + u"'");
      return Level::Stop;
    }
  } else if (kind == u"Integer") {
    int number = 0;
    if (!StringToInt(text, &number)) {
      RecordError(xml, u"Invalid Integer Value: '" + text + u"'");
      return Level::Stop;
    }
    integers_[id] = number;
  } else {
    double number = 0;
    if (!StringToDouble(text, &number)) {
      RecordError(xml, u"Invalid Double Value: '" + text + u"'");
      return Level::Stop;
    }
    doubles_[id] = number;
  }
  return Level::Continue;
}

PropertiesParser::Level PropertiesParser::ReadStringArray(XMLParser& xml,
                                                          std::vector<WString>* texts) {
  XMLItem item;
  while (xml.ReadNext(item)) {
    switch (item.type) {
      case SectionStart: {
        if (item.value != u"String") {
          RecordError(xml, u"Invalid Section '" + item.value + u"'");
          return Level::Stop;
        }
        WString text;
        if (ReadElementText(xml, &text) == Level::Stop) return Level::Stop;
        texts->push_back(text);
        break;
      }
      case Element:
        RecordError(xml, u"Element Not Expected '" + item.value + u"'");
        return Level::Stop;
      case SectionEnd:
        return Level::Continue;
      default:
        break;
    }
  }
  return Level::Stop;
}

// The last text item before the entry's end tag, as the reader delivered it.
PropertiesParser::Level PropertiesParser::ReadElementText(XMLParser& xml, WString* text) {
  text->clear();
  XMLItem item;
  while (xml.ReadNext(item)) {
    switch (item.type) {
      case Element:
        *text = item.value;
        break;
      case SectionStart:
        RecordError(xml, u"Unexpected Section: '" + item.value + u"'");
        return Level::Stop;
      case SectionEnd:
        return Level::Continue;
      default:
        break;
    }
  }
  return Level::Stop;
}

void PropertiesParser::RecordError(XMLParser& xml, const WString& message) {
  if (failed_) return;
  failed_ = true;
  errorText_ = Narrow(message);
  if (xml.LineNumber() > 0) errorText_ += StrFormat(" on Line %d", static_cast<int>(xml.LineNumber()));
  if (!xml.SourceName().empty()) errorText_ += StrFormat(" in File '%s'", xml.SourceName().c_str());
}

}  // namespace BrioCommon

void CopyPropertyStrings(const BrioCommon::PropertiesParser& table, DefinesParser& store) {
  for (const auto& entry : table.Strings()) store.SetVariable(entry.first, entry.second);
}
