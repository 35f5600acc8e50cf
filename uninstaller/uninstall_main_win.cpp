// Uninstall.exe: undoes one installation from its install log.
//
// Exit codes: 0 everything removed, 1 removed in part (the report names
// what stayed), 2 nothing removed (log unreadable or refused, or a program
// before the removal failed), 3 the user said no.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>

#include "base/fatal_error.h"
#include "base/library_loading.h"
#include "config/builtin_variables.h"
#include "config/expand.h"
#include "config/defines_parser.h"
#include "uninstaller/uninstall_log.h"
#include "uninstaller/uninstall_options.h"
#include "uninstaller/uninstall_plan.h"
#include "uninstaller/uninstall_run.h"
#include "uninstaller/uninstall_system_win.h"
#include "uninstaller/uninstall_texts.h"
#include "uninstaller/uninstall_ui_win.h"

namespace {

std::string OwnFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return GetDirectory(std::string(buffer, length));
}

std::string FindLog(const UninstallOptions& options) {
  if (!options.logPath.empty()) return options.logPath;
  for (const std::string& name : DefaultLogNames()) {
    const std::string path = OwnFolder() + "\\" + name;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  }
  return OwnFolder() + "\\" + DefaultLogNames().front();
}

bool WriteReport(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

class Uninstaller {
 public:
  explicit Uninstaller(const UninstallOptions& options) : options_(options) {}

  int Run() {
    // Errors in the log's texts (an unknown define command, "#Fail") are
    // reported with the rest; only an interactive run shows them at once.
    SetFatalErrorHandler([this](const WString& message) {
      const WString text = Expand(message, true);
      result_.failures.push_back("text of the log: " + Narrow(text));
      if (!options_.silent) ShowMessage(caption_, text, true);
    });
    const std::string log_path = FindLog(options_);
    InstallLogEntries log;
    const LogReadResult read = ReadInstallLogFile(log_path, &log);
    texts_ = LoadUninstallTexts(log_path);
    install_name_ = log.installName;
    caption_ = log.installName.empty() ? texts_.Get(UninstallText::kCaptionUnnamed)
                                       : texts_.Get(UninstallText::kCaption, {{u"InstallName", log.installName}});
    if (read.error != LogReadError::None) return Fail(log_path, DescribeLogReadResult(read, log_path));

    SetBuiltinVariables();
    const std::string common_app_data = CommonAppDataPath();
    SetLogVariables(log, Widen(common_app_data), MainVariables());
    KnownLocations locations = MachineLocations(common_app_data, Narrow(log.appDataSuffix));
    AddShellFolderAreas(&locations);
    AddLogAreas(log_path, &locations);
    plan_ = BuildPlan(log, log_path, locations);
    if (!plan_.refusals.empty()) {
      std::string text = "The install log '" + log_path + "' names entries that may not be removed:\n";
      for (size_t i = 0; i < plan_.refusals.size() && i < 8; ++i) text += "\n" + plan_.refusals[i];
      text += "\n\nNothing was removed.";
      return Fail(log_path, text);
    }

    if (!RunPreExecs(plan_, false, *NoProgress(), &result_)) return Finish();
    bool remove_user_data = options_.removeUserData;
    if (!options_.silent) {
      if (!AskYesNo(caption_,
                    texts_.Get(UninstallText::kConfirm, {{u"InstallName", Name()}, {u"Details", Widen(DescribePlan(plan_))}}),
                    false)) {
        result_.outcome = UninstallOutcome::Cancelled;
        return ExitCodeOf(result_.outcome);
      }
      // Asked only about user data that is there.
      std::string found;
      for (const std::string& folder : plan_.userDirectories)
        if (PathExists(folder)) found += (found.empty() ? "" : "\n") + folder;
      for (const std::string& key : plan_.userKeys)
        if (KeyExists(key)) found += (found.empty() ? "" : "\n") + key;
      if (!found.empty())
        remove_user_data =
            AskYesNo(caption_, texts_.Get(UninstallText::kUserData, {{u"InstallName", Name()}, {u"Found", Widen(found)}}),
                     true);
      progress_.reset(new ProgressWindow(caption_));
    }
    WindowsUninstallSystem system([this](int percent, const std::string& doing) {
      if (progress_) progress_->Update(percent, doing);
    });
    if (RunPreExecs(plan_, true, system, &result_)) RunUninstall(plan_, remove_user_data, system, &result_);
    progress_.reset();
    if (OwnFileAwaitsRemoval()) RemoveOwnFileLater();
    return Finish();
  }

 private:
  // The uninstaller's own file and the folders it alone keeps from going
  // empty, up to the first folder that stays in any case.
  void RemoveOwnFileLater() {
    std::vector<std::string> folders;
    for (std::string folder = GetDirectory(OwnPath()); !GetDirectory(folder).empty(); folder = GetDirectory(folder)) {
      bool limit = false;
      for (const std::string& kept : plan_.pruneLimits) limit = limit || PathIsWithin(kept, folder);
      if (limit) break;
      folders.push_back(folder);
    }
    if (StartRemovalHelper(folders)) return;
    result_.failures.push_back("file " + OwnPath() + ": still in use");
    result_.outcome = UninstallOutcome::Partial;
  }

  WString Name() const {
    return install_name_.empty() ? texts_.Get(UninstallText::kUnnamedProduct) : install_name_;
  }

  UninstallSystem* NoProgress() {
    if (!quiet_) quiet_.reset(new WindowsUninstallSystem(nullptr));
    return quiet_.get();
  }

  int Fail(const std::string& log_path, const std::string& message) {
    result_.outcome = UninstallOutcome::Failed;
    plan_.logPath = log_path;
    const std::string report = options_.reportPath.empty() ? DefaultReportPath(log_path) : options_.reportPath;
    WriteReport(report, message + "\r\n");
    if (!options_.silent) ShowMessage(caption_, Widen(message), true);
    return ExitCodeOf(result_.outcome);
  }

  int Finish() {
    const std::string text = ReportText(plan_, result_);
    std::string report_path;
    if (result_.outcome != UninstallOutcome::Done || !options_.reportPath.empty()) {
      report_path = options_.reportPath.empty() ? DefaultReportPath(plan_.logPath) : options_.reportPath;
      if (!WriteReport(report_path, text)) report_path.clear();
    }
    if (!options_.silent) {
      const bool plain = result_.outcome == UninstallOutcome::Done && result_.kept.empty();
      WString shown = plain ? texts_.Get(UninstallText::kRemoved, {{u"InstallName", Name()}}) : Widen(text);
      if (shown.size() > 1500) shown = shown.substr(0, 1500) + u"\n...";
      if (!report_path.empty())
        shown += u"\n\n" + texts_.Get(UninstallText::kReportNote, {{u"Report", Widen(report_path)}});
      ShowMessage(caption_, shown, result_.outcome != UninstallOutcome::Done);
    }
    return ExitCodeOf(result_.outcome);
  }

  UninstallOptions options_;
  UninstallTexts texts_;
  WString install_name_;
  WString caption_;
  UninstallPlan plan_;
  UninstallResult result_;
  std::unique_ptr<ProgressWindow> progress_;
  std::unique_ptr<UninstallSystem> quiet_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library: the system folder alone.
  RestrictLibrarySearch();
  const UninstallOptions options = ParseUninstallOptions(GetCommandLineA());
  if (options.removeAfter) {
    RemoveAfterProcess(options.removeAfter, options.removePaths);
    return 0;
  }
  CoInitialize(nullptr);
  const int code = Uninstaller(options).Run();
  CoUninitialize();
  return code;
}
