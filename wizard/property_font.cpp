#include "wizard/property_font.h"

#include <cstdint>

#include "config/expand.h"

FontRequest PropertyFontRequest(const WString& base, const WString& default_face, int default_points,
                                bool default_bold) {
  FontRequest request{Expand(u"%" + base + u"_FACE%", true), default_points, default_bold};
  if (!request.face.empty()) {
    const WString size = Expand(u"%" + base + u"_SIZE%", true);
    int points = 0;
    if (!size.empty()) {
      StringToInt(size, &points);
      request.points = points;
    }
    const WString bold = Upper(Expand(u"%" + base + u"_BOLD%", true));
    if (!bold.empty()) request.bold = bold == u"YES" || bold == u"1" || bold == u"TRUE" || bold == u"Y";
  } else {
    request.face = default_face;
  }
  return request;
}

int FontPixelHeight(int points, int pixels_per_inch) {
  const int64_t product = static_cast<int64_t>(points) * pixels_per_inch;
  const int64_t rounded = product >= 0 ? (product + 36) / 72 : (product - 36) / 72;
  return static_cast<int>(rounded);
}
