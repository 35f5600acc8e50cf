// Internal links of a rich-text license: an underlined phrase elsewhere in
// the text ("see limitation of liability") becomes a link to the bold
// heading that contains it ("7. Limitation of Liability"), so a player can
// jump to the clause a paragraph refers to. The rich edit control only
// knows each character's format; this finds the runs and the targets, and
// the license page marks the links and answers the clicks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The format of one character, as the control reports it.
struct LicenseCharFormat {
  bool bold = false;
  bool underline = false;
  bool link = false;  // already a link (a web address the control detected)
};

// A run of at least two consecutive characters with one property, ended
// before the text's last character; `lower` is its text lower-cased.
struct LicenseTextRun {
  int32_t start = 0;
  int32_t end = 0;  // exclusive
  std::string lower;
};

// Where a reference's click goes: the words of the heading it names.
struct LicenseLinkTarget {
  int32_t start = 0;
  int32_t end = 0;  // exclusive
  std::string heading;
};

struct LicenseLinks {
  std::vector<LicenseTextRun> headings;    // bold, not underlined, not a link
  std::vector<LicenseTextRun> references;  // underlined, not a link
  // Keyed by the first character of each reference run that became a link.
  std::map<int32_t, LicenseLinkTarget> targets;
};

// `text` is the control's plain text and `formats` one entry per character
// of it. Each reference goes to the first heading, in text order, whose
// lower-cased text contains the reference's; a reference no heading
// contains stays plain underlined text.
LicenseLinks FindLicenseLinks(const std::string& text, const std::vector<LicenseCharFormat>& formats);
