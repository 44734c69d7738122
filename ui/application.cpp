#include "ui/application.h"

#include <stdexcept>
#include <utility>

namespace lorvante {

TApplication Application;

thread_local const TApplication::ThreadScope* TApplication::thread_scope_ = nullptr;

TApplication::ThreadScope::ThreadScope(UserInterface& ui, std::vector<std::string> arguments)
    : ui_(ui), arguments_(std::move(arguments)), outer_(thread_scope_) {
  thread_scope_ = this;
}

TApplication::ThreadScope::~ThreadScope() {
  thread_scope_ = outer_;
}

TApplication::TApplication(const TApplication& other)
    : Title(other.Title),
      Subject(other.Subject),
      SubjectTurn(other.SubjectTurn),
      ui_(other.ui_),
      arguments_(other.arguments_),
      terminate_requests_(other.terminate_requests_.load()) {}

TApplication& TApplication::operator=(const TApplication& other) {
  Title = other.Title;
  Subject = other.Subject;
  SubjectTurn = other.SubjectTurn;
  ui_ = other.ui_;
  arguments_ = other.arguments_;
  terminate_requests_ = other.terminate_requests_.load();
  return *this;
}

UserInterface& TApplication::UI() const {
  if (thread_scope_ != nullptr) return thread_scope_->ui_;
  if (ui_ == nullptr) throw std::logic_error("no user interface set");
  return *ui_;
}

std::string TApplication::ParamStr(std::size_t i) const {
  const std::vector<std::string>& arguments =
      thread_scope_ != nullptr ? thread_scope_->arguments_ : arguments_;
  return i < arguments.size() ? arguments[i] : "";
}

int TApplication::MessageBox(const std::string& text, unsigned style) {
  return UI().MessageBox(text, Title, style);
}

int TApplication::MessageBox(const std::string& text, unsigned style, const std::string& details) {
  if (details.empty()) return MessageBox(text, style);
  return UI().DetailedMessageBox(text, details, Title, style);
}

}  // namespace lorvante
