#include "unzdll/worker_pool.h"

#include <algorithm>
#include <system_error>

namespace unzdll {

WorkerPool::WorkerPool(std::size_t workers, std::size_t count, std::size_t window, Task task)
    : count_(count), window_(window), task_(std::move(task)), limit_(std::min(count, window)) {
  threads_.reserve(workers);
  for (std::size_t worker = 0; worker < workers; ++worker) {
    try {
      threads_.emplace_back([this, worker] { Work(worker); });
    } catch (const std::system_error&) {
      break;  // as many as the system gives
    }
  }
}

WorkerPool::~WorkerPool() {
  StopAndJoin();
}

void WorkerPool::Reach(std::size_t index) {
  const std::size_t wanted = std::min(count_, index + window_);
  {
    const std::lock_guard lock(mutex_);
    // The window moves in steps of a quarter: workers that wait for it wake once for several
    // entries, not for each (a wake-up costs more than a small entry's work).
    if (wanted < count_ && wanted < limit_ + std::max<std::size_t>(1, window_ / 4)) return;
    if (wanted <= limit_) return;
    limit_ = wanted;
  }
  changed_.notify_all();
}

void WorkerPool::StopAndJoin() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void WorkerPool::Work(std::size_t worker) {
  for (;;) {
    std::size_t index = 0;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopped_ || next_ >= count_ || next_ < limit_; });
      if (stopped_ || next_ >= count_) return;
      index = next_++;
    }
    task_(index, worker);
  }
}

}  // namespace unzdll
