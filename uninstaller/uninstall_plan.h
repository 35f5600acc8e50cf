// From the entries of an install log to the work of one uninstall: every
// path and key resolved (the shortcut paths the log keeps unexpanded go
// through the expansion language with the log's own variables) and checked
// against what a log may remove. A plan with refusals is never carried out.
#pragma once

#include <string>
#include <vector>

#include "base/string_utils.h"
#include "uninstaller/path_safety.h"
#include "uninstaller/uninstall_log.h"

class DefinesParser;

struct PlannedProgram {
  std::string exe;
  std::string directory;
  std::string params;
  bool silentFail = false;
  bool postConfirmation = false;  // run only once the user agreed
};

struct PlannedAssociation {
  std::string extension;
  std::string versionedName;
  std::string iconLocation;
  std::vector<std::pair<std::string, std::string>> commands;  // name, command
};

struct PlannedValue {
  std::string key;
  std::string name;
};

// A "#HasDirectoriesExcept P,D, | path" entry: kept as logged, evaluated
// when its turn comes; `path` is its alternative resolved now, for checking.
struct SharedEntry {
  WString entry;
  std::string path;
};

struct UninstallPlan {
  std::string installName;
  std::string logPath;
  std::vector<PlannedProgram> preExecs;
  std::vector<PlannedAssociation> associations;
  std::vector<PlannedValue> values;
  std::vector<std::string> deleteKeys;
  std::vector<std::string> userKeys;
  std::vector<std::string> gameGuids;
  std::vector<std::string> files;
  std::vector<SharedEntry> sharedEntries;
  std::vector<std::string> trees;
  std::vector<std::string> userDirectories;
  std::vector<PlannedProgram> postExecs;
  // Where the removal of folders that became empty stops going up: the
  // protected folders and the system folders.
  std::vector<std::string> pruneLimits;
  // Every entry that may not be removed, with the reason; non-empty means
  // the log is refused as a whole.
  std::vector<std::string> refusals;
  bool incomplete = false;  // the log of a run that stopped part-way

  bool HasUserData() const { return !userKeys.empty() || !userDirectories.empty(); }
};

// Fills `store` the way the installer's store stood when it wrote the log:
// the built-in variables are expected to be there already; then the log's
// defines, "ProgramDataFolder" from the logged AppDataSuffix (given the
// common application-data folder, empty before Windows Vista) and
// "AppFolder" from CommonProgramGroup and InstallGroup.
void SetLogVariables(const InstallLogEntries& log, const WString& common_app_data, DefinesParser& store);

// The shell folders of the built-in variables (those the installer put
// shortcuts in), as protected folders and allowed areas.
void AddShellFolderAreas(KnownLocations* locations);

// The allowed areas a log gives: its install folder (the expanded
// "InstallPath"), the folder holding the log and, from `locations`, the rest.
void AddLogAreas(const std::string& log_path, KnownLocations* locations);

// Resolves and checks everything. The expansion uses the main variable
// store, which SetLogVariables filled.
UninstallPlan BuildPlan(const InstallLogEntries& log, const std::string& log_path, const KnownLocations& locations);

// "#HasDirectoriesExcept P,D, | path": its two arguments; false when the
// entry is not of that form.
bool ParseSharedEntry(const WString& entry, WString* folder, WString* except, WString* path);

// The text that names what the plan removes (for the confirmation).
std::string DescribePlan(const UninstallPlan& plan);
