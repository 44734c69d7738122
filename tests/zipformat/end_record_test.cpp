// The backward search for the end record, and the check through which its reader passes over
// a record it does not accept.
#include "zipformat/end_record.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/zip_builder.h"

namespace lorvante::zipformat {
namespace {

using test::ZipLayout;

std::vector<std::uint8_t> Archive(const std::string& comment, std::uint16_t entries = 0) {
  ZipLayout layout;
  layout.entries.resize(entries);
  layout.comment = comment;
  return layout.Build();
}

TEST(EndRecordSearch, FindsTheRecordAtTheEndOrBeforeItsComment) {
  const std::vector<std::uint8_t> bare = Archive("");
  auto found = FindEndRecord(bare);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, 0u);
  EXPECT_EQ(found->record.signature, kEndRecordSignature);

  const std::vector<std::uint8_t> commented = Archive("a comment", 2);
  found = FindEndRecord(commented);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, commented.size() - kEndRecordSize - 9);
  EXPECT_EQ(found->record.total_entries, 2);
  EXPECT_EQ(found->record.comment_length, 9);
}

TEST(EndRecordSearch, TheRecordNearestTheEndWins) {
  std::vector<std::uint8_t> bytes = Archive("first", 1);
  const std::vector<std::uint8_t> second = Archive("second", 3);
  bytes.insert(bytes.end(), second.begin(), second.end());
  const auto found = FindEndRecord(bytes);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, bytes.size() - kEndRecordSize - 6);
  EXPECT_EQ(found->record.total_entries, 3);
}

TEST(EndRecordSearch, ARejectedCandidateIsPassedOverTowardsTheStart) {
  std::vector<std::uint8_t> bytes = Archive("first", 1);
  const std::size_t first = bytes.size() - kEndRecordSize - 5;
  const std::vector<std::uint8_t> second = Archive("second", 3);
  bytes.insert(bytes.end(), second.begin(), second.end());
  std::vector<std::size_t> offered;
  const auto found = FindEndRecord(bytes, [&](const EndRecordCandidate& candidate) {
    offered.push_back(candidate.offset);
    return candidate.record.total_entries == 1;
  });
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, first);
  EXPECT_EQ(offered, (std::vector<std::size_t>{bytes.size() - kEndRecordSize - 6, first}));
  EXPECT_FALSE(FindEndRecord(bytes, [](const EndRecordCandidate&) { return false; }));
}

TEST(EndRecordSearch, ASignatureWithoutAWholeRecordAfterItIsNoCandidate) {
  // Too few bytes at all, and a signature in the last 21 bytes.
  std::vector<std::uint8_t> bytes = Archive("");
  EXPECT_FALSE(FindEndRecord(std::span(bytes).first(kEndRecordSize - 1)));
  std::vector<std::uint8_t> tail(kEndRecordSize + 4, 'x');
  std::copy(bytes.begin(), bytes.begin() + 4, tail.begin() + 5);
  EXPECT_FALSE(FindEndRecord(tail));
  std::copy(bytes.begin(), bytes.begin() + 4, tail.begin() + 4);
  const auto found = FindEndRecord(tail);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, 4u);
}

TEST(EndRecordSearch, NothingInBytesWithoutTheSignature) {
  std::vector<std::uint8_t> bytes(1000, 'P');
  EXPECT_FALSE(FindEndRecord(bytes));
  bytes = Archive("");
  bytes[3] = 0x05;  // PK 05 05
  EXPECT_FALSE(FindEndRecord(bytes));
}

}  // namespace
}  // namespace lorvante::zipformat
