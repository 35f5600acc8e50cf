// The store selection page (template 109): where the player bought the game.
// The chosen retailer's shortcuts replace the configuration's list and are
// created at once; its icon files are taken off the temporary resources so
// that they outlive the run, while the other retailers' icons are deleted
// with the rest of the temporary resources. Opting out, or Esc, applies
// nothing and leaves every retailer icon to be deleted.
#include "config/expand.h"
#include "engine/install_config.h"
#include "wizard/pages_win.h"
#include "wizard/retailer_icons.h"

namespace {

enum StoreControl { kNext = IDC_NEXT, kCancel = IDC_CANCEL, kRetailerList = IDC_RETAILER_LIST, kOptOut = IDC_OPT_OUT };

struct StorePage : PageBase {
  StoreChoices choices;
};

size_t RetailerCount(const StorePage& self) { return self.choices.config->Retailers.size(); }

void ReleaseRetailerIcons(StorePage* self) {
  for (Retailer& retailer : self->choices.config->Retailers) {
    if (retailer.icon) DestroyIcon(static_cast<HICON>(retailer.icon));
    retailer.icon = nullptr;
  }
}

bool ValidSelection(HWND page, const StorePage& self) {
  const LRESULT sel = SendDlgItemMessageW(page, kRetailerList, CB_GETCURSEL, 0, 0);
  return sel >= 0 && static_cast<size_t>(sel) < RetailerCount(self);
}

void Initialize(HWND page, StorePage* self) {
  LayoutButtonsRight(page, kNext);
  HWND list = GetDlgItem(page, kRetailerList);
  const int icon_size = RetailerItemForDpi(PageDpi(page)).iconSize;
  BrioCommon::InstallConfiguration& config = *self->choices.config;
  for (size_t i = 0; i < config.Retailers.size(); ++i) {
    Retailer& retailer = config.Retailers[i];
    const std::string icon_path = self->choices.configFolder + retailer.DisplayIcon;
    retailer.icon = LoadImageA(nullptr, icon_path.c_str(), IMAGE_ICON, icon_size, icon_size, LR_LOADFROMFILE);
    const LRESULT item = SendMessageW(list, CB_ADDSTRING, 0, static_cast<LPARAM>(i));
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(i));
    for (const Shortcut& shortcut : retailer.Shortcuts)
      config.TemporaryInstallResources.push_back(Narrow(Expand(Widen(shortcut.Icon), true)));
  }
  // Esc and the close box reach the page as a command from a control.
  CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD, 0, 0, 0, 0, page, reinterpret_cast<HMENU>(kCancel),
                  GetModuleHandleW(nullptr), nullptr);
  EnableWindow(GetDlgItem(page, kNext), FALSE);
}

void DrawItem(HWND page, const StorePage& self, const DRAWITEMSTRUCT& item) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = font ? SelectObject(item.hDC, font) : nullptr;
  const bool disabled = item.itemState & ODS_DISABLED, selected = item.itemState & ODS_SELECTED;
  RECT rect = item.rcItem;
  FillRect(item.hDC, &rect, GetSysColorBrush(disabled ? COLOR_BTNFACE : selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  std::string text;
  HICON icon = nullptr;
  if (item.itemID != static_cast<UINT>(-1) && item.itemID < RetailerCount(self)) {
    const Retailer& retailer = self.choices.config->Retailers[item.itemID];
    text = retailer.Name;
    icon = static_cast<HICON>(retailer.icon);
  }
  if ((item.itemState & ODS_COMBOBOXEDIT) && text.empty())
    text = self.choices.initialString;
  if (!text.empty() && !disabled) {
    const COLORREF old_colour = SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int old_mode = SetBkMode(item.hDC, TRANSPARENT);
    const RetailerItemLayout layout = RetailerItemForDpi(PageDpi(page));
    RECT text_rect = rect;
    text_rect.left += layout.textIndent;
    DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &text_rect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (icon)
      DrawIconEx(item.hDC, rect.left + layout.iconLeft, rect.top + layout.iconTop, icon, layout.iconSize,
                 layout.iconSize, 0, nullptr, DI_NORMAL);
    SetBkMode(item.hDC, old_mode);
    SetTextColor(item.hDC, old_colour);
  }
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) && !disabled)
    DrawFocusRect(item.hDC, &rect);
  if (old_font) SelectObject(item.hDC, old_font);
}

void Apply(HWND page, StorePage* self) {
  const LRESULT sel = SendDlgItemMessageW(page, kRetailerList, CB_GETCURSEL, 0, 0);
  ReleaseRetailerIcons(self);
  BrioCommon::InstallConfiguration& config = *self->choices.config;
  if (sel < 0 || static_cast<size_t>(sel) >= config.Retailers.size()) return;
  config.Shortcuts = config.Retailers[static_cast<size_t>(sel)].Shortcuts;
  if (config.Shortcuts.empty()) return;
  if (self->choices.createShortcuts) self->choices.createShortcuts();
  std::vector<std::string> chosen_icons;
  for (const Shortcut& shortcut : config.Shortcuts) chosen_icons.push_back(Narrow(Expand(Widen(shortcut.Icon), true)));
  KeepChosenRetailerIcons(&config.TemporaryInstallResources, chosen_icons);
}

INT_PTR CALLBACK StoreProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  StorePage* self = PageOf<StorePage>(page);
  switch (message) {
    case WM_INITDIALOG:
      InitializePage(page, lparam);
      Initialize(page, reinterpret_cast<StorePage*>(lparam));
      return TRUE;
    case WM_MEASUREITEM: {
      MEASUREITEMSTRUCT* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (item->CtlType != ODT_COMBOBOX) return FALSE;
      RECT client = {};
      GetClientRect(GetDlgItem(page, kRetailerList), &client);
      // Sent before WM_INITDIALOG: the page's DPI is the window's.
      item->itemHeight = static_cast<UINT>(RetailerItemForDpi(PageDpi(page)).height);
      item->itemWidth = static_cast<UINT>(client.right);
      return TRUE;
    }
    case WM_DPICHANGED: {
      // The items and the selection field take the new height.
      HandleCommonPageMessage(page, message, wparam, lparam, &result);
      const int height = RetailerItemForDpi(PageDpi(page)).height;
      for (WPARAM part : {static_cast<WPARAM>(-1), static_cast<WPARAM>(0)})
        SendDlgItemMessageW(page, kRetailerList, CB_SETITEMHEIGHT, part, height);
      return result;
    }
    case WM_COMPAREITEM: {
      // The list is sorted by configuration order, so that an item's
      // position is its retailer's index.
      const COMPAREITEMSTRUCT* item = reinterpret_cast<const COMPAREITEMSTRUCT*>(lparam);
      return item->itemData1 < item->itemData2 ? -1 : item->itemData1 > item->itemData2 ? 1 : 0;
    }
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (!self || item->CtlType != ODT_COMBOBOX) return FALSE;
      DrawItem(page, *self, *item);
      return TRUE;
    }
    case WM_COMMAND:
      if (!self || !lparam) return FALSE;  // only commands from controls
      switch (LOWORD(wparam)) {
        case kRetailerList:
          if (HIWORD(wparam) == CBN_SELCHANGE) EnableWindow(GetDlgItem(page, kNext), TRUE);
          return TRUE;
        case kOptOut: {
          const bool opted_out = IsDlgButtonChecked(page, kOptOut) == BST_CHECKED;
          EnableWindow(GetDlgItem(page, kRetailerList), !opted_out);
          EnableWindow(GetDlgItem(page, kNext), opted_out || ValidSelection(page, *self));
          return TRUE;
        }
        case kCancel:
          ReleaseRetailerIcons(self);
          EndDialog(page, kPageNext);
          return TRUE;
        case kNext:
          if (IsDlgButtonChecked(page, kOptOut) == BST_CHECKED)
            ReleaseRetailerIcons(self);
          else
            Apply(page, self);
          EndDialog(page, kPageNext);
          return TRUE;
      }
      return FALSE;
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

}  // namespace

int RunStoreSelectionPage(const PageBase& base, const StoreChoices& choices) {
  StorePage page;
  static_cast<PageBase&>(page) = base;
  page.choices = choices;
  const int result = RunPage(kTemplateStoreSelection, StoreProcedure, &page);
  ReleaseRetailerIcons(&page);
  return result;
}
