// The two-buffer handoff between the worker that makes blocks and the caller that uses them.
#include "app/block_pipeline.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace lorvante {
namespace {

constexpr std::size_t kBufferCount = 2;

struct Slot {
  std::vector<std::uint8_t> data;
  FilledBlock block;
  bool full = false;  // made and not yet used
};

class Handoff {
 public:
  explicit Handoff(std::size_t block_size) {
    for (auto& slot : slots_) slot.data.resize(block_size);
  }

  // Worker side: fills the slots in turn until the last block or a stop.
  void Produce(const std::function<FilledBlock(std::span<std::uint8_t>)>& produce) {
    try {
      for (std::size_t i = 0;; i = (i + 1) % kBufferCount) {
        Slot& slot = slots_[i];
        {
          std::unique_lock lock(mutex_);
          changed_.wait(lock, [&] { return !slot.full || stopped_; });
          if (stopped_) return;
        }
        const FilledBlock block = produce(slot.data);  // outside the lock: the slot is ours
        {
          std::lock_guard lock(mutex_);
          slot.block = block;
          slot.full = true;
        }
        changed_.notify_all();
        if (block.last) return;
      }
    } catch (...) {
      {
        std::lock_guard lock(mutex_);
        produce_error_ = std::current_exception();
      }
      changed_.notify_all();
    }
  }

  // Caller side: uses the slots in turn until the last block. Returns the worker's exception,
  // if it raised one, once the blocks before it were used.
  std::exception_ptr Consume(const std::function<void(std::span<const std::uint8_t>)>& consume) {
    for (std::size_t i = 0;; i = (i + 1) % kBufferCount) {
      Slot& slot = slots_[i];
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slot.full || produce_error_ != nullptr; });
        if (!slot.full) return produce_error_;
      }
      consume(std::span<const std::uint8_t>(slot.data.data(), slot.block.size));
      const bool last = slot.block.last;
      {
        std::lock_guard lock(mutex_);
        slot.full = false;
      }
      changed_.notify_all();
      if (last) return nullptr;
    }
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::array<Slot, kBufferCount> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false;
  std::exception_ptr produce_error_;
};

// The calling thread's buffer of short streams, kept for the next one: a batch of small files
// touches its memory once. A pipeline run inside another one's block gets a buffer of its own.
class CallingThreadBuffer {
 public:
  explicit CallingThreadBuffer(std::size_t size) : held_(!in_use_) {
    std::vector<std::uint8_t>& buffer = held_ ? kept_ : own_;
    if (buffer.size() < size) buffer.resize(size);
    span_ = std::span<std::uint8_t>(buffer.data(), size);
    in_use_ = true;
  }
  ~CallingThreadBuffer() {
    if (held_) in_use_ = false;
  }
  CallingThreadBuffer(const CallingThreadBuffer&) = delete;
  CallingThreadBuffer& operator=(const CallingThreadBuffer&) = delete;

  std::span<std::uint8_t> Span() const { return span_; }

 private:
  static thread_local std::vector<std::uint8_t> kept_;
  static thread_local bool in_use_;
  bool held_;
  std::vector<std::uint8_t> own_;
  std::span<std::uint8_t> span_;
};

thread_local std::vector<std::uint8_t> CallingThreadBuffer::kept_;
thread_local bool CallingThreadBuffer::in_use_ = false;

void RunOnCallingThread(std::size_t block_size,
                        const std::function<FilledBlock(std::span<std::uint8_t>)>& produce,
                        const std::function<void(std::span<const std::uint8_t>)>& consume) {
  const CallingThreadBuffer buffer(block_size);
  for (;;) {
    const FilledBlock block = produce(buffer.Span());
    consume(buffer.Span().first(block.size));
    if (block.last) return;
  }
}

}  // namespace

void RunBlockPipeline(std::size_t block_size,
                      const std::function<FilledBlock(std::span<std::uint8_t>)>& produce,
                      const std::function<void(std::span<const std::uint8_t>)>& consume,
                      PipelineMode mode) {
  if (mode == PipelineMode::kCallingThread) {
    RunOnCallingThread(block_size, produce, consume);
    return;
  }
  Handoff handoff(block_size);
  std::thread worker([&] { handoff.Produce(produce); });
  std::exception_ptr error;
  try {
    error = handoff.Consume(consume);
  } catch (...) {
    handoff.Stop();
    worker.join();
    throw;
  }
  worker.join();
  if (error != nullptr) std::rethrow_exception(error);
}

}  // namespace lorvante
