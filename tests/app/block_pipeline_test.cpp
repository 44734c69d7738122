// The two-thread copy of the text export: blocks arrive in order and whole, the worker never
// runs more than the two buffers ahead, and a failure on either side is raised on the caller's
// thread in the order the single-threaded copy would have met it. Then the gzip source over it:
// payloads of many blocks, a fault after several blocks, a writer that fails.
#include "app/block_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "app/gzip_source.h"
#include "format/encrypt.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using ByteVector = std::vector<std::uint8_t>;

// Blocks numbered from 0: each filled with its number, `count` blocks in all.
struct NumberedBlocks {
  int count;
  std::atomic<int> made{0};
  FilledBlock operator()(std::span<std::uint8_t> buffer) {
    const int n = made++;
    std::fill(buffer.begin(), buffer.end(), static_cast<std::uint8_t>(n));
    return {buffer.size() - static_cast<std::size_t>(n % 3), n + 1 == count};
  }
};

TEST(BlockPipeline, BlocksArriveInOrderAndWhole) {
  for (const int count : {1, 2, 3, 50}) {
    NumberedBlocks produce{count};
    std::vector<int> seen;
    const auto caller = std::this_thread::get_id();
    RunBlockPipeline(1000, std::ref(produce), [&](std::span<const std::uint8_t> block) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      const int n = static_cast<int>(seen.size());
      ASSERT_EQ(block.size(), 1000u - static_cast<std::size_t>(n % 3));
      EXPECT_TRUE(std::all_of(block.begin(), block.end(),
                              [&](std::uint8_t b) { return b == static_cast<std::uint8_t>(n); }));
      seen.push_back(n);
    });
    EXPECT_EQ(static_cast<int>(seen.size()), count);
    EXPECT_EQ(produce.made, count);
  }
}

// The memory stays two blocks: while the caller holds a block, the worker fills at most one
// more and waits.
TEST(BlockPipeline, WorkerStaysWithinTwoBuffers) {
  NumberedBlocks produce{40};
  int consumed = 0;
  RunBlockPipeline(64, std::ref(produce), [&](std::span<const std::uint8_t>) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the worker run ahead
    ++consumed;
    EXPECT_LE(produce.made.load(), consumed + 1);
  });
  EXPECT_EQ(consumed, 40);
}

// A failed write stops the inflation: the worker makes at most the block it was on and the one
// in the other buffer, and the error reaches the caller once the worker has ended.
TEST(BlockPipeline, ConsumerErrorStopsTheWorker) {
  NumberedBlocks produce{1000};
  int consumed = 0;
  EXPECT_THROW(RunBlockPipeline(64, std::ref(produce),
                                [&](std::span<const std::uint8_t>) {
                                  if (++consumed == 3)
                                    throw std::runtime_error("Stream write error");
                                }),
               std::runtime_error);
  EXPECT_EQ(consumed, 3);
  EXPECT_LE(produce.made.load(), 5);
}

// The worker's error comes after the blocks it made before it.
TEST(BlockPipeline, ProducerErrorComesAfterTheBlocksBeforeIt) {
  int made = 0;
  int consumed = 0;
  try {
    RunBlockPipeline(
        64,
        [&](std::span<std::uint8_t> buffer) -> FilledBlock {
          if (++made == 4) throw std::runtime_error("worker failed");
          return {buffer.size(), false};
        },
        [&](std::span<const std::uint8_t>) { ++consumed; });
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "worker failed");
  }
  EXPECT_EQ(consumed, 3);
}

// A short stream on the calling thread: the same blocks in the same order, no other thread, and
// one buffer that the thread keeps: a larger block after a smaller one gets all of its size, a
// smaller one after a larger one the start of the same memory.
TEST(BlockPipeline, OnTheCallingThreadTheBufferServesTheNextStream) {
  const auto caller = std::this_thread::get_id();
  const std::uint8_t* kept = nullptr;
  std::size_t largest = 0;
  for (const std::size_t size :
       {std::size_t{64}, std::size_t{100000}, std::size_t{64}, std::size_t{4096}}) {
    NumberedBlocks produce{5};
    int seen = 0;
    RunBlockPipeline(
        size,
        [&](std::span<std::uint8_t> buffer) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          EXPECT_EQ(buffer.size(), size);
          // The memory moves only to grow.
          if (size > largest) kept = buffer.data();
          EXPECT_EQ(buffer.data(), kept) << size;
          return produce(buffer);
        },
        [&](std::span<const std::uint8_t> block) {
          ASSERT_EQ(block.size(), size - static_cast<std::size_t>(seen % 3));
          EXPECT_TRUE(std::all_of(block.begin(), block.end(), [&](std::uint8_t b) {
            return b == static_cast<std::uint8_t>(seen);
          }));
          ++seen;
        },
        PipelineMode::kCallingThread);
    EXPECT_EQ(seen, 5) << size;
    largest = std::max(largest, size);
  }
}

// A stream run inside a block of another one on the same thread gets memory of its own: the
// outer block stays as it was made.
TEST(BlockPipeline, OnTheCallingThreadAnInnerStreamLeavesTheOuterBlock) {
  RunBlockPipeline(
      256,
      [](std::span<std::uint8_t> buffer) {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{7});
        return FilledBlock{buffer.size(), true};
      },
      [](std::span<const std::uint8_t> outer) {
        RunBlockPipeline(
            1 << 20,
            [](std::span<std::uint8_t> buffer) {
              std::fill(buffer.begin(), buffer.end(), std::uint8_t{9});
              return FilledBlock{buffer.size(), true};
            },
            [](std::span<const std::uint8_t>) {}, PipelineMode::kCallingThread);
        EXPECT_TRUE(std::all_of(outer.begin(), outer.end(), [](std::uint8_t b) { return b == 7; }));
      },
      PipelineMode::kCallingThread);
}

// Errors on the calling thread come where the threaded copy raises them: a failed write after
// the blocks before it, a failed block after the blocks made before it.
TEST(BlockPipeline, OnTheCallingThreadErrorsComeInOrder) {
  int consumed = 0;
  NumberedBlocks produce{100};
  EXPECT_THROW(RunBlockPipeline(
                   64, std::ref(produce),
                   [&](std::span<const std::uint8_t>) {
                     if (++consumed == 3) throw std::runtime_error("Stream write error");
                   },
                   PipelineMode::kCallingThread),
               std::runtime_error);
  EXPECT_EQ(consumed, 3);
  EXPECT_EQ(produce.made.load(), 3);
  int made = 0;
  consumed = 0;
  EXPECT_THROW(
      RunBlockPipeline(
          64,
          [&](std::span<std::uint8_t> buffer) -> FilledBlock {
            if (++made == 4) throw std::runtime_error("worker failed");
            return {buffer.size(), false};
          },
          [&](std::span<const std::uint8_t>) { ++consumed; }, PipelineMode::kCallingThread),
      std::runtime_error);
  EXPECT_EQ(consumed, 3);
}

class GzipSourceTest : public testing::Test {
 protected:
  // Copies `payload` (written to a file) through the gzip source; returns the verdict and fills
  // `text` with what was written, checking the writes' sizes.
  bool Copy(const ByteVector& payload, ByteVector& text) {
    test::WriteBytes(dir / "payload", payload);
    GzipSource source(dir / "payload");
    EXPECT_TRUE(source.IsOpen());
    return source.CopyTo([&](std::span<const std::uint8_t> piece) {
      EXPECT_LE(piece.size(), GzipSource::kWriteBlockSize);
      ++writes;
      text.insert(text.end(), piece.begin(), piece.end());
    });
  }

  test::TempDir dir;
  int writes = 0;
};

// Several members of several blocks each, followed by filler: one text, written in blocks of
// 1 MiB (seven and a half MiB: eight writes).
TEST_F(GzipSourceTest, ManyBlocksOfSeveralMembersArriveWhole) {
  const ByteVector first = test::RandomBytes(5 << 20, 1);
  const ByteVector second = test::RandomBytes((5 << 19), 2);
  ByteVector payload = GzipPayload(first, 2);
  const ByteVector member2 = GzipPayload(second, 8);
  payload.insert(payload.end(), member2.begin(), member2.end());
  payload.insert(payload.end(), {0xA5, 0xA5, 0xA5});
  ByteVector text;
  EXPECT_TRUE(Copy(payload, text));
  ByteVector expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_TRUE(text == expected);
  EXPECT_EQ(writes, 8);
}

// A fault found after several blocks: the blocks before it are written, then the copy fails.
TEST_F(GzipSourceTest, FaultAfterSeveralBlocksKeepsTheTextBeforeIt) {
  const ByteVector data = test::RandomBytes(4 << 20, 3);
  ByteVector payload = GzipPayload(data, 6);
  payload[payload.size() - 8] ^= 0x01;  // the CRC
  ByteVector text;
  EXPECT_FALSE(Copy(payload, text));
  EXPECT_GE(text.size(), 3u << 20);
  EXPECT_TRUE(std::equal(text.begin(), text.end(), data.begin()));
}

// The CRC of every member is checked by the writing side, wherever the member ends: inside a
// block, exactly at the end of one (heard of only with the next, empty, block), or with no data
// at all. Each stream is copied sound and with the CRC of one member spoiled.
TEST_F(GzipSourceTest, EveryMembersCrcIsCheckedWhereverItEnds) {
  constexpr std::size_t kBlock = GzipSource::kWriteBlockSize;
  const ByteVector small = test::RandomBytes(3000, 5);
  const ByteVector whole_block = test::RandomBytes(kBlock, 6);
  const ByteVector none;
  struct Case {
    const char* name;
    std::vector<const ByteVector*> members;
    std::size_t spoiled;  // the member whose CRC is changed
  };
  const Case cases[] = {
      {"second of two", {&small, &small}, 1},
      {"first of two", {&small, &small}, 0},
      {"ends at a block's end", {&whole_block}, 0},
      {"ends at a block's end, another follows", {&whole_block, &small}, 0},
      {"empty member last", {&small, &none}, 1},
      {"empty member first", {&none, &small}, 0},
  };
  for (const Case& c : cases) {
    for (const bool spoil : {false, true}) {
      ByteVector payload;
      ByteVector expected;
      for (std::size_t i = 0; i < c.members.size(); ++i) {
        ByteVector member = GzipPayload(*c.members[i], 6);
        if (spoil && i == c.spoiled) member[member.size() - 8] ^= 0x01;
        payload.insert(payload.end(), member.begin(), member.end());
        expected.insert(expected.end(), c.members[i]->begin(), c.members[i]->end());
      }
      ByteVector text;
      EXPECT_EQ(Copy(payload, text), !spoil) << c.name << (spoil ? ", spoiled" : ", sound");
      if (!spoil) {
        EXPECT_TRUE(text == expected) << c.name;
      }
    }
  }
}

TEST_F(GzipSourceTest, WriterErrorIsRaisedOnTheCaller) {
  test::WriteBytes(dir / "payload", GzipPayload(test::RandomBytes(6 << 20, 4), 6));
  GzipSource source(dir / "payload");
  int calls = 0;
  EXPECT_THROW(source.CopyTo([&](std::span<const std::uint8_t>) {
    if (++calls == 2) throw std::runtime_error("Stream write error");
  }),
               std::runtime_error);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace lorvante
