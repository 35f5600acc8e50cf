// The driver's InstallContext: the engine's view of the run-wide state.
#include <windows.h>

#include "config/expand.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "engine/install_context.h"

namespace {

class RunInstallContext : public InstallContext {
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
  ExtractionProgress& Progress() override { return RunExtractionProgress(); }
  const std::vector<std::string>& ExtractedFiles() const override { return Run().extractedFiles; }
  void SetExtractionFailed(bool failed) override { Run().failed = failed; }

  // Without the progress page (silent, or no events) the worker asks itself
  // with a message box; otherwise it hands the question to the page through
  // the ask and answer events and waits for the page's answer.
  int AskProductNotRunning() override {
    RunState& run = Run();
    HANDLE ask = static_cast<HANDLE>(run.askEvent);
    HANDLE answer = static_cast<HANDLE>(run.answerEvent);
    if (run.silent || !ask || !answer) {
      const WString text = Expand(u"%UNINSTALL_ENSURE_NOT_RUNNING_TEXT%", true);
      const WString caption = Expand(u"%UNINSTALL_ENSURE_NOT_RUNNING_TITLE%", true);
      run.promptAnswer = MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                                     reinterpret_cast<const wchar_t*>(caption.c_str()),
                                     MB_OKCANCEL | MB_ICONWARNING);
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

void ConnectInstallContext() {
  static RunInstallContext context;
  SetInstallContext(&context);
}
