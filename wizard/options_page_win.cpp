// The options page (templates 102 and 110) and its folder browser.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "config/defines_parser.h"
#include "config/expand.h"
#include "wizard/pages_win.h"
#include "wizard/shell_names_win.h"

namespace {

enum OptionsControl {
  kNext = IDC_NEXT,
  kCancel = IDC_CANCEL,
  kBack = IDC_BACK,
  kPathEdit = IDC_PATH_EDIT,
  kBrowse = IDC_BROWSE,
  kGroupEdit = IDC_GROUP_EDIT,
  kFileAssociationBox = IDC_FILE_ASSOCIATION_BOX,
};

constexpr size_t kMaxTypedPath = 255;

struct OptionsPage : PageBase {
  OptionsChoices choices;
};

// The folder browser's two buffers: where it starts and what it last showed.
struct BrowseState {
  char startPath[MAX_PATH] = {};
  char lastSelected[MAX_PATH] = {};
};

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lparam, LPARAM data) {
  BrowseState* state = reinterpret_cast<BrowseState*>(data);
  if (message == BFFM_INITIALIZED) {
    // The deepest existing folder of the typed path: ask for the path, and
    // for its parents in turn until the browser selects the one asked for.
    std::string path = FileSystemPathOf(state->startPath);
    while (!path.empty()) {
      if (IsWindowUnicode(browser)) {
        const WString wide = Widen(path);
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
      } else {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
      }
      if (path == state->lastSelected) break;
      path = GetDirectory(path);
    }
  } else if (message == BFFM_SELCHANGED) {
    char selected[MAX_PATH] = {};
    if (SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lparam), selected)) {
      std::strcpy(state->lastSelected, selected);
      const std::string display = DisplayPathOf(selected);
      SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(display.c_str()));
    }
  }
  return 0;
}

void BrowseForFolder(HWND page) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || !allocator) return;
  BrowseState state;
  GetDlgItemTextA(page, kPathEdit, state.startPath, MAX_PATH);
  const WString title = Expand(u"%SELECT_DIRECTORY%", true);
  BROWSEINFOW info = {};
  info.hwndOwner = page;
  info.lpszTitle = reinterpret_cast<const wchar_t*>(title.c_str());
  info.ulFlags = BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
  if (chosen) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
      const WString wide(reinterpret_cast<const char16_t*>(path));
      SetWindowTextAny(GetDlgItem(page, kPathEdit), Widen(DisplayPathOf(Narrow(wide))));
    }
    allocator->Free(chosen);
  }
  allocator->Release();
}

WString ReadTrimmed(HWND page, int id) { return Trim(GetWindowTextAny(GetDlgItem(page, id), kMaxTypedPath)); }

INT_PTR CALLBACK OptionsProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      const OptionsPage* self = reinterpret_cast<const OptionsPage*>(lparam);
      const OptionsChoices& c = self->choices;
      // The edits are filled before the common expansion, which then also
      // expands the raw group value placed here.
      SetWindowTextAny(GetDlgItem(page, kPathEdit), Widen(DisplayPathOf(Narrow(Expand(u"%InstallPath%", true)))));
      SetWindowTextAny(GetDlgItem(page, kGroupEdit), c.variables->GetVariable(u"InstallGroup"));
      if (HWND box = GetDlgItem(page, kFileAssociationBox))
        SendMessageW(box, BM_SETCHECK, c.fileAssociation && *c.fileAssociation ? BST_CHECKED : BST_UNCHECKED, 0);
      InitializePage(page, lparam);
      LayoutButtonsRight(page, kBack, kNext, kCancel);
      return TRUE;
    }
    case WM_COMMAND: {
      OptionsPage* self = PageOf<OptionsPage>(page);
      if (!self) return FALSE;  // edit notifications while the page is set up
      const OptionsChoices& c = self->choices;
      switch (LOWORD(wparam)) {
        case kCancel:
          if (ConfirmAbort(page)) EndDialog(page, kPageCancel);
          return TRUE;
        case kBack:
          c.variables->SetVariable(u"InstallPath", Widen(c.savedInstallPath));
          c.variables->SetVariable(u"InstallGroup", Widen(c.savedInstallGroup));
          EndDialog(page, kPageBack);
          return TRUE;
        case kNext:
          c.variables->SetVariable(u"InstallPath", ReadTrimmed(page, kPathEdit));
          c.variables->SetVariable(u"InstallGroup", ReadTrimmed(page, kGroupEdit));
          EndDialog(page, kPageNext);
          return TRUE;
        case kFileAssociationBox:
          if (HIWORD(wparam) == BN_CLICKED && c.fileAssociation)
            *c.fileAssociation = IsDlgButtonChecked(page, kFileAssociationBox) == BST_CHECKED;
          return TRUE;
        case kBrowse:
          BrowseForFolder(page);
          return TRUE;
      }
      return FALSE;
    }
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

}  // namespace

int RunOptionsPage(const PageBase& base, const OptionsChoices& choices) {
  OptionsPage page;
  static_cast<PageBase&>(page) = base;
  page.choices = choices;
  return RunPage(choices.withFileAssociation ? kTemplateOptionsWithAssociation : kTemplateOptions, OptionsProcedure,
                 &page);
}
