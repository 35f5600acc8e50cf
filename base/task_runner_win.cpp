#include "base/task_runner.h"

namespace base {

// The Windows programs never run batches worth spreading (compression is the
// authoring tool's job, on the host), and this toolchain's thread model has
// no std::thread: tasks run one after another on the calling thread.
unsigned ProcessorCount() { return 1; }

void RunTasks(size_t count, unsigned threads, const std::function<void(size_t, unsigned)>& task) {
  for (size_t i = 0; i < count; ++i) task(i, 0);
}

}  // namespace base
