#include "unzdll/archive_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/byte_cursor.h"

namespace unzdll {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
// The end record's comment is at most 65535 bytes; some slack after it is searched as well.
constexpr std::uint64_t kSearchSpan = kEndSize + 65535 + 4096;

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

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
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
  if (end_position < kZip64LocatorSize + kZip64EndSize) return false;
  std::uint8_t locator[kZip64LocatorSize];
  if (!ReadAt(fd, end_position - kZip64LocatorSize, locator, sizeof locator)) return false;
  if (Le32(locator) != kZip64LocatorSignature) return false;
  const std::uint64_t position = end_position - kZip64LocatorSize - kZip64EndSize;
  std::uint8_t bytes[kZip64EndSize];
  if (!ReadAt(fd, position, bytes, sizeof bytes)) return false;
  lorvante::ByteCursor cursor({bytes, sizeof bytes});
  if (cursor.U32() != kZip64EndSignature) return false;
  cursor.Skip(8 + 2 + 2 + 4 + 4 + 8);
  record.entries = cursor.U64();
  record.cd_size = cursor.U64();
  record.cd_offset = cursor.U64();
  record.position = position;
  return cursor.ok();
}

// The end record nearest the end of the file whose comment fits in the file and whose central
// directory lies in front of it.
std::optional<EndRecord> FindEndRecord(int fd, std::uint64_t file_size) {
  if (file_size < kEndSize) return std::nullopt;
  const std::uint64_t span = std::min<std::uint64_t>(file_size, kSearchSpan);
  const std::uint64_t base = file_size - span;
  std::vector<std::uint8_t> tail(span);
  if (!ReadAt(fd, base, tail.data(), tail.size())) return std::nullopt;
  for (std::size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    if (Le32(&tail[i]) != kEndSignature) continue;
    lorvante::ByteCursor cursor({&tail[i], kEndSize});
    cursor.Skip(4);
    const std::uint16_t this_disk = cursor.U16();
    const std::uint16_t cd_disk = cursor.U16();
    cursor.Skip(2);
    EndRecord record;
    record.entries = cursor.U16();
    record.cd_size = cursor.U32();
    record.cd_offset = cursor.U32();
    const std::uint16_t comment_length = cursor.U16();
    record.position = base + i;
    record.end = record.position + kEndSize + comment_length;
    if (record.end > file_size || this_disk != 0 || cd_disk != 0) continue;
    if (record.entries == 0xffff || record.cd_size == 0xffffffff ||
        record.cd_offset == 0xffffffff) {
      if (!ReadZip64End(fd, record.position, record)) continue;
    }
    if (record.cd_size > record.position || record.cd_offset > record.position - record.cd_size) {
      continue;
    }
    return record;
  }
  return std::nullopt;
}

// The extended timestamp field (0x5455): flags, then the modification time when bit 0 is set.
std::optional<std::int64_t> FindUnixTime(std::span<const std::uint8_t> extra) {
  lorvante::ByteCursor cursor(extra);
  while (cursor.Remaining() >= 4) {
    const std::uint16_t id = cursor.U16();
    const std::uint16_t length = cursor.U16();
    auto block = cursor.Block(length);
    if (!cursor.ok()) break;
    if (id != 0x5455 || length < 5 || (block[0] & 1) == 0) continue;
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
    if (!cursor.ok() || id != 0x0001) continue;
    lorvante::ByteCursor field(block);
    if (big_size) entry.size = field.U64();
    if (big_compressed) entry.compressed_size = field.U64();
    if (big_offset) entry.local_offset = field.U64();
    return;
  }
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

std::optional<ArchiveLayout> ReadArchiveLayout(int fd, std::string& why) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "the archive is not a regular file";
    return std::nullopt;
  }
  const auto file_size = static_cast<std::uint64_t>(st.st_size);
  const auto end = FindEndRecord(fd, file_size);
  if (!end) {
    why = "no end of central directory record was found";
    return std::nullopt;
  }
  // The central directory ends where the (zip64) end record begins; whatever lies in front of
  // the offsets that the end record gives is data in front of the archive.
  ArchiveLayout layout;
  const std::uint64_t cd_position = end->position - end->cd_size;
  layout.window_start = cd_position - end->cd_offset;
  layout.window_length = end->end - layout.window_start;

  std::vector<std::uint8_t> directory(end->cd_size);
  if (!ReadAt(fd, cd_position, directory.data(), directory.size())) {
    why = "the central directory cannot be read";
    return std::nullopt;
  }
  // Each central header takes at least 46 bytes: a count beyond that cannot be honest.
  if (end->entries > directory.size() / kCentralSize) {
    why = "the central directory is shorter than its entry count";
    return std::nullopt;
  }
  lorvante::ByteCursor cursor(directory);
  layout.entries.reserve(end->entries);
  for (std::uint64_t i = 0; i < end->entries; ++i) {
    CentralEntry entry;
    if (cursor.U32() != kCentralSignature) {
      why = "a central file header is damaged";
      return std::nullopt;
    }
    entry.made_by = cursor.U16();
    cursor.Skip(2);
    entry.flags = cursor.U16();
    entry.method = cursor.U16();
    entry.dos_time = cursor.U16();
    entry.dos_date = cursor.U16();
    entry.crc = cursor.U32();
    entry.compressed_size = cursor.U32();
    entry.size = cursor.U32();
    const std::uint16_t name_length = cursor.U16();
    const std::uint16_t extra_length = cursor.U16();
    const std::uint16_t comment_length = cursor.U16();
    cursor.Skip(2 + 2);
    entry.external_attributes = cursor.U32();
    entry.local_offset = cursor.U32();
    entry.raw_name = cursor.Text(name_length);
    const auto extra = cursor.Block(extra_length);
    cursor.Skip(comment_length);
    if (!cursor.ok()) {
      why = "a central file header is cut short";
      return std::nullopt;
    }
    ApplyZip64(extra, entry, entry.size == 0xffffffff, entry.compressed_size == 0xffffffff,
               entry.local_offset == 0xffffffff);
    entry.unix_mtime = FindUnixTime(extra);
    layout.entries.push_back(std::move(entry));
  }

  // Local ranges: header, name, extra field and data of every entry, sorted by offset, must not
  // overlap each other nor reach into the central directory.
  struct Range {
    std::uint64_t begin, end;
  };
  std::vector<Range> ranges;
  ranges.reserve(layout.entries.size());
  for (const CentralEntry& entry : layout.entries) {
    std::uint8_t local[kLocalSize];
    if (entry.local_offset > end->cd_offset ||
        !ReadAt(fd, layout.window_start + entry.local_offset, local, sizeof local) ||
        Le32(local) != kLocalSignature) {
      why = "a local file header is missing or damaged";
      return std::nullopt;
    }
    lorvante::ByteCursor header({local, sizeof local});
    header.Skip(26);
    const std::uint64_t lengths = header.U16() + static_cast<std::uint64_t>(header.U16());
    const std::uint64_t range_end = entry.local_offset + kLocalSize + lengths;
    if (entry.compressed_size > end->cd_offset ||
        range_end > end->cd_offset - entry.compressed_size) {
      why = "an entry's data reaches into the central directory";
      return std::nullopt;
    }
    ranges.push_back({entry.local_offset, range_end + entry.compressed_size});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].begin < ranges[i - 1].end) {
      why = "entries overlap each other";
      return std::nullopt;
    }
  }
  return layout;
}

}  // namespace unzdll
