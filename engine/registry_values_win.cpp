// The registry step: the configured values merged with the "-regvalue"
// values, one log entry per value, then the Add/Remove Programs entry.
#include <windows.h>

#include "base/fatal_error.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "engine/registry_keys_win.h"
#include "engine/registry_values.h"
#include "engine/repair_entry_win.h"

namespace {

void LogRegValue(InstallLog& log, const WString& key, const WString& name) {
  log.AppendLine(u"\t\t<RegValue>");
  log.AppendElement(3, "Key", key, LogValue::Escaped);
  log.AppendElement(3, "Name", name, LogValue::Escaped);
  log.AppendLine(u"\t\t</RegValue>");
}

// A formatting error is reported once per bad pair, but the step goes on,
// so the message must not leave the run looking cancelled: the aborted flag
// that it raises would otherwise stop the wait for the next program.
void ReportFormattingErrors(InstallContext& run, int count) {
  for (int i = 0; i < count; ++i) {
    bool was_aborted = run.Aborted();
    ShowFatalError(u"Binary formatting error in registry value");
    run.SetAborted(was_aborted);
  }
}

// Writes one configured value; false (after the message) stops the step.
bool WriteValue(InstallJob& job, const RegValue& record) {
  WString key = job.Expand(Widen(record.Key));
  WString name = job.Expand(Widen(record.Name));
  WString value = job.Expand(Widen(record.Value));
  if (key.empty()) return true;
  LogRegValue(job.log, key, name);

  RootKey root;
  WString sub_key;
  if (!ParseRootKey(key, &root, &sub_key)) {
    ShowFatalError(u"Invalid Key '" + key + u"'");
    return false;
  }
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (CreateInstallKey(RootKeyHandle(root), Narrow(sub_key), &handle, &disposition) != ERROR_SUCCESS) {
    ShowFatalError(u"Failed to Create Key '" + key + u"'");
    return false;
  }
  uint32_t type = 0;
  std::string data;
  int format_errors = 0;
  bool known_type = RegistryValueData(record.TypeNum, value, &type, &data, &format_errors);
  if (!known_type) {
    ShowFatalError(u"Invalid Key Type on '" + name + u"'");
    RegCloseKey(handle);
    return false;
  }
  ReportFormattingErrors(job.context, format_errors);
  RegSetValueExA(handle, Narrow(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                 static_cast<DWORD>(data.size()));
  RegCloseKey(handle);
  return true;
}

// The Add/Remove Programs entry; best effort, silent on failure.
void RegisterUninstall(const InstallJob& job, const std::string& sub_key, const std::string& install_name,
                       const WString& command) {
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (CreateInstallKey(HKEY_LOCAL_MACHINE, sub_key, &handle, &disposition) != ERROR_SUCCESS) return;
  SetStringValue(handle, "DisplayName", install_name);
  SetStringValue(handle, "UninstallString", Narrow(command));
  std::string version = Narrow(job.Expand(u"%Version%"));
  if (!version.empty()) SetStringValue(handle, "DisplayVersion", version);
  std::string publisher = Narrow(job.Expand(u"%Publisher%"));
  SetStringValue(handle, "Publisher", publisher.empty() ? kDefaultPublisher : publisher);
  WriteRepairValues(job, handle);
  RegCloseKey(handle);
}

}  // namespace

bool WriteRegistry(InstallJob& job) {
  BrioCommon::InstallConfigParser& config = job.config;
  job.log.AppendLine(u"\t<Registry>");
  MergeCommandLineValues(&config.Registry, &job.context.CommandLineRegValues());
  for (const RegValue& record : config.Registry)
    if (!WriteValue(job, record)) return false;

  WString command = job.Expand(Widen(config.UninstallCmd));
  std::string sub_key;
  if (!command.empty()) {
    std::string install_name = Narrow(job.Expand(u"%InstallName%"));
    sub_key = UninstallSubKey(install_name);
    RegisterUninstall(job, sub_key, install_name, command);
  }
  job.log.AppendLine(u"\t</Registry>");
  if (!command.empty())
    job.log.AppendLine(u"\t<UninstallDelRegKey>HKLM\\" + EscapeLogValue(Widen(sub_key)) + u"</UninstallDelRegKey>");
  return true;
}
