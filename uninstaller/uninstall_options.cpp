#include "uninstaller/uninstall_options.h"

#include <cstdlib>

namespace {

std::vector<std::string> Arguments(const std::string& text) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false, any = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) out.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) out.push_back(current);
  return out;
}

}  // namespace

UninstallOptions ParseUninstallOptions(const std::string& command_line) {
  UninstallOptions options;
  const std::vector<std::string> arguments = Arguments(command_line);
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty()) continue;
    if (argument[0] != '-') {
      if (options.removeAfter)
        options.removePaths.push_back(argument);
      else if (options.logPath.empty())
        options.logPath = argument;
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
    if (name == "-silent") options.silent = true;
    if (name == "-removeuserdata") options.removeUserData = true;
    if (name == "-report") options.reportPath = value;
    if (name == "-removeafter") options.removeAfter = std::atoi(value.c_str());
  }
  return options;
}

std::vector<std::string> DefaultLogNames() { return {"install.log", "uninstall.log"}; }

std::string DefaultReportPath(const std::string& log_path) {
  const size_t dot = log_path.rfind('.');
  const size_t slash = log_path.find_last_of("\\/");
  const bool has_dot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_dot ? log_path.substr(0, dot) : log_path) + "_uninstall_report.txt";
}
