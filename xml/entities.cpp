#include "xml/entities.h"

namespace BrioCommon {
namespace {

constexpr WChar kUnrepresentable = 0xFFFD;
constexpr uint32_t kMaxCode = 0x10FFFF;

// The character for "&#digits;" (decimal) or "&#xdigits;" (hexadecimal);
// `digits` excludes the '#'. Codes beyond 16 bits and digits that do not
// parse give U+FFFD: the place of the reference still holds one character.
WChar NumericReference(const WString& digits) {
  bool hex = !digits.empty() && digits[0] == u'x';
  size_t begin = hex ? 1 : 0;
  if (begin == digits.size()) return kUnrepresentable;
  uint32_t code = 0;
  for (size_t i = begin; i < digits.size(); ++i) {
    WChar c = digits[i];
    uint32_t digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (hex && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (hex && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return kUnrepresentable;
    }
    code = code * (hex ? 16 : 10) + digit;
    if (code > kMaxCode) return kUnrepresentable;
  }
  return code <= 0xFFFF ? static_cast<WChar>(code) : kUnrepresentable;
}

WChar NamedReference(const WString& name) {
  if (name == u"lt") return u'<';
  if (name == u"amp") return u'&';
  if (name == u"gt") return u'>';
  if (name == u"quot") return u'"';
  if (name == u"apos") return u'\'';
  if (name == u"nbsp") return u' ';
  if (name == u"cr") return u'\n';
  if (name.size() > 1 && name[0] == u'#') return NumericReference(name.substr(1));
  return u'&';
}

template <typename String>
String Encode(const String& text) {
  using Char = typename String::value_type;
  static const Char kSpaceRef[] = {'&', '#', '3', '2', ';', 0};
  String out;
  out.reserve(text.size() + text.size() / 8);
  bool seen_non_space = false;
  Char previous = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    Char c = text[i];
    switch (c) {
      case '\n': out += String({'&', '#', '1', '0', ';'}); break;
      case '"': out += String({'&', 'q', 'u', 'o', 't', ';'}); break;
      case '&': out += String({'&', 'a', 'm', 'p', ';'}); break;
      case '\'': out += String({'&', 'a', 'p', 'o', 's', ';'}); break;
      case '<': out += String({'&', 'l', 't', ';'}); break;
      case '>': out += String({'&', 'g', 't', ';'}); break;
      case ' ':
        // Only a single space after visible text survives the reader's
        // collapsing; every other space is written as a reference.
        if (!seen_non_space || (i > 0 && previous == ' '))
          out += kSpaceRef;
        else
          out.push_back(c);
        break;
      default: out.push_back(c); break;
    }
    if (c != ' ') seen_non_space = true;
    previous = c;
  }
  if (!out.empty() && out.back() == ' ') {
    out.pop_back();
    out += kSpaceRef;
  }
  return out;
}

}  // namespace

WString DecodeEntities(const WString& text) {
  if (text.find(u'&') == WString::npos) return text;
  WString out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    WChar c = text[i];
    if (c != u'&') {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t semicolon = text.find(u';', i + 1);
    if (semicolon == WString::npos) {
      // No reference can start here, nor at any later "&": copy the rest.
      out.append(text, i, WString::npos);
      break;
    }
    out.push_back(NamedReference(text.substr(i + 1, semicolon - i - 1)));
    i = semicolon + 1;
  }
  return out;
}

std::string EncodeEntities(const std::string& text) { return Encode(text); }
WString EncodeEntities(const WString& text) { return Encode(text); }

}  // namespace BrioCommon
