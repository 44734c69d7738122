// Extract end to end with the real unzip library, found as the program finds it: through the
// RUNPATH of the test program (bin/../lib/lorvante), with DllDirectory left empty.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "extract_fixture.h"
#include "tests/support/zip_builder.h"
#include "zip/unzip_library.h"

namespace lorvante::test {
namespace {

namespace fs = std::filesystem;

struct Item {
  std::string name;
  std::vector<std::uint8_t> data;
  std::time_t mtime;
};

// An archive written by libzip, deflated.
void WriteArchive(const std::string& path, const std::vector<Item>& items) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr) << error;
  for (const Item& item : items) {
    zip_source_t* source = zip_source_buffer(archive, item.data.data(), item.data.size(), 0);
    ASSERT_NE(source, nullptr);
    const zip_int64_t index = zip_file_add(archive, item.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0) << zip_strerror(archive);
    zip_set_file_compression(archive, index, ZIP_CM_DEFLATE, 9);
    zip_file_set_mtime(archive, index, item.mtime, 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

std::time_t Now() {
  return std::time(nullptr);
}

void SetMTime(const std::string& path, std::time_t when) {
  fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(when - Now()));
}

std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    out.insert(fs::relative(entry.path(), root).string() + (entry.is_directory() ? "/" : ""));
  }
  return out;
}

// The file the process has mapped under the library's name, empty when none.
std::string MappedLibrary() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const std::size_t slash = line.find('/');
    if (slash != std::string::npos && line.ends_with("/libunzdll.so")) return line.substr(slash);
  }
  return {};
}

class RealLibraryTest : public ExtractFixture {
 protected:
  RealLibraryTest() { fs::create_directory(target()); }
  std::string archive() const { return dir_ / "archive.zip"; }
  std::string target() const { return dir_ / "target"; }
  std::string In(const std::string& name) const { return target() + "/" + name; }
};

TEST_F(RealLibraryTest, ListedArchiveExtractedWithProgress) {
  const auto big = RandomBytes(300000, 7);
  const auto small = Bytes("small file\n");
  WriteArchive(archive(), {{"a.txt", small, Now() - 3600}, {"dir/big.bin", big, Now() - 3600}});
  zip_.SetZipFileName(archive());
  ASSERT_EQ(zip_.FileList.size(), 2u);
  zip_.ExtractOptions = 17;
  zip_.ExtractDir = target();
  bool loaded_from_build_tree = false;
  zip_.OnZEDEndBatchEvent = [&](TObject*, int, int, int) {
    loaded_from_build_tree =
        fs::equivalent(MappedLibrary(), REAL_UNZDLL_PATH) &&
        fs::equivalent(MappedLibrary(),
                       fs::path(BinDir()) / ".." / LORVANTE_PRIVATE_DIR / "libunzdll.so");
  };

  EXPECT_EQ(zip_.Extract(), 2);  // the library's result: files written

  EXPECT_TRUE(loaded_from_build_tree) << MappedLibrary();
  EXPECT_EQ(ReadBytes(In("a.txt")), small);
  EXPECT_EQ(ReadBytes(In("dir/big.bin")), big);
  EXPECT_EQ(Tree(target()), (std::set<std::string>{"a.txt", "dir/", "dir/big.bin"}));
  EXPECT_EQ(zip_.ErrorCount, 0);
  EXPECT_EQ(zip_.BatchCount, 2);
  EXPECT_EQ(zip_.TotalBytesInBatch, static_cast<int>(big.size() + small.size()));
  EXPECT_EQ(zip_.BatchBytesDone, zip_.TotalBytesInBatch);
  EXPECT_TRUE(ui_.shown.empty());

  const auto& log = ui_.progress_log;
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log.front(), "show");
  EXPECT_EQ(log[1], "max 65535");
  EXPECT_NE(std::find(log.begin(), log.end(), "message a.txt"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "message dir/big.bin"), log.end());
  EXPECT_EQ(log[log.size() - 3], "pos 65535");
  EXPECT_EQ(log[log.size() - 2], "hide");
  EXPECT_EQ(log.back(), "free");
  int last = -1;
  for (const auto& line : log) {
    if (line.rfind("pos ", 0) != 0) continue;
    const int pos = std::stoi(line.substr(4));
    EXPECT_GE(pos, last);
    last = pos;
  }
  // Destroying the component frees the library.
}

// Fault: every unsafe entry was "not extracted: unsafe name or entry type", whatever made it so,
// and a file standing where a folder is needed was only "the file cannot be written". The reason
// now says which, as the library tells it.
TEST_F(RealLibraryTest, ReasonsSayWhatMakesAnEntryUnsafeOrStandsInItsWay) {
  const std::vector<std::uint8_t> data = Bytes("data");
  WriteBytes(archive(),
             BuildZip({{.name = "link", .data = Bytes("/etc"), .external = 0120777u << 16},
                       {.name = "../x.txt", .data = data},
                       {.name = "f", .data = data},
                       {.name = "f/g.txt", .data = data},
                       {.name = "ok.txt", .data = data}}));
  zip_.SetZipFileName(archive());
  zip_.ExtractOptions = 17;
  zip_.ExtractDir = target();
  EXPECT_EQ(zip_.Extract(), 2);
  std::vector<std::string> reasons;
  for (const SkippedEntryNotice& notice : zip_.SkippedEntries) {
    reasons.push_back(notice.entry + " | " + notice.reason);
  }
  EXPECT_EQ(reasons,
            (std::vector<std::string>{
                "link | not extracted: unsafe name or entry type (symbolic link, not created)",
                "../x.txt | not extracted: unsafe name or entry type (a name leaving the folder, "
                "through \"..\")",
                "f/g.txt | not extracted: the file cannot be written (a file stands where the "
                "folder \"f\" is needed)"}));
  EXPECT_EQ(zip_.ErrorCount, 3);
  EXPECT_EQ(Tree(target()), (std::set<std::string>{"f", "ok.txt"}));
}

TEST_F(RealLibraryTest, Options17ReplacesOnlyOlderFilesWithoutAsking) {
  const std::time_t archived = Now() - 2 * 86400;
  WriteArchive(archive(), {{"older.txt", Bytes("archived older"), archived},
                           {"newer.txt", Bytes("archived newer"), archived},
                           {"fresh.txt", Bytes("archived fresh"), archived}});
  WriteText(In("older.txt"), "existing older");
  SetMTime(In("older.txt"), archived - 86400);
  WriteText(In("newer.txt"), "existing newer");
  SetMTime(In("newer.txt"), archived + 86400);
  zip_.SetZipFileName(archive());
  zip_.ExtractOptions = 17;
  zip_.ExtractDir = target();

  EXPECT_EQ(zip_.Extract(), 2);

  EXPECT_TRUE(ui_.shown.empty());
  EXPECT_EQ(ReadText(In("older.txt")), "archived older");
  EXPECT_EQ(ReadText(In("newer.txt")), "existing newer");
  EXPECT_EQ(ReadText(In("fresh.txt")), "archived fresh");
  EXPECT_EQ(zip_.SkippedCount, 1);
  EXPECT_EQ(zip_.ErrorCount, 0);
}

struct StopError {};

TEST_F(RealLibraryTest, ExceptionFromHandlerLeavesTheOldFileAndNoTemporaryFile) {
  const auto data = RandomBytes(200000, 3);
  WriteArchive(archive(), {{"a.bin", data, Now() - 60}});
  WriteText(In("a.bin"), "old content");
  zip_.SetZipFileName(archive());
  zip_.ExtractOptions = 0;  // replace without asking
  zip_.ExtractDir = target();
  zip_.FileSpecs = {"a.bin"};
  zip_.OnZEDProgressEvent = [](TObject*, const std::string&, int, int) { throw StopError{}; };

  EXPECT_THROW(zip_.Extract(), StopError);

  EXPECT_EQ(Tree(target()), std::set<std::string>{"a.bin"});
  EXPECT_EQ(ReadText(In("a.bin")), "old content");
  EXPECT_FALSE(zip_.ProgressForm);
  EXPECT_EQ(ui_.progress_log.back(), "free");
  EXPECT_EQ(zip_.FileSpecs, std::vector<std::string>{"a.bin"});

  // The next run in the same process works.
  zip_.OnZEDProgressEvent = nullptr;
  EXPECT_EQ(zip_.Extract(), 1);
  EXPECT_EQ(ReadBytes(In("a.bin")), data);
  EXPECT_EQ(Tree(target()), std::set<std::string>{"a.bin"});
  EXPECT_EQ(zip_.ErrorCount, 0);
  EXPECT_TRUE(zip_.FileSpecs.empty());
}

TEST_F(RealLibraryTest, CancelFromTheWindowStopsTheRealLibrary) {
  WriteArchive(
      archive(),
      {{"a.txt", Bytes("a"), Now()}, {"b.txt", Bytes("b"), Now()}, {"c.txt", Bytes("c"), Now()}});
  zip_.SetZipFileName(archive());
  zip_.ExtractDir = target();
  zip_.ExtractOptions = 0;
  ui_.on_process_messages = [&] {
    if (fs::exists(In("a.txt"))) ui_.PressProgressCancel();
  };
  zip_.Extract();
  EXPECT_TRUE(zip_.Cancel);
  EXPECT_EQ(Tree(target()), std::set<std::string>{"a.txt"});
  EXPECT_EQ(ReadText(In("a.txt")), "a");
}

}  // namespace
}  // namespace lorvante::test
