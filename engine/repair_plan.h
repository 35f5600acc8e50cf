// What a repair and a resumed install decide before they touch anything:
// which installed files to extract again (named as the cabinet names them
// below "files\"), how a repair ended, and the command the game's
// uninstall entry runs to repair it (the refusals before a repair are
// -verify's: engine/install_verify.h). Pure and portable: the driver reads the
// manifest and the files, asks the player and writes; this file only
// decides, so that every decision has a host test.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

// The name of an installed file below the install folder, as its cabinet
// entry has it under "files\" ("data\a.pak" for "C:\Games\X\data\a.pak"
// and root "C:\Games\X"); empty when the path does not lie below the root.
// Letter case is ignored, as Windows ignores it.
std::string PathBelowRoot(const std::string& path, const std::string& root);

// A set of entry names compared as Windows compares paths: without letter
// case, '/' the same as '\'.
class EntrySelection {
 public:
  void Add(const std::string& relative_name);
  bool Contains(const std::string& relative_name) const;
  size_t size() const { return names_.size(); }
  bool empty() const { return names_.empty(); }

 private:
  std::set<std::string> names_;
};

// The selection of the installed paths below root; paths outside it are
// left out (counted in *outside when given).
EntrySelection SelectBelowRoot(const std::vector<std::string>& paths, const std::string& root,
                               size_t* outside = nullptr);

// How a repair ended.
enum class RepairOutcome {
  // Refused before anything was changed: the manifest says the install
  // stopped part-way (its log was never finished); running the installer
  // again continues it.
  kUnfinishedInstall,
  kRepaired,         // every missing and changed file is back, and a second check is clean
  kNothingToRepair,  // the check found nothing to do; nothing was written
  kExtractionFailed, // the installer's data could not be read or checked: nothing was replaced
  kStagedMismatch,   // an extracted file differs from the manifest: nothing was replaced
  kReplaceFailed,    // a file could not be put in place (in use, read-only folder)
  kStillDamaged,     // the check after the repair still finds differences
};
std::string RepairOutcomeText(RepairOutcome outcome);

// The option that starts a repair of the install in `install_folder`.
constexpr const char* kRepairOption = "-repair";

// The command line the uninstall entry's change button runs:
// "<installer>" -repair="<install folder>".
std::string RepairCommand(const std::string& installer_path, const std::string& install_folder);

// Where the installer ran from, as far as it matters for offering a repair
// from the uninstall entry.
struct InstallerPlace {
  std::string path;         // the installer's full path
  std::string tempFolder;   // the user's temporary folder (browsers open downloads there)
  bool fixedDrive = false;  // on a local hard disk (not a disc, a removable or network drive)
};

// True when the installer's place can be expected to hold it later: a full
// path on a fixed drive, not inside the temporary folder.
bool InstallerPlaceLasts(const InstallerPlace& place);
