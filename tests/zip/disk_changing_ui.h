// A front end for the tests of spanned archives: its message boxes run an action (a disk
// change, as the user makes it before pressing OK) before they are answered.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "ui/scripted/scripted_ui.h"

namespace lorvante::test {

class DiskChangingUserInterface : public ScriptedUserInterface {
 public:
  std::deque<std::function<void()>> on_message_box;
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    const int answer = ScriptedUserInterface::MessageBox(text, caption, style);
    if (!on_message_box.empty()) {
      on_message_box.front()();
      on_message_box.pop_front();
    }
    return answer;
  }
};

}  // namespace lorvante::test
