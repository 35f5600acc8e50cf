#include "xml/utf8_file_writer.h"

#include <string>

namespace BrioCommon {
namespace {

// Encoded text is handed to the file in pieces of about this size.
constexpr size_t kWriteChunk = 16384;

void AppendUTF8(std::string& out, WChar c) {
  uint32_t x = c;
  if (x < 0x80) {
    out.push_back(static_cast<char>(x));
  } else if (x < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (x >> 6)));
    out.push_back(static_cast<char>(0x80 | (x & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (x >> 12)));
    out.push_back(static_cast<char>(0x80 | ((x >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (x & 0x3F)));
  }
}

bool WriteAll(std::FILE* file, const std::string& bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

bool WriteUTF8File(std::FILE* file, const WString& text, bool with_declaration) {
  if (!file) return false;
  std::string out = "\xEF\xBB\xBF";
  if (with_declaration) out += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";
  for (WChar c : text) {
    AppendUTF8(out, c);
    if (out.size() >= kWriteChunk) {
      if (!WriteAll(file, out)) return false;
      out.clear();
    }
  }
  if (!WriteAll(file, out)) return false;
  return std::fflush(file) == 0;
}

}  // namespace BrioCommon
