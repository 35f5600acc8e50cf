#include "engine/external_programs.h"

#include <atomic>

namespace {

// The message is a whole string that the page copies on its timer while the
// worker may replace it; a small spin lock keeps the two copies apart (the
// mingw thread model here has no std::mutex, and the critical sections are
// a few string copies long).
class SharedText {
 public:
  void Set(const WString& text) {
    Lock();
    text_ = text;
    Unlock();
  }
  WString Get() {
    Lock();
    WString copy = text_;
    Unlock();
    return copy;
  }

 private:
  void Lock() {
    while (busy_.test_and_set(std::memory_order_acquire)) {
    }
  }
  void Unlock() { busy_.clear(std::memory_order_release); }

  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  WString text_;
};

std::atomic<bool> g_execPhase{false};
SharedText g_execMessage;

}  // namespace

bool IsExecPhase() { return g_execPhase.load(); }
WString ExecMessage() { return g_execMessage.Get(); }
void SetExecPhase(bool active) { g_execPhase.store(active); }
void SetExecMessage(const WString& message) { g_execMessage.Set(message); }

bool SplitLibraryCall(const std::string& exe, std::string* function, std::string* library) {
  size_t at = exe.find('@');
  if (at == std::string::npos) return false;
  *function = exe.substr(0, at);
  *library = exe.substr(at + 1);
  return true;
}

bool ExitCodeAccepted(const ExecRecord& record, uint32_t exit_code) {
  return record.SilentFail || record.ReturnCodes.count(static_cast<int32_t>(exit_code)) != 0;
}
