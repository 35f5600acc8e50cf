// Shared set-up of the install action tests under Windows: a silent run
// (fatal errors are recorded, not shown), an empty install configuration,
// and the install log lines each test appends.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/defines_parser.h"
#include "base/fatal_error.h"
#include "base/string_utils.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "engine/install_actions.h"
#include "engine/install_config.h"
#include "engine/install_log.h"

class ActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConnectRunHandlers();
    ConnectInstallContext();
    wasSilent_ = ::Run().silent;
    ::Run().silent = true;
    ::Run().aborted = false;
    ::Run().commandLineRegValues.clear();
    ::Run().fileAssociations = true;
    g_iconsChanged = false;
    ClearConfig();
    previous_ = SetFatalErrorObserver([this](const WString& message) { errors_.push_back(Narrow(message)); });
    logMark_ = TheInstallLog().Text().size();
  }
  void TearDown() override {
    // Other suites of the binary run the worker on the same configuration.
    ClearConfig();
    ::Run().commandLineRegValues.clear();
    ::Run().fileAssociations = true;
    SetFatalErrorObserver(previous_);
    ::Run().aborted = false;
    ::Run().silent = wasSilent_;
  }

  static void ClearConfig() {
    BrioCommon::InstallConfiguration& c = InstallConfig();
    c = {};
  }

  static void SetVariable(const char* name, const std::string& value) {
    MainVariables().SetVariable(Widen(name), Widen(value));
  }

  // The log lines appended since the test began, narrowed.
  std::vector<std::string> LogLines() const {
    std::string text = Narrow(TheInstallLog().Text().substr(logMark_));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  std::vector<std::string> errors_;
  FatalErrorObserver previous_;
  size_t logMark_ = 0;
  bool wasSilent_ = false;
};

// Registry helpers for reading back and cleaning up.
struct RegData {
  bool found = false;
  DWORD type = 0;
  std::string bytes;
  // A string value without its terminating zero. The registry stores one
  // even when the writer passed the characters only, so the byte count the
  // writer used cannot be read back.
  std::string text() const {
    return !bytes.empty() && bytes.back() == '\0' ? bytes.substr(0, bytes.size() - 1) : bytes;
  }
};

inline RegData ReadRegValue(HKEY root, const std::string& key, const std::string& name) {
  RegData data;
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return data;
  DWORD size = 0;
  if (RegQueryValueExA(handle, name.c_str(), nullptr, &data.type, nullptr, &size) == ERROR_SUCCESS) {
    data.bytes.resize(size);
    data.found = RegQueryValueExA(handle, name.c_str(), nullptr, &data.type,
                                  reinterpret_cast<BYTE*>(&data.bytes[0]), &size) == ERROR_SUCCESS;
    data.bytes.resize(size);
  }
  RegCloseKey(handle);
  return data;
}

inline bool RegKeyPresent(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// Deletes a key with everything below it.
inline void DeleteKeyTree(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS) {
    char name[256];
    for (;;) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      DeleteKeyTree(handle, name);
    }
    RegCloseKey(handle);
  }
  RegDeleteKeyA(root, key.c_str());
}
