#include "base/task_runner.h"

#include <atomic>
#include <thread>
#include <vector>

namespace base {

unsigned ProcessorCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

void RunTasks(size_t count, unsigned threads, const std::function<void(size_t, unsigned)>& task) {
  if (threads == 0) threads = ProcessorCount();
  if (threads > count) threads = static_cast<unsigned>(count);
  if (threads <= 1) {
    for (size_t i = 0; i < count; ++i) task(i, 0);
    return;
  }
  std::atomic<size_t> next{0};
  auto loop = [&](unsigned worker) {
    for (size_t i; (i = next.fetch_add(1)) < count;) task(i, worker);
  };
  std::vector<std::thread> pool;
  for (unsigned w = 1; w < threads; ++w) pool.emplace_back(loop, w);
  loop(0);
  for (std::thread& t : pool) t.join();
}

}  // namespace base
