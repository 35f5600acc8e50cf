#include "tools/mkinstaller/config_loader.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "config/builtin_variables.h"
#include "config/defines_parser.h"
#include "config/expand.h"
#include "config/properties_parser.h"
#include "base/string_utils.h"
#include "engine/install_config.h"

namespace {

// Where the installer would find things on a default Windows 7 system; used
// to tell which configured paths point into the payload.
const char kTempFolder[] = "C:\\Users\\Player\\AppData\\Local\\Temp\\zelcfg1";
const char kInstallerPath[] = "C:\\Users\\Player\\Downloads\\Setup.exe";

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A Windows path below `root` (compared without case, as Windows does) as a
// host path below host_root; empty when it lies elsewhere.
std::string MapIntoFolder(const std::string& windows_path, const std::string& root, const std::string& host_root) {
  std::string prefix = Upper(RemoveTrailingSlash(root)) + "\\";
  std::string path = windows_path;
  if (path.size() >= 2 && path.front() == '"') {
    size_t close = path.find('"', 1);
    path = path.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  for (char& c : path)
    if (c == '/') c = '\\';
  if (Upper(path).compare(0, prefix.size(), prefix) != 0) return std::string();
  std::string relative = path.substr(prefix.size());
  for (char& c : relative)
    if (c == '\\') c = '/';
  return host_root + "/" + relative;
}

}  // namespace

std::string ExpandNarrow(const std::string& text) { return Narrow(Expand(Widen(text), true)); }

std::string CommandProgram(const std::string& command) {
  if (!command.empty() && command.front() == '"') {
    size_t close = command.find('"', 1);
    return command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  std::string upper = Upper(command);
  for (size_t at = upper.find(".EXE"); at != std::string::npos; at = upper.find(".EXE", at + 1)) {
    size_t end = at + 4;
    if (end == upper.size() || upper[end] == ' ' || upper[end] == '\t') return command.substr(0, end);
  }
  return command;
}

std::string PayloadEntryName(const std::string& expanded_path) {
  const struct {
    std::string root;
    const char* entry_folder;
  } roots[] = {{Narrow(Expand(u"%InstallPath%", true)), "files"}, {kTempFolder, "cfg"}};
  for (const auto& r : roots) {
    if (r.root.empty()) continue;
    std::string mapped = MapIntoFolder(expanded_path, r.root, r.entry_folder);
    if (mapped.empty() || mapped.size() == std::strlen(r.entry_folder) + 1) continue;
    for (char& c : mapped)
      if (c == '/') c = '\\';
    return mapped;
  }
  return std::string();
}

namespace {

// What one run of the tool loaded: it checks or packs one configuration.
struct LoadedConfiguration {
  BrioCommon::PropertiesParser properties;
  BrioCommon::InstallConfigParser config;
  DefinesParser record;
};

LoadedConfiguration& Loaded() {
  static LoadedConfiguration loaded;
  return loaded;
}

}  // namespace

BrioCommon::InstallConfigParser& LoadedInstallConfig() { return Loaded().config; }
const BrioCommon::PropertiesParser& LoadedProperties() { return Loaded().properties; }

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *bytes = text.str();
  return !in.bad();
}

ConfigLoadResult LoadConfiguration(const std::string& cfg_dir, const std::vector<std::string>& defines_texts) {
  ConfigLoadResult result;
  DefinesParser& variables = MainVariables();
  SetBuiltinVariables();
  variables.SetVariable(u"InstallerExePath", Widen(kInstallerPath));
  variables.SetVariable(u"InstallerExeDir", Widen(GetDirectory(kInstallerPath)));
  variables.SetVariable(u"TempInstallerDir", Widen(kTempFolder));

  // The installer reads the files from its temporary folder with backslashes;
  // on the host the same files are read from the configuration folder.
  std::string base = RemoveTrailingSlash(cfg_dir) + "/";

  BrioCommon::PropertiesParser& properties = Loaded().properties;
  if (!properties.ParseFile(base + "props.xml")) {
    result.error = "Properties file error: '" + properties.ErrorText() + "'";
    return result;
  }
  CopyPropertyStrings(properties, variables);

  BrioCommon::InstallConfigParser& config = Loaded().config;
  if (!config.ParseFile(base + "install.xml")) {
    result.error = config.GetErrorText();
    return result;
  }
  variables.SetVariable(u"ProgramDataFolder", Widen("C:\\ProgramData\\" + config.AppDataSuffix));

  if (!variables.ParseFile(base + "defines.xml")) {
    result.error = variables.ErrorText();
    return result;
  }
  DefinesParser& record = Loaded().record;
  if (!record.ParseFile(base + "defines.xml")) {
    result.error = record.ErrorText();
    return result;
  }
  for (const std::string& text : defines_texts) {
    if (!variables.ParseText(text)) {
      result.error = "Attached Defines: " + variables.ErrorText();
      return result;
    }
    if (!record.ParseText(text)) {
      result.error = "Attached Defines: " + record.ErrorText();
      return result;
    }
  }
  variables.SetVariable(u"MinDXVer", u"3.0");
  result.ok = true;
  return result;
}

void CheckPackedFiles(const std::string& cfg_dir, const std::string& files_dir, ConfigLoadResult* result) {
  std::string base = RemoveTrailingSlash(cfg_dir);
  std::string license = Narrow(MainVariables().GetVariable(u"LICENSE_TXT_FILENAME"));
  if (!license.empty() && !IsFile(base + "/" + license))
    result->warnings.push_back("the license file '" + license + "' is not in the configuration folder");
  for (const char* bitmap : {"logo.bmp", "product.bmp"}) {
    if (!IsFile(base + "/" + bitmap))
      result->warnings.push_back(std::string("the header bitmap '") + bitmap + "' is not in the configuration folder");
  }

  std::string install_path = Narrow(Expand(u"%InstallPath%", true));
  // A path that lies in the install folder must be a packed file; one in the
  // temporary folder must be a configuration file; others are not ours.
  auto check = [&](const std::string& what, const std::string& raw) {
    if (raw.empty()) return;
    std::string expanded = ExpandNarrow(raw);
    std::string in_cfg = MapIntoFolder(expanded, kTempFolder, base);
    if (!in_cfg.empty()) {
      if (!IsFile(in_cfg)) result->warnings.push_back(what + " '" + raw + "' names no file of the configuration folder");
      return;
    }
    if (files_dir.empty() || install_path.empty()) return;
    std::string in_files = MapIntoFolder(expanded, install_path, RemoveTrailingSlash(files_dir));
    if (!in_files.empty() && !IsFile(in_files))
      result->warnings.push_back(what + " '" + raw + "' names no packed file");
  };
  const BrioCommon::InstallConfigParser& config = Loaded().config;
  check("RunExe", config.RunExe);
  for (const Shortcut& s : config.Shortcuts) {
    // Web addresses and shell documents outside the payload are not checked.
    if (s.Target.compare(0, 7, "http://") == 0 || s.Target.compare(0, 8, "https://") == 0) continue;
    check("the shortcut target", s.Target);
  }
  for (const ExecRecord& e : config.PreExec) check("the prerequisite", e.Exe);
  for (const ExecRecord& e : config.PostExec) check("the post-install program", e.Exe);
}
