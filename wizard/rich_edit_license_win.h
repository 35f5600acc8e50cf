// The rich-text license: control 1002 of the license page, a rich edit
// control that shows the license's RTF twin, turns web addresses into links
// the shell opens, and turns underlined references into links that jump to
// the bold heading they name (license_links.h finds them). One instance for
// the whole run: its library is loaded before any page exists, so that the
// rich edit window class of the license template is registered by the time
// the page is created. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "wizard/license_links.h"

class RichEditLicenseControl {
 public:
  static constexpr int kControlId = 1002;

  // Loads the rich edit library from the system folder; registers the
  // stand-in class when it brings no rich edit class.
  RichEditLicenseControl();
  virtual ~RichEditLicenseControl();
  RichEditLicenseControl(const RichEditLicenseControl&) = delete;
  RichEditLicenseControl& operator=(const RichEditLicenseControl&) = delete;

  // True when the rich edit library is loaded and registered its class.
  bool LibraryLoaded() const { return library_ != nullptr && !placeholder_; }

  // Prepares control 1002 of the page (format, background, URL detection,
  // link events, client edge, shown); false when the library is missing.
  bool Init(HWND page);
  // Shows the RTF twin of `path` in control 1002; false (nothing shown)
  // when there is none, it is not RTF, or the library is missing.
  bool LoadRtf(HWND page, const std::string& path);
  // Reads every character's format back from the control and marks the
  // references that name a heading as links.
  void PrepareHyperlinks(HWND control);
  // The page's answer to a WM_NOTIFY: web links open with the shell on
  // button-down, internal links jump to their heading on button-up.
  bool OnNotify(const NMHDR* notification, HWND page);
  // True (and the jump armed) when a link starts exactly at `position`.
  bool IsInternalLink(int32_t position);

  const std::map<int32_t, LicenseLinkTarget>& LinkMap() const { return links_; }

 private:
  int controlId_ = -1;
  std::map<int32_t, LicenseLinkTarget> links_;
  bool jumpPending_ = false;
  int32_t pendingStart_ = -1;
  int32_t pendingEnd_ = -1;
  int32_t textLength_ = 0;
  HMODULE library_ = nullptr;
  // Without a rich edit library the license template could not be created
  // at all (its control 1002 names the rich edit class): a plain, hidden
  // window class of that name stands in, and the page shows the plain
  // license.
  bool placeholder_ = false;
};
