// Runs a batch of independent tasks on the processor's cores. Callers make
// each task's result depend only on its index, never on which thread ran it
// or in what order, so output stays the same whatever the thread count.
#pragma once
#include <cstddef>
#include <functional>

namespace base {

// Number of processors this process may use (at least 1).
unsigned ProcessorCount();

// Calls task(index, worker) for every index in [0, count), on up to
// `threads` threads at once (0: ProcessorCount()), and returns when all are
// done. `worker` (0 .. threads-1) names the thread, so that a task can use
// scratch memory of its own thread; tasks are claimed in index order.
void RunTasks(size_t count, unsigned threads, const std::function<void(size_t index, unsigned worker)>& task);

}  // namespace base
