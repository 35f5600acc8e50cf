// The step bodies of the run. The configuration and install steps arrive
// with the install engine; until then a run ends after reading its payload.
#include <windows.h>

#include "driver/installer_run.h"
#include "driver/run_state.h"
#include "driver/run_steps.h"

void SetStartupVariables() {}

void SetInstallerPathVariables(const std::string&, const std::string&, const std::string&) {}

int ShowRunMessage(const char* caption, const char* text, unsigned flags, bool shown_in_every_mode) {
  if (Run().silent && !shown_in_every_mode) return 0;
  return MessageBoxA(nullptr, text, caption, flags);
}

void ReportFatalError(const std::string& text) {
  Run().aborted = true;
  if (!Run().silent) MessageBoxA(nullptr, text.c_str(), "%FATAL_POPUP_TITLE%", MB_OK | MB_ICONERROR);
}

void HandleCommandLine(const std::string& command_line) {
  if (command_line.find("-silent") != std::string::npos) Run().silent = true;
}

int RunConfigurationStep() {
  Run().failed = true;
  ReportFatalError("Failed to decompress setup files!");
  return 2;
}

int RunInstallStep() { return 2; }
void RunFinishStep() {}
bool ValidateChoicesForRun() { return true; }
void FinishRun() {}
void StopRunThreads() {}
