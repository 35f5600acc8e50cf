#include "engine/external_programs.h"

WString ExecStatus::Message() const {
  Lock();
  WString copy = message_;
  Unlock();
  return copy;
}

void ExecStatus::SetMessage(const WString& message) {
  Lock();
  message_ = message;
  Unlock();
}

void ExecStatus::Lock() const {
  while (busy_.test_and_set(std::memory_order_acquire)) {
  }
}

void ExecStatus::Unlock() const { busy_.clear(std::memory_order_release); }

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
