#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <set>
#include <string>

#include "cabinet/cab_extract.h"
#include "config/expand.h"
#include "base/fatal_error.h"
#include "base/string_utils.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "engine/install_manifest.h"
#include "engine/install_worker.h"

namespace {

// Extracts files\ and, after one failure, asks the user and tries once more.
// Sets the failed flag when the files could not be extracted in the end.
bool ExtractProductFiles(InstallJob& job) {
  InstallContext& run = job.context;
  run.SetExtractionFailed(false);
  int retry = 0;
  for (;;) {
    const ExtractionResult result = ExtractCabinet(run.ProductFiles(), run.Progress());
    if (result.ok()) return true;
    // A refused entry name is a broken installer, not a file in use: asking
    // to close the game and trying again would only fail the same way.
    // The message quotes the entry's name as the cabinet has it: shown as
    // it is, never expanded ("%...%" in a name is no reference).
    if (result.entryRefused()) {
      ShowFatalError(LiteralForExpand(Widen(result.error)));
      break;
    }
    // A volume the user could not supply was asked about already (Retry
    // or Cancel): the run ends, with the reason in the log.
    if (result.volumeFailed()) {
      job.log.AppendElement(1, "InstallError", Widen(result.error), LogValue::Escaped);
      break;
    }
    if (retry == 1) break;
    retry = 1;
    if (run.AskProductNotRunning() != IDOK) break;
    run.SetExtractionFailed(false);
  }
  run.SetExtractionFailed(true);
  return false;
}

// Opens the install log file and puts the copy of the property table beside it. The
// two are tried independently; each failure is fatal for the install.
bool OpenLogFile(InstallJob& job, const std::string& log_path) {
  bool ok = true;
  const std::string parent = GetDirectory(log_path);
  if (!parent.empty()) MakeDirectories(parent);
  if (!job.log.OpenFile(log_path)) {
    ShowFatalError(u"Failed to Create Install Log '" + LiteralForExpand(Widen(log_path)) + u"'");
    ok = false;
  }
  const std::string source = job.context.PropertiesFile();
  if (!CopyFileA(source.c_str(), PropertiesCopyPathFor(log_path).c_str(), FALSE)) {
    ShowFatalError(u"Failed to copy properties file");
    ok = false;
  }
  return ok;
}

// The manifest beside the log, in the state given; true when a manifest is
// on disk afterwards (the log then lists it). An installer without file
// hashes, or a run without a log, leaves none; one that cannot be written
// does not stop the install: -verify then finds none.
bool WriteProductManifest(InstallJob& job, const std::string& log_path, ManifestState state) {
  InstallManifest manifest;
  if (log_path.empty() || !job.log.HasFile() || !job.context.ProductManifest(&manifest)) return false;
  manifest.state = state;
  const std::string path = ManifestPathFor(log_path);
  return WriteManifestFile(path, FormatManifest(manifest)) == ManifestWriteError::kNone || FileExists(path);
}

// The registration steps after the files are in place; false stops the
// install at the failing step.
bool RegisterProduct(InstallJob& job) {
  RegisterGameExplorer(job);  // its failures are silent and do not stop the install
  if (!WriteRegistry(job)) return false;
  if (!CreateShortcuts(job)) return false;
  if (!CreateFileAssociations(job)) return false;
  job.log.AppendUninstallExecs(job.config, job.variables);
  return RunExecList(job, job.config.PostExec);
}

// COM on the worker's thread, started before the first step that creates
// COM objects or may (the exec lists' programs and library functions, the
// Game Explorer, shortcuts, the shell told of new icons) and never for an
// install without them: starting it makes the thread a hidden window, and
// under Wine the first window of a session starts the desktop process,
// seconds under emulation.
class WorkerCom {
 public:
  WorkerCom() = default;
  WorkerCom(const WorkerCom&) = delete;
  WorkerCom& operator=(const WorkerCom&) = delete;
  ~WorkerCom() {
    if (initialized_) CoUninitialize();
  }
  void Start() {
    if (started_) return;
    started_ = true;
    initialized_ = SUCCEEDED(CoInitialize(nullptr));
  }

 private:
  bool started_ = false;
  bool initialized_ = false;
};

bool RegistrationUsesCom(const BrioCommon::InstallConfiguration& config) {
  return !config.GameExplorer.empty() || !config.Shortcuts.empty() || !config.FileAssociations.empty() ||
         !config.PostExec.empty();
}

}  // namespace

bool InstallWorker(InstallJob& job) {
  InstallContext& run = job.context;
  BrioCommon::InstallConfigParser& config = job.config;
  InstallLog& log = job.log;

  WorkerCom com;
  if (!config.PreExec.empty()) com.Start();

  bool ok = RunExecList(job, config.PreExec);
  const std::string log_path = job.ExpandText(config.InstallLog);
  GrantPermissions(job);
  if (!log_path.empty() && !OpenLogFile(job, log_path)) ok = false;
  log.AppendHeader(config, job.variables);

  if (ok) {
    bool manifest = WriteProductManifest(job, log_path, ManifestState::kIncomplete);
    ok = ExtractProductFiles(job);
    if (ok && manifest) manifest = WriteProductManifest(job, log_path, ManifestState::kComplete);
    // Whatever either attempt wrote is logged, so that the uninstaller can
    // remove it; a file written by both attempts appears twice.
    const std::set<std::string> shared_icons = SharedShortcutIcons(job);
    for (const std::string& path : run.KeptFiles())
      if (!shared_icons.count(path)) log.AppendFile(path);
    for (const std::string& path : run.ExtractedFiles())
      if (!shared_icons.count(path)) log.AppendFile(path);
    if (manifest) log.AppendFile(ManifestPathFor(log_path));
    if (ok && RegistrationUsesCom(config)) com.Start();
    if (ok) ok = RegisterProduct(job);
  }

  if (job.iconsChanged) RefreshShellIcons();
  run.SetAborted(!ok);
  return ok;
}

bool RefreshShellIcons() {
  if (!IsWin9x()) {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return true;
  }
  // Windows 9x rebuilds its icon cache when the shell icon size changes:
  // set it to twice its value, tell every window, then put it back.
  static const char kKey[] = "Control Panel\\Desktop\\WindowMetrics";
  static const char kValue[] = "Shell Icon Size";
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  BYTE original[512];
  DWORD length = sizeof original;
  LONG status = RegQueryValueExA(key, kValue, nullptr, nullptr, original, &length);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || length == 0) return false;
  int size = 0;
  if (!StringToInt(std::string(reinterpret_cast<const char*>(original), length - 1), &size)) return false;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
  const std::string doubled = StrFormat("%d", size * 2);
  if (RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(doubled.data()),
                     static_cast<DWORD>(doubled.size())) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;
  }
  SendMessageA(HWND_BROADCAST, WM_WININICHANGE, SPI_SETNONCLIENTMETRICS, 0);
  RegSetValueExA(key, kValue, 0, REG_SZ, original, length);
  RegCloseKey(key);
  SendMessageA(HWND_BROADCAST, WM_WININICHANGE, SPI_SETNONCLIENTMETRICS, 0);
  return true;
}
