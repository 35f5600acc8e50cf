// The two forms a license reaches the license page in: the plain file, shown
// in a read-only edit control, and its rich-text twin beside it, shown in a
// rich edit control with internal links (license_links.h).
#pragma once

#include <string>

#include "base/string_utils.h"

// The plain license as the edit control wants it: decoded by the encoding
// detection of the XML reader (8-bit, UTF-8 or UTF-16 by byte-order mark),
// every CR dropped and every LF turned into CR LF. A file that cannot be
// opened gives the empty text; a character that cannot be decoded ends it.
WString LoadPlainLicense(const std::string& path);

// The rich-text twin of a license file: the path with the file name's
// extension replaced by ".rtf" ("license.txt" -> "license.rtf"; "eula.rtf"
// stays itself). Empty when the file name has no extension. Only the last
// component counts: a dot in a folder name ("C:\Users\jo.ann\...") is not
// an extension.
std::string RichTextLicensePath(const std::string& path);

enum class RichTextLicenseStatus {
  kLoaded,
  kMissing,    // the file cannot be opened
  kNotRtf,     // its first line does not begin with "{\rtf"
};
const char* RichTextLicenseStatusText(RichTextLicenseStatus status);

// Reads the rich-text license at `path` into `text` (every line followed by
// a line feed), when its first line begins with "{\rtf". A byte-order mark
// or a blank before it makes the file plain text.
RichTextLicenseStatus LoadRichTextLicense(const std::string& path, std::string* text);
