// A form of the conversion application wired to the scripted front end, with a private
// temporary folder below a scratch folder of the test.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "format/encrypt.h"
#include "platform/temp_folder.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/scripted/scripted_ui.h"

namespace lorvante::test {

// The time the tests' archives give their entries (2023-11-14).
inline constexpr time_t kArchived = 1700000000;

class FormTest : public testing::Test {
 protected:
  FormTest() : tmpdir_env_("TMPDIR", dir.path() + "/tmp") {
    mkdir((dir.path() + "/tmp").c_str(), 0755);
    Application.SetUI(&ui);
    Application.Title = messages::kApplicationTitle;
    Application.ResetTerminate();
  }
  ~FormTest() override { Application.SetUI(nullptr); }

  // A form started with `argument` as argument 1 (none at all when nothing is given).
  std::unique_ptr<TForm1> MakeForm(std::optional<std::string> argument) {
    std::vector<std::string> args = {"lorvante"};
    if (argument) args.push_back(*argument);
    Application.SetArguments(args);
    return std::make_unique<TForm1>(nullptr);
  }

  // Writes an encrypted file holding `payload`.
  std::string Encrypted(const std::string& name, const std::vector<std::uint8_t>& payload,
                        bool tagged) {
    const std::string path = dir / name;
    WriteBytes(path, EncryptPayload(payload, tagged));
    return path;
  }

  std::string TempFolder() const { return GetTempFolder(); }

  TempDir dir;
  ScopedEnv tmpdir_env_;
  ScriptedUserInterface ui;
};

}  // namespace lorvante::test
