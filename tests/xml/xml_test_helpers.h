// Renders what an XMLParser delivers as short narrow strings, so tests can
// state whole item sequences in tables.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "xml/xml_parser.h"

namespace xmltest {

// ASCII as it stands; LF and CR as \n and \r; anything else as \uXXXX.
inline std::string Show(const WString& text) {
  std::string out;
  for (WChar c : text) {
    if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

// <name|attr=value|...>   </name>   T:text   ?target|body   CD:content
inline std::string Describe(const BrioCommon::XMLItem& item) {
  using namespace BrioCommon;
  switch (item.type) {
    case SectionStart: {
      std::string out = "<" + Show(item.value);
      for (const WString& name : item.attributeOrder)
        out += "|" + Show(name) + "=" + Show(item.attributes.at(name));
      return out + ">";
    }
    case SectionEnd: return "</" + Show(item.value) + ">";
    case Element: return "T:" + Show(item.value);
    case Instruction: return "?" + Show(item.value) + "|" + Show(item.instruction);
    case CData: return "CD:" + Show(item.value);
    default: return "type " + std::to_string(item.type);
  }
}

// Every item until ReadNext fails, then "END" or "ERR:<text>@<line>".
inline std::vector<std::string> ReadAll(BrioCommon::XMLParser& parser,
                                        std::vector<std::string>* sections = nullptr) {
  std::vector<std::string> out;
  BrioCommon::XMLItem item;
  while (parser.ReadNext(item)) {
    out.push_back(Describe(item));
    if (sections) sections->push_back(Show(item.section));
  }
  if (parser.HasError())
    out.push_back("ERR:" + Show(parser.ErrorText()) + "@" + std::to_string(parser.LineNumber()));
  else
    out.push_back("END");
  return out;
}

inline std::vector<std::string> ReadBytes(const std::string& bytes) {
  BrioCommon::XMLParser parser;
  parser.OpenBytes(bytes);
  return ReadAll(parser);
}

}  // namespace xmltest
