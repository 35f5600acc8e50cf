// The run of the installer: start-up, step loop and clean-up.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

#include "base/private_folder.h"
#include "base/string_utils.h"
#include "driver/installer_run.h"
#include "driver/payload.h"
#include "driver/run_handlers.h"
#include "driver/run_repair.h"
#include "driver/run_state.h"
#include "driver/run_steps.h"
#include "driver/system_checks.h"
#include "resources/resource_ids.h"

namespace {

// The folder the temporary folder goes in: the one TMP names, else the
// current folder.
std::string TemporaryFolderBase() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = GetEnvironmentVariableA("TMP", buffer, sizeof buffer);
  if (n > 0 && n < sizeof buffer) {
    DWORD attributes = GetFileAttributesA(buffer);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return buffer;
  }
  n = GetCurrentDirectoryA(sizeof buffer, buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer) : std::string();
}

// The run's temporary folder: "zelcfg" + number, new, made here (which also
// makes the name ours against a concurrent run), restricted to SYSTEM and
// the Administrators when the run is elevated. When none can be made the
// run stops: a folder somebody else made is never used, nor deleted.
std::string MakeTemporaryFolder() {
  const std::string base = TemporaryFolderBase();
  const PrivateFolder folder = MakePrivateFolder(base, "zelcfg", RunsElevated());
  if (folder.error == PrivateFolderError::kNone) return folder.path;
  ReportFatalError("Unable to Create Temporary Folder in '" + base + "'");
  ExitProcess(kExitAborted);
}

void LoadWindowIcons() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  Run().iconLarge = LoadImageA(instance, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON,
                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0);
  Run().iconSmall = LoadImageA(instance, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON,
                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
}

void ReadOperatingSystemVersion() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(&info)) Run().ansiWindows = info.dwMajorVersion <= 4;
}

// Result codes of the pages (and of the silent replacements).
constexpr int kResultCancel = IDC_CANCEL;
constexpr int kResultBack = IDC_BACK;
constexpr int kResultNext = IDC_NEXT;

}  // namespace

int RunInstaller(const std::string& command_line) {
  RunState& run = Run();
  ConnectRunHandlers();

  ReadOperatingSystemVersion();
  run.askEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  run.answerEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetStartupVariables();

  if (!IsAdministrator()) {
    ShowRunMessage("%INSTALL_ERROR%", "%ADMINISTRATOR_ACCOUNT_MESSAGE%", MB_OK | MB_ICONERROR, true);
    ExitProcess(kExitNotAdministrator);
  }

  HandleCommandLine(command_line);
  // What only windows use (the pages' icons, COM on this thread, the common
  // controls, the rich edit library) is not loaded for a silent run: under
  // Wine the first icon or window of a session starts the desktop process,
  // seconds under emulation. A message box of a silent run (the retry
  // prompt, the refusals shown in every mode) needs none of them.
  if (!run.silent) LoadWindowIcons();

  char module[256] = {};
  GetModuleFileNameA(nullptr, module, 255);
  run.installerPath = module;
  run.tempFolder = MakeTemporaryFolder();
  SetInstallerPathVariables(run.installerPath, InstallerDirFor(run.installerPath), run.tempFolder);
  run.payloadPath = PayloadPathFor(run.installerPath);

  {
    PayloadFile payload;
    if (!payload.Open(run.payloadPath)) {
      ReportFatalError("Unable to Open Installer Exe '" + run.payloadPath + "'");
      DeleteTree(run.tempFolder);
      ExitProcess(kExitCannotOpenPayload);
    }
    PayloadRecords records;
    if (!LocatePayload(payload, &records)) {
      ReportFatalError("Unable to Read Installer Data");
      DeleteTree(run.tempFolder);
      ExitProcess(kExitCannotReadPayload);
    }
    run.cabinetOffset = records.cabinetOffset;
    run.cabinetLength = records.cabinetLength;
    run.attachedTexts = std::move(records.attachedTexts);
    for (const VolumeEntry& v : records.volumeSet.volumes)
      run.volumes.push_back({v.name, static_cast<int64_t>(v.size), v.sha256});
    for (const JoinedFileEntry& j : records.volumeSet.joined) run.joinedFiles.push_back({j.name, j.parts});
    run.fileHashes = std::move(records.fileHashes);
    run.installerId = records.installerId;
  }

  bool com_initialized = false;
  if (!run.silent) {
    com_initialized = SUCCEEDED(CoInitialize(nullptr));
    if (!com_initialized) ShowRunMessage("%INSTALL_ERROR%", "%COINITIALIZE_FAILED%", MB_OK | MB_ICONWARNING, false);
    InitCommonControls();
    LoadWizardControls();
  }

  while (!run.aborted) {
    int result = kResultCancel;
    switch (run.step) {
      case RunStep::kConfiguration:
        result = RunConfigurationStep();
        break;
      case RunStep::kWelcome:
        result = RunWelcomeStep();
        // Next leads past the options to the license, Change Settings to
        // the options.
        run.step = RunStep::kOptions;
        break;
      case RunStep::kOptions:
        result = RunOptionsStep();
        break;
      case RunStep::kLicense:
        result = RunLicenseStep();
        break;
      case RunStep::kInstall:
        result = RunInstallStep();
        break;
      case RunStep::kStoreSelection:
        result = RunStoreSelectionStep();
        break;
      case RunStep::kFinish:
        RunFinishStep();
        break;
    }
    if (run.step == RunStep::kFinish) break;
    // A check of an installed game needs only the configuration.
    if (run.step == RunStep::kConfiguration && run.mode == RunMode::kVerify && result == kResultNext && !run.aborted) {
      RunVerifyStep();
      break;
    }
    // A repair shows no pages and runs no install actions.
    if (run.step == RunStep::kConfiguration && run.mode == RunMode::kRepair && result == kResultNext && !run.aborted) {
      RunRepairStep();
      break;
    }
    if (result == kResultNext) {
      run.step = NextStep(run.step);
    } else if (result == kResultBack) {
      run.step = PreviousStep(run.step);
    } else if (result == kResultCancel) {
      run.aborted = true;
    }
    if (run.step == RunStep::kLicense && !run.aborted && !ValidateChoicesForRun()) {
      // Without pages (silent, or only the progress page) there is no
      // options page to return to: the run ends.
      if (run.silent || run.progressOnly)
        run.aborted = true;
      else
        run.step = RunStep::kOptions;
    }
  }

  FinishRun();
  DeleteTree(run.tempFolder);
  if (run.aborted) {
    ShowAbortedPageIfDue();
    run.exitCode = kExitAborted;
  }

  if (!run.silent) {
    ReleaseWizard();
    if (run.iconLarge) DestroyIcon(static_cast<HICON>(run.iconLarge));
    if (run.iconSmall) DestroyIcon(static_cast<HICON>(run.iconSmall));
  }
  StopRunThreads();
  if (com_initialized) CoUninitialize();
  return run.exitCode;
}
