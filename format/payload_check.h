// The check of the decrypted payload's first bytes against the kind the tag announced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lorvante {

// The tag that marks a file whose payload is a zip archive.
inline constexpr char kZipTag[] = "DESM4G!C11";
inline constexpr std::size_t kZipTagSize = 10;

// Whether `head` is the tag, ASCII letters compared without regard to case (only a-z fold onto
// A-Z; every other byte must match exactly).
bool IsZipTag(std::span<const std::uint8_t> head);

// gzip: 1F 8B 08 00 at 0-3 and 00 03 at 8-9 (deflate, no flags, no extra flags, Unix).
// zip: 50 4B 03 04 at 0-3. A position beyond the end of `head` fails.
bool PayloadCheckPasses(std::span<const std::uint8_t> head, bool is_zip);

}  // namespace lorvante
