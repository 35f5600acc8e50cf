#include "tools/mkinstaller/tool_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

const ToolFile kStubFile = {"InstallerStub.exe", "MKINSTALLER_STUB", "--stub"};
const ToolFile kUninstallerFile = {"Uninstall.exe", "MKINSTALLER_UNINSTALLER", "--uninstaller"};

namespace {

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The folder of the running program, from the kernel's link to it.
std::string OwnFolder() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", &path[0], path.size() - 1);
  if (n <= 0) return std::string();
  path.resize(static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string FindToolFile(const ToolFile& file, const std::string& option_value, std::vector<std::string>* searched) {
  searched->clear();
  if (!option_value.empty()) return option_value;
  const char* variable = std::getenv(file.environment);
  if (variable && *variable) {
    // A variable that names nothing is a mistake worth reporting, not a
    // reason to pick another file silently.
    if (IsFile(variable)) return variable;
    searched->push_back(std::string(file.environment) + "=" + variable);
    return std::string();
  }
  std::string own = OwnFolder();
  if (own.empty()) return std::string();
  for (const std::string& candidate :
       {own + "/../share/mkinstaller/" + file.file_name, own + "/" + file.file_name}) {
    searched->push_back(candidate);
    if (IsFile(candidate)) return candidate;
  }
  return std::string();
}

std::string ToolFileNotFound(const ToolFile& file, const std::vector<std::string>& searched) {
  std::string text = std::string("no ") + file.file_name + " found (give " + file.option + " FILE or set " +
                     file.environment + "); looked at";
  for (size_t i = 0; i < searched.size(); ++i) text += (i ? ", " : " ") + searched[i];
  return text;
}
