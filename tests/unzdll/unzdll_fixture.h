// Shared fixture of the unzip library tests: a scratch folder with an archive and a target.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/zip_builder.h"
#include "tests/unzdll/unzdll_host.h"

namespace unzdll::test {

using lorvante::test::BuildZip;
using lorvante::test::Deflate;
using lorvante::test::LibzipItem;
using lorvante::test::WriteLibzipArchive;
using lorvante::test::ZipItem;
using lorvante::test::ZipLayout;

class UnzTest : public ::testing::Test {
 protected:
  UnzTest() {
    std::filesystem::create_directory(target());
    std::filesystem::create_directory(outside());
  }

  std::string archive() const { return dir_ / "archive.zip"; }
  std::string target() const { return dir_ / "target"; }
  // A folder next to the target that nothing may ever reach.
  std::string outside() const { return dir_ / "outside"; }
  std::string In(const std::string& name) const { return target() + "/" + name; }

  void WriteZip(const std::vector<ZipItem>& items, const ZipLayout& layout = {}) {
    lorvante::test::WriteBytes(archive(), BuildZip(items, layout));
  }
  HostRun Run(const Script& script = {}) { return lib_.Run(archive(), target(), script); }

  // Every path below `root` (relative, folders with a final '/'), links not followed.
  static std::set<std::string> Tree(const std::string& root) {
    std::set<std::string> out;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
      std::string rel = std::filesystem::relative(it->path(), root).string();
      if (it->is_directory() && !it->is_symlink()) rel += '/';
      out.insert(rel);
    }
    return out;
  }

  static std::vector<std::uint8_t> Data(std::size_t size, std::uint32_t seed = 1) {
    return lorvante::test::RandomBytes(size, seed);
  }

  lorvante::test::TempDir dir_;
  UnzLibrary lib_;
};

}  // namespace unzdll::test
