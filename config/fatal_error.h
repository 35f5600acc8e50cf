// The fatal error message used by every subsystem for unrecoverable errors.
#pragma once

#include <functional>

#include "base/string_utils.h"

// Sets the run's aborted flag and, unless the run is silent, shows a message
// box with the caption Expand("%FATAL_POPUP_TITLE%") and the text
// Expand(message), and waits for it to be closed. Returns normally: stopping
// the work is the caller's business.
void ShowFatalError(const WString& message);

// Receives the unexpanded message of every ShowFatalError call, silent or
// not (tests record them; nothing in the installer needs one). Returns the
// observer it replaces; pass an empty function to remove it.
using FatalErrorObserver = std::function<void(const WString& message)>;
FatalErrorObserver SetFatalErrorObserver(FatalErrorObserver observer);
