// The record that XMLParser::ReadNext fills: one start tag, end tag, text run,
// processing instruction or CDATA section at a time.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "base/string_utils.h"

namespace BrioCommon {

enum XMLItemType : int32_t {
  ItemNone = 0,      // no item (only seen while reading)
  SectionStart = 1,  // a start tag, or the start part of a self-closing tag
  SectionEnd = 2,    // an end tag, or the synthetic end of a self-closing tag
  Element = 3,       // text between tags
  Instruction = 4,   // a processing instruction <?target ...?>
  Comment = 5,       // used only while reading, never delivered
  CData = 6,         // a <![CDATA[ ... ]]> section
};

using XMLAttributeMap = std::map<WString, WString>;

struct XMLItem {
  int32_t type = ItemNone;
  // The open start tags, outermost first, joined by "/", as they stood when the
  // item began: a SectionStart sees its parent's path, a SectionEnd still
  // includes the tag it closes.
  WString section;
  // Tag name, text, instruction target or CDATA content, entity-decoded
  // (CDATA from text files is not decoded).
  WString value;
  WString rawValue;  // value as read, before entity decoding
  // For Instruction: everything after the target name, from the whitespace
  // that ends the target up to (not including) "?>".
  WString instruction;
  XMLAttributeMap attributes;     // decoded name -> decoded value
  XMLAttributeMap rawAttributes;  // names and values as read
  // Names in the order the attributes appeared; a repeated name keeps only
  // its last occurrence, in that last position.
  std::vector<WString> attributeOrder;     // keys of attributes
  std::vector<WString> rawAttributeOrder;  // keys of rawAttributes

  void Clear();

  bool HasAttribute(const WString& name) const { return attributes.count(name) != 0; }
  // The decoded value of an attribute, or `fallback` when it is absent.
  WString GetAttribute(const WString& name, const WString& fallback = WString()) const;
};

// Stores one attribute read from a tag: decoded into `attributes`, as read
// into `rawAttributes`. The name "/" is ignored. A name seen before keeps
// its last value and moves to the end of the order list.
void StoreAttribute(XMLItem& item, const WString& name, const WString& value);

}  // namespace BrioCommon
