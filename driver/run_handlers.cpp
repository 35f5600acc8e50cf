#include "driver/run_handlers.h"

#include "base/fatal_error.h"
#include "config/fatal_error_box.h"
#include "driver/run_state.h"
#include "engine/install_manifest.h"

namespace {

class RunProgress : public ExtractionProgress {
 public:
  void OverallPercent(int32_t percent) override { Run().overallPercent = percent; }
  void FilePercent(int32_t percent) override { Run().filePercent = percent; }
  void FileStarted(const std::string& relative_name) override { Run().currentFileName.Set(relative_name); }
  void FileCreated(const std::string& path) override { Run().extractedFiles.push_back(path); }
  bool RetryVolume(const std::string& volume_name) override {
    return !Run().silent && AskRunVolumeRetry(volume_name);
  }
};

}  // namespace

void HandleRunFatalError(const WString& message) {
  Run().aborted = true;
  if (!Run().silent) ShowFatalErrorBox(message);
}

void ConnectRunHandlers() { SetFatalErrorHandler(HandleRunFatalError); }

ExtractionRequest RunExtractionRequest() {
  const RunState& run = Run();
  ExtractionRequest request;
  request.cabinetPath = run.payloadPath;
  request.cabinetOffset = run.cabinetOffset;
  request.prefix = run.entryPrefix;
  request.destination = run.destinationFolder;
  request.volumes = run.volumes;
  request.joinedFiles = run.joinedFiles;
  request.select = run.entrySelect;
  // The writer puts all of cfg\ first, into the cabinet inside the
  // installer: the configuration step never needs a volume.
  request.entriesInVolumes = run.entryPrefix != "cfg\\";
  return request;
}

bool RunProductManifest(InstallManifest* manifest) {
  const RunState& run = Run();
  if (run.installerId.empty()) return false;
  *manifest = InstallManifest();
  manifest->installerId = run.installerId;
  manifest->state = ManifestState::kIncomplete;
  manifest->root = RemoveTrailingSlash(run.destinationFolder);
  for (const FileHashEntry& f : run.fileHashes)
    manifest->files.push_back({f.sha256, f.size, InstalledPathOf(run.destinationFolder, f.name)});
  return true;
}

ExtractionProgress& RunExtractionProgress() {
  static RunProgress progress;
  return progress;
}

bool ExtractRunCabinet() {
  Run().extraction = ExtractCabinet(RunExtractionRequest(), RunExtractionProgress());
  return Run().extraction.ok();
}

int64_t CabinetRequiredSpace() { return Run().extraction.requiredSpace; }
int64_t CabinetTotalBytes() { return Run().extraction.totalBytes; }
const std::string& CabinetExtractionError() { return Run().extraction.error; }
bool CabinetEntryRefused() { return Run().extraction.entryRefused(); }
