#include "wizard/page_geometry.h"

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

std::vector<PaintRect> PageBands(int w, int h, int d) {
  using C = PaintColour;
  return {
      {0, 0, w, 76, C::LightGrey},       {0, 76, w, 77, C::DarkGrey},         {0, 77, w, 78, C::White},
      {0, 78, w, h - 32, C::Background}, {0, h - d - 1, w, h - d, C::White}, {0, h - d, w, h, C::LightGrey},
  };
}

std::vector<PaintRect> ProductFrame(int w, int bw, int bh) {
  using C = PaintColour;
  const int l = w - bw - 21, t = 5, r = w - 11, b = bh + 15;
  return {
      {l, t, r, b, C::Background},
      {l, t, l + 1, b, C::DarkGrey},
      {l, t, r, t + 1, C::DarkGrey},
      {r - 1, t + 2, r, b, C::DarkGrey},
      {l + 2, b - 1, r, b, C::DarkGrey},
      {l + 1, t + 1, l + 2, b - 1, C::White},
      {l + 1, t + 1, r - 1, t + 2, C::White},
      {r, t + 1, r + 1, b + 1, C::White},
      {l + 1, b, r, b + 1, C::White},
      {r - 5, t + 5, r - 4, b - 4, C::DarkGrey},
      {l + 5, b - 5, r - 4, b - 4, C::DarkGrey},
      {l + 4, t + 4, r - 5, t + 5, C::White},
      {l + 4, t + 4, l + 5, b - 5, C::White},
  };
}

int ProductBitmapLeft(int w, int bw) { return w - bw - 21 + 5; }
int ProductBitmapTop() { return 5 + 5; }
