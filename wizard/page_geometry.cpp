#include "wizard/page_geometry.h"

#include <cstdint>

int ScaleForDpi(int pixels, int dpi) {
  return static_cast<int>(static_cast<int64_t>(pixels) * dpi / kDesignDpi);
}

int LineWidthForDpi(int dpi) { return dpi >= 2 * kDesignDpi ? dpi / kDesignDpi : 1; }

RetailerItemLayout RetailerItemForDpi(int dpi) {
  return {ScaleForDpi(18, dpi), ScaleForDpi(16, dpi), ScaleForDpi(2, dpi), ScaleForDpi(1, dpi),
          ScaleForDpi(20, dpi)};
}

int LaidOutButtonWidth(int unit, int widest_text) { return (30 * unit + widest_text + 3) / 4 * 4; }

std::vector<int> RightAlignedButtonLefts(int client_right, int unit, int width, int count) {
  std::vector<int> lefts;
  int x = client_right - (12 * count - 6) * unit - count * width;
  for (int i = 0; i < count; ++i, x += width + 12 * unit) lefts.push_back(x);
  return lefts;
}

int LeftButtonLeft(int unit) { return 6 * unit; }

int SpreadRightButtonLeft(int client_width, int unit, int width) { return client_width - width - 6 * unit; }

Rgb ColourValue(PaintColour colour) {
  switch (colour) {
    case PaintColour::LightGrey:
      return {191, 191, 191};
    case PaintColour::DarkGrey:
      return {125, 125, 125};
    case PaintColour::White:
      return {255, 255, 255};
    case PaintColour::Background:
      break;
  }
  return {218, 218, 218};
}

int FooterDepth(int pixels_per_inch) { return pixels_per_inch * 34 / 96; }

std::vector<PaintRect> PageBands(int w, int h, int d, int dpi) {
  using C = PaintColour;
  const int band = ScaleForDpi(76, dpi), line = LineWidthForDpi(dpi);
  return {
      {0, 0, w, band, C::LightGrey},
      {0, band, w, band + line, C::DarkGrey},
      {0, band + line, w, band + 2 * line, C::White},
      {0, band + 2 * line, w, h - ScaleForDpi(32, dpi), C::Background},
      {0, h - d - line, w, h - d, C::White},
      {0, h - d, w, h, C::LightGrey},
  };
}

namespace {

// The panel's right edge, and the inset of the bitmap from the panel's edges
// (two sunken lines, a gap, one raised line).
int PanelRight(int w, int dpi) { return w - ScaleForDpi(11, dpi); }
int PanelInset(int dpi) { return ScaleForDpi(5, dpi); }

}  // namespace

std::vector<PaintRect> ProductFrame(int w, int bw, int bh, int dpi) {
  using C = PaintColour;
  const int n = LineWidthForDpi(dpi), in = PanelInset(dpi);
  const int r = PanelRight(w, dpi), l = r - 2 * in - bw, t = ScaleForDpi(5, dpi), b = t + 2 * in + bh;
  return {
      {l, t, r, b, C::Background},
      {l, t, l + n, b, C::DarkGrey},
      {l, t, r, t + n, C::DarkGrey},
      {r - n, t + 2 * n, r, b, C::DarkGrey},
      {l + 2 * n, b - n, r, b, C::DarkGrey},
      {l + n, t + n, l + 2 * n, b - n, C::White},
      {l + n, t + n, r - n, t + 2 * n, C::White},
      {r, t + n, r + n, b + n, C::White},
      {l + n, b, r, b + n, C::White},
      {r - in, t + in, r - in + n, b - in + n, C::DarkGrey},
      {l + in, b - in, r - in + n, b - in + n, C::DarkGrey},
      {l + in - n, t + in - n, r - in, t + in, C::White},
      {l + in - n, t + in - n, l + in, b - in, C::White},
  };
}

int ProductBitmapLeft(int w, int bw, int dpi) { return PanelRight(w, dpi) - PanelInset(dpi) - bw; }
int ProductBitmapTop(int dpi) { return ScaleForDpi(5, dpi) + PanelInset(dpi); }
