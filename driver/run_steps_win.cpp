// The step bodies of the run: the configuration step, the page steps, the
// install step, the finish step and the clean-up after the loop. The pages
// get what they read from the run through the wizard's small structures
// (PageBase, OptionsChoices, WorkerView), filled here.
#include <windows.h>
#include <shellapi.h>

#include "config/builtin_variables.h"
#include "config/defines_parser.h"
#include "config/expand.h"
#include "base/fatal_error.h"
#include "config/properties_parser.h"
#include "base/library_loading.h"
#include "base/string_utils.h"
#include "driver/command_line.h"
#include "driver/installer_run.h"
#include "driver/run_handlers.h"
#include "driver/run_prompts_win.h"
#include "driver/run_repair.h"
#include "config/property_languages.h"
#include "base/system_seam.h"
#include "driver/run_language.h"
#include "driver/run_state.h"
#include "driver/run_steps.h"
#include "driver/status_thread.h"
#include "driver/system_checks.h"
#include "driver/worker_threads.h"
#include "cabinet/cab_extract.h"
#include "engine/desktop_launch.h"
#include "engine/external_programs.h"
#include "engine/install_job.h"
#include "engine/install_worker.h"
#include "wizard/install_choices.h"
#include "engine/install_actions.h"
#include "wizard/pages_win.h"
#include "wizard/rich_edit_license_win.h"
#include "wizard/shell_names_win.h"

namespace {

constexpr int kResultNext = kPageNext;
constexpr int kResultFinishLaunch = kPageDoneLaunch;

// The wizard's shared resources and the position the last page closed at.
WizardResources g_wizard;
PagePosition g_pagePosition;
// The license's rich edit control, for the whole run.
RichEditLicenseControl* g_licenseControl = nullptr;
// What the counting pass of the configuration extraction found the whole
// cabinet needs on disk.
int64_t g_requiredSpace = 0;

PageBase Pages() {
  PageBase base;
  base.resources = &g_wizard;
  base.aborted = &Run().aborted;
  base.silent = Run().silent;
  base.position = &g_pagePosition;
  return base;
}

WorkerView Worker() {
  RunState& run = Run();
  WorkerView view;
  view.done = &run.done;
  view.failed = &run.failed;
  view.overallPercent = &run.overallPercent;
  view.filePercent = &run.filePercent;
  view.currentFileName = [] { return Run().currentFileName.Get(); };
  view.askEvent = static_cast<HANDLE>(run.askEvent);
  view.answerEvent = static_cast<HANDLE>(run.answerEvent);
  view.promptAnswer = &run.promptAnswer;
  view.prompt = RunWorkerPrompt;
  view.exec = &RunJob().exec;
  return view;
}

// A page that could not be created cannot ask anything: the run stops as
// if it had been cancelled (showing it again would fail the same way).
int AskedResult(int result) { return result == kPageFailed ? kPageCancel : result; }

// The windows that only watch a worker: when they cannot be shown the
// driver waits for the worker itself.
int WatchWorker(int result) {
  if (result != kPageFailed) return result;
  WaitForWorker();
  return kResultNext;
}

// Where the DirectX message sends the user when asked to.
constexpr char kDirectXDownloadPage[] = "http://www.microsoft.com/directx/";

int ShowMessage(const WString& caption, const WString& text, unsigned flags) {
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), flags);
}

// The exits that end the process before the step loop is done. The
// temporary folder already holds the extracted configuration; it is removed
// so that no exit leaves it behind in TMP.
[[noreturn]] void EndRunEarly(int exit_code) {
  DeleteTree(Run().tempFolder);
  ExitProcess(static_cast<UINT>(exit_code));
}

// The common application data folder, from shell32 or, where it lacks the
// call, from shfolder.dll; empty when neither has it.
std::string CommonAppDataFolder() {
  using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  constexpr int kCommonAppData = 35;  // CSIDL_COMMON_APPDATA
  for (const char* library_name : {"shell32.dll", "shfolder.dll"}) {
    HMODULE library = static_cast<HMODULE>(LoadSystemLibrary(library_name));
    if (!library) continue;
    auto get_folder_path =
        reinterpret_cast<GetFolderPathFn>(reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
    if (!get_folder_path) {
      FreeLibrary(library);
      continue;
    }
    char path[MAX_PATH + 1] = {};
    std::string folder;
    if (SUCCEEDED(get_folder_path(nullptr, kCommonAppData, nullptr, 0, path))) folder = path;
    FreeLibrary(library);
    return folder;
  }
  return std::string();
}

// Reads defines.xml into the main store and the record, then the defines
// texts attached to the payload. False when defines.xml failed (the turn
// ends); a failed attached text only stops the list.
bool LoadDefines(const std::string& config_folder) {
  const std::string defines_file = config_folder + "defines.xml";
  InstallJob& job = RunJob();
  for (DefinesParser* store : {&job.variables, &job.defines}) {
    if (!store->ParseFile(defines_file)) {
      ShowFatalError(Widen(store->ErrorText()));
      return false;
    }
  }
  for (const std::string& text : Run().attachedTexts) {
    for (DefinesParser* store : {&job.variables, &job.defines}) {
      if (!store->ParseText(text)) {
        ShowFatalError(u"Attached Defines: " + Widen(store->ErrorText()));
        return true;
      }
    }
  }
  return true;
}

void CheckDirectX() {
  if (MachineHasDirectX(kMinimumDirectXVersion)) return;
  if (!Run().silent &&
      ShowMessage(Expand(u"%DX_UPGRADE_TITLE%", true), Expand(u"%DX_UPGRADE_TEXT%", true), MB_OKCANCEL) == IDOK)
    ShellExecuteA(nullptr, "open", kDirectXDownloadPage, nullptr, nullptr, SW_SHOWNORMAL);
  EndRunEarly(kExitDirectXTooOld);
}

// A product that must already be installed: its folder becomes the install
// folder, or the run ends with exit code 300 when it is not there.
void CheckRequiredInstallation() {
  const BrioCommon::InstallConfigParser& config = RunJob().config;
  if (config.InstallLocation.empty()) return;
  const WString location = Expand(Widen(config.InstallLocation), true);
  const WString file = Expand(Widen(config.FileNameAppend), true);
  if (!FileExists(RemoveTrailingSlash(location) + u"\\" + file)) {
    if (!Run().silent)
      ShowMessage(Expand(u"%REQUIRED_INSTALL_DOES_NOT_EXIST_TITLE%", true),
                  Expand(u"%REQUIRED_INSTALL_DOES_NOT_EXIST_TEXT%", true), MB_OK | MB_ICONERROR);
    EndRunEarly(kExitRequiredInstallMissing);
  }
  MainVariables().SetVariable(u"InstallPath", location);
  Run().changeSettings = false;
}

// The language table the run wants, over the default texts already in the
// main store; a forced language the installer lacks gets a note in the
// install log. False with the reader's error when the table is malformed.
bool LoadLanguageTable(const BrioCommon::PropertiesParser& defaults, std::string* error) {
  RunState& run = Run();
  const LanguageChoice choice =
      ChooseRunLanguage(run.extractedFiles, run.tempFolder, run.forcedLanguage, seam::UserUiLanguage());
  if (!choice.note.empty()) RunJob().log.AddNote(Widen(choice.note));
  if (choice.tag.empty()) return true;
  const std::string merged = run.tempFolder + "\\_props.xml";
  bool merged_written = false;
  if (!ApplyLanguageTable(run.tempFolder + "\\" + TableNameOfLanguage(choice.tag), defaults, MainVariables(), merged,
                          &merged_written, error))
    return false;
  if (merged_written) run.propertiesFile = merged;
  return true;
}

}  // namespace

PageBase RunPages() { return Pages(); }

void SetStartupVariables() { SetBuiltinVariables(); }

void SetInstallerPathVariables(const std::string& installer_path, const std::string& installer_dir,
                               const std::string& temp_folder) {
  MainVariables().SetVariable(u"InstallerExePath", Widen(installer_path));
  MainVariables().SetVariable(u"InstallerExeDir", Widen(installer_dir));
  MainVariables().SetVariable(u"TempInstallerDir", Widen(temp_folder));
}

int ShowRunMessage(const char* caption, const char* text, unsigned flags, bool shown_in_every_mode) {
  if (Run().silent && !shown_in_every_mode) return 0;
  return ShowMessage(Expand(Widen(caption), true), Expand(Widen(text), true), flags);
}

void ReportFatalError(const std::string& text) { ShowFatalError(Widen(text)); }

void HandleCommandLine(const std::string& command_line) {
  ParseCommandLine(command_line);
  StartStatusThread();
}

int RunConfigurationStep() {
  RunState& run = Run();
  run.entryPrefix = "cfg\\";
  run.destinationFolder = run.tempFolder + "\\";
  StartConfigExtraction();
  int result = kResultNext;
  if (run.silent || run.progressOnly)
    WaitForWorker();
  else
    result = WatchWorker(RunPreparationWindow(Pages(), Worker()));
  g_requiredSpace = CabinetRequiredSpace();
  if (run.failed) {
    if (run.aborted) return result;
    ShowFatalError(u"Failed to decompress setup files!");
  }
  if (run.aborted) return result;

  BrioCommon::PropertiesParser properties;  // read into the variables below
  std::string properties_error;
  bool properties_ok = properties.ParseFile(run.tempFolder + "\\props.xml");
  if (properties_ok) {
    CopyPropertyStrings(properties, MainVariables());
    properties_ok = LoadLanguageTable(properties, &properties_error);
  } else {
    properties_error = properties.ErrorText();
  }
  if (!properties_ok) {
    if (!run.silent)
      ShowMessage(Expand(u"%INSTALL_ERROR%", true), u"Properties file error: '" + Widen(properties_error) + u"'",
                  MB_OK | MB_ICONERROR);
    run.aborted = true;
    run.fatalErrorShown = true;
    return result;
  }
  if (!run.silent)
    g_wizard = CreateWizardResources(run.destinationFolder, static_cast<HICON>(run.iconLarge),
                                     static_cast<HICON>(run.iconSmall));

  BrioCommon::InstallConfigParser& config = RunJob().config;
  if (!config.ParseFile(run.destinationFolder + "install.xml")) {
    ShowFatalError(Widen(config.GetErrorText()));
    return result;
  }
  MainVariables().SetVariable(u"ProgramDataFolder",
                              Widen((IsVista() ? CommonAppDataFolder() : std::string()) + "\\" + config.AppDataSuffix));
  // The command line's InstallPath, carried across the defines load.
  run.savedInstallPath = Narrow(Expand(u"%InstallPath%", true));

  if (!LoadDefines(run.destinationFolder)) return result;
  MainVariables().SetVariable(u"MinDXVer", u"3.0");
  CheckDirectX();
  if (run.pathGiven) MainVariables().SetVariable(u"InstallPath", Widen(run.savedInstallPath));
  CheckRequiredInstallation();

  run.savedInstallPath = Narrow(MainVariables().GetVariable(u"InstallPath"));
  run.savedInstallGroup = Narrow(MainVariables().GetVariable(u"InstallGroup"));
  Expand(u"%PreEval%", true);
  return result;
}

int RunInstallStep() {
  RunState& run = Run();
  DefinesParser& variables = MainVariables();
  const WString install_path = variables.GetVariable(u"InstallPath");
  const WString install_group = variables.GetVariable(u"InstallGroup");
  variables.SetVariable(u"AppFolder", Widen(RemoveTrailingSlash(Narrow(variables.GetVariable(u"CommonProgramGroup")) +
                                                                "\\" + Narrow(install_group))));
  RunJob().defines.SetVariable(u"InstallPath", install_path);
  RunJob().defines.SetVariable(u"InstallGroup", install_group);

  run.entryPrefix = "files\\";
  std::string destination = Narrow(Expand(install_path, true));
  if (!destination.empty() && destination.back() != '\\' && destination.back() != '/') destination += '\\';
  run.destinationFolder = destination;
  run.extractedFiles.clear();
  PrepareResume();
  StartInstallWorker(RunJob());
  if (run.silent) {
    WaitForWorker();
    return kResultNext;
  }
  return WatchWorker(RunProgressPage(Pages(), Worker()));
}

void RunSelectedExtraction() {
  StartConfigExtraction();
  if (Run().silent)
    WaitForWorker();
  else
    WatchWorker(RunProgressPage(Pages(), Worker()));
}

void LoadWizardControls() {
  g_licenseControl = new RichEditLicenseControl();
}

int RunLicenseStep() {
  RunState& run = Run();
  if (run.silent || run.progressOnly) return kResultNext;
  const std::string path = run.tempFolder + "\\" + Narrow(MainVariables().GetVariable(u"LICENSE_TXT_FILENAME"));
  return AskedResult(RunLicensePage(Pages(), path, g_licenseControl));
}

int RunStoreSelectionStep() {
  RunState& run = Run();
  BrioCommon::InstallConfigParser& config = RunJob().config;
  if (config.Retailers.empty() || run.silent || run.progressOnly) return kResultNext;
  StoreChoices choices;
  choices.config = &config;
  choices.configFolder = run.tempFolder + "\\";
  choices.initialString = Narrow(MainVariables().GetVariable(u"STORESELECT_INITIAL_STRING"));
  choices.createShortcuts = [] { CreateShortcuts(RunJob()); };
  // The page has no Cancel of its own: whatever ends it, the run goes on.
  RunStoreSelectionPage(Pages(), choices);
  return kResultNext;
}

int RunWelcomeStep() {
  if (Run().silent || Run().progressOnly) return kResultNext;
  return AskedResult(RunWelcomePage(Pages(), Run().changeSettings));
}

int RunOptionsStep() {
  RunState& run = Run();
  if (run.silent || run.progressOnly) return kResultNext;
  OptionsChoices choices;
  choices.variables = &MainVariables();
  choices.withFileAssociation = !RunJob().config.FileAssociations.empty();
  choices.fileAssociation = &run.fileAssociations;
  choices.savedInstallPath = run.savedInstallPath;
  choices.savedInstallGroup = run.savedInstallGroup;
  return AskedResult(RunOptionsPage(Pages(), choices));
}

void RunFinishStep() {
  InstallJob& job = RunJob();
  job.log.Finish(job.defines);
  RunState& run = Run();
  if (run.silent) return;
  const std::string& run_exe = job.config.RunExe;
  const int result = run.progressOnly ? kResultFinishLaunch
                                      : RunFinishPage(Pages(), FindReadme(run.tempFolder, MainVariables()),
                                                      !run_exe.empty());
  if (result != kResultFinishLaunch || run_exe.empty()) return;
  const std::string exe = Narrow(Expand(Widen(run_exe), true));
  const std::string folder = GetDirectory(exe);
  // As the desktop's user where the run is elevated: the game never runs
  // with the installer's rights.
  OpenAsDesktopUser(exe, folder);
}

bool ValidateChoicesForRun() {
  ChoiceInputs inputs;
  inputs.freeSpace = GetFreeDiskSpace;
  inputs.toFileSystemPath = FileSystemPathOf;
  inputs.requiredSpace = g_requiredSpace;
  const ChoiceFault fault = ValidateInstallChoices(MainVariables(), inputs);
  if (fault == ChoiceFault::kNone) return true;
  if (!Run().silent) {
    const ChoiceMessage message = MessageFor(fault);
    ShowExpandedError(message.caption, message.text);
  }
  return false;
}

void ShowAbortedPageIfDue() {
  const RunState& run = Run();
  if (run.aborted && !run.fatalErrorShown && !run.silent) RunAbortedPage(Pages());
}

void ReleaseWizard() {
  ReleaseWizardResources(&g_wizard);
  delete g_licenseControl;
  g_licenseControl = nullptr;
}

void FinishRun() {
  InstallJob& job = RunJob();
  if (job.log.HasFile()) job.log.Finish(job.defines);
  if (!Run().aborted && Run().mode == RunMode::kInstall) Expand(u"%PostEval%", true);
  for (const std::string& resource : job.config.TemporaryInstallResources)
    DeleteFileA(Narrow(Expand(Widen(resource), true)).c_str());
}

void StopRunThreads() { StopStatusThread(); }
