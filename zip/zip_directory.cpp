// The central directory reader: finds the end record, then reads the central headers one by
// one. Local headers and file data are never touched.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "platform/byte_cursor.h"
#include "platform/file_stream.h"
#include "platform/format.h"
#include "platform/oem_names.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "zip/Zip.h"
#include "zip/zip_drives.h"
#include "zip/zip_messages.h"
#include "zipformat/archive_end.h"
#include "zipformat/names.h"

namespace lorvante {
namespace {

// Disk numbers above this mark a damaged end record.
constexpr unsigned kMaxDiskNumber = 1000;

// Reads `length` bytes into `text`; false when fewer arrive.
bool ReadText(FileStream& file, std::size_t length, std::string& text) {
  text.assign(length, '\0');
  return OrRaise<EReadError>(file.Read(text.data(), length)) == length;
}

// The directory is read ahead in blocks of this size: a record is a few dozen bytes, and two
// reads of the file for each of them would cost more than the records' decoding.
constexpr std::size_t kDirectoryReadAhead = std::size_t{256} << 10;

// Reads a file from its current position on through a block of read-ahead. A disk change
// (another file in the stream) starts the block anew.
class ReadAhead {
 public:
  explicit ReadAhead(FileStream& file) : file_(file) {}

  // Reads up to `count` bytes; fewer only at the end of the file.
  std::size_t Read(std::uint8_t* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
      if (next_ == block_.size() && !Refill()) break;
      const std::size_t piece = std::min(count - done, block_.size() - next_);
      std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(next_), piece, out + done);
      next_ += piece;
      done += piece;
    }
    return done;
  }

  void Restart() {
    block_.clear();
    next_ = 0;
  }

 private:
  bool Refill() {
    block_.resize(kDirectoryReadAhead);
    block_.resize(OrRaise<EReadError>(file_.Read(block_.data(), block_.size())));
    next_ = 0;
    return !block_.empty();
  }

  FileStream& file_;
  std::vector<std::uint8_t> block_;
  std::size_t next_ = 0;
};

}  // namespace

std::optional<zipformat::ArchiveEnd> TZip::LocateEnd(FileStream& file) {
  const std::int64_t size = file.Size().value_or(-1);
  if (size < static_cast<std::int64_t>(kEndOfCentralDirSize)) return std::nullopt;
  return zipformat::LocateArchiveEnd(
      static_cast<std::uint64_t>(size), [&file](std::uint64_t offset, std::span<std::uint8_t> out) {
        const auto at = static_cast<std::int64_t>(offset);
        return file.Seek(at, SEEK_SET).value_or(-1) == at &&
               OrRaise<EReadError>(file.Read(out.data(), out.size())) == out.size();
      });
}

std::int64_t TZip::FindEndOfCentralDir(FileStream& Stream) {
  const auto end = LocateEnd(Stream);
  if (!end) return -1;
  return Stream.Seek(static_cast<std::int64_t>(end->position), SEEK_SET).value_or(-1);
}

std::string TZip::OemToAnsiName(const std::string& AName) const {
  if (AName.empty() || !OemNames) return AName;
  return OemToUtf8(AName, OemCodePage());
}

bool TZip::ChangeDisk(FileStream& file, int disk_no) {
  static_cast<void>(file.Close());  // read only: nothing to lose
  if (!AskForDisk(FZipFileName, disk_no)) return false;
  file = OrRaise<EFOpenError>(FileStream::OpenRead(FZipFileName), FZipFileName);
  return true;
}

void TZip::ListContents() {
  ClearFileList();
  if (FZipFileName.empty()) return;

  FileStream file = OrRaise<EFOpenError>(FileStream::OpenRead(FZipFileName), FZipFileName);
  std::optional<zipformat::ArchiveEnd> end = LocateEnd(file);
  while (!end) {
    // No end record here: on a spanned archive this is an earlier disk.
    static_cast<void>(file.Close());  // read only: nothing to lose
    const int disk = GetDiskNumber(FZipFileName);
    if (disk == 0) throw ZipException(Format(zip_texts::kNotValidZip, {ArchiveShownName()}));
    if (Application.MessageBox(Format(zip_texts::kInsertLastDisk, {disk}),
                               MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
      return;
    }
    file = OrRaise<EFOpenError>(FileStream::OpenRead(FZipFileName), FZipFileName);
    end = LocateEnd(file);
  }

  EOCH.RecordPosition = static_cast<std::int64_t>(end->position);
  static_cast<void>(file.Seek(EOCH.RecordPosition, SEEK_SET));  // a failure shows in the read
  std::array<std::uint8_t, kEndOfCentralDirSize> fixed{};
  OrRaise<EReadError>(file.ReadBuffer(fixed.data(), fixed.size()));
  EOCH.Decode(fixed);
  EOCH.ThisDisk64 = end->this_disk;
  EOCH.CentralDirDisk64 = end->central_dir_disk;
  EOCH.TotalEntries64 = end->entries;
  EOCH.CentralDirSize64 = end->directory_size;
  EOCH.CentralDirOffset64 = end->directory_offset;
  EOCH.DirectoryEnd = static_cast<std::int64_t>(end->directory_end);
  if (EOCH.DiskInForce() > kMaxDiskNumber || EOCH.CentralDirDiskInForce() > kMaxDiskNumber) {
    throw ZipException(Format(zip_texts::kNotValidZip, {ArchiveShownName()}));
  }

  std::string comment;
  if (!ReadText(file, EOCH.CommentLength, comment)) comment.clear();
  EOCH.ZipComment = OemToAnsiName(comment);

  if (EOCH.TotalEntries64 == 0) return;
  // Disk numbers in the end record count from 0, those in the volume labels from 1. The file is
  // closed while the user changes the disk: a medium cannot be taken out while it is in use.
  if (EOCH.DiskInForce() != EOCH.CentralDirDiskInForce() &&
      !ChangeDisk(file, static_cast<int>(EOCH.CentralDirDiskInForce()) + 1)) {
    return;
  }

  if (!ReadCentralHeaders(file)) {
    ClearFileList();
    throw ZipException(zip_texts::kErrorReadingHeader);
  }
}

bool TZip::ReadCentralHeaders(FileStream& file) {
  const bool multi_disk = EOCH.DiskInForce() != 0;
  // A single-disk archive is read from where its directory really ends (at the zip64 end
  // record when there is one), so data in front of the archive does not disturb the reading.
  // The end record's check has made sure that the directory fits in front of it.
  const std::int64_t start =
      multi_disk ? static_cast<std::int64_t>(EOCH.CentralDirOffset64)
                 : EOCH.DirectoryEnd - static_cast<std::int64_t>(EOCH.CentralDirSize64);
  if (start < 0 || file.Seek(start, SEEK_SET).value_or(-1) != start) return false;

  const std::int64_t file_size = file.Size().value_or(-1);
  ArchiveStart = file_size;  // running minimum of the local header offsets

  ReadAhead directory(file);
  zipformat::NameReading names{.oem = false, .codepage = OemCodePage()};
  std::vector<std::uint8_t> bytes;  // one central record: header, name, extra field, comment
  for (std::uint64_t i = 0; i < EOCH.TotalEntries64;) {
    bytes.resize(kCentralHeaderSize);
    if (directory.Read(bytes.data(), kCentralHeaderSize) != kCentralHeaderSize) {
      if (!multi_disk) return false;
      // The directory goes on on the next disk; the piece of a header at the end of this one
      // is dropped.
      const int disk = GetDiskNumber(FZipFileName);
      if (disk == 0 || static_cast<std::uint32_t>(disk) > EOCH.DiskInForce()) return false;
      if (!ChangeDisk(file, disk + 1)) return false;
      directory.Restart();
      continue;
    }

    ByteCursor fixed(bytes);
    const zipformat::CentralHeader header = zipformat::ReadCentralHeader(fixed);
    if (header.signature != kCentralHeaderSignature) return false;
    const std::size_t rest =
        std::size_t{header.name_length} + header.extra_length + header.comment_length;
    bytes.resize(kCentralHeaderSize + rest);
    if (directory.Read(bytes.data() + kCentralHeaderSize, rest) != rest) return false;
    ByteCursor in(bytes);
    zipformat::CentralRecordFault fault = zipformat::CentralRecordFault::kNone;
    const auto record = zipformat::ReadCentralRecord(in, fault);
    if (!record) return false;
    if (i == 0) {
      OemNames = zipformat::NamesAreOem(header.version_made_by);
      names.oem = OemNames;
    }

    TFileInfo& info =
        *FileList.emplace_back(std::make_unique<TFileInfo>(TFileInfo::FromRecord(*record)));
    // The name by the rule the unzip library writes it by.
    const std::string name(record->name.begin(), record->name.end());
    info.FileName = zipformat::EntryName(name, header.flags,
                                         zipformat::FindUnicodePath(record->extra, name), names);
    std::string comment(record->comment.begin(), record->comment.end());
    // An entry flagged as UTF-8 is already in the form the platform uses.
    if (!info.HasUtf8Names()) comment = OemToAnsiName(comment);
    info.FileComment = std::move(comment);

    if (info.LocalHeaderOffset64 < static_cast<std::uint64_t>(ArchiveStart)) {
      ArchiveStart = static_cast<std::int64_t>(info.LocalHeaderOffset64);
    }
    ++i;
  }

  if (multi_disk || ArchiveStart >= file_size) {
    ArchiveStart = 0;
  } else {
    // The lowest local header moved by the distance between where the directory was found and
    // where the end record says it is.
    ArchiveStart += EOCH.DirectoryEnd -
                    static_cast<std::int64_t>(EOCH.CentralDirOffset64 + EOCH.CentralDirSize64);
  }
  return true;
}

}  // namespace lorvante
