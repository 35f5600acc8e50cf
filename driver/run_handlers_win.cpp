// The driver's InstallContext: the engine's view of the run-wide state.
#include <windows.h>

#include "config/defines_parser.h"
#include "config/expand.h"
#include "driver/run_handlers.h"
#include "driver/run_prompts_win.h"
#include "driver/run_state.h"
#include "engine/install_job.h"

namespace {

class RunContext : public InstallContext {
 public:
  bool Aborted() const override { return Run().aborted; }
  void SetAborted(bool aborted) override { Run().aborted = aborted; }
  bool FileAssociationsChosen() const override { return Run().fileAssociations; }
  std::vector<RegValue>& CommandLineRegValues() override { return Run().commandLineRegValues; }
  std::string ConfigFolder() const override { return Run().tempFolder; }
  std::string PropertiesFile() const override {
    return Run().propertiesFile.empty() ? InstallContext::PropertiesFile() : Run().propertiesFile;
  }
  ExtractionRequest ProductFiles() const override { return RunExtractionRequest(); }
  bool ProductManifest(InstallManifest* manifest) const override { return RunProductManifest(manifest); }
  ExtractionProgress& Progress() override { return RunExtractionProgress(); }
  const std::vector<std::string>& ExtractedFiles() const override { return Run().extractedFiles; }
  const std::vector<std::string>& KeptFiles() const override { return Run().keptFiles; }
  void SetExtractionFailed(bool failed) override { Run().failed = failed; }

  int AskProductNotRunning() override { return Ask(RunPrompt::kProductRunning); }

  bool AskVolumeRetry(const std::string& volume_name) override {
    if (Run().silent) return false;
    Run().promptVolume.Set(volume_name);
    return Ask(RunPrompt::kVolumeFault) == IDRETRY;
  }

 private:
  // Without the progress page (silent, or no events) the worker asks itself
  // with a message box; otherwise it hands the question to the page through
  // the ask and answer events and waits for the page's answer.
  int Ask(RunPrompt kind) {
    RunState& run = Run();
    run.promptKind = static_cast<int>(kind);
    HANDLE ask = static_cast<HANDLE>(run.askEvent);
    HANDLE answer = static_cast<HANDLE>(run.answerEvent);
    if (run.silent || !ask || !answer) {
      run.promptAnswer = ShowNotRunningPrompt();
      return run.promptAnswer;
    }
    run.promptAnswer = 0;
    ResetEvent(answer);
    SetEvent(ask);
    WaitForSingleObject(answer, INFINITE);
    return run.promptAnswer;
  }
};

}  // namespace

WorkerPrompt RunWorkerPrompt() {
  if (Run().promptKind != static_cast<int>(RunPrompt::kVolumeFault)) return WorkerPrompt();
  // Set here, on the thread that expands the texts, while the worker waits.
  MainVariables().SetVariable(u"VolumeName", Widen(Run().promptVolume.Get()));
  WorkerPrompt prompt;
  prompt.captionId = u"VOLUME_FAULT_TITLE";
  prompt.textId = u"VOLUME_FAULT_TEXT";
  prompt.flags = MB_RETRYCANCEL | MB_ICONWARNING;
  return prompt;
}

// The question now asked (the not-running one unless a volume is asked
// for), as a message box of its own.
int ShowNotRunningPrompt() {
  const WorkerPrompt prompt = RunWorkerPrompt();
  const WString text = Expand(u"%" + WString(prompt.textId) + u"%", true);
  const WString caption = Expand(u"%" + WString(prompt.captionId) + u"%", true);
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), prompt.flags);
}

InstallContext& RunInstallContext() {
  static RunContext context;
  return context;
}

InstallJob& RunJob() {
  static InstallJob job(RunInstallContext(), MainVariables());
  return job;
}

bool AskRunVolumeRetry(const std::string& volume_name) {
  return RunInstallContext().AskVolumeRetry(volume_name);
}
