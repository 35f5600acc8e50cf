// The arithmetic of the wizard's pages, kept apart from the Windows calls so
// that it can be checked on any machine: the sizes and places of the bottom
// buttons (in pixels, from the dialog font's horizontal dialog unit), the
// rectangles of the painted header, footer and product-bitmap frame, and the
// scaling of every pixel measure to the window's DPI.
#pragma once

#include <cstdint>
#include <vector>

// ---- Display scale ----

// The pixel measures of the pages are drawn for 96 pixels per logical inch.
// At another DPI each is scaled and rounded down, so that 96 gives them back
// exactly and a scaled panel never grows past the band it sits in.
constexpr int kDesignDpi = 96;
int ScaleForDpi(int pixels, int dpi);
// The width of the painted one-pixel lines: whole pixels, at least one.
int LineWidthForDpi(int dpi);

// An owner-drawn retailer item: its height, the icon's size and place, and
// where the name starts.
struct RetailerItemLayout {
  int height, iconSize, iconLeft, iconTop, textIndent;
};
RetailerItemLayout RetailerItemForDpi(int dpi);

// ---- Bottom buttons ----

// Every laid-out button gets this width: 30 dialog units plus the widest
// button text, rounded up to a multiple of 4 pixels.
int LaidOutButtonWidth(int unit, int widest_text);

// Left edges of n buttons of one width, right-aligned: 6 units from the
// client's right edge, 12 units between neighbours.
std::vector<int> RightAlignedButtonLefts(int client_right, int unit, int width, int count);
// One button on the left: 6 units in.
int LeftButtonLeft(int unit);
// Two buttons spread: the first 6 units in from the left, the second ending
// 6 units from the right.
int SpreadRightButtonLeft(int client_width, int unit, int width);

// ---- Painted header ----

enum class PaintColour { LightGrey, DarkGrey, White, Background };
struct Rgb {
  uint8_t r, g, b;
};
Rgb ColourValue(PaintColour colour);

struct PaintRect {
  int left, top, right, bottom;  // right and bottom exclusive
  PaintColour colour;
};

// The height of the footer band's white line plus grey band, from the
// desktop's horizontal pixels per logical inch (34 pixels at 96).
int FooterDepth(int pixels_per_inch);

// Header band, its two lines, the background and the footer, in painting
// order, for a client area of width w and height h.
std::vector<PaintRect> PageBands(int w, int h, int footer_depth, int dpi = kDesignDpi);

// The sunken frame around the product bitmap (bw x bh as drawn, that is
// already scaled) at the header's right end, in painting order: the
// background fill first. The bitmap itself goes at ProductBitmapLeft(),
// ProductBitmapTop().
std::vector<PaintRect> ProductFrame(int w, int bw, int bh, int dpi = kDesignDpi);
int ProductBitmapLeft(int w, int bw, int dpi = kDesignDpi);
int ProductBitmapTop(int dpi = kDesignDpi);

// Window-position memory: the outer rectangle of the last page closed.
struct PagePosition {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool saved = false;
};
