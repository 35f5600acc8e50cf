// The license page (template 101): the RTF twin of the license in the rich
// edit control when it can be shown, otherwise the plain file in the
// read-only edit. Agree goes on; Don't Agree ends the run once confirmed.
// The page is larger than the others, so it centres itself rather than
// taking the previous page's place, but it leaves its own place behind.
#include <richedit.h>

#include "wizard/license_text.h"
#include "wizard/pages_win.h"
#include "wizard/rich_edit_license_win.h"

namespace {

enum LicenseControl {
  kPlainText = IDC_LICENSE_PLAIN,
  kRichText = IDC_LICENSE_RICH,
  kAgree = IDC_NEXT,
  kDontAgree = IDC_CANCEL,
};

struct LicensePage : PageBase {
  std::string path;
  RichEditLicenseControl* richText = nullptr;
};

void ShowPlainLicense(HWND page, const LicensePage& self) {
  HWND edit = GetDlgItem(page, kPlainText);
  SetWindowTextAny(edit, LoadPlainLicense(self.path));
  if (self.resources && self.resources->licenseFont)
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(self.resources->licenseFont), TRUE);
}

INT_PTR CALLBACK LicenseProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      // Not InitializePage: this page does not take the previous position.
      SetWindowLongPtrW(page, DWLP_USER, lparam);
      AdoptPageDpi(page);
      const LicensePage* self = reinterpret_cast<const LicensePage*>(lparam);
      ExpandWindowTexts(page);
      if (self->resources) ApplyPageFonts(page, *self->resources);
      if (self->richText && self->richText->LoadRtf(page, self->path))
        ShowWindow(GetDlgItem(page, kPlainText), SW_HIDE);
      else
        ShowPlainLicense(page, *self);
      if (self->resources) {
        if (self->resources->headerFont)
          SendDlgItemMessageW(page, kHeaderLine, WM_SETFONT, reinterpret_cast<WPARAM>(self->resources->headerFont),
                              TRUE);
        if (self->resources->bigIcon)
          SendMessageW(page, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(self->resources->bigIcon));
        if (self->resources->smallIcon)
          SendMessageW(page, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(self->resources->smallIcon));
      }
      CenterOnScreen(page);
      // The focus is given here rather than by the dialog manager, which
      // would select the whole rich text as it focuses it; the license is
      // never shown selected.
      const bool rich = IsWindowVisible(GetDlgItem(page, kRichText));
      SetFocus(GetDlgItem(page, rich ? kRichText : kPlainText));
      CHARRANGE start = {0, 0};
      SendDlgItemMessageW(page, kRichText, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case kAgree:
          EndDialog(page, kPageNext);
          return TRUE;
        case kDontAgree:
          if (ConfirmAbort(page)) EndDialog(page, kPageCancel);
          return TRUE;
        case kPlainText:
          // The text is never shown selected.
          if (HIWORD(wparam) == EN_SETFOCUS) SendDlgItemMessageW(page, kPlainText, EM_SETSEL, 0, 0);
          return TRUE;
      }
      return FALSE;
    case WM_DPICHANGED: {
      // The plain text keeps the license font, not the edits' one.
      HandleCommonPageMessage(page, message, wparam, lparam, &result);
      const LicensePage* self = PageOf<LicensePage>(page);
      if (self && self->resources && self->resources->licenseFont)
        SendDlgItemMessageW(page, kPlainText, WM_SETFONT, reinterpret_cast<WPARAM>(self->resources->licenseFont),
                            TRUE);
      return result;
    }
    case WM_NOTIFY: {
      LicensePage* self = PageOf<LicensePage>(page);
      const BOOL answer =
          self && self->richText && self->richText->OnNotify(reinterpret_cast<const NMHDR*>(lparam), page);
      SetWindowLongPtrW(page, DWLP_MSGRESULT, answer);
      return answer;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only edit keeps a window-coloured background.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) == kPlainText) {
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      }
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

}  // namespace

int RunLicensePage(const PageBase& base, const std::string& license_path, RichEditLicenseControl* rich_text) {
  LicensePage page;
  static_cast<PageBase&>(page) = base;
  page.path = license_path;
  page.richText = rich_text;
  return RunPage(kTemplateLicense, LicenseProcedure, &page);
}
