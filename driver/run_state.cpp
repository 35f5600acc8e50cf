#include "driver/run_state.h"

#include <cstring>

void GuardedName::Set(const std::string& text) {
  while (busy_.test_and_set(std::memory_order_acquire)) {
  }
  std::memset(text_, 0, sizeof text_);
  std::strncpy(text_, text.c_str(), sizeof text_ - 1);
  busy_.clear(std::memory_order_release);
}

std::string GuardedName::Get() const {
  while (busy_.test_and_set(std::memory_order_acquire)) {
  }
  std::string copy = text_;
  busy_.clear(std::memory_order_release);
  return copy;
}

RunState& Run() {
  static RunState state;
  return state;
}
