#include "base/large_table.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace base {
namespace {

constexpr size_t kLargePage = size_t(2) << 20;

}  // namespace

void* AllocateLargeTable(size_t bytes) {
  if (bytes < kLargePage) {
    void* table = std::malloc(bytes ? bytes : 1);
    if (!table) throw std::bad_alloc();
    return table;
  }
  // Whole large pages, so that no neighbour shares them; asked for before
  // the first write, when the pages are made.
  const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  void* table = nullptr;
  if (posix_memalign(&table, kLargePage, rounded) != 0) throw std::bad_alloc();
  madvise(table, rounded, MADV_HUGEPAGE);  // only advice: plain pages when refused
  return table;
}

void FreeLargeTable(void* table) { std::free(table); }

}  // namespace base
