#include "ui/application.h"

#include <stdexcept>

namespace lorvante {

TApplication Application;

UserInterface& TApplication::UI() const {
  if (ui_ == nullptr) throw std::logic_error("no user interface set");
  return *ui_;
}

int TApplication::MessageBox(const std::string& text, unsigned style) {
  return UI().MessageBox(text, Title, style);
}

int TApplication::MessageBox(const std::string& text, unsigned style, const std::string& details) {
  if (details.empty()) return MessageBox(text, style);
  return UI().DetailedMessageBox(text, details, Title, style);
}

}  // namespace lorvante
