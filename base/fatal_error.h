// The one way every subsystem reports an unrecoverable error. What a report
// does is the program's business, not the reporter's: the installer's driver
// installs a handler that raises its aborted flag and, unless the run is
// silent, shows the expanded message; a tool installs one that prints. The
// reporter returns normally either way: stopping its work is its own
// business.
#pragma once

#include <functional>

#include "base/string_utils.h"

// Hands the unexpanded message to the observer (when there is one), then to
// the installed handler (when there is one).
void ShowFatalError(const WString& message);

// What the program does with a fatal error. Returns the handler it replaces;
// pass an empty function to remove it.
using FatalErrorHandler = std::function<void(const WString& message)>;
FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler);

// Receives the unexpanded message of every ShowFatalError call, before the
// handler (tests record them; nothing in the installer needs one). Returns
// the observer it replaces; pass an empty function to remove it.
using FatalErrorObserver = std::function<void(const WString& message)>;
FatalErrorObserver SetFatalErrorObserver(FatalErrorObserver observer);
