#include "driver/installer_run.h"

std::string PayloadPathFor(const std::string& installer_path) {
  size_t pos = installer_path.find("_Stub.exe");
  if (pos == std::string::npos) return installer_path;
  std::string payload = installer_path;
  payload.erase(pos, 5);  // "_Stub"
  return payload;
}

std::string InstallerDirFor(const std::string& installer_path) {
  size_t pos = installer_path.find_last_of("\\/");
  return pos == std::string::npos ? installer_path : installer_path.substr(0, pos);
}
