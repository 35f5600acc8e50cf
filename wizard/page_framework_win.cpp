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

void BlitBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  BITMAP info = {};
  if (!GetObjectW(bitmap, sizeof info, &info)) return;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
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
  r.headerFont = CreatePropertyFont(dc, u"HEADER_FONT", u"Arial", 16, true);
  r.editFont = CreatePropertyFont(dc, u"EDIT_FONT", u"", 0, false);
  r.dialogFont = CreatePropertyFont(dc, u"DIALOG_FONT", u"", 0, false);
  r.licenseFont = CreatePropertyFont(dc, u"EULA_FONT", u"", 0, false);
  ReleaseDC(desktop, dc);
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

int RunPage(int template_id, DLGPROC procedure, PageBase* page) {
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id), nullptr,
                                         procedure, reinterpret_cast<LPARAM>(page));
  return result == -1 ? kPageFailed : static_cast<int>(result);
}

void InitializePage(HWND window, LPARAM page) {
  SetWindowLongPtrW(window, DWLP_USER, page);
  const PageBase* base = reinterpret_cast<const PageBase*>(page);
  ExpandWindowTexts(window);
  if (base && base->resources) {
    ApplyPageFonts(window, *base->resources);
    // The header line also gets the header font as its own: some static
    // controls select their own font after asking for their colours.
    if (base->resources->headerFont)
      SendDlgItemMessageW(window, kHeaderLine, WM_SETFONT, reinterpret_cast<WPARAM>(base->resources->headerFont),
                          TRUE);
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
    case WM_DESTROY:
      SavePagePosition(window);
      *result = FALSE;
      return true;
    default:
      return false;
  }
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
  HWND desktop = GetDesktopWindow();
  HDC desktop_dc = GetDC(desktop);
  const int depth = FooterDepth(GetDeviceCaps(desktop_dc, LOGPIXELSX));
  ReleaseDC(desktop, desktop_dc);

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
  fill(PageBands(w, h, depth));
  if (resources.logo) BlitBitmap(dc, resources.logo, 0, 0);
  BITMAP product = {};
  if (resources.product && GetObjectW(resources.product, sizeof product, &product)) {
    fill(ProductFrame(w, product.bmWidth, product.bmHeight));
    BlitBitmap(dc, resources.product, ProductBitmapLeft(w, product.bmWidth), ProductBitmapTop());
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
  const FontRequest request = PropertyFontRequest(base, default_face, default_points, default_bold);
  if (request.face.empty()) return nullptr;
  const int height = FontPixelHeight(request.points, GetDeviceCaps(dc, LOGPIXELSY));
  return CreateFontW(-height, 0, 0, 0, request.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, W(request.face));
}

void ShowExpandedError(const WString& caption, const WString& text) {
  MessageBoxW(nullptr, W(Expand(text, true)), W(Expand(caption, true)), MB_OK | MB_ICONERROR);
}
