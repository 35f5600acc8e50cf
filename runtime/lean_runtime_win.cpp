// The C++ runtime pieces the shipped Windows programs (the stub and the
// uninstaller) link instead of the C++ library's own. Those programs are
// built without exceptions: nothing in them throws or catches, and every
// allocation whose failure they can report (the decoders' windows, the
// cabinet engine's buffers) is made without throwing and checked. The
// library's versions of what follows throw, and one throw would bring the
// exception classes, their strings, the unwinder and the unwind tables
// (about a third of the stub). These do what an uncaught exception did
// before: end the program.
//  - operator new: memory from the C runtime's heap; failing a plain new
//    aborts, failing a nothrow new returns null;
//  - std::__throw_*: what the library's headers call on a broken
//    precondition (a string past its maximum size, an index out of range,
//    an empty std::function called): abort;
//  - guarded initialisation of function-level statics, safe across threads;
//  - the terminate handler: the library's prints the exception's demangled
//    type to a standard error that a GUI program does not have.
// Linked as objects into each program (runtime/CMakeLists.txt), so that
// they replace the library's.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t size) {
  return std::malloc(size ? size : 1);
}

void* AllocateOrAbort(std::size_t size) {
  void* p = Allocate(size);
  if (!p) std::abort();
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrAbort(size); }
void* operator new[](std::size_t size) { return AllocateOrAbort(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace std {

// The whole set the library defines together, so that none of its own is
// pulled in beside these.
void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// Function-level statics: the guard's first byte says "initialised"; its
// second word holds the id of the thread running the initialiser, so that
// other threads wait for it and the same thread entering again (a static
// whose initialiser needs itself) aborts instead of waiting for ever.
namespace {

struct Guard {
  volatile char done;
  char pad[3];
  volatile LONG owner;
};
static_assert(sizeof(Guard) == 8, "the guard is the ABI's 64-bit word");

}  // namespace

extern "C" int __cxa_guard_acquire(Guard* guard) {
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  for (;;) {
    if (__atomic_load_n(&guard->done, __ATOMIC_ACQUIRE)) return 0;
    const LONG owner = InterlockedCompareExchange(&guard->owner, self, 0);
    if (owner == 0) {
      if (__atomic_load_n(&guard->done, __ATOMIC_ACQUIRE)) {
        InterlockedExchange(&guard->owner, 0);
        return 0;
      }
      return 1;
    }
    if (owner == self) std::abort();
    Sleep(0);
  }
}

extern "C" void __cxa_guard_release(Guard* guard) {
  __atomic_store_n(&guard->done, 1, __ATOMIC_RELEASE);
  InterlockedExchange(&guard->owner, 0);
}

extern "C" void __cxa_guard_abort(Guard* guard) { InterlockedExchange(&guard->owner, 0); }
