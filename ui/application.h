// The application object: its title, its front end and the request to terminate.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace lorvante {

class TApplication {
 public:
  TApplication() = default;
  // A copy keeps everything, the count of end requests as it stands.
  TApplication(const TApplication& other);
  TApplication& operator=(const TApplication& other);

  // The caption of every message box and input box.
  std::string Title;

  // The front end in use (this thread's, see ThreadScope). Raises when none was set.
  UserInterface& UI() const;
  void SetUI(UserInterface* ui) { ui_ = ui; }

  // A message box captioned with the title.
  int MessageBox(const std::string& text, unsigned style);
  // The same with lines of details behind the text (see UserInterface::DetailedMessageBox).
  int MessageBox(const std::string& text, unsigned style, const std::string& details);

  // The file the current conversion is about, when several are converted in one run: window
  // titles name it so that each dialog says which file it is for. Empty for a single file.
  std::string Subject;
  // Counts the conversions of the run, so that a front end that heads each file's questions
  // tells two files apart also when they have one name.
  int SubjectTurn = 0;

  void ProcessMessages() { UI().ProcessMessages(); }

  // The command line: argument i, empty when there is none (this thread's, see ThreadScope).
  std::string ParamStr(std::size_t i) const;
  void SetArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }

  // Requests the end of the program; counted so that callers can tell it was made once.
  void Terminate() { ++terminate_requests_; }
  int TerminateRequests() const { return terminate_requests_; }
  void ResetTerminate() { terminate_requests_ = 0; }

  // While the object lives, the conversion on the thread that made it talks to `ui` and reads
  // `arguments` as its command line: conversions of a batch run side by side, each on a thread
  // of its own. The title stays the application's.
  class ThreadScope {
   public:
    ThreadScope(UserInterface& ui, std::vector<std::string> arguments);
    ~ThreadScope();
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;

   private:
    friend class TApplication;
    UserInterface& ui_;
    std::vector<std::string> arguments_;
    const ThreadScope* outer_;
  };

 private:
  static thread_local const ThreadScope* thread_scope_;
  UserInterface* ui_ = nullptr;
  std::vector<std::string> arguments_;
  std::atomic<int> terminate_requests_ = 0;
};

// The one application object of the process.
extern TApplication Application;

}  // namespace lorvante
