// The Windows side of the uninstall: files, folders, registry keys and
// values, file associations, the Game Explorer and programs, and the known
// folders that bound what a log may remove.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "uninstaller/path_safety.h"
#include "uninstaller/uninstall_run.h"

// The system and known folders of this machine and user (the install folder
// and the log's own areas are added by the caller).
KnownLocations MachineLocations(const std::string& common_app_data, const std::string& app_data_suffix);

// The running program's own file.
std::string OwnPath();

// True when the log named the running uninstaller's own file for removal:
// a file that cannot go while its program runs.
bool OwnFileAwaitsRemoval();
// Starts a copy of this program from the temporary folder that removes the
// program's own file once this process has ended, then each of `folders`
// in order while they are empty. False when the copy could not start.
bool StartRemovalHelper(const std::vector<std::string>& folders);
// The helper's work ("-removeafter=PID FILE FOLDER..."): waits for the
// process, removes paths[0] and then the folders while they are empty; its
// own copy goes at the next start of the system.
void RemoveAfterProcess(int process_id, const std::vector<std::string>& paths);

// True when a file or folder, or a registry key, exists.
bool PathExists(const std::string& path);
bool KeyExists(const std::string& key);

// The common application-data folder (empty when the system has none).
std::string CommonAppDataPath();

class WindowsUninstallSystem : public UninstallSystem {
 public:
  // `progress` receives every progress report (the window, or nothing).
  explicit WindowsUninstallSystem(std::function<void(int, const std::string&)> progress)
      : progress_(std::move(progress)) {}

  bool RunProgram(const PlannedProgram& program, std::string* error) override;
  Removal UndoAssociation(const PlannedAssociation& association, std::string* error) override;
  Removal DeleteRegValue(const std::string& key, const std::string& name, std::string* error) override;
  Removal DeleteRegKey(const std::string& key, const std::vector<std::string>& keep, std::string* error) override;
  void RemoveEmptyKeys(const std::string& key) override;
  Removal UnregisterGame(const std::string& guid, std::string* error) override;
  Removal RemoveFile(const std::string& path, std::string* error) override;
  Removal DeleteTree(const std::string& path, const std::vector<std::string>& keep, std::string* error) override;
  bool HasDirectoriesExcept(const std::string& folder, const std::string& except) override;
  bool RemoveFolderIfEmpty(const std::string& path) override;
  void Progress(int percent, const std::string& doing) override {
    if (progress_) progress_(percent, doing);
  }

 private:
  std::function<void(int, const std::string&)> progress_;
};
