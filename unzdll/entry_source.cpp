#include "unzdll/entry_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "codecs/zip_methods.h"
#include "platform/byte_cursor.h"
#include "platform/positioned_read.h"
#include "zipformat/records.h"

namespace unzdll {
namespace {

namespace zf = lorvante::zipformat;

// Bytes read at once from a local header: its fixed part, name and extra field as a rule.
constexpr std::size_t kLocalHeaderRead = 1024;

bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t count, Failure& failure) {
  lorvante::Result<std::size_t> read = lorvante::ReadFullyAt(fd, offset, {out, count});
  if (!read) {
    failure = std::move(read).failure();
    return false;
  }
  if (*read != count) {
    failure = Failure::Because("the archive ends inside the entry's data");
    return false;
  }
  return true;
}

// Whether a size of the local header agrees with the central directory's `central`. `saved` is
// the 32-bit field, `wide` the value it stands for (from the local zip64 field when saved at
// its maximum). A placeholder without a zip64 field agrees; with a data descriptor, 0 and any
// placeholder do too, since the writer learnt the size only after the data.
bool SizeAgrees(std::uint32_t saved, std::uint64_t wide, std::uint64_t central, bool descriptor) {
  if (wide == central) return true;
  if (saved == zf::kZip64Value && wide == zf::kZip64Value) return true;
  return descriptor && (wide == 0 || saved == zf::kZip64Value);
}

// The field in which the local header disagrees with the entry's central header, or null. The
// central directory decides; the names may differ (a writer may put a Unicode name in an extra
// field of one of them only), and the CRC is left to the data: they are checked against the
// central one, and where they fail it the host is asked about the damage.
const char* LocalDisagreement(const zf::LocalHeader& local, std::span<const std::uint8_t> extra,
                              const CentralEntry& entry) {
  if (local.method != entry.header.method) return "compression method";
  if (((local.flags ^ entry.header.flags) & zf::kFlagEncrypted) != 0) return "encryption";
  const bool descriptor = ((local.flags | entry.header.flags) & zf::kFlagDataDescriptor) != 0;
  zf::CentralHeader sizes;
  sizes.compressed_size = local.compressed_size;
  sizes.uncompressed_size = local.uncompressed_size;
  const zf::WideSizes wide = zf::ReadWideSizes(sizes, extra);
  if (!SizeAgrees(local.compressed_size, wide.compressed_size, entry.sizes.compressed_size,
                  descriptor)) {
    return "compressed size";
  }
  if (!SizeAgrees(local.uncompressed_size, wide.uncompressed_size, entry.sizes.uncompressed_size,
                  descriptor)) {
    return "size";
  }
  return nullptr;
}

}  // namespace

std::optional<EntryData> LocateEntryData(int fd, std::uint64_t window_start,
                                         std::uint64_t file_size, const CentralEntry& entry,
                                         Failure& failure, std::span<std::uint8_t> room) {
  // One read takes the fixed part with the name and extra field of most entries, and the data
  // too when they fit in `room`.
  const std::uint64_t header_at = window_start + entry.sizes.local_header_offset;
  if (header_at > file_size || file_size - header_at < zf::kLocalHeaderSize) {
    failure = Failure::Because("the local header is missing");
    return std::nullopt;
  }
  const bool whole = entry.sizes.compressed_size <= room.size() &&
                     room.size() - entry.sizes.compressed_size >= kLocalHeaderRead;
  std::vector<std::uint8_t> own;
  if (!whole) own.resize(kLocalHeaderRead);
  const std::span<std::uint8_t> into = whole ? room : std::span<std::uint8_t>(own);
  const std::uint64_t wanted =
      whole ? kLocalHeaderRead + entry.sizes.compressed_size : kLocalHeaderRead;
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
  if (const char* field = LocalDisagreement(local, extra, entry)) {
    failure = Failure::Because(std::string("the local header disagrees with the central "
                                           "directory (") +
                               field + ")");
    return std::nullopt;
  }
  EntryData data;
  data.offset = header_at + zf::kLocalHeaderSize + local.name_length + local.extra_length;
  data.size = entry.sizes.compressed_size;
  data.method = entry.header.method;
  if (data.offset > file_size || data.size > file_size - data.offset) {
    failure = Failure::Because("the entry's data reach beyond the end of the archive");
    return std::nullopt;
  }
  if (whole && header.empty() && extra_end + data.size <= got.size()) {
    data.prefetched_in = room.data();
    data.prefetched_at = extra_end;
    data.prefetched = static_cast<std::size_t>(data.size);
  }
  if ((entry.header.flags & zf::kFlagEncrypted) == 0) return data;
  if ((entry.header.flags & zf::kFlagStrongEncryption) != 0) {
    data.cipher = Cipher::kOther;
  } else if (entry.header.method == zf::kZipAes) {
    const auto field = zf::FindAesField(extra);
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
