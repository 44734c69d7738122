// Builds zip archives byte by byte: stand-ins for the local headers (the reader never looks
// inside them), the central headers and the end record, each field settable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lorvante::test {

struct EntryLayout {
  std::string name = "file.txt";
  std::uint16_t version_made_by = 0x0314;  // Unix host, format 2.0
  std::uint16_t version_needed = 20;
  std::uint16_t flags = 0;
  std::uint16_t method = 8;
  std::uint16_t mod_time = 0x6000;
  std::uint16_t mod_date = 0x5821;
  std::uint32_t crc32 = 0x12345678;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint16_t disk_number_start = 0;
  std::uint16_t internal_attributes = 0;
  std::uint32_t external_attributes = 0;
  std::string extra;
  std::string comment;
  std::optional<std::uint32_t> local_header_offset;  // default: where its stand-in lies
  std::optional<std::uint32_t> signature;            // default: the central header's
};

struct ArchiveLayout {
  std::vector<EntryLayout> entries;
  std::string comment;
  std::size_t prefix = 0;       // bytes of other data in front of the archive
  bool adjust_offsets = false;  // offsets inside the archive count the prefix

  // End record fields; default: what the entries give.
  std::uint16_t this_disk = 0;
  std::uint16_t central_dir_disk = 0;
  std::optional<std::uint16_t> entries_this_disk;
  std::optional<std::uint16_t> total_entries;
  std::optional<std::uint32_t> central_dir_size;
  std::optional<std::uint32_t> central_dir_offset;
  std::optional<std::uint16_t> comment_length;

  std::vector<std::uint8_t> Build() const;
};

// One central header with its name, extra field and comment.
std::vector<std::uint8_t> CentralHeader(const EntryLayout& entry, std::uint32_t local_offset);

// Appends `value` little-endian in `width` bytes.
void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width);

}  // namespace lorvante::test
