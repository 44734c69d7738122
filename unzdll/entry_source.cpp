#include "unzdll/entry_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/byte_cursor.h"
#include "zipformat/records.h"

namespace unzdll {
namespace {

namespace zf = lorvante::zipformat;

// Flag of entries encrypted with the strong encryption of the format, which is not read.
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kMethodAes = 99;
// Bytes read at once from a local header: its fixed part, name and extra field as a rule.
constexpr std::size_t kLocalHeaderRead = 1024;

bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t count, Failure& failure) {
  while (count > 0) {
    const ssize_t n = ::pread(fd, out, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failure = Failure::System(errno);
      return false;
    }
    if (n == 0) {
      failure = Failure::Because("the archive ends inside the entry's data");
      return false;
    }
    out += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// The AES field among the blocks of an extra field, if any.
std::optional<AesField> FindAesField(std::span<const std::uint8_t> extra, bool& present) {
  lorvante::ByteCursor in(extra);
  while (in.Remaining() >= 4) {
    const std::uint16_t id = in.U16();
    const std::uint16_t length = in.U16();
    const auto payload = in.Block(length);
    if (!in.ok()) break;
    if (id == kExtraWinZipAes) {
      present = true;
      return ReadAesField(payload);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<EntryData> LocateEntryData(int fd, std::uint64_t window_start,
                                         std::uint64_t file_size, const CentralEntry& entry,
                                         Failure& failure, std::span<std::uint8_t> room) {
  // One read takes the fixed part with the name and extra field of most entries, and the data
  // too when they fit in `room`.
  const std::uint64_t header_at = window_start + entry.local_offset;
  if (header_at > file_size || file_size - header_at < zf::kLocalHeaderSize) {
    failure = Failure::Because("the local header is missing");
    return std::nullopt;
  }
  const bool whole = entry.compressed_size <= room.size() &&
                     room.size() - entry.compressed_size >= kLocalHeaderRead;
  std::vector<std::uint8_t> own;
  if (!whole) own.resize(kLocalHeaderRead);
  const std::span<std::uint8_t> into = whole ? room : std::span<std::uint8_t>(own);
  const std::uint64_t wanted = whole ? kLocalHeaderRead + entry.compressed_size : kLocalHeaderRead;
  std::vector<std::uint8_t> header;  // when the header is longer than what was read
  std::span<const std::uint8_t> got =
      into.first(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, file_size - header_at)));
  if (!ReadAt(fd, header_at, into.data(), got.size(), failure)) return std::nullopt;
  lorvante::ByteCursor cursor(got);
  const zf::LocalHeader local = zf::ReadLocalHeader(cursor);
  if (local.signature != zf::kLocalHeaderSignature) {
    failure = Failure::Because("the local header is missing");
    return std::nullopt;
  }
  const std::size_t extra_at = zf::kLocalHeaderSize + local.name_length;
  const std::size_t extra_end = extra_at + local.extra_length;
  if (extra_end > got.size()) {
    if (file_size - header_at < extra_end) {
      failure = Failure::Because("the local header is cut off");
      return std::nullopt;
    }
    const std::size_t had = got.size();
    header.assign(got.begin(), got.end());
    header.resize(extra_end);
    if (!ReadAt(fd, header_at + had, header.data() + had, extra_end - had, failure)) {
      return std::nullopt;
    }
    got = header;
  }
  const std::span<const std::uint8_t> extra(got.data() + extra_at, local.extra_length);
  EntryData data;
  data.offset = header_at + zf::kLocalHeaderSize + local.name_length + local.extra_length;
  data.size = entry.compressed_size;
  data.method = entry.method;
  if (data.offset > file_size || data.size > file_size - data.offset) {
    failure = Failure::Because("the entry's data reach beyond the end of the archive");
    return std::nullopt;
  }
  if (whole && header.empty() && extra_end + data.size <= got.size()) {
    data.prefetched_in = room.data();
    data.prefetched_at = extra_end;
    data.prefetched = static_cast<std::size_t>(data.size);
  }
  if ((entry.flags & zf::kFlagEncrypted) == 0) return data;
  if ((entry.flags & kFlagStrongEncryption) != 0) {
    data.cipher = Cipher::kOther;
  } else if (entry.method == kMethodAes) {
    bool present = false;
    const auto field = FindAesField(extra, present);
    data.cipher = field ? Cipher::kAes : Cipher::kOther;
    if (field) {
      data.aes = *field;
      data.method = field->method;
    }
  } else {
    data.cipher = Cipher::kZipCrypto;
  }
  return data;
}

void EntrySource::Preload(std::size_t at, std::size_t count) {
  pos_ = at;
  end_ = at + count;
  offset_ += count;
  left_ -= count;
}

bool EntrySource::Fill(Failure& failure) {
  const std::size_t count =
      static_cast<std::size_t>(std::min<std::uint64_t>(left_, buffer_.size()));
  if (!ReadAt(fd_, offset_, buffer_.data(), count, failure)) return false;
  offset_ += count;
  left_ -= count;
  pos_ = 0;
  end_ = count;
  return true;
}

bool EntrySource::Next(std::uint64_t limit, std::span<std::uint8_t>& block, Failure& failure) {
  if (pos_ == end_ && left_ > 0 && !Fill(failure)) return false;
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(end_ - pos_, limit));
  block = std::span<std::uint8_t>(buffer_.data() + pos_, count);
  pos_ += count;
  return true;
}

bool EntrySource::Take(std::span<std::uint8_t> out, Failure& failure) {
  std::size_t done = 0;
  while (done < out.size()) {
    if (pos_ == end_) {
      if (left_ == 0) {
        failure = Failure::Because("the entry's data are too short for their encryption");
        return false;
      }
      if (!Fill(failure)) return false;
    }
    const std::size_t n = std::min(out.size() - done, end_ - pos_);
    std::memcpy(out.data() + done, buffer_.data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return true;
}

}  // namespace unzdll
