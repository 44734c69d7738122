// Zip archives for the tests. BuildZip writes one byte by byte, so that every field can be
// bent: names, flags, sizes, CRCs, offsets, hosts, attributes, the end record, data in front and
// filler behind. WriteLibzipArchive has libzip write one, for what libzip does better
// (encryption, other methods); MakeStoredArchive is such an archive with stored entries.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace lorvante::test {

// One entry: its local header and data, and its central header.
struct ZipItem {
  std::string name = "file.txt";
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
  std::string local_extra;              // after the timestamp field of the local header
  // Fields of the local header only, instead of what both headers say (a writer that streams
  // its output, or puts a Unicode name into an extra field of the central header only).
  std::optional<std::string> local_name;
  std::optional<std::uint32_t> local_crc;
  std::optional<std::uint32_t> local_compressed_size;
  std::optional<std::uint32_t> local_size;
  bool descriptor = false;  // a data descriptor (signature, CRC, sizes) follows the data

  // Fields of the central header only.
  std::uint16_t version_needed = 20;
  std::uint16_t disk_number_start = 0;
  std::uint16_t internal = 0;
  std::string extra;  // after the timestamp field
  std::string comment;
  std::optional<std::uint32_t> declared_compressed_size;  // instead of the stored bytes' count
  std::optional<std::uint32_t> local_header_offset;       // instead of where its local entry is
  std::optional<std::uint32_t> signature;                 // instead of the central header's
  // The bytes after the local header as given, instead of `data` (deflated for method 8).
  std::optional<std::vector<std::uint8_t>> stored;
};

// The archive around the entries.
struct ZipLayout {
  std::vector<ZipItem> entries;
  std::string comment;
  std::vector<std::uint8_t> prefix;   // bytes in front of the archive
  bool adjust_offsets = false;        // offsets count from the file's start (prefix included)
  std::vector<std::uint8_t> trailer;  // bytes after the end record and its comment
  // Zip64 records: every central header saves its sizes and offset at their maximum and carries
  // them in a zip64 extra field; the end record saves its counts, size and offset at their
  // maximum, and a zip64 end record and its locator in front of it carry them.
  bool zip64 = false;
  // With zip64: the end record saves its disk numbers as the placeholder 0xFFFF too.
  bool zip64_disk_placeholders = false;

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

// The archive of `items` in `layout` (whose own entries are replaced).
std::vector<std::uint8_t> BuildZip(const std::vector<ZipItem>& items, ZipLayout layout = {});

// One central header with its name, extra field and comment, its local entry at `local_offset`.
std::vector<std::uint8_t> CentralHeader(const ZipItem& item, std::uint32_t local_offset);

// Appends `value` little-endian in `width` bytes.
void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width);

// Raw deflate of `data`.
std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data);

// An archive written by libzip.
struct LibzipItem {
  std::string name;
  std::vector<std::uint8_t> data;
  std::uint16_t encryption = 0;  // ZIP_EM_...
  std::string password;
  std::int32_t compression = 8;  // ZIP_CM_...
  std::optional<std::time_t> mtime;
};
void WriteLibzipArchive(const std::string& path, const std::vector<LibzipItem>& items);

struct ZipEntry {
  std::string name;
  std::string data;
  std::time_t mtime;
};

// An archive of `entries` written by libzip, stored without compression so that a test can
// damage the data.
std::vector<std::uint8_t> MakeStoredArchive(const std::vector<ZipEntry>& entries);

// A zip64 archive over 4 GiB that takes little disk: "big.bin", stored, whose `big_size` bytes
// of zeros are a hole in a sparse file, then "small.txt" holding `small`, whose local header
// lies beyond 4 GiB. False when the file system keeps no holes (the file is then removed).
bool WriteSparseZip64Archive(const std::string& path, std::uint64_t big_size,
                             const std::string& small);

// Flips the case of the first byte of `marker` inside `bytes` (a CRC error for a stored entry).
void DamageAt(std::vector<std::uint8_t>& bytes, const std::string& marker);

}  // namespace lorvante::test
