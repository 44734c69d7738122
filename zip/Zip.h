// The zip component: one zip archive on disk. Assigning its name lists the archive's central
// directory into FileList and EOCH.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "ui/component.h"

namespace lorvante {

class FileStream;

// Errors that the zip component detects itself.
class ZipException : public Exception {
 public:
  using Exception::Exception;
};

// Signatures of the records the component reads.
inline constexpr std::uint32_t kEndOfCentralDirSignature = 0x06054B50;  // 50 4B 05 06
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;    // 50 4B 01 02
inline constexpr std::size_t kEndOfCentralDirSize = 22;
inline constexpr std::size_t kCentralHeaderSize = 46;

// The end of central directory record: its fixed fields in file order and width, then the
// archive comment and where the record was found.
struct TEOCHInfo {
  std::uint32_t Signature = 0;
  std::uint16_t ThisDisk = 0;
  std::uint16_t CentralDirDisk = 0;
  std::uint16_t EntriesThisDisk = 0;
  std::uint16_t TotalEntries = 0;
  std::uint32_t CentralDirSize = 0;
  std::uint32_t CentralDirOffset = 0;
  std::uint16_t CommentLength = 0;

  std::string ZipComment;
  // File position of the record; -1 before anything was read. 64 bits: positions in the file
  // are never squeezed into 32 signed bits.
  std::int64_t RecordPosition = -1;

  // Decodes the 22 fixed bytes (little-endian). False when fewer are given.
  bool Decode(std::span<const std::uint8_t> bytes);
  // The 22 fixed bytes as stored in a file.
  std::vector<std::uint8_t> Encode() const;
};

// One central file header: its fixed fields in file order and width, then what follows it.
struct TFileInfo {
  std::uint32_t Signature = 0;
  std::uint16_t VersionMadeBy = 0;  // low byte: format version * 10; high byte: host system
  std::uint16_t VersionNeeded = 0;
  std::uint16_t GeneralFlags = 0;  // bit 0: encrypted; bit 11: name and comment are UTF-8
  std::uint16_t Method = 0;
  std::uint16_t ModTime = 0;
  std::uint16_t ModDate = 0;
  std::uint32_t Crc32 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint16_t NameLength = 0;
  std::uint16_t ExtraLength = 0;
  std::uint16_t CommentLength = 0;
  std::uint16_t DiskNumberStart = 0;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint32_t LocalHeaderOffset = 0;

  std::uint8_t Encrypted = 0;  // 1 when bit 0 of GeneralFlags is set
  std::string FileName;        // converted to a platform path (UTF-8, '/' separators)
  std::string ExtraField;      // raw bytes
  std::string FileComment;     // converted

  // Decodes the 46 fixed bytes (little-endian) and sets Encrypted. False when fewer are given.
  bool Decode(std::span<const std::uint8_t> bytes);

  std::uint8_t HostSystem() const { return static_cast<std::uint8_t>(VersionMadeBy >> 8); }
  bool HasUtf8Names() const { return (GeneralFlags & 0x0800) != 0; }
};

class TZip : public TComponent {
 public:
  explicit TZip(TComponent* AOwner);
  ~TZip() override;

  // The archive. Assigning it resets the directory members, creates an empty archive when the
  // file is missing, lists the archive and then raises OnContentsChanged. Raises ZipException;
  // errors of the file layer pass through.
  const std::string& ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const std::string& AName);

  // Reads the directory of ZipFileName into EOCH and FileList.
  void ListContents();
  // Position of the end record, with `Stream` left on it; -1 when there is none.
  std::int64_t FindEndOfCentralDir(FileStream& Stream);
  // Frees every entry.
  void ClearFileList();
  // `AName` from the OEM code page to UTF-8 when OemNames is on; unchanged otherwise.
  std::string OemToAnsiName(const std::string& AName) const;

  std::string Password;   // handed to the unzip library; emptied by SetZipFileName
  bool OemNames = false;  // names and comments are stored in the OEM code page
  std::vector<std::unique_ptr<TFileInfo>> FileList;  // the entries, in directory order
  TEOCHInfo EOCH;
  // Bytes in front of the archive proper (its lowest local header); 0 for an ordinary archive.
  std::int64_t ArchiveStart = 0;
  TNotifyEvent OnContentsChanged;

 private:
  // Resets what a listing fills in.
  void ResetDirectory();
  // Reads TotalEntries central headers from `file` (replaced when the disk changes). False on
  // any short read, wrong signature or refused disk.
  bool ReadCentralHeaders(FileStream& file);
  // Closes `file`, lets the user change the disk and reopens it. False when cancelled.
  bool ChangeDisk(FileStream& file, int disk_no);

  std::string FZipFileName;
};

}  // namespace lorvante
