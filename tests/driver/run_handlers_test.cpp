// The driver's fatal-error handler: a fatal error raises the run's aborted
// flag (silent here: a shown box would wait for a user under Wine).
#include "driver/run_handlers.h"

#include <gtest/gtest.h>

#include "base/fatal_error.h"
#include "driver/run_state.h"

namespace {

TEST(RunHandlers, FatalErrorSetsTheAbortedFlag) {
  std::vector<std::string> messages;
  FatalErrorObserver previous =
      SetFatalErrorObserver([&messages](const WString& message) { messages.push_back(Narrow(message)); });
  ConnectRunHandlers();
  RunState& run = ::Run();
  const bool was_silent = run.silent;
  run.silent = true;
  run.aborted = false;
  ShowFatalError(u"Failed to Create Key 'HKLM\\X'");
  EXPECT_TRUE(run.aborted);
  EXPECT_EQ(messages, (std::vector<std::string>{"Failed to Create Key 'HKLM\\X'"}));
  run.aborted = false;
  run.silent = was_silent;
  SetFatalErrorHandler(nullptr);
  SetFatalErrorObserver(previous);
}

}  // namespace
