// Entry point of the installer stub.
#include <windows.h>

#include "driver/installer_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  return RunInstaller(command_line ? command_line : "");
}
