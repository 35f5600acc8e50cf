// The welcome page (template 103).
#include "config/expand.h"
#include "wizard/pages_win.h"
#include "wizard/shell_names_win.h"

namespace {

enum WelcomeControl {
  kNext = IDC_NEXT,
  kChangeSettings = IDC_CHANGE_SETTINGS,
  kCancel = IDC_CANCEL,
  kInstallPathText = IDC_INSTALL_PATH_TEXT,
};

struct WelcomePage : PageBase {
  bool changeSettings = true;
};

INT_PTR CALLBACK WelcomeProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      InitializePage(page, lparam);
      const WelcomePage* self = reinterpret_cast<const WelcomePage*>(lparam);
      LayoutButtonsRight(page, kNext, kCancel);
      if (self->changeSettings)
        LayoutButtonLeft(page, kChangeSettings);
      else
        ShowWindow(GetDlgItem(page, kChangeSettings), SW_HIDE);
      SetWindowTextAny(GetDlgItem(page, kInstallPathText),
                       Widen(DisplayPathOf(Narrow(Expand(u"%InstallPath%", true)))));
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case kCancel:
          if (ConfirmAbort(page)) EndDialog(page, kPageCancel);
          return TRUE;
        case kNext:
        case kChangeSettings:
          EndDialog(page, LOWORD(wparam));
          return TRUE;
      }
      return FALSE;
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

}  // namespace

int RunWelcomePage(const PageBase& base, bool change_settings) {
  WelcomePage page;
  static_cast<PageBase&>(page) = base;
  page.changeSettings = change_settings;
  return RunPage(kTemplateWelcome, WelcomeProcedure, &page);
}
