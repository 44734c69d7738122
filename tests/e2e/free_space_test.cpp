// A result that cannot fit is refused before anything is written: the run says how much it
// needs and how much is free, and ends failed (status 1), in --batch as in a run that asks. On a
// small tmpfs mounted for the test (root only).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "format/encrypt.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

using test::Bytes;
using Names = std::vector<std::string>;

constexpr char kSmallDisk[] = "size=1m";
constexpr std::uint32_t kTextOverTheDisk = 0x01010101;  // 16 MiB and a little; no byte is 0

// A gzip payload whose last member holds `size` bytes of one letter, made so that its end
// leaves no doubt about that member's length: the whole a multiple of the cipher block (no
// filler; a short first member sets the length), and no 0 byte in the last trailer (no place it
// could end at gives a smaller length).
std::vector<std::uint8_t> GzipEndingInLength(std::uint32_t size) {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::vector<std::uint8_t> last =
        GzipPayload(std::vector<std::uint8_t>(size, static_cast<std::uint8_t>(letter)));
    const std::uint8_t* trailer = last.data() + last.size() - 8;
    if (std::find(trailer, trailer + 4, 0) != trailer + 4) continue;
    for (std::size_t first_size = 1; first_size <= 64; ++first_size) {
      std::vector<std::uint8_t> gzip = GzipPayload(test::RandomBytes(first_size, 7), 2);
      if ((gzip.size() + last.size()) % 8 != 0) continue;
      gzip.insert(gzip.end(), last.begin(), last.end());
      return gzip;
    }
  }
  ADD_FAILURE() << "no letter gives a trailer without a 0 byte";
  return {};
}

class FreeSpace : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(disk_);
    if (geteuid() != 0 || mount("tmpfs", disk_.c_str(), "tmpfs", 0, kSmallDisk) != 0) {
      GTEST_SKIP() << "no small tmpfs can be mounted here";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(disk_.c_str(), MNT_DETACH);
  }

  std::string Tagged(std::size_t size) const {
    const std::string path = machine_.dir() / "adatok.zip.des";
    const std::vector<std::uint8_t> data(size, 'x');
    test::WriteBytes(
        path, EncryptPayload(
                  test::BuildZip({{.name = "adatok/nagy.bin", .data = data, .method = 8}}), true));
    return path;
  }

  // The message of a refusal: its first line, then the figures.
  static void ExpectRefused(const test::RunResult& result, const std::string& place,
                            const std::string& needed) {
    EXPECT_EQ(result.status, 1) << result.err;
    const Names messages = test::MessagesIn(result.err);
    ASSERT_FALSE(messages.empty()) << result.err;
    EXPECT_EQ(messages.front(), "Nincs elég szabad hely itt: " + place) << result.err;
    // What is free: the small disk, less what stands on it.
    EXPECT_NE(result.err.find("Szükséges: " + needed + " bájt, szabad: "), std::string::npos)
        << result.err;
  }

  test::Headless machine_;
  std::string disk_ = machine_.dir() / "disk";
  bool mounted_ = false;
};

TEST_F(FreeSpace, AnArchiveLargerThanTheDiskIsRefusedBeforeAnythingIsWritten) {
  for (const bool batch : {true, false}) {
    SCOPED_TRACE(batch ? "--batch" : "asked");
    const test::RunResult result = batch ? machine_.Run({"--batch", "-o", disk_, Tagged(2 << 20)})
                                         : machine_.Run({Tagged(2 << 20)}, disk_ + "\n");
    ExpectRefused(result, disk_, "2 097 152");
    EXPECT_EQ(test::SortedNames(disk_), Names{});
  }
}

TEST_F(FreeSpace, AnArchiveThatFitsIsExtracted) {
  const test::RunResult result = machine_.Run({"--batch", "-o", disk_, Tagged(512 << 10)});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(std::filesystem::file_size(disk_ + "/adatok/nagy.bin"), 512u << 10);
}

TEST_F(FreeSpace, ATextWhoseTrailerSaysItCannotFitIsRefused) {
  const std::string bare = machine_.dir() / "nagy.txt.des";
  test::WriteBytes(bare, EncryptPayload(GzipEndingInLength(kTextOverTheDisk), false));
  const std::string chosen = disk_ + "/nagy.txt";
  test::WriteText(chosen, test::kOldContent);
  const test::RunResult result = machine_.Run({bare}, chosen + "\ny\n");
  ExpectRefused(result, disk_ + "/", "16 843 009");
  EXPECT_EQ(test::SortedNames(disk_), Names{"nagy.txt"});
  EXPECT_EQ(test::ReadText(chosen), test::kOldContent);
}

}  // namespace
}  // namespace lorvante
