// What every wizard page shares: the shared resources (brushes, bitmaps,
// fonts, icons), the page runner, the expansion of every window text, the
// fonts, the painted header, the static-text colours, the bottom-button
// layouts, the abort confirmation, the page position memory and the page's
// DPI. Windows only.
//
// A page is a modal dialog from a template of the stub's resources. The
// driver fills a PageBase with what the pages read from the run and passes
// it in; the pages never reach for the run's state themselves.
//
// The programs declare themselves DPI aware (the manifest), so nothing is
// stretched for them: the templates scale with their font, and every pixel
// measure drawn here scales with the page's DPI (page_geometry.h). A page
// moved to a monitor of another DPI is told so (WM_DPICHANGED) and lays
// itself out again for it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "base/string_utils.h"
#include "resources/resource_ids.h"
#include "wizard/page_geometry.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Dialog templates of the pages.
enum PageTemplate {
  kTemplateLicense = IDD_LICENSE,
  kTemplateOptions = IDD_OPTIONS,
  kTemplateWelcome = IDD_WELCOME,
  kTemplateProgress = IDD_PROGRESS,
  kTemplateAborted = IDD_ABORTED,
  kTemplatePreparation = IDD_PREPARATION,
  kTemplateFinish = IDD_FINISH,
  kTemplateStoreSelection = IDD_STORE_SELECTION,
  kTemplateOptionsWithAssociation = IDD_OPTIONS_WITH_ASSOCIATION,
  kTemplateVerify = IDD_VERIFY,
};

// The values with which a page ends.
enum PageResult {
  kPageCancel = IDC_CANCEL,  // Cancel after a confirmed abort, or Exit
  kPageDoneLaunch = IDC_DONE,
  kPageDoneNoLaunch = 7,
  kPageBack = IDC_BACK,
  kPageNext = IDC_NEXT,
  kPageChangeSettings = IDC_CHANGE_SETTINGS,
  kPageFailed = -1,      // the dialog could not be created
};

// Controls the framework knows by ID.
enum FrameworkControl {
  kHeaderLine = IDC_HEADER_LINE,
};

// Shared by all pages; every member may be null.
struct WizardResources {
  HBRUSH background = nullptr;  // PALETTERGB(218, 218, 218)
  HBRUSH headerGrey = nullptr;  // PALETTERGB(191, 191, 191)
  HBRUSH hollow = nullptr;      // stock, never deleted
  HBITMAP logo = nullptr;
  HBITMAP product = nullptr;
  HFONT headerFont = nullptr;
  HFONT editFont = nullptr;
  HFONT dialogFont = nullptr;
  HFONT licenseFont = nullptr;
  HICON bigIcon = nullptr;      // owned by the driver
  HICON smallIcon = nullptr;
  int fontDpi = 0;              // the DPI the four fonts are made for
};

// Bitmaps from the configuration folder ("logo.bmp", "product.bmp"), the two
// brushes and the four property fonts (measured on the desktop's device
// context). The icons are the driver's and are only referenced.
WizardResources CreateWizardResources(const std::string& config_folder, HICON big_icon, HICON small_icon);
// Deletes what CreateWizardResources made and clears it.
void ReleaseWizardResources(WizardResources* resources);
// Makes the four property fonts again for another DPI (nothing when they are
// made for that one already).
void RescaleWizardFonts(WizardResources* resources, int dpi);

// What every page reads from the run.
struct PageBase {
  WizardResources* resources = nullptr;  // its fonts follow the open page's DPI
  std::atomic<bool>* aborted = nullptr;
  bool silent = false;
  PagePosition* position = nullptr;  // carried from page to page
  int dpi = 0;  // the DPI the open page is laid out for (set as it opens)
};

// Runs the template as a modal dialog without owner; the procedure finds
// `page` (its own structure, starting with a PageBase) with PageOf().
// kPageFailed when the dialog cannot be created.
int RunPage(int template_id, DLGPROC procedure, PageBase* page);
// The page structure of a page window; stored at WM_INITDIALOG by
// InitializePage().
template <typename Page>
Page* PageOf(HWND window) {
  return reinterpret_cast<Page*>(GetWindowLongPtrW(window, DWLP_USER));
}

// The common start of a page: remembers `page`, takes the window's DPI,
// expands every text, applies the fonts, sets the window icons and restores
// the remembered position.
void InitializePage(HWND window, LPARAM page);
// Paint, static-text colours, a change of DPI and the position memory at
// destruction. True when the message was handled, with *result the
// procedure's return value.
bool HandleCommonPageMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result);

// The DPI of a window: its monitor's where the system tells one per monitor,
// else the system's.
int WindowDpi(HWND window);
// The DPI the page is laid out for; the window's until the page has one.
int PageDpi(HWND page);
// As a page opens: takes the window's DPI as the page's and makes the fonts
// for it.
void AdoptPageDpi(HWND page);
// WM_DPICHANGED: the page's children scaled to the new DPI, the fonts made
// for it and applied, the window at the suggested place and size, and the
// whole page painted again. Pages with more to scale do it after this.
void RelayoutPageForDpi(HWND page, int dpi, const RECT& suggested);

void ExpandWindowTexts(HWND window);
void ApplyPageFonts(HWND window, const WizardResources& resources);
void PaintPageHeader(HDC dc, HWND page, const WizardResources& resources);

// Size, place and show bottom buttons (the list ends at the first -1).
void LayoutButtonsRight(HWND page, int first, int second = -1, int third = -1);
void LayoutButtonLeft(HWND page, int id);
void LayoutButtonsSpread(HWND page, int left_id, int right_id);

// Yes at once when the run is aborted already or silent; otherwise asks.
bool ConfirmAbort(HWND page);
void CenterOnScreen(HWND window);
void SavePagePosition(HWND page);
void RestorePagePosition(HWND page);

void SetWindowTextAny(HWND window, const WString& text);
WString GetWindowTextAny(HWND window, size_t capacity);

HFONT CreatePropertyFont(HDC dc, const WString& base, const WString& default_face, int default_points,
                         bool default_bold);

// An error message box without owner, caption and text expanded.
void ShowExpandedError(const WString& caption, const WString& text);
