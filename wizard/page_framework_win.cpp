#include "wizard/page_framework_win.h"

#include <vector>

#include "config/expand.h"
#include "wizard/property_font.h"

namespace {

constexpr size_t kMaxCaption = 16384;
constexpr size_t kMaxButtonText = 1024;
constexpr COLORREF kBackgroundColour = PALETTERGB(218, 218, 218);

COLORREF ToColorRef(PaintColour colour) {
  const Rgb rgb = ColourValue(colour);
  return RGB(rgb.r, rgb.g, rgb.b);
}

const wchar_t* W(const WString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

HBITMAP LoadConfigBitmap(const std::string& path) {
  return static_cast<HBITMAP>(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
}

BOOL CALLBACK ExpandOne(HWND window, LPARAM) {
  SetWindowTextAny(window, Expand(GetWindowTextAny(window, kMaxCaption), true));
  return TRUE;
}

void ApplyFontTo(HWND window, const WizardResources& resources) {
  char class_name[32] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  HFONT font = lstrcmpiA(class_name, "edit") == 0 ? resources.editFont : resources.dialogFont;
  if (font) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

BOOL CALLBACK ApplyFontToChild(HWND window, LPARAM resources) {
  ApplyFontTo(window, *reinterpret_cast<const WizardResources*>(resources));
  return TRUE;
}

// The page's fonts, the header line's own included: some static controls
// select their own font after asking for their colours.
void ApplyFontsWithHeader(HWND page, const WizardResources& resources) {
  ApplyPageFonts(page, resources);
  if (resources.headerFont)
    SendDlgItemMessageW(page, kHeaderLine, WM_SETFONT, reinterpret_cast<WPARAM>(resources.headerFont), TRUE);
}

// The four property fonts: where each goes, its property name and defaults.
struct PropertyFontSpec {
  HFONT WizardResources::*font;
  const char16_t* base;
  const char16_t* face;
  int points;
  bool bold;
};
const PropertyFontSpec kPropertyFonts[] = {
    {&WizardResources::headerFont, u"HEADER_FONT", u"Arial", 16, true},
    {&WizardResources::editFont, u"EDIT_FONT", u"", 0, false},
    {&WizardResources::dialogFont, u"DIALOG_FONT", u"", 0, false},
    {&WizardResources::licenseFont, u"EULA_FONT", u"", 0, false},
};

HFONT CreatePropertyFontForDpi(int dpi, const WString& base, const WString& default_face, int default_points,
                               bool default_bold) {
  const FontRequest request = PropertyFontRequest(base, default_face, default_points, default_bold);
  if (request.face.empty()) return nullptr;
  const int height = FontPixelHeight(request.points, dpi);
  return CreateFontW(-height, 0, 0, 0, request.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, W(request.face));
}

// Draws the bitmap with its top-left corner at (x, y), scaled to the DPI:
// as it is at 96, smoothed (halftone) at any other.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int dpi) {
  BITMAP info = {};
  if (!GetObjectW(bitmap, sizeof info, &info)) return;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, bitmap);
  const int w = ScaleForDpi(info.bmWidth, dpi), h = ScaleForDpi(info.bmHeight, dpi);
  if (w == info.bmWidth && h == info.bmHeight) {
    BitBlt(dc, x, y, w, h, memory, 0, 0, SRCCOPY);
  } else {
    const int old_mode = SetStretchBltMode(dc, HALFTONE);
    POINT old_origin = {0, 0};
    SetBrushOrgEx(dc, 0, 0, &old_origin);  // HALFTONE wants the origin set after it
    StretchBlt(dc, x, y, w, h, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SetBrushOrgEx(dc, old_origin.x, old_origin.y, nullptr);
    SetStretchBltMode(dc, old_mode);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}

// A child's rectangle in the page's client coordinates; a combo box's with
// its list dropped, as its size is set.
RECT ChildRect(HWND page, HWND child) {
  RECT r;
  char class_name[32] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  if (lstrcmpiA(class_name, "ComboBox") != 0 ||
      !SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r)))
    GetWindowRect(child, &r);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The buttons' common width and unit for the page's dialog font.
struct ButtonMetrics {
  int unit = 0;
  int width = 0;
};

ButtonMetrics MeasureButtons(HWND page, const std::vector<int>& ids) {
  const PageBase* base = PageOf<PageBase>(page);
  HFONT font = base && base->resources ? base->resources->dialogFont : nullptr;
  if (!font) font = reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0));
  HDC dc = GetDC(page);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  int widest = 0;
  for (int id : ids) {
    const WString text = GetWindowTextAny(GetDlgItem(page, id), kMaxButtonText);
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, W(text), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX);
    if (r.right - r.left > widest) widest = r.right - r.left;
  }
  if (old) SelectObject(dc, old);
  ReleaseDC(page, dc);
  ButtonMetrics m;
  m.unit = metrics.tmAveCharWidth / 4;
  m.width = LaidOutButtonWidth(m.unit, widest);
  return m;
}

// Moves, sizes and shows the buttons at the given left edges, each keeping
// its template top and height, in one deferred batch when possible.
void PlaceButtons(HWND page, const std::vector<int>& ids, const std::vector<int>& lefts, int width) {
  HDWP batch = BeginDeferWindowPos(static_cast<int>(ids.size()));
  for (size_t i = 0; i < ids.size(); ++i) {
    HWND button = GetDlgItem(page, ids[i]);
    if (!button) continue;
    RECT r;
    GetWindowRect(button, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    const UINT flags = SWP_NOZORDER | SWP_SHOWWINDOW;
    if (batch)
      batch = DeferWindowPos(batch, button, nullptr, lefts[i], r.top, width, r.bottom - r.top, flags);
    else
      SetWindowPos(button, nullptr, lefts[i], r.top, width, r.bottom - r.top, flags);
  }
  if (batch) EndDeferWindowPos(batch);
}

}  // namespace

WizardResources CreateWizardResources(const std::string& config_folder, HICON big_icon, HICON small_icon) {
  WizardResources r;
  r.logo = LoadConfigBitmap(config_folder + "logo.bmp");
  r.product = LoadConfigBitmap(config_folder + "product.bmp");
  r.background = CreateSolidBrush(kBackgroundColour);
  r.headerGrey = CreateSolidBrush(PALETTERGB(191, 191, 191));
  r.hollow = static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(desktop, dc);
  RescaleWizardFonts(&r, dpi);
  r.bigIcon = big_icon;
  r.smallIcon = small_icon;
  return r;
}

void ReleaseWizardResources(WizardResources* r) {
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(r->background), static_cast<HGDIOBJ>(r->headerGrey),
                         static_cast<HGDIOBJ>(r->logo), static_cast<HGDIOBJ>(r->product),
                         static_cast<HGDIOBJ>(r->headerFont), static_cast<HGDIOBJ>(r->editFont),
                         static_cast<HGDIOBJ>(r->dialogFont), static_cast<HGDIOBJ>(r->licenseFont)})
    if (object) DeleteObject(object);
  *r = WizardResources();
}

void RescaleWizardFonts(WizardResources* r, int dpi) {
  if (r->fontDpi == dpi) return;
  r->fontDpi = dpi;
  for (const PropertyFontSpec& spec : kPropertyFonts) {
    HFONT old = r->*spec.font;
    r->*spec.font = CreatePropertyFontForDpi(dpi, spec.base, spec.face, spec.points, spec.bold);
    if (old) DeleteObject(old);
  }
}

int RunPage(int template_id, DLGPROC procedure, PageBase* page) {
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id), nullptr,
                                         procedure, reinterpret_cast<LPARAM>(page));
  return result == -1 ? kPageFailed : static_cast<int>(result);
}

void InitializePage(HWND window, LPARAM page) {
  SetWindowLongPtrW(window, DWLP_USER, page);
  AdoptPageDpi(window);
  const PageBase* base = reinterpret_cast<const PageBase*>(page);
  ExpandWindowTexts(window);
  if (base && base->resources) {
    ApplyFontsWithHeader(window, *base->resources);
    if (base->resources->bigIcon)
      SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(base->resources->bigIcon));
    if (base->resources->smallIcon)
      SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(base->resources->smallIcon));
  }
  RestorePagePosition(window);
}

bool HandleCommonPageMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) {
  const PageBase* base = PageOf<PageBase>(window);
  const WizardResources* resources = base ? base->resources : nullptr;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (resources) PaintPageHeader(dc, window, *resources);
      EndPaint(window, &paint);
      *result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      HWND control = reinterpret_cast<HWND>(lparam);
      if (GetDlgCtrlID(control) == kHeaderLine) {
        if (resources && resources->headerFont) SelectObject(dc, resources->headerFont);
        SetTextColor(dc, RGB(255, 0, 0));
      } else {
        SetTextColor(dc, RGB(0, 0, 0));
      }
      SetBkColor(dc, kBackgroundColour);
      *result = reinterpret_cast<INT_PTR>(resources ? resources->background : nullptr);
      return true;
    }
    case WM_DPICHANGED:
      RelayoutPageForDpi(window, LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      *result = TRUE;
      return true;
    case WM_DESTROY:
      SavePagePosition(window);
      *result = FALSE;
      return true;
    default:
      return false;
  }
}

int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi_for_window = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi_for_window) {
    const UINT dpi = get_dpi_for_window(window);
    if (dpi) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : kDesignDpi;
}

int PageDpi(HWND page) {
  const PageBase* base = PageOf<PageBase>(page);
  return base && base->dpi > 0 ? base->dpi : WindowDpi(page);
}

void AdoptPageDpi(HWND page) {
  // The page scales itself when its DPI changes (RelayoutPageForDpi); the
  // dialog manager of Windows 10 would otherwise scale it as well, and
  // suggest a size of its own reckoning.
  using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
  static const auto set_behaviour = reinterpret_cast<SetDialogDpiChangeBehaviorFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetDialogDpiChangeBehavior")));
  constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
  if (set_behaviour) set_behaviour(page, kDisableAll, kDisableAll);
  PageBase* base = PageOf<PageBase>(page);
  if (!base) return;
  base->dpi = WindowDpi(page);
  if (base->resources) RescaleWizardFonts(base->resources, base->dpi);
}

void RelayoutPageForDpi(HWND page, int dpi, const RECT& suggested) {
  const int old_dpi = PageDpi(page);
  PageBase* base = PageOf<PageBase>(page);
  if (dpi <= 0) return;
  if (base) base->dpi = dpi;
  if (dpi != old_dpi) {
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const RECT r = ChildRect(page, child);
      const int left = MulDiv(r.left, dpi, old_dpi), top = MulDiv(r.top, dpi, old_dpi);
      SetWindowPos(child, nullptr, left, top, MulDiv(r.right, dpi, old_dpi) - left,
                   MulDiv(r.bottom, dpi, old_dpi) - top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  SetWindowPos(page, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (base && base->resources) {
    RescaleWizardFonts(base->resources, dpi);
    ApplyFontsWithHeader(page, *base->resources);
  }
  InvalidateRect(page, nullptr, TRUE);
}

void ExpandWindowTexts(HWND window) {
  ExpandOne(window, 0);
  // EnumChildWindows visits every descendant once, grandchildren included.
  EnumChildWindows(window, ExpandOne, 0);
}

void ApplyPageFonts(HWND window, const WizardResources& resources) {
  ApplyFontTo(window, resources);
  EnumChildWindows(window, ApplyFontToChild, reinterpret_cast<LPARAM>(&resources));
}

void PaintPageHeader(HDC dc, HWND page, const WizardResources& resources) {
  RECT client;
  GetClientRect(page, &client);
  const int w = client.right, h = client.bottom;
  const int dpi = PageDpi(page);
  const int depth = FooterDepth(dpi);

  HBRUSH brushes[4] = {CreateSolidBrush(ToColorRef(PaintColour::LightGrey)),
                       CreateSolidBrush(ToColorRef(PaintColour::DarkGrey)),
                       CreateSolidBrush(ToColorRef(PaintColour::White)), nullptr};
  brushes[3] = resources.background ? resources.background : CreateSolidBrush(kBackgroundColour);
  auto fill = [&](const std::vector<PaintRect>& rects) {
    for (const PaintRect& p : rects) {
      RECT r = {p.left, p.top, p.right, p.bottom};
      FillRect(dc, &r, brushes[static_cast<int>(p.colour)]);
    }
  };
  fill(PageBands(w, h, depth, dpi));
  if (resources.logo) DrawBitmap(dc, resources.logo, 0, 0, dpi);
  BITMAP product = {};
  if (resources.product && GetObjectW(resources.product, sizeof product, &product)) {
    const int bw = ScaleForDpi(product.bmWidth, dpi), bh = ScaleForDpi(product.bmHeight, dpi);
    fill(ProductFrame(w, bw, bh, dpi));
    DrawBitmap(dc, resources.product, ProductBitmapLeft(w, bw, dpi), ProductBitmapTop(dpi), dpi);
  }
  for (int i = 0; i < 3; ++i) DeleteObject(brushes[i]);
  if (!resources.background) DeleteObject(brushes[3]);
}

void LayoutButtonsRight(HWND page, int first, int second, int third) {
  std::vector<int> ids;
  for (int id : {first, second, third}) {
    if (id == -1) break;
    ids.push_back(id);
  }
  if (ids.empty()) return;
  const ButtonMetrics m = MeasureButtons(page, ids);
  RECT client;
  GetClientRect(page, &client);
  PlaceButtons(page, ids, RightAlignedButtonLefts(client.right, m.unit, m.width, static_cast<int>(ids.size())),
               m.width);
}

void LayoutButtonLeft(HWND page, int id) {
  const ButtonMetrics m = MeasureButtons(page, {id});
  PlaceButtons(page, {id}, {LeftButtonLeft(m.unit)}, m.width);
}

void LayoutButtonsSpread(HWND page, int left_id, int right_id) {
  const ButtonMetrics m = MeasureButtons(page, {left_id, right_id});
  RECT client;
  GetClientRect(page, &client);
  PlaceButtons(page, {left_id, right_id},
               {LeftButtonLeft(m.unit), SpreadRightButtonLeft(client.right, m.unit, m.width)}, m.width);
}

bool ConfirmAbort(HWND page) {
  const PageBase* base = PageOf<PageBase>(page);
  if (base && ((base->aborted && *base->aborted) || base->silent)) return true;
  const WString text = Expand(u"%ABORT_POPUP_TEXT%", true);
  const WString caption = Expand(u"%ABORT_POPUP_TITLE%", true);
  return MessageBoxW(page, W(text), W(caption), MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

void CenterOnScreen(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0,
               0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOCOPYBITS);
}

void SavePagePosition(HWND page) {
  PageBase* base = PageOf<PageBase>(page);
  if (!base || !base->position) return;
  RECT r;
  GetClientRect(page, &r);
  MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&r), 2);
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(page, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(page, GWL_EXSTYLE)));
  *base->position = {r.left, r.top, r.right, r.bottom, true};
}

void RestorePagePosition(HWND page) {
  const PageBase* base = PageOf<PageBase>(page);
  if (!base || !base->position || !base->position->saved) return;
  SetWindowPos(page, nullptr, base->position->left, base->position->top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void SetWindowTextAny(HWND window, const WString& text) {
  if (IsWindowUnicode(window))
    SetWindowTextW(window, W(text));
  else
    SetWindowTextA(window, Narrow(text).c_str());
}

WString GetWindowTextAny(HWND window, size_t capacity) {
  if (IsWindowUnicode(window)) {
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    GetWindowTextW(window, buffer.data(), static_cast<int>(capacity + 1));
    return WString(reinterpret_cast<const char16_t*>(buffer.data()));
  }
  std::vector<char> buffer(capacity + 1, '\0');
  GetWindowTextA(window, buffer.data(), static_cast<int>(capacity + 1));
  return Widen(buffer.data());
}

HFONT CreatePropertyFont(HDC dc, const WString& base, const WString& default_face, int default_points,
                         bool default_bold) {
  return CreatePropertyFontForDpi(GetDeviceCaps(dc, LOGPIXELSY), base, default_face, default_points, default_bold);
}

void ShowExpandedError(const WString& caption, const WString& text) {
  MessageBoxW(nullptr, W(Expand(text, true)), W(Expand(caption, true)), MB_OK | MB_ICONERROR);
}
