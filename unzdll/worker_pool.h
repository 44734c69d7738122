// Threads that take the entries of a run in archive order, each as soon as it is free, never
// more than a window of entries ahead of the one the caller is at (so that what the workers
// hold for the caller stays small, whatever the number of entries).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace unzdll {

class WorkerPool {
 public:
  // Runs `task(index, worker)` for every index below `count`, on `workers` threads (worker is
  // the thread's number, below `workers`). Fewer threads run when the system gives fewer.
  using Task = std::function<void(std::size_t index, std::size_t worker)>;
  WorkerPool(std::size_t workers, std::size_t count, std::size_t window, Task task);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The threads that run; 0 when none could be started.
  std::size_t started() const { return threads_.size(); }
  // The caller is at entry `index`: entries below index + window may be started.
  void Reach(std::size_t index);
  // No entry is started any more; the tasks running end as they see fit. Waits for them.
  void StopAndJoin();

 private:
  void Work(std::size_t worker);

  const std::size_t count_;
  const std::size_t window_;
  const Task task_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;   // the next entry to be started
  std::size_t limit_ = 0;  // entries from here on wait for the caller
  bool stopped_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace unzdll
