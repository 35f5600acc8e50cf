// Shared set-up of the install action tests under Windows: a silent run
// (fatal errors are recorded, not shown), a fresh install job of the test's
// own (empty configuration, variables and log) over the driver's context,
// and the install log lines each test appends. The actions are run on that
// job through the members of the same names.
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
#include "engine/install_job.h"

class ActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConnectRunHandlers();
    wasSilent_ = ::Run().silent;
    ::Run().silent = true;
    ::Run().aborted = false;
    ::Run().commandLineRegValues.clear();
    ::Run().fileAssociations = true;
    previous_ = SetFatalErrorObserver([this](const WString& message) { errors_.push_back(Narrow(message)); });
    logMark_ = job_.log.Text().size();
  }
  void TearDown() override {
    ::Run().commandLineRegValues.clear();
    ::Run().fileAssociations = true;
    SetFatalErrorObserver(previous_);
    ::Run().aborted = false;
    ::Run().silent = wasSilent_;
  }

  void SetVariable(const char* name, const std::string& value) { variables_.SetVariable(Widen(name), Widen(value)); }

  // The test's configuration and the actions, run on the test's job.
  BrioCommon::InstallConfigParser& InstallConfig() { return job_.config; }
  bool RunExecList(const std::vector<ExecRecord>& list) { return ::RunExecList(job_, list); }
  bool GrantPermissions() { return ::GrantPermissions(job_); }
  bool RegisterGameExplorer() { return ::RegisterGameExplorer(job_); }
  bool WriteRegistry() { return ::WriteRegistry(job_); }
  bool CreateShortcuts() { return ::CreateShortcuts(job_); }
  bool CreateFileAssociations() { return ::CreateFileAssociations(job_); }
  bool IsSharedShortcutIcon(const std::string& path) const { return ::IsSharedShortcutIcon(job_, path); }
  bool IsExecPhase() const { return job_.exec.Phase(); }
  WString ExecMessage() const { return job_.exec.Message(); }

  // The log lines appended since the test began, narrowed.
  std::vector<std::string> LogLines() const {
    std::string text = Narrow(job_.log.Text().substr(logMark_));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

  const std::vector<std::string>& Errors() const { return errors_; }

  DefinesParser variables_;
  InstallJob job_{RunInstallContext(), variables_};

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
