#include "zipformat/archive_end.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/byte_cursor.h"
#include "zipformat/end_record.h"

namespace lorvante::zipformat {
namespace {

// How far the comment that a record announces reaches, best first.
enum class Reach {
  kEnd,     // exactly to the end of the data
  kPast,    // past it: the data was cut in the comment
  kFiller,  // not quite: a little filler stands behind the comment
};

// A directory whose size is checked against its headers is read whole: at most this many bytes
// (more than a million entries with their names).
constexpr std::uint64_t kMaxCheckedDirectory = std::uint64_t{256} << 20;

// The part of the zip64 end record that its size field counts.
constexpr std::uint64_t kZip64SizeFieldEnd = 12;

// Looks for the zip64 end record through the locator just in front of the end record. The
// record ends where the locator begins; it stands at the offset that the locator gives when the
// offsets count from the start of the data, else (data in front of the archive) just in front
// of the locator. False when there is a locator but no such record; true otherwise, with
// `end.zip64` set when the record was found.
bool ReadZip64End(const ReadAt& read, ArchiveEnd& end) {
  if (end.position < kZip64LocatorSize + kZip64EndRecordSize) return true;
  const std::uint64_t locator_position = end.position - kZip64LocatorSize;
  std::array<std::uint8_t, kZip64LocatorSize> locator_bytes{};
  if (!read(locator_position, locator_bytes)) return true;
  const auto locator = ReadZip64Locator(locator_bytes);
  if (!locator) return true;
  for (const std::uint64_t at :
       {locator->end_record_offset, locator_position - kZip64EndRecordSize}) {
    if (at > locator_position - kZip64EndRecordSize) continue;
    std::array<std::uint8_t, kZip64EndRecordSize> bytes{};
    if (!read(at, bytes)) continue;
    const auto record = ReadZip64EndRecord(bytes);
    if (!record || record->record_size != locator_position - at - kZip64SizeFieldEnd) continue;
    end.zip64 = record;
    end.zip64_position = at;
    return true;
  }
  return false;
}

// Fills in the counts and the directory's place of the record at `end.position` and says
// whether it is consistent with the data around it.
bool CheckEnd(std::uint64_t data_size, const ReadAt& read, ArchiveEnd& end, Reach& reach) {
  const std::uint64_t comment_end = end.position + kEndRecordSize + end.record.comment_length;
  if (comment_end == data_size) {
    reach = Reach::kEnd;
  } else if (comment_end > data_size) {
    reach = Reach::kPast;
  } else if (data_size - comment_end <= kEndFillerAllowance) {
    reach = Reach::kFiller;
  } else {
    return false;
  }

  if (!ReadZip64End(read, end)) return false;
  const EndRecord& r = end.record;
  end.this_disk = r.this_disk;
  end.central_dir_disk = r.central_dir_disk;
  end.entries = r.total_entries;
  end.directory_size = r.central_dir_size;
  end.directory_offset = r.central_dir_offset;
  end.directory_end = end.position;
  if (end.zip64) {
    if (r.this_disk == kZip64Count) end.this_disk = end.zip64->this_disk;
    if (r.central_dir_disk == kZip64Count) end.central_dir_disk = end.zip64->central_dir_disk;
    if (r.total_entries == kZip64Count) end.entries = end.zip64->total_entries;
    if (r.central_dir_size == kZip64Value) end.directory_size = end.zip64->central_dir_size;
    if (r.central_dir_offset == kZip64Value) end.directory_offset = end.zip64->central_dir_offset;
    end.directory_end = end.zip64_position;
  }

  // A directory that starts on another disk of a spanned archive cannot be seen from here.
  if (end.this_disk != end.central_dir_disk) return true;
  // The directory lies in front of the record; its offset counts from the start of the
  // archive, which is the start of the data or later (data in front of the archive).
  return end.directory_size <= end.directory_end &&
         end.directory_offset <= end.directory_end - end.directory_size;
}

// Whether a central header begins at `position` of the data.
bool CentralHeaderAt(const ReadAt& read, std::uint64_t position) {
  std::array<std::uint8_t, 4> signature{};
  if (!read(position, signature)) return false;
  ByteCursor in(signature);
  return in.U32() == kCentralHeaderSignature;
}

// The directory's size is a checked hint: where no central header stands at the place it gives,
// but the directory's offset (counted from the start of the data) holds exactly as many central
// headers as the end record counts, ending where the directory ends, those headers are the
// directory, and its size is theirs. Some writers save a size a few bytes short.
void CheckDirectorySize(const ReadAt& read, ArchiveEnd& end) {
  if (end.entries == 0 || end.this_disk != end.central_dir_disk) return;
  if (CentralHeaderAt(read, end.directory_end - end.directory_size)) return;
  if (end.directory_offset >= end.directory_end) return;
  const std::uint64_t size = end.directory_end - end.directory_offset;
  if (end.entries > size / kCentralHeaderSize || size > kMaxCheckedDirectory) return;
  std::vector<std::uint8_t> directory(static_cast<std::size_t>(size));
  if (!read(end.directory_offset, directory)) return;
  ByteCursor in(directory);
  for (std::uint64_t i = 0; i < end.entries; ++i) {
    CentralRecordFault fault = CentralRecordFault::kNone;
    if (!ReadCentralRecord(in, fault)) return;
  }
  if (in.Remaining() == 0) end.directory_size = size;
}

// Whether the comment of `outer`, a record in front of `inner`, holds `inner`.
bool Encloses(const ArchiveEnd& outer, const ArchiveEnd& inner) {
  return outer.position + kEndRecordSize + outer.record.comment_length > inner.position;
}

}  // namespace

std::optional<ArchiveEnd> LocateArchiveEnd(std::uint64_t data_size, const ReadAt& read) {
  const std::uint64_t window = std::min(data_size, kEndSearchWindow);
  const std::uint64_t base = data_size - window;
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(window));
  if (!read(base, tail)) return std::nullopt;

  // Every candidate of the window is weighed; the check never takes one, so the search runs
  // to the start of the window. They come nearest the end first.
  struct Weighed {
    ArchiveEnd end;
    Reach reach;
  };
  std::vector<Weighed> consistent;
  FindEndRecord(tail, [&](const EndRecordCandidate& candidate) {
    ArchiveEnd end;
    end.position = base + candidate.offset;
    end.record = candidate.record;
    Reach reach = Reach::kFiller;
    if (CheckEnd(data_size, read, end, reach)) consistent.push_back({end, reach});
    return false;
  });

  // A record inside the comment of a consistent record that stays within the data is part of
  // that comment, however well it reaches the end: padding behind the real comment must not
  // let a record-like text in it win.
  const auto in_a_comment = [&consistent](const ArchiveEnd& inner) {
    return std::any_of(consistent.begin(), consistent.end(), [&inner](const Weighed& outer) {
      return outer.end.position < inner.position && outer.reach != Reach::kPast &&
             Encloses(outer.end, inner);
    });
  };
  std::optional<ArchiveEnd> best;
  Reach best_reach = Reach::kFiller;
  for (const Weighed& w : consistent) {
    if (in_a_comment(w.end)) continue;
    if (!best || w.reach < best_reach || (w.reach == best_reach && Encloses(w.end, *best))) {
      best = w.end;
      best_reach = w.reach;
    }
  }
  if (best) CheckDirectorySize(read, *best);
  return best;
}

}  // namespace lorvante::zipformat
