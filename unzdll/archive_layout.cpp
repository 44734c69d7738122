#include "unzdll/archive_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/byte_cursor.h"
#include "platform/oem_names.h"
#include "platform/positioned_read.h"
#include "zipformat/archive_end.h"
#include "zipformat/names.h"
#include "zipformat/records.h"

namespace unzdll {
namespace {

namespace zf = lorvante::zipformat;

bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  return lorvante::ReadFullyAt(fd, offset, {out, count}).value_or(0) == count;
}

struct EndRecord {
  std::uint64_t position = 0;  // where the directory ends: the (zip64) end record
  std::uint64_t end = 0;       // file position just after the comment
  std::uint64_t entries = 0;
  std::uint64_t cd_size = 0;
  std::uint64_t cd_offset = 0;
};

// The archive's end by the rule the directory reader follows too (zipformat/archive_end.h). The
// library reads archives on one disk only.
std::optional<EndRecord> FindEndRecord(int fd, std::uint64_t file_size, Failure& failure) {
  const auto end =
      zf::LocateArchiveEnd(file_size, [fd](std::uint64_t offset, std::span<std::uint8_t> out) {
        return ReadAt(fd, offset, out.data(), out.size());
      });
  if (!end) {
    failure = Failure::Because("no end of central directory record was found");
    return std::nullopt;
  }
  if (end->this_disk != 0 || end->central_dir_disk != 0) {
    failure = Failure::Because("the archive spans several disks");
    return std::nullopt;
  }
  EndRecord record;
  record.position = end->directory_end;
  // A comment cut short by the end of the file ends with the file.
  record.end = std::min(file_size, end->position + zf::kEndRecordSize + end->record.comment_length);
  record.entries = end->entries;
  record.cd_size = end->directory_size;
  record.cd_offset = end->directory_offset;
  return record;
}

// One central header with its name and extra field; `cursor` moves past its comment too. The
// name is converted once the first header has told how the archive's names are stored.
bool ReadCentralEntry(lorvante::ByteCursor& cursor, CentralEntry& entry,
                      std::optional<std::string>& unicode_path, Failure& failure) {
  zf::CentralRecordFault fault = zf::CentralRecordFault::kNone;
  const auto record = zf::ReadCentralRecord(cursor, fault);
  if (!record) {
    failure = Failure::Because(fault == zf::CentralRecordFault::kSignature
                                   ? "a central file header is damaged"
                                   : "a central file header is cut short");
    return false;
  }
  entry.header = record->header;
  entry.sizes = record->sizes;
  entry.raw_name.assign(record->name.begin(), record->name.end());
  unicode_path = zf::FindUnicodePath(record->extra, entry.raw_name);
  entry.unix_mtime = zf::FindUnixModTime(record->extra);
  return true;
}

// The central directory that lies at `cd_position`, with as many entries as `end` says.
bool ReadCentralDirectory(int fd, std::uint64_t cd_position, const EndRecord& end,
                          std::vector<CentralEntry>& entries, Failure& failure) {
  std::vector<std::uint8_t> directory(end.cd_size);
  if (!ReadAt(fd, cd_position, directory.data(), directory.size())) {
    failure = Failure::Because("the central directory cannot be read");
    return false;
  }
  // Each central header takes at least 46 bytes: a count beyond that cannot be honest.
  if (end.entries > directory.size() / zf::kCentralHeaderSize) {
    failure = Failure::Because("the central directory is shorter than its entry count");
    return false;
  }
  lorvante::ByteCursor cursor(directory);
  entries.reserve(end.entries);
  zf::NameReading names{.oem = false, .codepage = lorvante::OemCodePage()};
  for (std::uint64_t i = 0; i < end.entries; ++i) {
    CentralEntry entry;
    std::optional<std::string> unicode_path;
    if (!ReadCentralEntry(cursor, entry, unicode_path, failure)) return false;
    if (i == 0) names.oem = zf::NamesAreOem(entry.header.version_made_by);
    entry.name = zf::EntryName(entry.raw_name, entry.header.flags, unicode_path, names);
    entries.push_back(std::move(entry));
  }
  return true;
}

// The local headers are read through a block of this size: taken in the order of their offsets,
// the headers of small entries lie close together, and one read brings many of them.
constexpr std::size_t kLocalHeaderReadAhead = std::size_t{64} << 10;

// Reads the fixed part of local headers, in rising offsets, a block at a time.
class LocalHeaderReader {
 public:
  LocalHeaderReader(int fd, std::uint64_t limit) : fd_(fd), limit_(limit) {}

  // The fixed part of the local header at file `offset`; false when the file holds no such
  // bytes below the limit.
  bool Read(std::uint64_t offset, std::uint8_t (&out)[zf::kLocalHeaderSize]) {
    if (offset > limit_ || limit_ - offset < zf::kLocalHeaderSize) return false;
    if (offset < start_ || offset - start_ + zf::kLocalHeaderSize > block_.size()) {
      const std::uint64_t length = std::min<std::uint64_t>(kLocalHeaderReadAhead, limit_ - offset);
      block_.resize(length);
      if (!ReadAt(fd_, offset, block_.data(), block_.size())) {
        block_.clear();
        return false;
      }
      start_ = offset;
    }
    std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(offset - start_), sizeof out, out);
    return true;
  }

 private:
  int fd_;
  std::uint64_t limit_;  // file position where the local headers end (the central directory)
  std::uint64_t start_ = 0;
  std::vector<std::uint8_t> block_;
};

// The words for two entries whose data overlap: their names, and where the names are the same,
// their places in the central directory too.
std::string Overlap(const ArchiveLayout& layout, const CentralEntry& a, const CentralEntry& b) {
  if (a.name != b.name) {
    return "the entries \"" + a.name + "\" and \"" + b.name + "\" overlap each other";
  }
  // Counted from 1, in directory order.
  auto first = static_cast<std::size_t>(&a - layout.entries.data()) + 1;
  auto second = static_cast<std::size_t>(&b - layout.entries.data()) + 1;
  if (first > second) std::swap(first, second);
  return "the entries " + std::to_string(first) + " and " + std::to_string(second) +
         ", both named \"" + a.name + "\", overlap each other";
}

// Local ranges: header, name, extra field and data of every entry, sorted by offset, must not
// overlap each other nor reach into the central directory (at `cd_offset`). An entry whose local
// header is not there is marked and left out; it is skipped when its turn comes.
bool CheckLocalRanges(int fd, ArchiveLayout& layout, std::uint64_t cd_offset, Failure& failure) {
  struct Range {
    std::uint64_t begin, end;
    const CentralEntry* entry;
  };
  std::vector<CentralEntry*> by_offset;
  by_offset.reserve(layout.entries.size());
  for (CentralEntry& entry : layout.entries) by_offset.push_back(&entry);
  std::stable_sort(by_offset.begin(), by_offset.end(), [](const auto* a, const auto* b) {
    return a->sizes.local_header_offset < b->sizes.local_header_offset;
  });

  LocalHeaderReader headers(fd, layout.window_start + cd_offset);
  std::vector<Range> ranges;
  ranges.reserve(layout.entries.size());
  for (CentralEntry* entry : by_offset) {
    std::uint8_t local[zf::kLocalHeaderSize];
    if (entry->sizes.local_header_offset > cd_offset ||
        !headers.Read(layout.window_start + entry->sizes.local_header_offset, local)) {
      entry->local_fault = "the local header is missing";
      continue;
    }
    lorvante::ByteCursor cursor({local, sizeof local});
    const zf::LocalHeader header = zf::ReadLocalHeader(cursor);
    if (header.signature != zf::kLocalHeaderSignature) {
      entry->local_fault = "the local header is missing";
      continue;
    }
    const std::uint64_t lengths =
        header.name_length + static_cast<std::uint64_t>(header.extra_length);
    const std::uint64_t range_end =
        entry->sizes.local_header_offset + zf::kLocalHeaderSize + lengths;
    if (entry->sizes.compressed_size > cd_offset ||
        range_end > cd_offset - entry->sizes.compressed_size) {
      failure =
          Failure::Because("the data of \"" + entry->name + "\" reach into the central directory");
      return false;
    }
    ranges.push_back(
        {entry->sizes.local_header_offset, range_end + entry->sizes.compressed_size, entry});
  }
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].begin < ranges[i - 1].end) {
      failure = Failure::Because(Overlap(layout, *ranges[i - 1].entry, *ranges[i].entry));
      return false;
    }
  }
  return true;
}

}  // namespace

std::int64_t DosTimeToUnix(std::uint16_t dos_date, std::uint16_t dos_time) {
  std::tm tm{};
  tm.tm_year = ((dos_date >> 9) & 0x7f) + 80;
  tm.tm_mon = std::max(((dos_date >> 5) & 0x0f) - 1, 0);
  tm.tm_mday = std::max(dos_date & 0x1f, 1);
  tm.tm_hour = (dos_time >> 11) & 0x1f;
  tm.tm_min = (dos_time >> 5) & 0x3f;
  tm.tm_sec = (dos_time & 0x1f) * 2;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

std::optional<ArchiveLayout> ReadArchiveLayout(int fd, Failure& failure) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    failure = Failure::Because("the archive is not a regular file");
    return std::nullopt;
  }
  const auto end = FindEndRecord(fd, static_cast<std::uint64_t>(st.st_size), failure);
  if (!end) return std::nullopt;
  // The central directory ends where the (zip64) end record begins; whatever lies in front of
  // the offsets that the end record gives is data in front of the archive.
  ArchiveLayout layout;
  const std::uint64_t cd_position = end->position - end->cd_size;
  layout.window_start = cd_position - end->cd_offset;
  layout.window_length = end->end - layout.window_start;
  if (!ReadCentralDirectory(fd, cd_position, *end, layout.entries, failure)) return std::nullopt;
  if (!CheckLocalRanges(fd, layout, end->cd_offset, failure)) return std::nullopt;
  return layout;
}

}  // namespace unzdll
