#include "unzdll/entry_handover.h"

namespace unzdll {

void EntryHandover::Prepare(const Prepared& prepared) {
  const bool read = prepared.next == Prepared::Next::kRead;
  {
    const std::lock_guard lock(mutex_);
    prepared_value_ = prepared;
    prepared_ = true;
    // Nothing is read after a skip or before a question: the worker is done with the entry.
    finished_ = !read;
  }
  if (!read || !quiet_) changed_.notify_all();
}

bool EntryHandover::Report(std::int32_t step) {
  {
    const std::lock_guard lock(mutex_);
    reports_.push_back(step);
  }
  if (!quiet_) changed_.notify_all();
  return !Stopped();
}

void EntryHandover::Finish(const ReadResult& result, bool sealed, const Failure& seal_failure) {
  {
    const std::lock_guard lock(mutex_);
    result_ = result;
    sealed_ = sealed;
    seal_failure_ = seal_failure;
    finished_ = true;
  }
  changed_.notify_all();
}

void EntryHandover::Fail(const Failure& failure) {
  {
    const std::lock_guard lock(mutex_);
    if (!prepared_) {
      prepared_value_ = Prepared::Skip(UNZ_SKIP_DAMAGED, failure.Text());
      prepared_ = true;
    } else {
      result_ = {ReadStatus::kDamaged, failure};
      sealed_ = false;
      seal_failure_ = failure;
    }
    finished_ = true;
  }
  changed_.notify_all();
}

Prepared EntryHandover::WaitPrepared() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return prepared_; });
  return prepared_value_;
}

bool EntryHandover::ForwardReports(const std::function<bool(std::int32_t)>& send) {
  std::vector<std::int32_t> batch;
  for (;;) {
    bool finished = false;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return finished_ || forwarded_ < reports_.size(); });
      batch.assign(reports_.begin() + static_cast<std::ptrdiff_t>(forwarded_), reports_.end());
      forwarded_ = reports_.size();
      finished = finished_;
    }
    // The host is called without the lock: the worker goes on meanwhile.
    for (const std::int32_t step : batch) {
      if (!send(step)) return false;
    }
    if (finished) return true;
  }
}

void EntryHandover::Clear() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return finished_; });
  prepared_ = false;
  finished_ = false;
  quiet_ = false;
  prepared_value_ = {};
  reports_.clear();
  forwarded_ = 0;
  result_ = {};
  sealed_ = false;
  seal_failure_ = {};
}

}  // namespace unzdll
