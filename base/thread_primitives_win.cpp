// Windows side of the threading primitives: kernel threads and semaphores.
#include <windows.h>

#include <new>

#include "base/thread_primitives.h"

namespace base {

unsigned ProcessorsForThreads() {
  DWORD_PTR process = 0, system = 0;
  unsigned n = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
    for (; process; process &= process - 1) ++n;
  if (n == 0) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    n = info.dwNumberOfProcessors;
  }
  return n == 0 ? 1 : n;
}

struct Thread::Native {
  HANDLE handle = nullptr;
  void (*body)(void*) = nullptr;
  void* argument = nullptr;
};

namespace {

DWORD WINAPI RunBody(LPVOID native) {
  auto* n = static_cast<Thread::Native*>(native);
  n->body(n->argument);
  return 0;
}

}  // namespace

Thread::~Thread() { Join(); }

bool Thread::Start(void (*body)(void*), void* argument) {
  Join();
  Native* n = new (std::nothrow) Native;
  if (!n) return false;
  n->body = body;
  n->argument = argument;
  n->handle = CreateThread(nullptr, 0, RunBody, n, 0, nullptr);
  if (!n->handle) {
    delete n;
    return false;
  }
  native_ = n;
  return true;
}

void Thread::Join() {
  if (!native_) return;
  WaitForSingleObject(native_->handle, INFINITE);
  CloseHandle(native_->handle);
  delete native_;
  native_ = nullptr;
}

struct Semaphore::Native {
  HANDLE handle = nullptr;
};

Semaphore::Semaphore(int initial) {
  HANDLE h = CreateSemaphoreA(nullptr, initial, 0x7FFFFFFF, nullptr);
  if (!h) return;
  native_ = new (std::nothrow) Native;
  if (native_) {
    native_->handle = h;
  } else {
    CloseHandle(h);
  }
}

Semaphore::~Semaphore() {
  if (!native_) return;
  CloseHandle(native_->handle);
  delete native_;
}

void Semaphore::Acquire() { WaitForSingleObject(native_->handle, INFINITE); }
void Semaphore::Release() { ReleaseSemaphore(native_->handle, 1, nullptr); }

struct Mutex::Native {
  CRITICAL_SECTION section;
};

Mutex::Mutex() {
  native_ = new (std::nothrow) Native;
  if (native_) InitializeCriticalSection(&native_->section);
}

Mutex::~Mutex() {
  if (!native_) return;
  DeleteCriticalSection(&native_->section);
  delete native_;
}

void Mutex::Lock() {
  if (native_) EnterCriticalSection(&native_->section);
}

void Mutex::Unlock() {
  if (native_) LeaveCriticalSection(&native_->section);
}

}  // namespace base
