#include "base/large_table.h"

#include <new>

namespace base {

// Large pages on Windows need a privilege that a build machine's account
// rarely holds: plain memory.
void* AllocateLargeTable(size_t bytes) { return ::operator new(bytes ? bytes : 1); }

void FreeLargeTable(void* table) { ::operator delete(table); }

}  // namespace base
