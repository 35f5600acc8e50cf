// The programs that run before and after the install (PreExec, PostExec),
// and the status the progress page shows while one of them runs.
#pragma once

#include <cstdint>
#include <string>

#include "base/string_utils.h"
#include "engine/install_records.h"

// Set for the whole run of a program list; polled by the progress page.
bool IsExecPhase();
// The expanded status text of the record being run. Safe to read from
// another thread while the worker replaces it.
WString ExecMessage();

void SetExecPhase(bool active);
void SetExecMessage(const WString& message);

// "Function@library.dll": the part before the first '@' names an exported
// function, the part after it the library. False when there is no '@'.
bool SplitLibraryCall(const std::string& exe, std::string* function, std::string* library);

// Whether a program's exit code lets the list go on: it is one of the
// record's ReturnCodes (compared as a signed 32-bit value), or the record
// has SilentFail.
bool ExitCodeAccepted(const ExecRecord& record, uint32_t exit_code);

// How often the wait for a program looks at its exit code and at Cancel.
constexpr unsigned kExecPollMilliseconds = 20;
