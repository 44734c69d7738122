// Conversions side by side: a fixed set of worker threads, each converting one file at a time
// with a front end of its own that keeps what the conversion says (DeferredUserInterface)
// behind the answers of the command line. The results are taken in the order the files were
// started, so that their words reach the user in that order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/deferred/deferred_ui.h"
#include "ui/preset/preset_ui.h"

namespace lorvante {

class ConversionPool {
 public:
  // What a conversion ended with: whether it was complete, and its words, not said yet.
  struct Finished {
    bool complete = false;
    DeferredUserInterface words;
  };

  // `workers` threads; `convert` converts the file Application.ParamStr(1) names on the calling
  // thread and reports whether it was complete.
  ConversionPool(std::size_t workers, std::function<bool()> convert, PresetAnswers answers);
  // Waits for the conversions started and not taken, then ends the threads.
  ~ConversionPool();
  ConversionPool(const ConversionPool&) = delete;
  ConversionPool& operator=(const ConversionPool&) = delete;

  std::size_t Workers() const { return threads_.size(); }

  // Starts converting `arguments` (the program's name and the file) on a free worker.
  void Start(std::vector<std::string> arguments);
  // Started and not yet taken.
  std::size_t Pending() const { return jobs_.size(); }
  // Waits for the conversion started first of those not taken, and takes it.
  std::unique_ptr<Finished> TakeOldest();

 private:
  struct Job {
    std::vector<std::string> arguments;
    std::unique_ptr<Finished> result;  // set by the worker when done
  };

  void Work();
  void Convert(Job& job);

  std::function<bool()> convert_;
  PresetAnswers answers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Job>> jobs_;   // in the order started; read by the caller only
  std::deque<std::shared_ptr<Job>> queue_;  // waiting for a worker
  bool ending_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lorvante
