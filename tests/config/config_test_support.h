// Shared set-up of the configuration tests: a fresh main variable store, a
// fatal-error handler of their own that stands in for the driver's (an
// aborted flag; silent unless a test asks for the message box, which would
// stop an unattended test under Wine) and a record of every fatal error
// message.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/defines_parser.h"
#include "base/fatal_error.h"
#include "config/fatal_error_box.h"
#include "base/string_utils.h"

namespace configtest {

// Readable failure output for wide strings.
inline std::string Show(const WString& text) { return Narrow(text); }

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainVariables().Clear();
    previousHandler_ = SetFatalErrorHandler([this](const WString& message) {
      aborted_ = true;
      if (shown_) ShowFatalErrorBox(message);
    });
    previousObserver_ = SetFatalErrorObserver(
        [this](const WString& message) { fatalMessages_.push_back(Narrow(message)); });
  }
  void TearDown() override {
    SetFatalErrorObserver(previousObserver_);
    SetFatalErrorHandler(previousHandler_);
    MainVariables().Clear();
  }

  void Set(const char* name, const char* value) { MainVariables().SetVariable(Widen(name), Widen(value)); }

  std::vector<std::string> fatalMessages_;
  bool aborted_ = false;  // the run's aborted flag, as the driver's handler sets it
  bool shown_ = false;    // the run is not silent: messages are shown

 private:
  FatalErrorHandler previousHandler_;
  FatalErrorObserver previousObserver_;
};

}  // namespace configtest
