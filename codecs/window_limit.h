// The memory bound shared by the decoders whose history window is chosen by the archive's writer.
#pragma once

#include <bit>
#include <cstdint>

namespace lorvante::codecs {

// The largest history window (LZMA dictionary, Zstandard window, PPMd model) a decoder allocates.
// The writer of an archive picks its size, and the decoder has to hold all of it in memory: a
// few bytes of header could otherwise make the program reserve gigabytes on a desktop, or on a
// server that converts many files at once. 256 MiB is the largest PPMd model a zip entry can ask
// for, and what a common archiver asks for at its strongest setting on any file over a few
// megabytes; the memory is taken as the data fill it, not when the header names it.
inline constexpr std::uint64_t kMaxWindowBytes = std::uint64_t{1} << 28;
inline constexpr int kMaxWindowLog = std::bit_width(kMaxWindowBytes) - 1;
static_assert(std::has_single_bit(kMaxWindowBytes));

}  // namespace lorvante::codecs
