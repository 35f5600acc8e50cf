#include "wizard/license_text.h"

#include <cstdio>
#include <memory>

#include "xml/encoding_parser.h"

WString LoadPlainLicense(const std::string& path) {
  BrioCommon::EncodingParser reader;
  // Binary: the line ends are rewritten here, for every encoding alike.
  reader.SetBinaryMode(true);
  WString text;
  if (!reader.Open(path)) return text;
  WChar c = 0;
  while (reader.ReadChar(&c) == BrioCommon::EncodingParser::CharOk) {
    if (c == u'\r') continue;
    if (c == u'\n') text += u'\r';
    text += c;
  }
  reader.Close();
  // The byte-order mark stays in the input; it is no part of the text.
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  return text;
}

std::string RichTextLicensePath(const std::string& path) {
  size_t name = path.find_last_of("\\/");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (name != std::string::npos && dot < name)) return std::string();
  return path.substr(0, dot) + ".rtf";
}

const char* RichTextLicenseStatusText(RichTextLicenseStatus status) {
  switch (status) {
    case RichTextLicenseStatus::kLoaded: return "loaded";
    case RichTextLicenseStatus::kMissing: return "no rich-text license";
    case RichTextLicenseStatus::kNotRtf: return "the rich-text license does not begin with {\\rtf";
  }
  return "unknown";
}

RichTextLicenseStatus LoadRichTextLicense(const std::string& path, std::string* text) {
  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) return RichTextLicenseStatus::kMissing;
  std::string bytes;
  char buffer[16384];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, got);
  if (bytes.compare(0, 5, "{\\rtf") != 0) return RichTextLicenseStatus::kNotRtf;
  if (bytes.back() != '\n') bytes += '\n';
  *text = std::move(bytes);
  return RichTextLicenseStatus::kLoaded;
}
