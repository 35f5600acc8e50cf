// The pieces of the run that the step loop calls: variables, messages, the
// command line, the configuration, install and finish steps, and the
// clean-up after the loop. Windows only.
#pragma once
#include <string>

#include "engine/install_verify.h"

// Built-in variables and default strings, before anything else is read.
void SetStartupVariables();
// InstallerExePath, InstallerExeDir and TempInstallerDir.
void SetInstallerPathVariables(const std::string& installer_path, const std::string& installer_dir,
                               const std::string& temp_folder);

// A message box with expanded caption and text; not shown in silent mode
// unless shown_in_every_mode. Returns the button pressed (0 when not shown).
int ShowRunMessage(const char* caption, const char* text, unsigned flags, bool shown_in_every_mode);
// The fatal error path: message (unless silent) and the aborted flag.
void ReportFatalError(const std::string& text);

// Options of the command line, then the status thread when asked for.
void HandleCommandLine(const std::string& command_line);

// The rich edit library of the license page, before any page is created;
// released with the wizard's resources.
void LoadWizardControls();

// Steps of the loop; each returns the page result code.
int RunConfigurationStep();
int RunWelcomeStep();
int RunOptionsStep();
int RunLicenseStep();
int RunInstallStep();
// Extracts the run's entry prefix into its destination folder (the run's
// entry selection applies) on a worker thread, watched by the progress page
// unless silent; the failed flag tells how it went.
void RunSelectedExtraction();
// The store selection page, after the install, when there are retailers.
int RunStoreSelectionStep();
void RunFinishStep();
// -verify, after the configuration step: checks the installed game against
// its manifest, shows the result (a window, or a message box for a refusal)
// or, when silent, writes the report; sets the exit code.
void RunVerifyStep();
// The exit code of a -verify or -repair run refused for this reason
// (engine/install_verify.h); 0 for none.
int RefusalExitCode(VerifyRefusal refusal);
// Checks the user's choices when the loop reaches the license step; shows
// the reason of a refusal unless silent.
bool ValidateChoicesForRun();
// The aborted page, after a cancelled or failed run (not when silent or
// after the property table's own message).
void ShowAbortedPageIfDue();
// The wizard's shared resources and controls, at the end of the run.
void ReleaseWizard();

// After the loop: the install log, PostEval, temporary resources, the
// aborted page.
void FinishRun();
// The status thread, last of all.
void StopRunThreads();
