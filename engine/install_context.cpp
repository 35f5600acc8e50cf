#include "engine/install_context.h"

#include <cstdio>
#include <cstdlib>

namespace {
InstallContext* installed = nullptr;
}

InstallContext* SetInstallContext(InstallContext* context) {
  InstallContext* previous = installed;
  installed = context;
  return previous;
}

InstallContext& TheInstallContext() {
  if (!installed) {
    std::fputs("install engine used without an install context\n", stderr);
    std::abort();
  }
  return *installed;
}
