// Runs a list of programs (or exported library functions) and waits for
// each, judging its exit code against the record's success codes.
#include <windows.h>
#include <shellapi.h>

#include "base/fatal_error.h"
#include "base/library_loading.h"
#include "engine/external_programs.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"

namespace {

enum class Outcome { Next, Stop };

Outcome Failed(ExecStatus& status) {
  status.SetPhase(false);
  return Outcome::Stop;
}

// The library is loaded by its full path only: a bare name stands for the
// file of that name in the configuration folder the installer extracted
// (never one found along the search path, beside the installer first).
Outcome CallLibraryFunction(InstallJob& job, const ExecRecord& record, const std::string& function,
                            const std::string& library) {
  const std::string path = LibraryPathIn(job.context.ConfigFolder(), library);
  HMODULE module = path.empty() ? nullptr : static_cast<HMODULE>(LoadLibraryAt(path));
  if (!module) {
    if (record.SilentFail) return Outcome::Next;
    ShowFatalError(u"Failed to load library '" + Widen(library) + u"'");
    return Failed(job.exec);
  }
  FARPROC entry = GetProcAddress(module, function.c_str());
  if (!entry) {
    FreeLibrary(module);
    if (record.SilentFail) return Outcome::Next;
    ShowFatalError(u"Failed to find func '" + Widen(function) + u"'");
    return Failed(job.exec);
  }
  // Called with no arguments; whatever it returns is ignored. With no
  // arguments the cdecl and stdcall conventions agree.
  reinterpret_cast<void (*)()>(reinterpret_cast<void*>(entry))();
  FreeLibrary(module);
  return Outcome::Next;
}

Outcome RunProgram(InstallJob& job, const ExecRecord& record, const std::string& exe, const std::string& params,
                   const std::string& directory) {
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = "open";
  info.lpFile = exe.c_str();
  info.lpParameters = params.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExA(&info)) {
    if (record.SilentFail) return Outcome::Next;
    ShowFatalError(u"Failed to execute '" + Widen(exe) + u"'");
    return Failed(job.exec);
  }
  DWORD code = 0;
  for (;;) {
    if (!info.hProcess || !GetExitCodeProcess(info.hProcess, &code)) {
      // A document opened in a running program gives no process to wait for.
      if (info.hProcess) CloseHandle(info.hProcess);
      return Outcome::Next;
    }
    if (code != STILL_ACTIVE) break;
    if (job.context.Aborted()) {
      // Cancelled: the program is left running, only our handle goes.
      CloseHandle(info.hProcess);
      return Failed(job.exec);
    }
    Sleep(kExecPollMilliseconds);
  }
  CloseHandle(info.hProcess);
  if (ExitCodeAccepted(record, code)) return Outcome::Next;
  return Failed(job.exec);  // a refused exit code ends the list without a message
}

}  // namespace

bool RunExecList(InstallJob& job, const std::vector<ExecRecord>& list) {
  job.exec.SetPhase(true);
  for (const ExecRecord& record : list) {
    std::string exe = job.ExpandText(record.Exe);
    std::string params = job.ExpandText(record.Params);
    std::string directory = job.ExpandText(record.Directory);
    WString message = job.Expand(record.StatusMessage);
    if (message.empty()) message = job.Expand(u"%INSTALLING_PREREQ_MESSAGE%");
    job.exec.SetMessage(message);
    if (exe.empty()) continue;

    std::string function, library;
    Outcome outcome = SplitLibraryCall(exe, &function, &library) ? CallLibraryFunction(job, record, function, library)
                                                                 : RunProgram(job, record, exe, params, directory);
    if (outcome == Outcome::Stop) return false;
  }
  job.exec.SetPhase(false);
  job.context.Progress().OverallPercent(0);
  return true;
}
