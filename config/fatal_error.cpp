#include "config/fatal_error.h"

#include "config/expand.h"
#include "base/system_seam.h"
#include "driver/run_state.h"

namespace {

FatalErrorObserver& Observer() {
  static FatalErrorObserver observer;
  return observer;
}

// Expanding the caption or the text may itself raise a fatal error (a
// "#Fail" in the message, an invalid command in FATAL_POPUP_TITLE). Those
// nested messages are shown as well, but only a few levels deep: a caption
// that fails every time it is expanded would otherwise never end.
constexpr int kMaxNestedMessages = 4;
thread_local int nesting = 0;

}  // namespace

FatalErrorObserver SetFatalErrorObserver(FatalErrorObserver observer) {
  FatalErrorObserver previous = std::move(Observer());
  Observer() = std::move(observer);
  return previous;
}

void ShowFatalError(const WString& message) {
  Run().aborted = true;
  if (Observer()) Observer()(message);
  if (Run().silent || nesting >= kMaxNestedMessages) return;
  ++nesting;
  WString caption = Expand(u"%FATAL_POPUP_TITLE%", true);
  WString text = Expand(message, true);
  seam::ShowErrorBox(caption, text);
  --nesting;
}
