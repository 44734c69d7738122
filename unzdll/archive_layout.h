// Where the archive lies in its file and what its central directory holds, read by the library
// itself: the end record is searched backwards (trailing filler and data in front of the archive
// are allowed), the central headers are parsed, and the local ranges of the entries are checked
// against each other and against the central directory. The central directory decides what the
// archive holds; an entry whose local header is missing is marked and skipped on its own, while
// entries that share their data or reach into the directory make the whole archive suspect.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unzdll/failure.h"
#include "zipformat/records.h"

namespace unzdll {

// One entry of the central directory as the library keeps it: the header as stored, the sizes
// and offset it stands for (the local header's offset counts from the start of the window), and
// what the rest of the record says that the library uses.
struct CentralEntry {
  lorvante::zipformat::CentralHeader header;
  lorvante::zipformat::WideSizes sizes;
  std::string raw_name;
  // The name as written (zipformat::EntryName): UTF-8, '/' separating folders.
  std::string name;
  std::optional<std::int64_t> unix_mtime;  // the extended timestamp field, when present
  // Why the entry's local header cannot be used (it is then skipped on its own), or null.
  const char* local_fault = nullptr;
};

struct ArchiveLayout {
  std::uint64_t window_start = 0;   // file position of the archive's offset 0
  std::uint64_t window_length = 0;  // up to the end of the end record's comment
  std::vector<CentralEntry> entries;
};

// Reads the layout of the archive open on `fd`. On failure returns nothing and says why in
// `failure`.
std::optional<ArchiveLayout> ReadArchiveLayout(int fd, Failure& failure);

// The time of an MS-DOS date and time read as local time (seconds since the epoch).
std::int64_t DosTimeToUnix(std::uint16_t dos_date, std::uint16_t dos_time);

}  // namespace unzdll
