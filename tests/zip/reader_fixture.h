// Shared fixture of the directory reader tests: an archive folder on a fixed disk, a component
// and the scripted front end.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "tests/support/fake_system.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/scripted/scripted_ui.h"
#include "zip/Zip.h"

namespace lorvante::test {

// A folder, a file in a subfolder and a file at the top.
inline ZipLayout ThreeEntries() {
  ZipLayout layout;
  layout.entries.resize(3);
  layout.entries[0].name = "dir/";
  layout.entries[1].name = "dir/sub/file.txt";
  layout.entries[2].name = "readme.txt";
  return layout;
}

class ReaderTest : public testing::Test {
 protected:
  ReaderTest() {
    folder_ = system_.Mount("fixed", FakeDevice{});
    Application.SetUI(&ui_);
    Application.Title = "LORVANTE";
    zip_.OnContentsChanged = [this](TObject* sender) {
      EXPECT_EQ(sender, &zip_);
      ++changes_;
    };
  }
  ~ReaderTest() override { Application.SetUI(nullptr); }

  std::string Write(const std::vector<std::uint8_t>& bytes, const std::string& name = "a.zip") {
    const std::string path = folder_ + "/" + name;
    WriteBytes(path, bytes);
    return path;
  }

  // Assigns the archive and returns the message of the ZipException it raised ("" for none).
  std::string Assign(const std::string& path) {
    try {
      zip_.SetZipFileName(path);
    } catch (const ZipException& e) {
      return e.what();
    }
    return "";
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : zip_.FileList) names.push_back(entry->FileName);
    return names;
  }

  static std::string NotValid(const std::string& path) {
    return "\"" + path + "\"\nis not a valid Zip file.";
  }

  FakeSystem system_;
  ScopedDrives scoped_{system_};
  ScriptedUserInterface ui_;
  std::string folder_;
  TZip zip_{nullptr};
  int changes_ = 0;
};

inline constexpr char kHeaderError[] = "Error reading CentralFileHeader.";

}  // namespace lorvante::test
