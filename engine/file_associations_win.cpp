// The file association step: the classes values of every association under
// HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE\SOFTWARE\Classes, then its log
// block. Failures are silent; a false result ends the install.
#include <windows.h>

#include "engine/file_associations.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "engine/registry_keys_win.h"

namespace {

// Writes one REG_SZ value at a classes path (see SplitClassesPath), opening
// the key for reading and writing or creating it.
bool SetClassesValue(HKEY root, const std::string& path, const std::string& value) {
  std::string key_path, name;
  SplitClassesPath(path, &key_path, &name);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegOpenKeyExA(root, key_path.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS &&
      CreateInstallKey(root, key_path, &key, &disposition) != ERROR_SUCCESS)
    return false;
  SetStringValue(key, name, value);
  RegCloseKey(key);
  return true;
}

bool WriteValues(HKEY root, const std::vector<ClassesValue>& values) {
  for (const ClassesValue& v : values)
    if (!SetClassesValue(root, v.path, v.value)) return false;
  return true;
}

}  // namespace

bool CreateFileAssociations(InstallJob& job) {
  if (!job.context.FileAssociationsChosen()) return true;
  for (const FileAssociation& association : job.config.FileAssociations) {
    if (!IsUsableAssociation(association)) continue;
    std::vector<std::string> commands;
    for (const ShellCommand& command : association.ShellCommands)
      commands.push_back(job.ExpandText(command.Command));
    std::string icon = job.ExpandText(association.IconLocation);
    std::vector<ClassesValue> values = AssociationValues(association, commands, icon);
    if (!association.IconLocation.empty()) job.iconsChanged = true;

    if (!WriteValues(HKEY_CLASSES_ROOT, values)) return false;
    HKEY classes = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", 0, KEY_WRITE, &classes) != ERROR_SUCCESS)
      return false;
    bool written = WriteValues(classes, values);
    RegCloseKey(classes);
    if (!written) return false;
    for (const WString& line : AssociationLogLines(association, commands, icon)) job.log.AppendLine(line);
  }
  return true;
}
