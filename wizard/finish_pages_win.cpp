// The finish page (template 108) and the aborted page (template 106).
#include <windows.h>
#include <shellapi.h>

#include "config/defines_parser.h"
#include "engine/desktop_launch.h"
#include "wizard/pages_win.h"

namespace {

enum FinishControl {
  kDone = IDC_DONE,
  kViewReadme = IDC_VIEW_README,
  kCancel = IDC_CANCEL,
  kLaunchBox = IDC_LAUNCH_BOX
};

struct FinishPage : PageBase {
  std::string readme;
  bool hasRunExe = false;
};

INT_PTR CALLBACK FinishProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      InitializePage(page, lparam);
      const FinishPage* self = reinterpret_cast<const FinishPage*>(lparam);
      CheckDlgButton(page, kLaunchBox, BST_CHECKED);
      if (!self->readme.empty())
        LayoutButtonsSpread(page, kViewReadme, kDone);
      else
        LayoutButtonsRight(page, kDone);
      if (!self->hasRunExe) ShowWindow(GetDlgItem(page, kLaunchBox), SW_HIDE);
      return TRUE;
    }
    case WM_COMMAND: {
      const FinishPage* self = PageOf<FinishPage>(page);
      switch (LOWORD(wparam)) {
        case kDone:
          EndDialog(page, IsDlgButtonChecked(page, kLaunchBox) == BST_CHECKED ? kPageDoneLaunch : kPageDoneNoLaunch);
          return TRUE;
        case kViewReadme:
          if (self && !self->readme.empty())
            OpenAsDesktopUser(self->readme, std::string());  // unelevated where the run is elevated
          return TRUE;
        case kCancel:
          EndDialog(page, kPageCancel);
          return TRUE;
      }
      return FALSE;
    }
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

INT_PTR CALLBACK AbortedProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG:
      InitializePage(page, lparam);
      LayoutButtonsRight(page, kCancel);
      return TRUE;
    case WM_COMMAND:
      // Exit, or Enter on the page's only button.
      if ((LOWORD(wparam) == kCancel || LOWORD(wparam) == IDOK) && ConfirmAbort(page)) EndDialog(page, kPageCancel);
      return TRUE;
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

}  // namespace

std::string FindReadme(const std::string& config_folder, const DefinesParser& variables) {
  for (const char16_t* property : {u"README_HTML_FILENAME", u"README_TXT_FILENAME"}) {
    const std::string name = Narrow(variables.GetVariable(property));
    if (name.empty()) continue;  // the folder itself is no readme
    const std::string path = config_folder + "\\" + name;
    if (FileExists(path)) return path;
  }
  return std::string();
}

int RunFinishPage(const PageBase& base, const std::string& readme, bool has_run_exe) {
  FinishPage page;
  static_cast<PageBase&>(page) = base;
  page.readme = readme;
  page.hasRunExe = has_run_exe;
  return RunPage(kTemplateFinish, FinishProcedure, &page);
}

int RunAbortedPage(const PageBase& base) {
  PageBase page = base;
  return RunPage(kTemplateAborted, AbortedProcedure, &page);
}
