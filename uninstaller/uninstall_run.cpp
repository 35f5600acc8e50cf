#include "uninstaller/uninstall_run.h"
#include "uninstaller/uninstall_texts.h"

#include <algorithm>

#include "config/expand.h"
#include "uninstaller/path_safety.h"

namespace {

struct OutcomeCode {
  UninstallOutcome outcome;
  int code;
  const char* text;
};

const OutcomeCode kOutcomes[] = {
    {UninstallOutcome::Done, 0, "removed completely"},
    {UninstallOutcome::Partial, 1, "removed in part"},
    {UninstallOutcome::Failed, 2, "not removed"},
    {UninstallOutcome::Cancelled, 3, "not removed (cancelled)"},
};

const OutcomeCode& Find(UninstallOutcome outcome) {
  for (const OutcomeCode& entry : kOutcomes)
    if (entry.outcome == outcome) return entry;
  return kOutcomes[2];
}

// The steps' shares of the progress bar, cumulative.
enum Stage { kAssociations = 5, kRegistry = 15, kGames = 20, kFiles = 70, kShared = 75, kTrees = 90, kDone = 100 };

class Runner {
 public:
  Runner(const UninstallPlan& plan, bool remove_user_data, UninstallSystem& system, UninstallResult* result)
      : plan_(plan), system_(system), result_(result) {
    if (!remove_user_data) {
      kept_folders_ = plan.userDirectories;
      kept_keys_ = plan.userKeys;
      for (const std::string& folder : kept_folders_) result_->kept.push_back("user data: " + folder);
      for (const std::string& key : kept_keys_) result_->kept.push_back("user data: " + key);
    }
  }

  void Run() {
    Associations();
    Registry();
    Games();
    Files();
    Shared();
    Trees();
    Finish();
    result_->outcome = result_->failures.empty() ? UninstallOutcome::Done : UninstallOutcome::Partial;
  }

 private:
  void Note(Removal removal, const std::string& what, const std::string& error) {
    if (removal == Removal::Failed) result_->failures.push_back(what + ": " + (error.empty() ? "failed" : error));
  }

  void Step(int from, int to, size_t index, size_t count, const std::string& doing) {
    system_.Progress(count == 0 ? to : from + int((to - from) * index / count), doing);
  }

  bool InKeptFolder(const std::string& path) const {
    return std::any_of(kept_folders_.begin(), kept_folders_.end(),
                       [&](const std::string& folder) { return PathIsWithin(path, folder); });
  }

  bool InKeptKey(const std::string& key) const {
    return std::any_of(kept_keys_.begin(), kept_keys_.end(),
                       [&](const std::string& kept) { return PathIsWithin(key, kept); });
  }

  void Associations() {
    for (size_t i = 0; i < plan_.associations.size(); ++i) {
      const PlannedAssociation& a = plan_.associations[i];
      Step(0, kAssociations, i, plan_.associations.size(), "file type " + a.extension);
      std::string error;
      Note(system_.UndoAssociation(a, &error), "file association " + a.extension + " (" + a.versionedName + ")",
           error);
    }
  }

  void Registry() {
    const size_t count = plan_.values.size() + plan_.deleteKeys.size() + plan_.userKeys.size();
    size_t index = 0;
    for (const PlannedValue& value : plan_.values) {
      Step(kAssociations, kRegistry, index++, count, value.key);
      if (InKeptKey(value.key)) continue;  // a value of the user's data
      std::string error;
      Note(system_.DeleteRegValue(value.key, value.name, &error), "registry value " + value.key + " : " + value.name,
           error);
    }
    for (const PlannedValue& value : plan_.values)
      if (!InKeptKey(value.key)) system_.RemoveEmptyKeys(value.key);
    std::vector<std::string> keys = plan_.deleteKeys;
    if (kept_keys_.empty()) keys.insert(keys.end(), plan_.userKeys.begin(), plan_.userKeys.end());
    for (const std::string& key : keys) {
      Step(kAssociations, kRegistry, index++, count, key);
      if (InKeptKey(key)) continue;  // the key is itself user data that stays
      std::string error;
      Note(system_.DeleteRegKey(key, kept_keys_, &error), "registry key " + key, error);
    }
  }

  void Games() {
    for (size_t i = 0; i < plan_.gameGuids.size(); ++i) {
      Step(kRegistry, kGames, i, plan_.gameGuids.size(), "Game Explorer");
      std::string error;
      Note(system_.UnregisterGame(plan_.gameGuids[i], &error), "Game Explorer registration " + plan_.gameGuids[i],
           error);
    }
  }

  void Files() {
    for (size_t i = 0; i < plan_.files.size(); ++i) {
      const std::string& path = plan_.files[i];
      Step(kGames, kFiles, i, plan_.files.size(), path);
      if (InKeptFolder(path)) continue;
      std::string error;
      const Removal removal = system_.RemoveFile(path, &error);
      Note(removal, "file " + path, error);
      if (removal != Removal::Failed) emptied_.push_back(GetDirectory(path));
    }
    // Folders that the files leave empty go now, so that the shared
    // entries below see the product's folders as they are without it.
    Prune();
  }

  void Shared() {
    AddDefineCommand(u"HasDirectoriesExcept", [this](const std::vector<WString>& arguments, WString* value) {
      if (arguments.size() < 2 || !system_.HasDirectoriesExcept(Narrow(arguments[0]), Narrow(arguments[1])))
        return false;
      value->clear();
      return true;
    });
    for (size_t i = 0; i < plan_.sharedEntries.size(); ++i) {
      const SharedEntry& shared = plan_.sharedEntries[i];
      Step(kFiles, kShared, i, plan_.sharedEntries.size(), shared.path);
      const std::string path = NormalizePath(Narrow(Expand(shared.entry, true)));
      if (path.empty()) {
        result_->kept.push_back("shared, still used by another product: " + shared.path);
        continue;
      }
      if (Upper(path) != Upper(shared.path)) {
        result_->failures.push_back("shared file " + shared.path + ": resolved to another path (" + path + ")");
        continue;
      }
      std::string error;
      const Removal removal = system_.RemoveFile(path, &error);
      Note(removal, "shared file " + path, error);
      if (removal != Removal::Failed) emptied_.push_back(GetDirectory(path));
    }
    AddDefineCommand(u"HasDirectoriesExcept", nullptr);
  }

  void Trees() {
    std::vector<std::string> trees = plan_.trees;
    if (kept_folders_.empty()) trees.insert(trees.end(), plan_.userDirectories.begin(), plan_.userDirectories.end());
    for (size_t i = 0; i < trees.size(); ++i) {
      const std::string& tree = trees[i];
      Step(kShared, kTrees, i, trees.size(), tree);
      if (InKeptFolder(tree)) continue;
      std::string error;
      const Removal removal = system_.DeleteTree(tree, kept_folders_, &error);
      Note(removal, "folder " + tree, error);
      if (removal != Removal::Failed) emptied_.push_back(GetDirectory(tree));
    }
  }

  void Finish() {
    Prune();
    system_.Progress(kTrees, plan_.logPath);
    // The log goes last, and only when nothing failed: a partial uninstall
    // can be run again.
    if (result_->failures.empty() && !plan_.logPath.empty()) {
      for (const std::string& path : {plan_.logPath, PropertiesCopyPath(plan_.logPath)}) {
        std::string error;
        if (system_.RemoveFile(path, &error) != Removal::Failed) emptied_.push_back(GetDirectory(path));
      }
      Prune();
    }
    system_.Progress(kDone, std::string());
  }

  bool IsLimit(const std::string& folder) const {
    if (GetDirectory(NormalizePath(folder)).empty()) return true;  // a drive root
    return std::any_of(plan_.pruneLimits.begin(), plan_.pruneLimits.end(),
                       [&](const std::string& limit) { return PathIsWithin(limit, folder); });
  }

  // Removes each folder of the list and its parents while they are empty,
  // never a protected folder nor one that holds kept user data.
  void Prune() {
    std::vector<std::string> folders;
    folders.swap(emptied_);
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (std::string folder : folders) {
      while (!folder.empty() && !IsLimit(folder) &&
             std::none_of(kept_folders_.begin(), kept_folders_.end(),
                          [&](const std::string& kept) { return PathIsWithin(kept, folder); }) &&
             system_.RemoveFolderIfEmpty(folder))
        folder = GetDirectory(folder);
    }
  }

  const UninstallPlan& plan_;
  UninstallSystem& system_;
  UninstallResult* result_;
  std::vector<std::string> kept_folders_;
  std::vector<std::string> kept_keys_;
  std::vector<std::string> emptied_;
};

}  // namespace

int ExitCodeOf(UninstallOutcome outcome) { return Find(outcome).code; }

bool RunPreExecs(const UninstallPlan& plan, bool post_confirmation, UninstallSystem& system, UninstallResult* result) {
  for (const PlannedProgram& program : plan.preExecs) {
    if (program.postConfirmation != post_confirmation || program.exe.empty()) continue;
    system.Progress(0, program.exe);
    std::string error;
    if (system.RunProgram(program, &error) || program.silentFail) continue;
    result->failures.push_back("program " + program.exe + ": " + error);
    result->outcome = UninstallOutcome::Failed;
    return false;
  }
  return true;
}

void RunUninstall(const UninstallPlan& plan, bool remove_user_data, UninstallSystem& system, UninstallResult* result) {
  Runner(plan, remove_user_data, system, result).Run();
  for (const PlannedProgram& program : plan.postExecs) {
    if (program.exe.empty()) continue;
    system.Progress(100, program.exe);
    std::string error;
    if (!system.RunProgram(program, &error) && !program.silentFail) {
      result->failures.push_back("program " + program.exe + ": " + error);
      result->outcome = UninstallOutcome::Partial;
    }
  }
}

std::string ReportText(const UninstallPlan& plan, const UninstallResult& result) {
  std::string text = (plan.installName.empty() ? std::string("The product") : plan.installName) + " was " +
                     Find(result.outcome).text + ".\r\n";
  if (!plan.logPath.empty()) text += "Install log: " + plan.logPath + "\r\n";
  if (!plan.refusals.empty()) {
    text += "\r\nThe install log names entries that may not be removed, so nothing was removed:\r\n";
    for (const std::string& line : plan.refusals) text += "  " + line + "\r\n";
  }
  if (!result.failures.empty()) {
    text += "\r\nCould not be removed:\r\n";
    for (const std::string& line : result.failures) text += "  " + line + "\r\n";
  }
  if (!result.kept.empty()) {
    text += "\r\nKept:\r\n";
    for (const std::string& line : result.kept) text += "  " + line + "\r\n";
  }
  return text;
}
