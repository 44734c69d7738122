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

}  // namespace lorvante
