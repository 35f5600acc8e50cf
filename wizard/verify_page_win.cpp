// The result of -verify in an interactive run (template 111): what the check
// found, and the files missing or changed in a read-only list that the
// player can scroll and copy from.
#include <windows.h>

#include "wizard/pages_win.h"

namespace {

enum VerifyControl { kDone = IDC_DONE, kSummary = IDC_VERIFY_SUMMARY, kList = IDC_VERIFY_LIST };

struct VerifyPage : PageBase {
  std::string summary;
  std::string list;  // lines ended by CR LF, as an edit control shows them
};

INT_PTR CALLBACK VerifyProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      InitializePage(page, lparam);
      const VerifyPage* self = reinterpret_cast<const VerifyPage*>(lparam);
      // Paths are shown as they are: never expanded.
      SetDlgItemTextA(page, kSummary, self->summary.c_str());
      SetDlgItemTextA(page, kList, self->list.c_str());
      if (self->list.empty()) ShowWindow(GetDlgItem(page, kList), SW_HIDE);
      LayoutButtonsRight(page, kDone);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      // A read-only edit asks as a static does; the page's transparent
      // statics would leave it unpainted.
      if (reinterpret_cast<HWND>(lparam) == GetDlgItem(page, kList)) {
        SetTextColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      }
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == kDone || LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(page, kPageDoneNoLaunch);
        return TRUE;
      }
      return FALSE;
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

}  // namespace

int RunVerifyPage(const PageBase& base, const std::string& summary, const std::string& list) {
  VerifyPage page;
  static_cast<PageBase&>(page) = base;
  page.summary = summary;
  for (char c : list) {
    if (c == '\n') page.list += '\r';
    page.list += c;
  }
  return RunPage(kTemplateVerify, VerifyProcedure, &page);
}
