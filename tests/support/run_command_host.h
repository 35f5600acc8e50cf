// Runs a shell command on the host with its standard output and error caught
// in files (not pipes: a Wine service started by the command may inherit a
// pipe and hold it open long after the command ended).
#pragma once

#include <string>

namespace testsupport {

struct CommandResult {
  int status;  // the exit status, -1 when the command did not exit normally
  std::string out;
  std::string err;
};

CommandResult RunCommand(const std::string& command);

// The same for a command line of several commands; returns the exit status
// and sets *output to what it wrote, standard output then standard error.
int RunCommand(const std::string& command, std::string* output);

}  // namespace testsupport
