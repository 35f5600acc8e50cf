// Which font a property set asks for: "<BASE>_FACE", "<BASE>_SIZE" (points)
// and "<BASE>_BOLD" (YES, 1, TRUE or Y in any case). Size and weight are read
// only when the face property is set; otherwise the defaults hold. An empty
// face means no font: the controls keep the template's font.
#pragma once

#include "base/string_utils.h"

struct FontRequest {
  WString face;  // empty: no font
  int points = 0;
  bool bold = false;
};

FontRequest PropertyFontRequest(const WString& base, const WString& default_face, int default_points,
                                bool default_bold);

// The character height in pixels for a size in points: points * dpi / 72,
// rounded to nearest as MulDiv rounds.
int FontPixelHeight(int points, int pixels_per_inch);
