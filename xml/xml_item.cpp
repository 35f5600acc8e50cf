#include "xml/xml_item.h"

#include <algorithm>

#include "xml/entities.h"

namespace BrioCommon {
namespace {

// Inserts or replaces one entry; a replaced name moves to the end of `order`.
void PutOrdered(XMLAttributeMap& map, std::vector<WString>& order, const WString& name,
                const WString& value) {
  auto found = map.find(name);
  if (found != map.end()) {
    found->second = value;
    order.erase(std::find(order.begin(), order.end(), name));
  } else {
    map.emplace(name, value);
  }
  order.push_back(name);
}

}  // namespace

void XMLItem::Clear() {
  type = ItemNone;
  section.clear();
  value.clear();
  rawValue.clear();
  instruction.clear();
  attributes.clear();
  rawAttributes.clear();
  attributeOrder.clear();
  rawAttributeOrder.clear();
}

WString XMLItem::GetAttribute(const WString& name, const WString& fallback) const {
  auto found = attributes.find(name);
  return found == attributes.end() ? fallback : found->second;
}

void StoreAttribute(XMLItem& item, const WString& name, const WString& value) {
  if (name == u"/") return;
  PutOrdered(item.attributes, item.attributeOrder, DecodeEntities(name), DecodeEntities(value));
  PutOrdered(item.rawAttributes, item.rawAttributeOrder, name, value);
}

}  // namespace BrioCommon
