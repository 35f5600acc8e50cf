#include "support/run_command_host.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/test_support.h"

namespace testsupport {

CommandResult RunCommand(const std::string& command) {
  ScratchDir capture;
  std::string full = command + " >" + ShellQuote(capture.file("out")) + " 2>" + ShellQuote(capture.file("err"));
  int status = std::system(full.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(capture.file("out")), ReadText(capture.file("err"))};
}

int RunCommand(const std::string& command, std::string* output) {
  const CommandResult r = RunCommand("( " + command + " )");
  *output = r.out + r.err;
  return r.status;
}

}  // namespace testsupport
