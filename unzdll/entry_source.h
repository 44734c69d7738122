// The raw data of one entry, read straight from the archive file: its local header checked and
// its extra field searched for the AES field, then the data read front to back in large blocks
// (positioned reads, no seek).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "unzdll/aes_entry.h"
#include "unzdll/archive_layout.h"
#include "unzdll/failure.h"

namespace unzdll {

enum class Cipher { kNone, kZipCrypto, kAes, kOther };

// Where an entry's data lie and how they are encoded.
struct EntryData {
  std::uint64_t offset = 0;  // file position of the first data byte
  std::uint64_t size = 0;    // the compressed size, encryption overhead included
  std::uint16_t method = 0;  // the real compression method (AES entries: from their field)
  Cipher cipher = Cipher::kNone;
  AesField aes;
  // The data read together with the local header (a small entry's, whole): `prefetched` bytes
  // at `prefetched_at` in the buffer `prefetched_in`, for the first read of the entry to take.
  const std::uint8_t* prefetched_in = nullptr;
  std::size_t prefetched_at = 0;
  std::size_t prefetched = 0;
};

// Reads and checks the local header of `entry` in the archive open on `fd` (the layout's
// window starting at `window_start`, the file `file_size` bytes long). Nothing when the header is
// not there or its data do not fit in the file. When the header and all the data fit in `room`,
// they are read into it at once (see EntryData::prefetched).
std::optional<EntryData> LocateEntryData(int fd, std::uint64_t window_start,
                                         std::uint64_t file_size, const CentralEntry& entry,
                                         Failure& failure, std::span<std::uint8_t> room = {});

// Reads `size` bytes from `offset` in blocks of the buffer's size.
class EntrySource {
 public:
  EntrySource(int fd, std::uint64_t offset, std::uint64_t size, std::vector<std::uint8_t>& buffer)
      : fd_(fd), offset_(offset), left_(size), buffer_(buffer) {}

  // The next block of at most `limit` bytes (empty at the end). False on a read error or a
  // file shorter than promised.
  bool Next(std::uint64_t limit, std::span<std::uint8_t>& block, Failure& failure);
  // Exactly `out.size()` bytes, taken across blocks. False when the data end first.
  bool Take(std::span<std::uint8_t> out, Failure& failure);
  std::uint64_t left() const { return left_ + (end_ - pos_); }
  // The first `count` bytes are already in the buffer, at `at`.
  void Preload(std::size_t at, std::size_t count);

 private:
  bool Fill(Failure& failure);

  int fd_;
  std::uint64_t offset_;
  std::uint64_t left_;
  std::vector<std::uint8_t>& buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

}  // namespace unzdll
