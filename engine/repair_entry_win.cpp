#include "engine/repair_entry_win.h"

#include "base/string_utils.h"
#include "engine/install_job.h"
#include "engine/install_manifest.h"
#include "engine/registry_keys_win.h"
#include "engine/repair_plan.h"

namespace {

InstallerPlace PlaceOf(const std::string& installer_path) {
  InstallerPlace place;
  place.path = installer_path;
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(sizeof temp, temp);
  if (n > 0 && n < sizeof temp) place.tempFolder = temp;
  const std::string drive = GetRoot(installer_path) + "\\";
  place.fixedDrive = GetDriveTypeA(drive.c_str()) == DRIVE_FIXED;
  return place;
}

void SetDwordValue(HKEY key, const char* name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

void WriteRepairValues(const InstallJob& job, HKEY key) {
  const std::string log_path = job.ExpandText(job.config.InstallLog);
  if (log_path.empty() || !FileExists(ManifestPathFor(log_path))) return;
  const std::string installer = Narrow(job.Expand(u"%InstallerExePath%"));
  if (!InstallerPlaceLasts(PlaceOf(installer))) return;
  SetStringValue(key, "ModifyPath", RepairCommand(installer, Narrow(job.Expand(u"%InstallPath%"))));
  SetDwordValue(key, "NoModify", 0);
  SetDwordValue(key, "NoRepair", 1);
}
