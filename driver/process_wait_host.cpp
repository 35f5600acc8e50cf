// "-waitpid" on the host: the installer never runs here, so there is nothing
// to wait for.
#include "driver/command_line.h"

void WaitForProcessToEnd(int) {}
