// What the tests of the folder dialog share: a TOpenDirectory run by front end `UI`, a scratch
// folder, the current directory put back afterwards, and a log of the component's events.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "opendir/OpenDir.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"
#include "ui/application.h"

namespace lorvante::test {

// One event as the component raised it, with the results it held at that moment.
struct DialogEvent {
  std::string name;
  TObject* sender;
  std::string directory;
  std::string unc_directory;
};

template <typename UI>
class OpenDirectoryFixture : public testing::Test {
 protected:
  void SetUp() override {
    Application.SetUI(&ui_);
    dialog_.ReadMountTable = [] { return MountTable(); };
  }
  void TearDown() override { Application.SetUI(nullptr); }

  // A handler that logs the event under `name`.
  TNotifyEvent Logger(const char* name) {
    return [this, name](TObject* sender) {
      events_.push_back({name, sender, dialog_.Directory(), dialog_.UNCDirectory()});
    };
  }
  std::vector<std::string> EventNames() const {
    std::vector<std::string> names;
    for (const auto& e : events_) names.push_back(e.name);
    return names;
  }

  UI ui_;
  TempDir tmp_;
  ScopedCurrentDir cwd_;  // the dialog may change the current directory
  const std::string start_dir_ = cwd_.start();
  TOpenDirectory dialog_{nullptr};
  std::vector<DialogEvent> events_;
};

}  // namespace lorvante::test
