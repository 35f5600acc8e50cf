// The step bodies of the run: the configuration step, the install step, the
// finish step and the clean-up after the loop. The wizard pages are not part
// of this file: until they exist an interactive run takes the same path as a
// silent one, except that its message boxes are shown.
#include <windows.h>
#include <shellapi.h>

#include "config/builtin_variables.h"
#include "config/defines_parser.h"
#include "config/expand.h"
#include "base/fatal_error.h"
#include "config/properties_parser.h"
#include "base/string_utils.h"
#include "driver/command_line.h"
#include "driver/installer_run.h"
#include "driver/run_state.h"
#include "driver/run_steps.h"
#include "driver/status_thread.h"
#include "driver/system_checks.h"
#include "driver/worker_threads.h"
#include "engine/install_config.h"
#include "engine/install_log.h"
#include "engine/install_worker.h"

namespace {

constexpr int kResultNext = 1014;
constexpr int kResultFinishLaunch = 6;

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
    HMODULE library = LoadLibraryA(library_name);
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
  for (DefinesParser* store : {&MainVariables(), &DefinesRecord()}) {
    if (!store->ParseFile(defines_file)) {
      ShowFatalError(Widen(store->ErrorText()));
      return false;
    }
  }
  for (const std::string& text : Run().attachedTexts) {
    for (DefinesParser* store : {&MainVariables(), &DefinesRecord()}) {
      if (!store->ParseText(text)) {
        ShowFatalError(u"Attached Defines: " + Widen(store->ErrorText()));
        return true;
      }
    }
  }
  return true;
}

void CheckDirectX() {
  if (GetDirectXVersion() >= kMinimumDirectXVersion) return;
  if (!Run().silent &&
      ShowMessage(Expand(u"%DX_UPGRADE_TITLE%", true), Expand(u"%DX_UPGRADE_TEXT%", true), MB_OKCANCEL) == IDOK)
    ShellExecuteA(nullptr, "open", kDirectXDownloadPage, nullptr, nullptr, SW_SHOWNORMAL);
  EndRunEarly(kExitDirectXTooOld);
}

// A product that must already be installed: its folder becomes the install
// folder, or the run ends with exit code 300 when it is not there.
void CheckRequiredInstallation() {
  const BrioCommon::InstallConfigParser& config = InstallConfig();
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

}  // namespace

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
  // The preparation window belongs to the wizard; every run waits here.
  WaitForWorker();
  const int result = kResultNext;
  if (run.failed) {
    if (run.aborted) return result;
    ShowFatalError(u"Failed to decompress setup files!");
  }
  if (run.aborted) return result;

  BrioCommon::PropertiesParser& properties = PropertyTable();
  if (!properties.ParseFile(run.tempFolder + "\\props.xml")) {
    if (!run.silent)
      ShowMessage(Expand(u"%INSTALL_ERROR%", true), u"Properties file error: '" + Widen(properties.ErrorText()) + u"'",
                  MB_OK | MB_ICONERROR);
    run.aborted = true;
    run.fatalErrorShown = true;
    return result;
  }
  CopyPropertyStrings(properties, MainVariables());

  BrioCommon::InstallConfigParser& config = InstallConfig();
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
  DefinesRecord().SetVariable(u"InstallPath", install_path);
  DefinesRecord().SetVariable(u"InstallGroup", install_group);

  run.entryPrefix = "files\\";
  std::string destination = Narrow(Expand(install_path, true));
  if (!destination.empty() && destination.back() != '\\' && destination.back() != '/') destination += '\\';
  run.destinationFolder = destination;
  run.extractedFiles.clear();
  StartInstallWorker();
  // The progress page belongs to the wizard; every run waits here.
  WaitForWorker();
  return kResultNext;
}

void RunFinishStep() {
  FinishInstallLog();
  RunState& run = Run();
  if (run.silent) return;
  // Only the progress-only mode launches without asking; the finish page,
  // which asks, belongs to the wizard.
  const int result = run.progressOnly ? kResultFinishLaunch : 0;
  const std::string& run_exe = InstallConfig().RunExe;
  if (result != kResultFinishLaunch || run_exe.empty()) return;
  const std::string exe = Narrow(Expand(Widen(run_exe), true));
  const std::string folder = GetDirectory(exe);
  ShellExecuteA(nullptr, "open", exe.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}

bool ValidateChoicesForRun() { return true; }

void FinishRun() {
  if (IsInstallLogOpen()) FinishInstallLog();
  if (!Run().aborted) Expand(u"%PostEval%", true);
  for (const std::string& resource : InstallConfig().TemporaryInstallResources)
    DeleteFileA(Narrow(Expand(Widen(resource), true)).c_str());
}

void StopRunThreads() { StopStatusThread(); }
