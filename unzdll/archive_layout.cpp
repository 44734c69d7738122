#include "unzdll/archive_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/byte_cursor.h"
#include "zipformat/end_record.h"
#include "zipformat/records.h"

namespace unzdll {
namespace {

namespace zf = lorvante::zipformat;

// The end record's comment is at most 65535 bytes; some slack after it is searched as well.
constexpr std::uint64_t kSearchSpan = zf::kEndRecordSize + zf::kMaxCommentLength + 4096;

bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::pread(fd, out, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

struct EndRecord {
  std::uint64_t position = 0;  // of the end record (or of the zip64 end record) in the file
  std::uint64_t end = 0;       // file position just after the comment
  std::uint64_t entries = 0;
  std::uint64_t cd_size = 0;
  std::uint64_t cd_offset = 0;
};

// Reads the zip64 end record that a locator just in front of the end record points to; the
// record is expected right in front of the locator.
bool ReadZip64End(int fd, std::uint64_t end_position, EndRecord& record) {
  if (end_position < zf::kZip64LocatorSize + zf::kZip64EndRecordSize) return false;
  std::uint8_t locator[zf::kZip64LocatorSize];
  if (!ReadAt(fd, end_position - zf::kZip64LocatorSize, locator, sizeof locator)) return false;
  if (!zf::ReadZip64Locator(locator)) return false;
  const std::uint64_t position = end_position - zf::kZip64LocatorSize - zf::kZip64EndRecordSize;
  std::uint8_t bytes[zf::kZip64EndRecordSize];
  if (!ReadAt(fd, position, bytes, sizeof bytes)) return false;
  const auto zip64 = zf::ReadZip64EndRecord(bytes);
  if (!zip64) return false;
  record.entries = zip64->total_entries;
  record.cd_size = zip64->central_dir_size;
  record.cd_offset = zip64->central_dir_offset;
  record.position = position;
  return true;
}

// Whether the end record found at `position` is the archive's: its comment fits in the file, the
// archive is on one disk, a zip64 record stands where it says so, and its central directory
// lies in front of it. Fills `record` from it.
bool AcceptEndRecord(int fd, std::uint64_t file_size, std::uint64_t position,
                     const zf::EndRecord& found, EndRecord& record) {
  record = {};
  record.entries = found.total_entries;
  record.cd_size = found.central_dir_size;
  record.cd_offset = found.central_dir_offset;
  record.position = position;
  record.end = position + zf::kEndRecordSize + found.comment_length;
  if (record.end > file_size || found.this_disk != 0 || found.central_dir_disk != 0) return false;
  if (found.total_entries == zf::kZip64Count || found.central_dir_size == zf::kZip64Value ||
      found.central_dir_offset == zf::kZip64Value) {
    if (!ReadZip64End(fd, position, record)) return false;
  }
  return record.cd_size <= record.position && record.cd_offset <= record.position - record.cd_size;
}

// The end record nearest the end of the file that AcceptEndRecord takes.
std::optional<EndRecord> FindEndRecord(int fd, std::uint64_t file_size) {
  if (file_size < zf::kEndRecordSize) return std::nullopt;
  const std::uint64_t span = std::min<std::uint64_t>(file_size, kSearchSpan);
  const std::uint64_t base = file_size - span;
  std::vector<std::uint8_t> tail(span);
  if (!ReadAt(fd, base, tail.data(), tail.size())) return std::nullopt;
  EndRecord record;
  const auto found = zf::FindEndRecord(tail, [&](const zf::EndRecordCandidate& candidate) {
    return AcceptEndRecord(fd, file_size, base + candidate.offset, candidate.record, record);
  });
  if (!found) return std::nullopt;
  return record;
}

// The extended timestamp field (0x5455): flags, then the modification time when bit 0 is set.
std::optional<std::int64_t> FindUnixTime(std::span<const std::uint8_t> extra) {
  lorvante::ByteCursor cursor(extra);
  while (cursor.Remaining() >= 4) {
    const std::uint16_t id = cursor.U16();
    const std::uint16_t length = cursor.U16();
    auto block = cursor.Block(length);
    if (!cursor.ok()) break;
    if (id != zf::kExtraTimestamp || length < 5 || (block[0] & 1) == 0) continue;
    lorvante::ByteCursor field(block);
    field.Skip(1);
    return static_cast<std::int32_t>(field.U32());
  }
  return std::nullopt;
}

// Sizes and offset saved at 0xffffffff in the central header stand in the zip64 field (0x0001),
// in this order, each only when saved so.
void ApplyZip64(std::span<const std::uint8_t> extra, CentralEntry& entry, bool big_size,
                bool big_compressed, bool big_offset) {
  lorvante::ByteCursor cursor(extra);
  while (cursor.Remaining() >= 4) {
    const std::uint16_t id = cursor.U16();
    const std::uint16_t length = cursor.U16();
    auto block = cursor.Block(length);
    if (!cursor.ok() || id != zf::kExtraZip64) continue;
    lorvante::ByteCursor field(block);
    if (big_size) entry.size = field.U64();
    if (big_compressed) entry.compressed_size = field.U64();
    if (big_offset) entry.local_offset = field.U64();
    return;
  }
}

// One central header with its name and extra field; `cursor` moves past its comment too.
bool ReadCentralEntry(lorvante::ByteCursor& cursor, CentralEntry& entry, Failure& failure) {
  const zf::CentralHeader header = zf::ReadCentralHeader(cursor);
  if (header.signature != zf::kCentralHeaderSignature) {
    failure = Failure::Because("a central file header is damaged");
    return false;
  }
  entry.made_by = header.version_made_by;
  entry.flags = header.flags;
  entry.method = header.method;
  entry.dos_time = header.mod_time;
  entry.dos_date = header.mod_date;
  entry.crc = header.crc32;
  entry.compressed_size = header.compressed_size;
  entry.size = header.uncompressed_size;
  entry.external_attributes = header.external_attributes;
  entry.local_offset = header.local_header_offset;
  entry.raw_name = cursor.Text(header.name_length);
  const auto extra = cursor.Block(header.extra_length);
  cursor.Skip(header.comment_length);
  if (!cursor.ok()) {
    failure = Failure::Because("a central file header is cut short");
    return false;
  }
  ApplyZip64(extra, entry, entry.size == zf::kZip64Value, entry.compressed_size == zf::kZip64Value,
             entry.local_offset == zf::kZip64Value);
  entry.unix_mtime = FindUnixTime(extra);
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
  for (std::uint64_t i = 0; i < end.entries; ++i) {
    CentralEntry entry;
    if (!ReadCentralEntry(cursor, entry, failure)) return false;
    entries.push_back(std::move(entry));
  }
  return true;
}

// Local ranges: header, name, extra field and data of every entry, sorted by offset, must not
// overlap each other nor reach into the central directory (at `cd_offset`).
bool CheckLocalRanges(int fd, const ArchiveLayout& layout, std::uint64_t cd_offset,
                      Failure& failure) {
  struct Range {
    std::uint64_t begin, end;
  };
  std::vector<Range> ranges;
  ranges.reserve(layout.entries.size());
  for (const CentralEntry& entry : layout.entries) {
    std::uint8_t local[zf::kLocalHeaderSize];
    if (entry.local_offset > cd_offset ||
        !ReadAt(fd, layout.window_start + entry.local_offset, local, sizeof local)) {
      failure = Failure::Because("a local file header is missing or damaged");
      return false;
    }
    lorvante::ByteCursor cursor({local, sizeof local});
    const zf::LocalHeader header = zf::ReadLocalHeader(cursor);
    if (header.signature != zf::kLocalHeaderSignature) {
      failure = Failure::Because("a local file header is missing or damaged");
      return false;
    }
    const std::uint64_t lengths =
        header.name_length + static_cast<std::uint64_t>(header.extra_length);
    const std::uint64_t range_end = entry.local_offset + zf::kLocalHeaderSize + lengths;
    if (entry.compressed_size > cd_offset || range_end > cd_offset - entry.compressed_size) {
      failure = Failure::Because("an entry's data reaches into the central directory");
      return false;
    }
    ranges.push_back({entry.local_offset, range_end + entry.compressed_size});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].begin < ranges[i - 1].end) {
      failure = Failure::Because("entries overlap each other");
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
  const auto end = FindEndRecord(fd, static_cast<std::uint64_t>(st.st_size));
  if (!end) {
    failure = Failure::Because("no end of central directory record was found");
    return std::nullopt;
  }
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
