// Host side of the threading primitives: the standard library's.
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "base/thread_primitives.h"

namespace base {

unsigned ProcessorsForThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

struct Thread::Native {
  std::thread thread;
};

Thread::~Thread() { Join(); }

bool Thread::Start(void (*body)(void*), void* argument) {
  Join();
  Native* n = new (std::nothrow) Native;
  if (!n) return false;
  try {
    n->thread = std::thread(body, argument);
  } catch (const std::system_error&) {
    delete n;
    return false;
  }
  native_ = n;
  return true;
}

void Thread::Join() {
  if (!native_) return;
  native_->thread.join();
  delete native_;
  native_ = nullptr;
}

struct Semaphore::Native {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
};

Semaphore::Semaphore(int initial) {
  native_ = new (std::nothrow) Native;
  if (native_) native_->count = initial;
}

Semaphore::~Semaphore() { delete native_; }

void Semaphore::Acquire() {
  std::unique_lock<std::mutex> lock(native_->mutex);
  native_->changed.wait(lock, [this] { return native_->count > 0; });
  --native_->count;
}

void Semaphore::Release() {
  {
    std::lock_guard<std::mutex> lock(native_->mutex);
    ++native_->count;
  }
  native_->changed.notify_one();
}

struct Mutex::Native {
  std::mutex mutex;
};

Mutex::Mutex() { native_ = new (std::nothrow) Native; }
Mutex::~Mutex() { delete native_; }

void Mutex::Lock() {
  if (native_) native_->mutex.lock();
}

void Mutex::Unlock() {
  if (native_) native_->mutex.unlock();
}

}  // namespace base
