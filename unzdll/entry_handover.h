// What a worker finds out about one entry, handed to the calling thread, which alone talks to
// the host: first what the preparation of the entry decided, then the progress reports as they
// come (forwarded live while the entry is the caller's, kept until then), then the result.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "unzdll/entry_reader.h"
#include "unzdll/failure.h"
#include "unzdll/unzdll_api.h"

namespace unzdll {

// What happens next with an entry whose data are about to be read.
struct Prepared {
  enum class Next {
    kRead,         // read its data (into its temporary file when extracting)
    kSkip,         // skipped for `reason` (a UNZ_SKIP_ code) with `detail`
    kAskExisting,  // its target exists: the host is asked first (`older`: the file is older)
  };
  Next next = Next::kRead;
  int reason = 0;
  std::string detail;
  bool older = false;
  // The host is told `detail` with the reason (what makes the entry unsafe, what stands in its
  // way); other details go to the trace only.
  bool shown = false;

  static Prepared Skip(int reason, std::string detail, bool shown = false) {
    return {Next::kSkip, reason, std::move(detail), false, shown};
  }
  // A folder or file that cannot be made: unsafe when a symbolic link stands in the way, else
  // it cannot be written. The library's own words (what stands in the way) are shown, the
  // system's texts traced.
  static Prepared WriteFailure(const Failure& failure) {
    return Skip(failure.unsafe ? UNZ_SKIP_UNSAFE : UNZ_SKIP_CANNOT_WRITE, failure.Text(),
                !failure.detail.empty());
  }
};

class EntryHandover : public ProgressSink {
 public:
  // `stop` is set by the caller when the host asked to stop.
  explicit EntryHandover(const std::atomic<bool>& stop) : stop_(stop) {}

  // Worker side, in this order: Quiet at most once, Prepare once, Report any number of times,
  // Finish once.
  //
  // A quiet entry wakes the caller only when it is done (or when it will not be read): a small
  // entry is read sooner than a waiting caller could be woken for its preparation and each of its
  // progress reports, and then sees them all at once.
  void Quiet() { quiet_ = true; }
  void Prepare(const Prepared& prepared);
  bool Report(std::int32_t step) override;
  bool Stopped() const override { return stop_.load(std::memory_order_relaxed); }
  // The read's result; `sealed` false with `seal_failure` when the file could not be closed.
  void Finish(const ReadResult& result, bool sealed, const Failure& seal_failure);

  // Ends the entry with `failure` (as damaged data), wherever the worker was.
  void Fail(const Failure& failure);

  // Caller side: waits for the preparation.
  Prepared WaitPrepared();
  // Hands every report to `send` as it comes, until the worker has finished. False as soon as
  // `send` returns false (the host asked to stop).
  bool ForwardReports(const std::function<bool(std::int32_t)>& send);
  // Once finished: the read's result and the closing of the file.
  const ReadResult& result() const { return result_; }
  bool sealed() const { return sealed_; }
  const Failure& seal_failure() const { return seal_failure_; }
  // Waits until the worker has left the entry, and makes the handover ready for another.
  // Only for an entry that a worker took.
  void Clear();

 private:
  const std::atomic<bool>& stop_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool prepared_ = false;
  bool finished_ = false;  // the worker has left the entry
  bool quiet_ = false;     // set and read by the worker alone
  Prepared prepared_value_;
  std::vector<std::int32_t> reports_;
  std::size_t forwarded_ = 0;
  ReadResult result_;
  bool sealed_ = false;
  Failure seal_failure_;
};

}  // namespace unzdll
