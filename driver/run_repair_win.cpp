#include <windows.h>

#include <string>
#include <vector>

#include "base/string_utils.h"
#include "config/defines_parser.h"
#include "config/expand.h"
#include "driver/installer_run.h"
#include "driver/run_handlers.h"
#include "driver/run_repair.h"
#include "driver/run_state.h"
#include "driver/run_steps.h"
#include "engine/install_job.h"
#include "engine/install_manifest.h"
#include "engine/install_verify.h"
#include "engine/repair_plan.h"

namespace {

struct OutcomeExit {
  RepairOutcome outcome;
  int exitCode;
};
const OutcomeExit kOutcomeExits[] = {
    {RepairOutcome::kUnfinishedInstall, kExitRepairUnfinished},
    {RepairOutcome::kRepaired, kExitDone},
    {RepairOutcome::kNothingToRepair, kExitDone},
    {RepairOutcome::kExtractionFailed, kExitRepairFailed},
    {RepairOutcome::kStagedMismatch, kExitRepairFailed},
    {RepairOutcome::kReplaceFailed, kExitRepairFailed},
    {RepairOutcome::kStillDamaged, kExitRepairFailed},
};

// The manifest of the install the run's configuration points at, as
// -verify finds it.
ManifestCheck LoadRunManifest() {
  const std::string log_path = RunJob().ExpandText(RunJob().config.InstallLog);
  const std::string install_folder = Narrow(Expand(MainVariables().GetVariable(u"InstallPath"), true));
  return LoadInstallManifest(Run().installerId, log_path, install_folder, SystemInstalledFiles());
}

// The installed files that are missing or differ from the manifest.
std::vector<std::string> DamagedFiles(const InstallManifest& manifest) {
  const VerifyReport report = VerifyInstall(manifest, SystemInstalledFiles());
  std::vector<std::string> paths = report.missing;
  paths.insert(paths.end(), report.changed.begin(), report.changed.end());
  return paths;
}

// A message box unless silent; the caption is expanded, the text is not.
int ShowRunBox(const char* caption_text, const std::string& text, unsigned flags) {
  if (Run().silent) return 0;
  const WString caption = Expand(Widen(caption_text), true);
  const WString body = Widen(text);
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(body.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), flags);
}

void EndRepair(RepairOutcome outcome) {
  for (const OutcomeExit& o : kOutcomeExits)
    if (o.outcome == outcome) Run().exitCode = o.exitCode;
  const bool good = Run().exitCode == kExitDone;
  ShowRunBox(good ? "%InstallName%" : "%INSTALL_ERROR%", RepairOutcomeText(outcome),
             good ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONERROR);
}

// The manifest's entries for the selected files, at their place in the
// staging folder.
InstallManifest StagedManifest(const InstallManifest& manifest, const EntrySelection& selection,
                               const std::string& staging) {
  InstallManifest staged = manifest;
  staged.root = RemoveTrailingSlash(staging);
  staged.files.clear();
  for (const ManifestFile& file : manifest.files) {
    const std::string relative = PathBelowRoot(file.path, manifest.root);
    if (!selection.Contains(relative)) continue;
    staged.files.push_back(file);
    staged.files.back().path = staging + relative;
  }
  return staged;
}

// Moves the checked files from the staging folder over the installed ones.
// A read-only installed file is replaced, as the install replaces it.
bool PutInPlace(const std::string& staging, const InstallManifest& manifest, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    const std::string staged = staging + PathBelowRoot(path, manifest.root);
    MakeDirectories(GetDirectory(path));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExA(staged.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) return false;
  }
  return true;
}

}  // namespace

void RunRepairStep() {
  RunState& run = Run();
  const ManifestCheck check = LoadRunManifest();
  if (check.refusal != VerifyRefusal::kNone) {
    run.exitCode = RefusalExitCode(check.refusal);  // -verify's code for the same reason
    std::string text = VerifyRefusalText(check.refusal, check.manifestPath);
    if (check.refusal == VerifyRefusal::kManifestDamaged) text += std::string(" (") + ManifestErrorText(check.error) + ")";
    ShowRunBox("%INSTALL_ERROR%", text, MB_OK | MB_ICONERROR);
    return;
  }
  const InstallManifest& manifest = check.manifest;
  if (manifest.state != ManifestState::kComplete) return EndRepair(RepairOutcome::kUnfinishedInstall);
  const std::vector<std::string> damaged = DamagedFiles(manifest);
  if (damaged.empty()) return EndRepair(RepairOutcome::kNothingToRepair);

  // Extracted beside the configuration first: what the installer's data
  // gives is checked against the manifest before any installed file is
  // replaced, so that an installer failing its own checks changes nothing.
  const std::string staging = run.tempFolder + "\\repair\\";
  const EntrySelection selection = SelectBelowRoot(damaged, manifest.root);
  run.entryPrefix = "files\\";
  run.destinationFolder = staging;
  run.extractedFiles.clear();
  run.failed = false;
  run.entrySelect = [&selection](const std::string& name) { return selection.Contains(name); };
  RunSelectedExtraction();
  run.entrySelect = nullptr;
  if (run.aborted) return;
  if (run.failed) return EndRepair(RepairOutcome::kExtractionFailed);
  if (!DamagedFiles(StagedManifest(manifest, selection, staging)).empty())
    return EndRepair(RepairOutcome::kStagedMismatch);
  if (!PutInPlace(staging, manifest, damaged)) return EndRepair(RepairOutcome::kReplaceFailed);
  EndRepair(DamagedFiles(manifest).empty() ? RepairOutcome::kRepaired : RepairOutcome::kStillDamaged);
}

void PrepareResume() {
  RunState& run = Run();
  run.entrySelect = nullptr;
  run.keptFiles.clear();
  const ManifestCheck check = LoadRunManifest();
  const InstallManifest& manifest = check.manifest;
  if (check.refusal != VerifyRefusal::kNone || manifest.state != ManifestState::kIncomplete) return;
  if (Upper(RemoveTrailingSlash(manifest.root)) != Upper(RemoveTrailingSlash(run.destinationFolder))) return;

  const EntrySelection damaged = SelectBelowRoot(DamagedFiles(manifest), manifest.root);
  std::vector<std::string> kept;
  for (const ManifestFile& file : manifest.files)
    if (!damaged.Contains(PathBelowRoot(file.path, manifest.root))) kept.push_back(file.path);
  if (kept.empty()) return;

  const std::string question = "An earlier install of this game into '" + manifest.root +
                               "' stopped part-way. Continue it, keeping the " + std::to_string(kept.size()) +
                               " files already complete?";
  if (!run.silent && ShowRunBox("%InstallName%", question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  // Every entry but the kept files: one the manifest does not name is
  // extracted as in any install.
  run.entrySelect = [keep = SelectBelowRoot(kept, manifest.root)](const std::string& name) {
    return !keep.Contains(name);
  };
  run.keptFiles = kept;
  RunJob().log.AddNote(Widen("Continued an install that stopped part-way: " + std::to_string(kept.size()) +
                             " complete files kept"));
}
