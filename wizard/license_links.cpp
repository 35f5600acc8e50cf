#include "wizard/license_links.h"

#include <algorithm>
#include <cctype>

namespace {

// Runs of characters for which `has` holds. A run is kept when it has ended
// (a character without the property follows it) and is two or more long.
template <typename Has>
std::vector<LicenseTextRun> FindRuns(const std::string& text, const std::vector<LicenseCharFormat>& formats, Has has) {
  std::vector<LicenseTextRun> runs;
  const int32_t n = static_cast<int32_t>(std::min(text.size(), formats.size()));
  int32_t start = -1;
  for (int32_t i = 0; i < n; ++i) {
    if (has(formats[i])) {
      if (start < 0) start = i;
      continue;
    }
    if (start >= 0 && i - start >= 2) {
      LicenseTextRun run{start, i, text.substr(start, i - start)};
      for (char& c : run.lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      runs.push_back(std::move(run));
    }
    start = -1;
  }
  return runs;
}

}  // namespace

LicenseLinks FindLicenseLinks(const std::string& text, const std::vector<LicenseCharFormat>& formats) {
  LicenseLinks links;
  links.headings = FindRuns(text, formats, [](const LicenseCharFormat& f) { return f.bold && !f.underline && !f.link; });
  links.references = FindRuns(text, formats, [](const LicenseCharFormat& f) { return f.underline && !f.link; });
  for (const LicenseTextRun& reference : links.references) {
    for (const LicenseTextRun& heading : links.headings) {
      size_t at = heading.lower.find(reference.lower);
      if (at == std::string::npos) continue;
      int32_t start = heading.start + static_cast<int32_t>(at);
      links.targets[reference.start] = {start, start + static_cast<int32_t>(reference.lower.size()), heading.lower};
      break;
    }
  }
  return links;
}
