#include "format/payload_check.h"

namespace lorvante {
namespace {

struct ByteAt {
  std::size_t index;
  std::uint8_t value;
};

constexpr ByteAt kGzipHeader[] = {{0, 0x1F}, {1, 0x8B}, {2, 0x08}, {3, 0x00}, {8, 0x00}, {9, 0x03}};
constexpr ByteAt kZipHeader[] = {{0, 0x50}, {1, 0x4B}, {2, 0x03}, {3, 0x04}};

template <std::size_t N>
bool Matches(std::span<const std::uint8_t> head, const ByteAt (&wanted)[N]) {
  for (const ByteAt& b : wanted) {
    if (b.index >= head.size() || head[b.index] != b.value) return false;
  }
  return true;
}

std::uint8_t UpperAscii(std::uint8_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

}  // namespace

bool IsZipTag(std::span<const std::uint8_t> head) {
  if (head.size() != kZipTagSize) return false;
  for (std::size_t i = 0; i < kZipTagSize; ++i) {
    if (UpperAscii(head[i]) != static_cast<std::uint8_t>(kZipTag[i])) return false;
  }
  return true;
}

bool PayloadCheckPasses(std::span<const std::uint8_t> head, bool is_zip) {
  return is_zip ? Matches(head, kZipHeader) : Matches(head, kGzipHeader);
}

}  // namespace lorvante
