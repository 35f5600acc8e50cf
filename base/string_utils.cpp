#include "base/string_utils.h"

#include <cstdio>
#include <cwchar>

WString Widen(const std::string& narrow) {
  WString out;
  out.reserve(narrow.size());
  for (unsigned char c : narrow) out.push_back(static_cast<WChar>(c));
  return out;
}

std::string Narrow(const WString& wide, bool* all_fit) {
  std::string out;
  out.reserve(wide.size());
  bool fit = true;
  for (WChar c : wide) {
    if (c > 0xFF) fit = false;
    out.push_back(static_cast<char>(c & 0xFF));
  }
  if (all_fit) *all_fit = fit;
  return out;
}

std::string Upper(const std::string& text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

WString Upper(const WString& text) {
  WString out(text);
  for (WChar& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<WChar>(c - u'a' + u'A');
  return out;
}

static bool IsTrimSpace(WChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

WString Trim(const WString& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsTrimSpace(text[begin])) ++begin;
  while (end > begin && IsTrimSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

template <typename String>
static bool ParseInt(const String& text, int* result) {
  *result = 0;
  if (text.empty()) return false;
  unsigned value = 0;  // unsigned so that overflow wraps instead of being undefined
  bool negative = false, hex = false;
  size_t i = 0;
  if (text[0] == '-') {
    negative = true;
    i = 1;
  }
  for (; i < text.size(); ++i) {
    unsigned c = static_cast<unsigned>(text[i]);
    if (!hex && c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
    } else if (hex && c >= '0' && c <= '9') {
      value = value * 16 + (c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      value = value * 16 + (c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      value = value * 16 + (c - 'A' + 10);
    } else if ((c == 'x' || c == 'X') && i == 1 && value == 0 && !hex) {
      hex = true;
    } else {
      return false;
    }
  }
  *result = static_cast<int>(negative ? 0u - value : value);
  return true;
}

bool StringToInt(const std::string& text, int* result) { return ParseInt(text, result); }
bool StringToInt(const WString& text, int* result) { return ParseInt(text, result); }

bool StringToDouble(const WString& text, double* result) {
  *result = 0;
  if (text.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (text[0] == u'-') {
    negative = true;
    i = 1;
  }
  double value = 0;
  for (; i < text.size() && text[i] != u'.'; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    value = value * 10 + (text[i] - u'0');
  }
  if (i < text.size()) {  // the '.'
    double weight = 0.1;
    for (++i; i < text.size(); ++i) {
      if (text[i] < u'0' || text[i] > u'9') return false;
      value += weight * (text[i] - u'0');
      weight /= 10;
    }
  }
  *result = negative ? -value : value;
  return true;
}

// The buffer sizes tried: 160, 320, ... while the size before doubling is at
// most 999999, so the last one is 1310720 characters.
static constexpr size_t kFirstFormatSize = 160;
static constexpr size_t kLastSizeBeforeDoubling = 999999;

// On Windows the system C runtime's own formatting is used: the C library's
// standards-conforming one is linked into the program whole (24 KB with its
// floating-point conversion) for the few integers and strings formatted
// here. It returns -1 when the buffer is too small, which the loops below
// take as a cue to double it.
#ifdef _WIN32
#define FORMAT_NARROW _vsnprintf
#define FORMAT_WIDE _vsnwprintf
#else
#define FORMAT_NARROW std::vsnprintf
#define FORMAT_WIDE std::vswprintf
#endif

std::string StrFormat(const char* format, ...) {
  for (size_t size = kFirstFormatSize;; size *= 2) {
    std::string buffer(size, '\0');
    va_list args;
    va_start(args, format);
    int n = FORMAT_NARROW(&buffer[0], size, format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < size) {
      buffer.resize(static_cast<size_t>(n));
      return buffer;
    }
    if (size > kLastSizeBeforeDoubling) return std::string();
  }
}

WString StrFormat(const WChar* format, ...) {
  // Formatting goes through the platform's wchar_t printf; on the host wchar_t
  // is 32-bit, so the format is widened first and the result narrowed back.
  std::wstring wide_format;
  for (const WChar* p = format; *p; ++p) wide_format.push_back(static_cast<wchar_t>(*p));
  for (size_t size = kFirstFormatSize;; size *= 2) {
    std::wstring buffer(size, L'\0');
    va_list args;
    va_start(args, format);
    int n = FORMAT_WIDE(&buffer[0], size, wide_format.c_str(), args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < size) {
      WString out;
      out.reserve(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) out.push_back(static_cast<WChar>(buffer[static_cast<size_t>(i)]));
      return out;
    }
    if (size > kLastSizeBeforeDoubling) return WString();
  }
}

template <typename String, typename Char>
static std::vector<String> SplitAt(const String& text, Char separator) {
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    size_t pos = text.find(separator, start);
    if (pos == String::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

std::vector<std::string> Split(const std::string& text, char separator) { return SplitAt(text, separator); }
std::vector<WString> Split(const WString& text, WChar separator) { return SplitAt(text, separator); }

std::string RemoveTrailingSlash(const std::string& path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) return path.substr(0, path.size() - 1);
  return path;
}

WString RemoveTrailingSlash(const WString& path) {
  if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) return path.substr(0, path.size() - 1);
  return path;
}

static size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string GetDirectory(const std::string& path) {
  size_t pos = LastSeparator(path);
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string GetFileName(const std::string& path, bool without_extension) {
  size_t pos = LastSeparator(path);
  std::string name = pos == std::string::npos ? path : path.substr(pos + 1);
  if (without_extension) {
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
  }
  return name;
}

std::string GetRoot(const std::string& path) {
  size_t pos = path.find_first_of("\\/", 2);
  return pos == std::string::npos || path.size() < 2 ? path : path.substr(0, pos);
}
