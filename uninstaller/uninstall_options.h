// The uninstaller's command line:
//
//   Uninstall.exe ["C:\Games\Game\Uninstall\install.log"] [-silent]
//                 [-removeuserdata] [-report="C:\path\report.txt"]
//
// The log is the one argument that is not an option; without it the
// uninstaller looks beside itself. "-silent" asks nothing and shows nothing;
// user data then stays unless "-removeuserdata" is given. "-report" names
// the file that receives the plain-text report (by default it goes beside
// the log when something could not be removed). Blanks separate arguments,
// double quotes group them; unknown options are ignored.
#pragma once

#include <string>
#include <vector>

struct UninstallOptions {
  std::string logPath;
  // "-removeafter=PID FILE FOLDER...": the helper that removes the
  // uninstaller's own file after it ended (see StartRemovalHelper).
  int removeAfter = 0;
  std::vector<std::string> removePaths;
  std::string reportPath;
  bool silent = false;
  bool removeUserData = false;
};

// The arguments of a command line as the system gives it, the program's own
// name first (it is skipped).
UninstallOptions ParseUninstallOptions(const std::string& command_line);

// Where to look for the log when the command line names none: the files
// beside the program, in this order.
std::vector<std::string> DefaultLogNames();

// Where the report goes by default: beside the log, named after it.
std::string DefaultReportPath(const std::string& log_path);
