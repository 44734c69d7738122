// Small archives for the tests, written byte by byte so that every field can be bent: names,
// flags, sizes, CRCs, offsets, hosts, attributes, data in front and filler behind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace unzdll::test {

struct ZipItem {
  std::string name;
  std::vector<std::uint8_t> data;
  std::uint16_t method = 0;  // 0 stored, 8 deflate (compressed here); others stored as given
  std::uint16_t flags = 0;
  std::uint16_t made_by = 0x031e;  // Unix, version 3.0
  std::uint32_t external = 0100644u << 16;
  std::uint16_t dos_date = (40 << 9) | (1 << 5) | 1;  // 2020-01-01
  std::uint16_t dos_time = 12 << 11;                  // 12:00:00
  std::optional<std::int32_t> unix_mtime;             // extended timestamp field
  std::optional<std::uint32_t> crc;                   // stored CRC instead of the real one
  std::optional<std::uint32_t> declared_size;         // stored size instead of the real one
  std::optional<std::size_t> local_of;  // no local entry: point at the one of that item
};

struct ZipLayout {
  std::vector<std::uint8_t> prefix;   // bytes in front of the archive
  bool adjust_offsets = false;        // offsets count from the file's start (prefix included)
  std::vector<std::uint8_t> trailer;  // bytes after the end record
};

std::vector<std::uint8_t> BuildZip(const std::vector<ZipItem>& items, const ZipLayout& layout = {});

// Raw deflate of `data`.
std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data);

// An archive written by libzip, for encryption and bzip2.
struct LibzipItem {
  std::string name;
  std::vector<std::uint8_t> data;
  std::uint16_t encryption = 0;  // ZIP_EM_...
  std::string password;
  std::int32_t compression = 8;  // ZIP_CM_...
};
void WriteLibzipArchive(const std::string& path, const std::vector<LibzipItem>& items);

}  // namespace unzdll::test
