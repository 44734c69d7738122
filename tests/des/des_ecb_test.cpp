// The ECB decryption against the table-driven library routine, for every kernel this processor
// can run: published vectors at every position of a batch, random data under random keys over
// lengths around the batch sizes, out of place and in place, at odd addresses.
#include "des/des_ecb.h"

#include <gtest/gtest.h>
#include <nettle/des.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "des/bitslice_kernels.h"
#include "tests/support/des_vectors.h"
#include "tests/support/test_support.h"

namespace lorvante::des {
namespace {

using test::RandomBytes;

// The largest batch of any kernel, and twice it: a full 4096-byte chunk of the program.
constexpr std::size_t kMaxBatch = bitslice::kAvx2Batch;

// Decryption by the library routine alone, as the reference.
std::vector<std::uint8_t> Reference(const std::uint8_t* key, const std::uint8_t* in,
                                    std::size_t blocks) {
  des_ctx ctx;
  des_set_key(&ctx, key);
  std::vector<std::uint8_t> out(blocks * kBlockSize);
  if (blocks != 0) des_decrypt(&ctx, out.size(), out.data(), in);
  return out;
}

void KeyFrom(const std::vector<std::uint8_t>& bytes, std::uint8_t (&key)[kKeySize]) {
  std::memcpy(key, bytes.data(), kKeySize);
}

class DesKernelTest : public ::testing::TestWithParam<Kernel> {};

TEST_P(DesKernelTest, PublishedVectorsAtEveryPositionOfABatch) {
  for (const test::DesKnownAnswer& v : test::kDesVectors) {
    std::uint8_t check[8];
    const EcbCipher cipher(v.key);
    cipher.Encrypt(v.plain, check, 1);
    ASSERT_EQ(0, std::memcmp(check, v.cipher, 8)) << "vector table itself";

    // Two batches of random blocks; the vector goes to each position in turn.
    const std::size_t blocks = 2 * kMaxBatch;
    const std::vector<std::uint8_t> noise = RandomBytes(blocks * kBlockSize, 11);
    const std::vector<std::uint8_t> noise_plain = Reference(v.key, noise.data(), blocks);
    for (std::size_t pos = 0; pos < blocks; ++pos) {
      std::vector<std::uint8_t> data = noise;
      std::memcpy(data.data() + pos * kBlockSize, v.cipher, kBlockSize);
      cipher.DecryptWith(GetParam(), data.data(), data.data(), blocks);
      ASSERT_EQ(0, std::memcmp(data.data() + pos * kBlockSize, v.plain, kBlockSize))
          << "position " << pos;
      // The neighbours are untouched by the vector's lane.
      if (pos > 0) {
        ASSERT_EQ(0, std::memcmp(data.data() + (pos - 1) * kBlockSize,
                                 noise_plain.data() + (pos - 1) * kBlockSize, kBlockSize));
      }
      if (pos + 1 < blocks) {
        ASSERT_EQ(0, std::memcmp(data.data() + (pos + 1) * kBlockSize,
                                 noise_plain.data() + (pos + 1) * kBlockSize, kBlockSize));
      }
    }
  }
}

// Lengths in blocks around the batch sizes (64 and 256) and the program's chunk (512).
constexpr std::size_t kLengths[] = {0,   1,   2,   15,  16,  17,  31,  63,  64,  65,  127, 128,
                                    129, 255, 256, 257, 300, 511, 512, 513, 767, 768, 769, 1041};
// Start offsets of the input and the output within their buffers.
constexpr std::size_t kOffsets[][2] = {{0, 0}, {1, 3}, {5, 0}, {0, 7}};
constexpr std::size_t kGuard = 64;
constexpr std::uint8_t kGuardByte = 0xA5;

TEST_P(DesKernelTest, MatchesLibraryOnRandomDataAndLengths) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    // Random key bytes: the parity bits are whatever they happen to be.
    std::uint8_t key[kKeySize];
    KeyFrom(RandomBytes(kKeySize, 1000 + seed), key);
    const EcbCipher cipher(key);
    for (const std::size_t blocks : kLengths) {
      const std::vector<std::uint8_t> data = RandomBytes(blocks * kBlockSize, seed * 7919 + 3);
      const std::vector<std::uint8_t> want = Reference(key, data.data(), blocks);
      for (const auto& offset : kOffsets) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(blocks) +
                     " blocks, offsets " + std::to_string(offset[0]) + "/" +
                     std::to_string(offset[1]));
        // Out of place.
        std::vector<std::uint8_t> in(offset[0] + data.size());
        std::copy(data.begin(), data.end(), in.begin() + offset[0]);
        std::vector<std::uint8_t> out(offset[1] + data.size() + kGuard, kGuardByte);
        cipher.DecryptWith(GetParam(), in.data() + offset[0], out.data() + offset[1], blocks);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin() + offset[1]));
        EXPECT_EQ(std::vector<std::uint8_t>(offset[1], kGuardByte),
                  std::vector<std::uint8_t>(out.begin(), out.begin() + offset[1]));
        EXPECT_EQ(std::vector<std::uint8_t>(kGuard, kGuardByte),
                  std::vector<std::uint8_t>(out.end() - kGuard, out.end()));
        EXPECT_TRUE(std::equal(data.begin(), data.end(), in.begin() + offset[0]))
            << "input changed";

        // In place.
        std::vector<std::uint8_t> both(offset[0] + data.size() + kGuard, kGuardByte);
        std::copy(data.begin(), data.end(), both.begin() + offset[0]);
        cipher.DecryptWith(GetParam(), both.data() + offset[0], both.data() + offset[0], blocks);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), both.begin() + offset[0]));
        EXPECT_EQ(std::vector<std::uint8_t>(kGuard, kGuardByte),
                  std::vector<std::uint8_t>(both.end() - kGuard, both.end()));
      }
    }
  }
}

// Every one of the 64 key bits flipped on its own: each of the 56 that the cipher uses must
// land in the right subkey bits, and the 8 parity bits must change nothing.
TEST_P(DesKernelTest, EverySingleKeyBitFlip) {
  std::uint8_t base[kKeySize];
  KeyFrom(RandomBytes(kKeySize, 77), base);
  const std::size_t blocks = kMaxBatch;
  const std::vector<std::uint8_t> data = RandomBytes(blocks * kBlockSize, 78);
  const std::vector<std::uint8_t> base_plain = Reference(base, data.data(), blocks);
  for (int bit = 0; bit < 64; ++bit) {
    std::uint8_t key[kKeySize];
    std::memcpy(key, base, kKeySize);
    key[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    const EcbCipher cipher(key);
    std::vector<std::uint8_t> out(data.size());
    cipher.DecryptWith(GetParam(), data.data(), out.data(), blocks);
    EXPECT_EQ(Reference(key, data.data(), blocks), out) << "key bit " << bit;
    const bool parity_bit = bit % 8 == 0;
    EXPECT_EQ(parity_bit, out == base_plain) << "key bit " << bit;
  }
}

// Decrypt after Encrypt gives the data back, whatever the key.
TEST_P(DesKernelTest, RoundTripWithEncryption) {
  for (std::uint32_t seed = 20; seed < 24; ++seed) {
    std::uint8_t key[kKeySize];
    KeyFrom(RandomBytes(kKeySize, seed), key);
    const EcbCipher cipher(key);
    const std::size_t blocks = 2 * kMaxBatch + 40;
    const std::vector<std::uint8_t> plain = RandomBytes(blocks * kBlockSize, seed + 100);
    std::vector<std::uint8_t> data(plain.size());
    cipher.Encrypt(plain.data(), data.data(), blocks);
    cipher.DecryptWith(GetParam(), data.data(), data.data(), blocks);
    EXPECT_EQ(plain, data);
  }
}

std::string KernelTestName(const ::testing::TestParamInfo<Kernel>& param) {
  return KernelName(param.param);
}

INSTANTIATE_TEST_SUITE_P(Kernels, DesKernelTest, ::testing::ValuesIn(AvailableKernels()),
                         KernelTestName);

TEST(DesKernelChoice, BestKernelIsAvailableAndUsedByDecrypt) {
  const Kernel best = BestKernel();
  EXPECT_TRUE(KernelAvailable(best));
  EXPECT_EQ(best, AvailableKernels().back());
  EXPECT_TRUE(KernelAvailable(Kernel::kTable));
  EXPECT_TRUE(KernelAvailable(Kernel::kPortable));

  std::uint8_t key[kKeySize];
  KeyFrom(RandomBytes(kKeySize, 5), key);
  const EcbCipher cipher(key);
  const std::size_t blocks = 512;
  const std::vector<std::uint8_t> data = RandomBytes(blocks * kBlockSize, 6);
  std::vector<std::uint8_t> out(data.size());
  cipher.Decrypt(data.data(), out.data(), blocks);
  EXPECT_EQ(Reference(key, data.data(), blocks), out);
}

}  // namespace
}  // namespace lorvante::des
