#include "wizard/rich_edit_license_win.h"

#include <richedit.h>
#include <shellapi.h>

#include <vector>

#include "base/library_loading.h"
#include "wizard/license_text.h"

namespace {

// The class control 1002 of the license template names.
constexpr char kRichEditClass[] = "RichEdit20A";
constexpr COLORREF kLicenseBackground = RGB(238, 238, 238);
constexpr LONG kDefaultHeightTwips = 32;

void Select(HWND control, int32_t start, int32_t end) {
  CHARRANGE range = {start, end};
  SendMessageA(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

CHARFORMAT2A SelectionFormat(HWND control) {
  CHARFORMAT2A format = {};
  format.cbSize = sizeof format;
  SendMessageA(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

// An effect counts only where the mask says it is uniform over the range.
bool Has(const CHARFORMAT2A& format, DWORD mask, DWORD effect) {
  return (format.dwMask & mask) && (format.dwEffects & effect);
}

std::string TextRange(HWND control, int32_t start, int32_t end) {
  if (end <= start) return std::string();
  std::vector<char> buffer(static_cast<size_t>(end - start) * 2 + 2, '\0');
  TEXTRANGEA range = {{start, end}, buffer.data()};
  SendMessageA(control, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  return buffer.data();
}

}  // namespace

RichEditLicenseControl::RichEditLicenseControl()
    : library_(static_cast<HMODULE>(LoadSystemLibrary("RICHED32.DLL"))) {
  WNDCLASSA existing = {};
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  if (GetClassInfoA(instance, kRichEditClass, &existing)) return;
  WNDCLASSA stand_in = {};
  stand_in.lpfnWndProc = DefWindowProcA;
  stand_in.hInstance = instance;
  stand_in.lpszClassName = kRichEditClass;
  placeholder_ = RegisterClassA(&stand_in) != 0;
}

RichEditLicenseControl::~RichEditLicenseControl() {
  if (placeholder_) UnregisterClassA(kRichEditClass, GetModuleHandleA(nullptr));
  if (library_) FreeLibrary(library_);
}

bool RichEditLicenseControl::Init(HWND page) {
  if (!LibraryLoaded()) return false;
  controlId_ = kControlId;
  HWND control = GetDlgItem(page, controlId_);
  if (!control) return false;
  CHARFORMAT2A format = {};
  format.cbSize = sizeof format;
  format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE;
  format.yHeight = kDefaultHeightTwips;
  format.crTextColor = RGB(0, 0, 0);
  lstrcpynA(format.szFaceName, "Courier", LF_FACESIZE);
  SendMessageA(control, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  SendMessageA(control, EM_SETBKGNDCOLOR, 0, kLicenseBackground);
  SendMessageA(control, EM_AUTOURLDETECT, TRUE, 0);
  SendMessageA(control, EM_SETEVENTMASK, 0, ENM_LINK);
  SetWindowLongA(control, GWL_EXSTYLE, GetWindowLongA(control, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
  SetWindowPos(control, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  ShowWindow(control, SW_SHOW);
  return true;
}

bool RichEditLicenseControl::LoadRtf(HWND page, const std::string& path) {
  const std::string rtf_path = RichTextLicensePath(path);
  if (rtf_path.empty()) return false;
  std::string text;
  if (LoadRichTextLicense(rtf_path, &text) != RichTextLicenseStatus::kLoaded) return false;
  if (!Init(page)) return false;
  HWND control = GetDlgItem(page, controlId_);
  SetWindowTextA(control, text.c_str());
  Select(control, 0, 0);
  PrepareHyperlinks(control);
  return true;
}

void RichEditLicenseControl::PrepareHyperlinks(HWND control) {
  GETTEXTLENGTHEX length = {GTL_NUMCHARS | GTL_PRECISE, CP_ACP};
  const int32_t n = static_cast<int32_t>(SendMessageA(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
  textLength_ = n;
  if (n <= 0) return;
  const std::string text = TextRange(control, 0, n);
  std::vector<LicenseCharFormat> formats(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    Select(control, i, i + 1);
    const CHARFORMAT2A format = SelectionFormat(control);
    formats[static_cast<size_t>(i)] = {Has(format, CFM_BOLD, CFE_BOLD), Has(format, CFM_UNDERLINE, CFE_UNDERLINE),
                                       Has(format, CFM_LINK, CFE_LINK)};
  }
  const LicenseLinks found = FindLicenseLinks(text, formats);
  for (const LicenseTextRun& reference : found.references) {
    auto target = found.targets.find(reference.start);
    if (target == found.targets.end()) continue;
    Select(control, reference.start, reference.end);
    CHARFORMAT2A format = SelectionFormat(control);
    format.dwMask |= CFM_LINK;
    format.dwEffects |= CFE_LINK;
    SendMessageA(control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    links_[reference.start] = target->second;
  }
  Select(control, 0, 0);
}

bool RichEditLicenseControl::OnNotify(const NMHDR* notification, HWND page) {
  if (notification->code != EN_LINK || static_cast<int>(notification->idFrom) != controlId_) return false;
  const ENLINK* link = reinterpret_cast<const ENLINK*>(notification);
  HWND control = GetDlgItem(page, controlId_);
  switch (link->msg) {
    case WM_LBUTTONDOWN: {
      if (IsInternalLink(link->chrg.cpMin)) return false;
      const std::string address = TextRange(control, link->chrg.cpMin, link->chrg.cpMax);
      ShellExecuteA(page, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    }
    case WM_LBUTTONUP:
      if (jumpPending_) {
        // To the end first, so that the heading scrolls into view from below.
        Select(control, textLength_, textLength_);
        Select(control, pendingStart_, pendingEnd_);
        jumpPending_ = false;
      }
      return false;
    default:
      return false;
  }
}

bool RichEditLicenseControl::IsInternalLink(int32_t position) {
  auto entry = links_.find(position);
  if (entry == links_.end()) return false;
  jumpPending_ = true;
  pendingStart_ = entry->second.start;
  pendingEnd_ = entry->second.end;
  return true;
}
