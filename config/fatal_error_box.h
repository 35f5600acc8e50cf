// The fatal error message box the installer shows: caption
// Expand("%FATAL_POPUP_TITLE%"), text Expand(message). The driver's fatal
// error handler calls it unless the run is silent; mkinstaller's handler
// calls it always (the host side of the box writes to standard error).
#pragma once

#include "base/string_utils.h"

void ShowFatalErrorBox(const WString& message);
