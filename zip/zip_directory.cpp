// The central directory reader: finds the end record, then reads the central headers one by
// one. Local headers and file data are never touched.
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/file_stream.h"
#include "platform/format.h"
#include "platform/oem_names.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "zip/Zip.h"
#include "zip/zip_drives.h"
#include "zip/zip_messages.h"
#include "zipformat/end_record.h"
#include "zipformat/names.h"

namespace lorvante {
namespace {

// The end record is looked for in at most this many bytes at the end of the file.
constexpr std::int64_t kEndRecordWindow = 65535;
// Disk numbers above this mark a damaged end record.
constexpr unsigned kMaxDiskNumber = 1000;

// Reads `length` bytes into `text`; false when fewer arrive.
bool ReadText(FileStream& file, std::size_t length, std::string& text) {
  text.assign(length, '\0');
  return file.Read(text.data(), length) == length;
}

}  // namespace

std::int64_t TZip::FindEndOfCentralDir(FileStream& Stream) {
  const std::int64_t size = Stream.Size();
  if (size < static_cast<std::int64_t>(kEndOfCentralDirSize)) return -1;

  // An archive without comment: the record is the last 22 bytes.
  std::array<std::uint8_t, kEndOfCentralDirSize> tail{};
  if (Stream.Seek(size - static_cast<std::int64_t>(kEndOfCentralDirSize), SEEK_SET) < 0) return -1;
  if (Stream.Read(tail.data(), tail.size()) != tail.size()) return -1;
  if (zipformat::FindEndRecord(tail)) {
    return Stream.Seek(-static_cast<std::int64_t>(kEndOfCentralDirSize), SEEK_CUR);
  }

  // Otherwise search the window; every record found is taken as it is.
  const std::int64_t window = std::min(size, kEndRecordWindow);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(window));
  if (Stream.Seek(size - window, SEEK_SET) < 0) return -1;
  if (Stream.Read(buffer.data(), buffer.size()) != buffer.size()) return -1;
  const auto found = zipformat::FindEndRecord(buffer);
  if (!found) return -1;
  return Stream.Seek(size - window + static_cast<std::int64_t>(found->offset), SEEK_SET);
}

std::string TZip::OemToAnsiName(const std::string& AName) const {
  if (AName.empty() || !OemNames) return AName;
  return OemToUtf8(AName, OemCodePage());
}

bool TZip::ChangeDisk(FileStream& file, int disk_no) {
  file.Close();
  if (!AskForDisk(FZipFileName, disk_no)) return false;
  file = FileStream::OpenRead(FZipFileName);
  return true;
}

void TZip::ListContents() {
  ClearFileList();
  if (FZipFileName.empty()) return;

  FileStream file = FileStream::OpenRead(FZipFileName);
  std::int64_t position = FindEndOfCentralDir(file);
  while (position < 0) {
    // No end record here: on a spanned archive this is an earlier disk.
    file.Close();
    const int disk = GetDiskNumber(FZipFileName);
    if (disk == 0) throw ZipException(Format(zip_texts::kNotValidZip, {FZipFileName}));
    if (Application.MessageBox(Format(zip_texts::kInsertLastDisk, {disk}),
                               MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
      return;
    }
    file = FileStream::OpenRead(FZipFileName);
    position = FindEndOfCentralDir(file);
  }

  EOCH.RecordPosition = position;
  std::array<std::uint8_t, kEndOfCentralDirSize> fixed{};
  file.ReadBuffer(fixed.data(), fixed.size());
  EOCH.Decode(fixed);
  if (EOCH.ThisDisk > kMaxDiskNumber || EOCH.CentralDirDisk > kMaxDiskNumber) {
    throw ZipException(Format(zip_texts::kNotValidZip, {FZipFileName}));
  }

  std::string comment;
  if (!ReadText(file, EOCH.CommentLength, comment)) comment.clear();
  EOCH.ZipComment = OemToAnsiName(comment);

  if (EOCH.TotalEntries == 0) return;
  // Disk numbers in the end record count from 0, those in the volume labels from 1. The file is
  // closed while the user changes the disk: a medium cannot be taken out while it is in use.
  if (EOCH.ThisDisk != EOCH.CentralDirDisk && !ChangeDisk(file, EOCH.CentralDirDisk + 1)) return;

  if (!ReadCentralHeaders(file)) {
    ClearFileList();
    throw ZipException(zip_texts::kErrorReadingHeader);
  }
}

bool TZip::ReadCentralHeaders(FileStream& file) {
  const bool multi_disk = EOCH.ThisDisk != 0;
  // A single-disk archive is read from where its directory really ends, so data in front of
  // the archive does not disturb the reading.
  const std::int64_t start =
      multi_disk ? static_cast<std::int64_t>(EOCH.CentralDirOffset)
                 : EOCH.RecordPosition - static_cast<std::int64_t>(EOCH.CentralDirSize);
  if (start < 0 || file.Seek(start, SEEK_SET) != start) return false;

  const std::int64_t file_size = file.Size();
  ArchiveStart = file_size;  // running minimum of the local header offsets

  std::array<std::uint8_t, kCentralHeaderSize> fixed{};
  for (unsigned i = 0; i < EOCH.TotalEntries;) {
    if (file.Read(fixed.data(), fixed.size()) != fixed.size()) {
      if (!multi_disk) return false;
      // The directory goes on on the next disk; the piece of a header at the end of this one
      // is dropped.
      const int disk = GetDiskNumber(FZipFileName);
      if (disk == 0 || disk > EOCH.ThisDisk) return false;
      if (!ChangeDisk(file, disk + 1)) return false;
      continue;
    }

    TFileInfo header;
    header.Decode(fixed);
    if (header.Signature != kCentralHeaderSignature) return false;
    if (i == 0) OemNames = zipformat::NamesAreOem(header.VersionMadeBy);

    TFileInfo& info = *FileList.emplace_back(std::make_unique<TFileInfo>(std::move(header)));
    std::string name;
    if (!ReadText(file, info.NameLength, name)) return false;
    if (!ReadText(file, info.ExtraLength, info.ExtraField)) return false;
    std::string comment;
    if (!ReadText(file, info.CommentLength, comment)) return false;
    // An entry flagged as UTF-8 is already in the form the platform uses.
    if (!info.HasUtf8Names()) {
      name = OemToAnsiName(name);
      comment = OemToAnsiName(comment);
    }
    info.FileName = zipformat::EntryNameToPath(name);
    info.FileComment = std::move(comment);

    ArchiveStart = std::min<std::int64_t>(ArchiveStart, info.LocalHeaderOffset);
    ++i;
  }

  if (multi_disk || ArchiveStart >= file_size) {
    ArchiveStart = 0;
  } else {
    // The lowest local header moved by the distance between where the directory was found and
    // where the end record says it is.
    ArchiveStart += EOCH.RecordPosition - (static_cast<std::int64_t>(EOCH.CentralDirOffset) +
                                           static_cast<std::int64_t>(EOCH.CentralDirSize));
  }
  return true;
}

}  // namespace lorvante
