// Entry point of the installer stub.
#include <windows.h>

#include "base/library_loading.h"
#include "driver/installer_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  // Before anything can load a library: the system folder alone.
  RestrictLibrarySearch();
  return RunInstaller(command_line ? command_line : "");
}
