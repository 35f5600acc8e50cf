// The stub's handler for an exception nobody catches. The C++ library's own
// handler prints the exception's demangled type name to standard error,
// which a GUI program does not have, and brings a whole symbol demangler
// into the executable for it; this one only aborts, as that one does after
// printing. Linked into the stub directly so that it replaces the library's.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
