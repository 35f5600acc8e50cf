#include "base/fatal_error.h"

#include <utility>

namespace {

FatalErrorHandler& Handler() {
  static FatalErrorHandler handler;
  return handler;
}

FatalErrorObserver& Observer() {
  static FatalErrorObserver observer;
  return observer;
}

}  // namespace

FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler) {
  FatalErrorHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

FatalErrorObserver SetFatalErrorObserver(FatalErrorObserver observer) {
  FatalErrorObserver previous = std::move(Observer());
  Observer() = std::move(observer);
  return previous;
}

void ShowFatalError(const WString& message) {
  if (Observer()) Observer()(message);
  if (Handler()) Handler()(message);
}
