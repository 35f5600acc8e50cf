// Carrying out an uninstall plan, in the order that keeps the machine
// consistent at every moment:
//   1. the "PreExec" programs (those marked PostConfirmation only after the
//      user agreed; a failure without SilentFail stops everything),
//   2. the file associations, where they still name this product,
//   3. the logged registry values, then the keys left empty by them,
//   4. each "UninstallDelRegKey" key (and "UserRegKey" when agreed),
//   5. the Game Explorer registrations,
//   6. every file, then the folders those left empty,
//   7. the shared files, each only when its "#HasDirectoriesExcept"
//      condition says no other product remains,
//   8. each "UninstallDeltree" folder (and "UserDirectory" when agreed),
//   9. the folders that became empty, the log itself when nothing failed,
//  10. the "PostExec" programs.
// User data that is kept stays whole: files inside a kept folder are not
// removed, and a folder or key that holds kept data loses everything else.
// What the system does is behind UninstallSystem (Windows calls on
// Windows); what failed is collected for the report.
#pragma once

#include <string>
#include <vector>

#include "uninstaller/uninstall_plan.h"

enum class Removal { Removed, Missing, Failed };

class UninstallSystem {
 public:
  virtual ~UninstallSystem() = default;
  // Runs a program (or calls "Function@library") and waits for it; false
  // with `error` when it could not run or ended with a code other than 0.
  virtual bool RunProgram(const PlannedProgram& program, std::string* error) = 0;
  // Removes what the association wrote, below both classes roots, where it
  // still holds this product's values.
  virtual Removal UndoAssociation(const PlannedAssociation& association, std::string* error) = 0;
  virtual Removal DeleteRegValue(const std::string& key, const std::string& name, std::string* error) = 0;
  // Deletes the key with everything below it except the keys in `keep`
  // (and the keys above them).
  virtual Removal DeleteRegKey(const std::string& key, const std::vector<std::string>& keep, std::string* error) = 0;
  // Deletes the key and each parent above it while they are empty, stopping
  // below the root's first level.
  virtual void RemoveEmptyKeys(const std::string& key) = 0;
  virtual Removal UnregisterGame(const std::string& guid, std::string* error) = 0;
  virtual Removal RemoveFile(const std::string& path, std::string* error) = 0;
  // Deletes the folder with its contents except the paths in `keep` (and
  // the folders above them).
  virtual Removal DeleteTree(const std::string& path, const std::vector<std::string>& keep, std::string* error) = 0;
  // True when the folder holds a folder other than `except`.
  virtual bool HasDirectoriesExcept(const std::string& folder, const std::string& except) = 0;
  // Removes the folder when it is empty; false when it is not (or is gone).
  virtual bool RemoveFolderIfEmpty(const std::string& path) = 0;
  // The share of the work done, 0 to 100, and what is being done.
  virtual void Progress(int percent, const std::string& doing) = 0;
};

enum class UninstallOutcome {
  Done,       // everything the log names is gone (or was gone already)
  Partial,    // some entries could not be removed (see the report)
  Failed,     // nothing was removed: unreadable or refused log, failed program
  Cancelled,  // the user said no
};

// The process exit code of each outcome.
int ExitCodeOf(UninstallOutcome outcome);

struct UninstallResult {
  UninstallOutcome outcome = UninstallOutcome::Done;
  std::vector<std::string> failures;  // "what: why", one per entry not removed
  std::vector<std::string> kept;      // shared files and user data left on purpose
};

// Runs the "PreExec" programs of one kind (before or after the confirmation).
// False when one failed without SilentFail; the failure is recorded.
bool RunPreExecs(const UninstallPlan& plan, bool post_confirmation, UninstallSystem& system, UninstallResult* result);

// Everything after the programs before removal, with the user's answer on
// the user data. Sets the outcome.
void RunUninstall(const UninstallPlan& plan, bool remove_user_data, UninstallSystem& system, UninstallResult* result);

// The plain-text report: the product, the outcome and every entry that
// could not be removed, with the reason.
std::string ReportText(const UninstallPlan& plan, const UninstallResult& result);
