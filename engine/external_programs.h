// The programs that run before and after the install (PreExec, PostExec),
// and the status the progress page shows while one of them runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/string_utils.h"
#include "engine/install_records.h"

// What a program list shows while it runs: the worker writes it, the
// progress page copies it on its timer. One per install job.
class ExecStatus {
 public:
  // Set for the whole run of a program list.
  bool Phase() const { return phase_.load(); }
  void SetPhase(bool active) { phase_.store(active); }
  // The expanded status text of the record being run. Safe to read from
  // another thread while the worker replaces it: a small spin lock keeps
  // the two copies apart (the win32 thread model of the Windows build has
  // no std::mutex, and the critical sections are a few string copies long).
  WString Message() const;
  void SetMessage(const WString& message);

 private:
  void Lock() const;
  void Unlock() const;

  std::atomic<bool> phase_{false};
  mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  WString message_;
};

// "Function@library.dll": the part before the first '@' names an exported
// function, the part after it the library. False when there is no '@'.
bool SplitLibraryCall(const std::string& exe, std::string* function, std::string* library);

// Whether a program's exit code lets the list go on: it is one of the
// record's ReturnCodes (compared as a signed 32-bit value), or the record
// has SilentFail.
bool ExitCodeAccepted(const ExecRecord& record, uint32_t exit_code);

// How often the wait for a program looks at its exit code and at Cancel.
constexpr unsigned kExecPollMilliseconds = 20;
