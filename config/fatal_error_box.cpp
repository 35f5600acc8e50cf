#include "config/fatal_error_box.h"

#include "base/system_seam.h"
#include "config/expand.h"

namespace {

// Expanding the caption or the text may itself raise a fatal error (a
// "#Fail" in the message, an invalid command in FATAL_POPUP_TITLE). Those
// nested messages are shown as well, but only a few levels deep: a caption
// that fails every time it is expanded would otherwise never end.
constexpr int kMaxNestedMessages = 4;
thread_local int nesting = 0;

}  // namespace

void ShowFatalErrorBox(const WString& message) {
  if (nesting >= kMaxNestedMessages) return;
  ++nesting;
  WString caption = Expand(u"%FATAL_POPUP_TITLE%", true);
  WString text = Expand(message, true);
  seam::ShowErrorBox(caption, text);
  --nesting;
}
