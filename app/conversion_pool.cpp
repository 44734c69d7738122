#include "app/conversion_pool.h"

#include <exception>
#include <utility>

#include "ui/application.h"
#include "ui/message_box.h"

namespace lorvante {

ConversionPool::ConversionPool(std::size_t workers, std::function<bool()> convert,
                               PresetAnswers answers)
    : convert_(std::move(convert)), answers_(std::move(answers)) {
  threads_.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
}

ConversionPool::~ConversionPool() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty(); });
    ending_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ConversionPool::Start(std::vector<std::string> arguments) {
  auto job = std::make_shared<Job>();
  job->arguments = std::move(arguments);
  jobs_.push_back(job);
  {
    const std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  }
  changed_.notify_all();
}

std::unique_ptr<ConversionPool::Finished> ConversionPool::TakeOldest() {
  const std::shared_ptr<Job> job = jobs_.front();
  jobs_.pop_front();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return job->result != nullptr; });
  return std::move(job->result);
}

void ConversionPool::Work() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return ending_ || !queue_.empty(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    changed_.notify_all();
    Convert(*job);
  }
}

void ConversionPool::Convert(Job& job) {
  auto finished = std::make_unique<Finished>();
  {
    PresetUserInterface ui(finished->words, answers_);
    const TApplication::ThreadScope scope(ui, job.arguments);
    try {
      finished->complete = convert_();
    } catch (const std::exception& error) {
      // The conversion shows its own failures; what escapes it is said as they are.
      finished->words.MessageBox(error.what(), Application.Title, MB_OK);
      finished->complete = false;
    }
  }
  {
    const std::lock_guard lock(mutex_);
    job.result = std::move(finished);
  }
  changed_.notify_all();
}

}  // namespace lorvante
