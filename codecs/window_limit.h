// The memory bound shared by the decoders whose history window is chosen by the archive's writer.
#pragma once

#include <bit>
#include <cstdint>

namespace lorvante::codecs {

// The largest history window (LZMA dictionary, Zstandard window, PPMd model) a decoder allocates.
// The writer of an archive picks its size, and the decoder has to hold all of it in memory: a
// few bytes of header could otherwise make the program reserve gigabytes on a desktop, or on a
// server that converts many files at once. 128 MiB is what libzstd accepts by default (window log 27) and more
// than common archivers use at their strongest settings (64 MiB).
inline constexpr std::uint64_t kMaxWindowBytes = std::uint64_t{1} << 27;
inline constexpr int kMaxWindowLog = std::bit_width(kMaxWindowBytes) - 1;
static_assert(std::has_single_bit(kMaxWindowBytes));

}  // namespace lorvante::codecs
