// Shared fixture of the extraction tests: a scratch folder with a listed archive, the scripted
// front end as the application's, and the component with every event recorded.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/scripted/scripted_ui.h"
#include "zip/Zip.h"

namespace lorvante::test {

class ExtractFixture : public ::testing::Test {
 protected:
  ExtractFixture() : zip_(nullptr) {
    Application.SetUI(&ui_);
    Application.Title = "LORVANTE";
    zip_.OnZEDBeginFileEvent = [this](TObject* sender, const std::string& name, int size, int count,
                                      int total) {
      EXPECT_EQ(sender, &zip_);
      events_.push_back("begin " + name + " " + std::to_string(size) + " " + std::to_string(count) +
                        " " + std::to_string(total));
    };
    zip_.OnZEDProgressEvent = [this](TObject* sender, const std::string& name, int done,
                                     int total) {
      EXPECT_EQ(sender, &zip_);
      events_.push_back("progress " + name + " " + std::to_string(done) + " " +
                        std::to_string(total));
    };
    zip_.OnZEDEndBatchEvent = [this](TObject* sender, int skipped, int count, int total) {
      EXPECT_EQ(sender, &zip_);
      events_.push_back("end " + std::to_string(skipped) + " " + std::to_string(count) + " " +
                        std::to_string(total));
    };
  }
  ~ExtractFixture() override { Application.SetUI(nullptr); }

  // What was shown, one line each: "mb 0x123 <text>" or "input masked|plain <prompt>". Every
  // caption must be the application's title.
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (const ShownItem& item : ui_.shown) {
      EXPECT_EQ(item.caption, "LORVANTE");
      char style[16];
      std::snprintf(style, sizeof style, "0x%X", item.style);
      if (item.kind == ShownItem::Kind::kMessageBox) {
        out.push_back(std::string("mb ") + style + " " + item.text);
      } else {
        out.push_back(std::string("input ") + (item.masked ? "masked " : "plain ") + item.text);
      }
    }
    return out;
  }

  TempDir dir_;
  ScopedCurrentDir cwd_;  // Extract enters the extraction folder
  ScriptedUserInterface ui_;
  TZip zip_;
  std::vector<std::string> events_;
};

}  // namespace lorvante::test
