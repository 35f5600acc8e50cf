// The interactive uninstaller's windows: plain message boxes for the
// questions and the result, and a small progress window while it works.
#pragma once

#include <string>

#include "base/string_utils.h"

// Yes/No question; `default_no` makes No the default button.
// Texts in 16-bit characters, so that any language's texts show.
bool AskYesNo(const WString& caption, const WString& text, bool default_no);
void ShowMessage(const WString& caption, const WString& text, bool error);

// A window with a line of text and a progress bar, shown while it lives.
class ProgressWindow {
 public:
  explicit ProgressWindow(const WString& caption);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Updates the bar and the text and lets the window repaint.
  void Update(int percent, const std::string& doing);

 private:
  void* window_ = nullptr;
  void* text_ = nullptr;
  void* bar_ = nullptr;
};
