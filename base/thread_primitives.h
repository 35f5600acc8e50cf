// The threading primitives the cabinet reader's read-ahead needs, kept at the
// bottom layer beside the task runner so any layer may use them: a thread
// that runs one function and is joined, a counting semaphore for handing
// buffers over, and a mutex for what both threads call.
// The Windows side (thread_primitives_win.cpp) uses the kernel's threads
// and semaphores, since the Windows build's C++ library has no std::thread;
// the host side (thread_primitives_host.cpp) uses the standard library.
#pragma once

namespace base {

// Processors this process may run its threads on (at least 1), for callers
// that start Threads of their own (the task runner's ProcessorCount() is
// what it spreads batches over, 1 on Windows).
unsigned ProcessorsForThreads();

class Thread {
 public:
  Thread() = default;
  ~Thread();  // joins a thread still running
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts body(argument) on a new thread; false when none can be made
  // (the caller then does the work itself).
  bool Start(void (*body)(void*), void* argument);
  // Waits for the body to return. Does nothing when no thread runs.
  void Join();

  struct Native;  // the platform's thread, defined by each side

 private:
  Native* native_ = nullptr;
};

// Release() and Acquire() order memory: what one thread wrote before a
// Release() is seen by the thread whose Acquire() it satisfied.
class Semaphore {
 public:
  explicit Semaphore(int initial);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  // False when the semaphore could not be made; Acquire() and Release()
  // must not be called then.
  bool Valid() const { return native_ != nullptr; }
  void Acquire();
  void Release();

 private:
  struct Native;
  Native* native_ = nullptr;
};

// A mutex that costs no system call when it is free (on Windows a critical
// section, not a kernel object).
class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  // False when the mutex could not be made; Lock() and Unlock() then do
  // nothing.
  bool Valid() const { return native_ != nullptr; }
  void Lock();
  void Unlock();

 private:
  struct Native;
  Native* native_ = nullptr;
};

class MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexLock() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace base
