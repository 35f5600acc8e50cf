// Shared set-up of the configuration tests: a fresh main variable store, a
// silent run (a message box would stop an unattended test under Wine) and a
// record of every fatal error message.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/defines_parser.h"
#include "base/fatal_error.h"
#include "base/string_utils.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"

namespace configtest {

// Readable failure output for wide strings.
inline std::string Show(const WString& text) { return Narrow(text); }

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainVariables().Clear();
    ConnectRunHandlers();
    savedSilent_ = ::Run().silent;
    ::Run().silent = true;
    ::Run().aborted = false;
    previousObserver_ = SetFatalErrorObserver(
        [this](const WString& message) { fatalMessages_.push_back(Narrow(message)); });
  }
  void TearDown() override {
    SetFatalErrorObserver(previousObserver_);
    ::Run().silent = savedSilent_;
    ::Run().aborted = false;
    MainVariables().Clear();
  }

  void Set(const char* name, const char* value) { MainVariables().SetVariable(Widen(name), Widen(value)); }

  std::vector<std::string> fatalMessages_;

 private:
  bool savedSilent_ = false;
  FatalErrorObserver previousObserver_;
};

}  // namespace configtest
