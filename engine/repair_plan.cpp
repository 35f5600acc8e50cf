#include "engine/repair_plan.h"

#include "base/string_utils.h"

namespace {

// The form two Windows paths are compared in.
std::string ComparableName(const std::string& name) {
  std::string out = Upper(name);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

}  // namespace

std::string PathBelowRoot(const std::string& path, const std::string& root) {
  const std::string folder = ComparableName(RemoveTrailingSlash(root)) + "\\";
  if (folder.size() < 2 || path.size() <= folder.size()) return std::string();
  if (ComparableName(path.substr(0, folder.size())) != folder) return std::string();
  return path.substr(folder.size());
}

void EntrySelection::Add(const std::string& relative_name) { names_.insert(ComparableName(relative_name)); }

bool EntrySelection::Contains(const std::string& relative_name) const {
  return names_.count(ComparableName(relative_name)) != 0;
}

EntrySelection SelectBelowRoot(const std::vector<std::string>& paths, const std::string& root, size_t* outside) {
  EntrySelection selection;
  size_t left_out = 0;
  for (const std::string& path : paths) {
    const std::string relative = PathBelowRoot(path, root);
    if (relative.empty())
      ++left_out;
    else
      selection.Add(relative);
  }
  if (outside) *outside = left_out;
  return selection;
}

std::string RepairOutcomeText(RepairOutcome outcome) {
  static const struct {
    RepairOutcome outcome;
    const char* text;
  } kTexts[] = {
      {RepairOutcome::kUnfinishedInstall,
       "The install of this game stopped part-way. Run the installer again to continue it."},
      {RepairOutcome::kRepaired, "The game's files were repaired."},
      {RepairOutcome::kNothingToRepair, "The game's files are all as installed: nothing needed repairing."},
      {RepairOutcome::kExtractionFailed, "The installer's data could not be read: no file was replaced."},
      {RepairOutcome::kStagedMismatch,
       "A file extracted from the installer does not match the record of the install: no file was replaced."},
      {RepairOutcome::kReplaceFailed,
       "A repaired file could not be put in place. Close the game and try again."},
      {RepairOutcome::kStillDamaged, "The game's files still differ from the record after the repair."},
  };
  for (const auto& t : kTexts)
    if (t.outcome == outcome) return t.text;
  return std::string();
}

std::string RepairCommand(const std::string& installer_path, const std::string& install_folder) {
  return "\"" + installer_path + "\" " + kRepairOption + "=\"" + RemoveTrailingSlash(install_folder) + "\"";
}

bool InstallerPlaceLasts(const InstallerPlace& place) {
  if (!place.fixedDrive || place.path.size() < 3 || place.path[1] != ':' || place.path[2] != '\\') return false;
  const std::string temp = RemoveTrailingSlash(place.tempFolder);
  return temp.empty() || PathBelowRoot(place.path, temp).empty();
}
