// -verify: the installed game checked against the manifest its install left
// beside the install log, found through the configuration as an install
// would (InstallPath from the defines, or the folder given with the option).
// Nothing is written but the report of a silent run.
#include <windows.h>

#include "base/string_utils.h"
#include "config/defines_parser.h"
#include "config/expand.h"
#include "driver/installer_run.h"
#include "driver/run_handlers.h"
#include "driver/run_prompts_win.h"
#include "driver/run_state.h"
#include "driver/run_steps.h"
#include "engine/install_job.h"
#include "engine/install_verify.h"

namespace {

struct RefusalExit {
  VerifyRefusal refusal;
  int exitCode;
};
const RefusalExit kRefusalExits[] = {
    {VerifyRefusal::kNoFileHashes, kExitVerifyNoFileHashes},
    {VerifyRefusal::kNoInstallLog, kExitVerifyNoManifest},
    {VerifyRefusal::kManifestMissing, kExitVerifyNoManifest},
    {VerifyRefusal::kManifestDamaged, kExitVerifyDamaged},
    {VerifyRefusal::kOtherInstaller, kExitVerifyOtherInstaller},
    {VerifyRefusal::kFolderGone, kExitVerifyFolderGone},
};

}  // namespace

int RefusalExitCode(VerifyRefusal refusal) {
  for (const RefusalExit& r : kRefusalExits)
    if (r.refusal == refusal) return r.exitCode;
  return kExitDone;
}

namespace {

int ExitCodeOf(const ManifestCheck& check, const VerifyReport& report) {
  if (check.refusal != VerifyRefusal::kNone) return RefusalExitCode(check.refusal);
  return report.clean() ? kExitDone : kExitVerifyDifferences;
}

// The window's texts, unless the configuration's property table has its own.
struct DefaultText {
  const char16_t* id;
  const char16_t* text;
};
const DefaultText kDefaultTexts[] = {
    {u"VERIFY_DIALOG_TITLE", u"Check Installed Files"},
    {u"VERIFY_DIALOG_LINE1", u"Installed Files"},
    {u"BUTTON_DONE", u"Done"},
};

// "<installer without .exe>_verify_report.txt" beside the installer.
std::string DefaultReportPath(const std::string& installer_path) {
  const size_t separator = installer_path.find_last_of("\\/");
  const size_t dot = installer_path.rfind('.');
  const bool has_extension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
  return (has_extension ? installer_path.substr(0, dot) : installer_path) + "_verify_report.txt";
}

bool WriteReport(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(file);
  return ok;
}

std::string Summary(const InstallManifest& manifest, const VerifyReport& report) {
  if (report.clean())
    return StrFormat("All %u files of the game are as they were installed.", static_cast<unsigned>(manifest.files.size()));
  return StrFormat("%u of %u files are missing or changed:",
                   static_cast<unsigned>(report.missing.size() + report.changed.size()),
                   static_cast<unsigned>(manifest.files.size()));
}

std::string Listing(const VerifyReport& report) {
  std::string list;
  for (const std::string& path : report.missing) list += "Missing: " + path + "\n";
  for (const std::string& path : report.changed) list += "Changed: " + path + "\n";
  return list;
}

}  // namespace

void RunVerifyStep() {
  RunState& run = Run();
  const std::string log_path = RunJob().ExpandText(RunJob().config.InstallLog);
  const std::string install_folder = Narrow(Expand(MainVariables().GetVariable(u"InstallPath"), true));
  InstalledFiles& files = SystemInstalledFiles();
  const ManifestCheck check = LoadInstallManifest(run.installerId, log_path, install_folder, files);
  VerifyReport report;
  if (check.refusal == VerifyRefusal::kNone) report = VerifyInstall(check.manifest, files);
  run.exitCode = ExitCodeOf(check, report);

  if (run.silent) {
    WriteReport(run.reportPath.empty() ? DefaultReportPath(run.installerPath) : run.reportPath,
                FormatVerifyReport(check, report));
    return;
  }
  for (const DefaultText& t : kDefaultTexts)
    if (MainVariables().GetVariable(t.id).empty()) MainVariables().SetVariable(t.id, t.text);
  if (check.refusal != VerifyRefusal::kNone) {
    std::string text = VerifyRefusalText(check.refusal, check.manifestPath);
    if (check.refusal == VerifyRefusal::kManifestDamaged) text += std::string(" (") + ManifestErrorText(check.error) + ")";
    const WString caption = Expand(u"%VERIFY_DIALOG_TITLE%", true);
    const WString wide = Widen(text);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), reinterpret_cast<const wchar_t*>(caption.c_str()),
                MB_OK | MB_ICONERROR);
    return;
  }
  RunVerifyPage(RunPages(), Summary(check.manifest, report), Listing(report));
}
