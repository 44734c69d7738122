// Where an archive ends: the end record that the backwards search accepts, completed by the
// zip64 end record when the archive has one. The directory reader and the unzip library both
// find the end of an archive by this one rule.
//
// A place where the signature stands is the archive's end record only if it is consistent: the
// comment it announces reaches the end of the data (or runs past it, when the file was cut in
// the comment), and the central directory it describes lies in the data in front of it (with
// room for data in front of the archive, whose offsets then count from a later start). A zip
// comment may itself hold something that looks like an end record; the real record announces a
// comment that encloses it, so a consistent record whose comment (within the data) holds another
// wins over it, even when the inner one reaches the end of the data exactly and the outer one
// is followed by filler (a payload padded to the cipher's block). Otherwise a record that
// reaches the end is taken before one with a few bytes of filler behind its comment.
//
// The directory's size that the record saves is a checked hint, not a veto: where no central
// header stands at the place it gives, but exactly the counted headers stand at the directory's
// offset and end where the directory ends, the size is theirs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "zipformat/records.h"

namespace lorvante::zipformat {

// The search looks at this many bytes at the end of the data: an end record with the longest
// comment, and some filler behind it.
inline constexpr std::uint64_t kEndFillerAllowance = 4096;
inline constexpr std::uint64_t kEndSearchWindow =
    kEndRecordSize + kMaxCommentLength + kEndFillerAllowance;

struct ArchiveEnd {
  std::uint64_t position = 0;  // of the end record in the data
  EndRecord record;            // its fixed fields as stored
  // The zip64 end record, found through the locator in front of the end record.
  std::optional<Zip64EndRecord> zip64;
  std::uint64_t zip64_position = 0;
  // The disk numbers, the entry count and the directory's size and offset: from the zip64 end
  // record where the end record saves them at their maximum, else as the end record saves them.
  std::uint32_t this_disk = 0;
  std::uint32_t central_dir_disk = 0;
  std::uint64_t entries = 0;
  std::uint64_t directory_size = 0;  // as checked against the headers (see above)
  std::uint64_t directory_offset = 0;
  // Where the central directory ends in the data: at the zip64 end record when there is one,
  // else at the end record.
  std::uint64_t directory_end = 0;
};

// Reads `out.size()` bytes at `offset` of the data; false when fewer are there.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)>;

// The end of the archive whose data is `data_size` bytes long, read through `read`; nothing
// when no consistent end record lies in the last kEndSearchWindow bytes.
std::optional<ArchiveEnd> LocateArchiveEnd(std::uint64_t data_size, const ReadAt& read);

}  // namespace lorvante::zipformat
