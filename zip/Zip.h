// The zip component: one zip archive on disk. Assigning its name lists the archive's central
// directory into FileList and EOCH.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "ui/component.h"
#include "ui/exceptions.h"
#include "ui/user_interface.h"
#include "unzdll/unzdll_api.h"
#include "zipformat/archive_end.h"
#include "zipformat/records.h"

namespace lorvante {

// Errors that the zip component detects itself.
class ZipException : public Exception {
 public:
  using Exception::Exception;
};

// The component's names for the records it reads (their layouts are in zipformat/records.h).
inline constexpr std::uint32_t kEndOfCentralDirSignature = zipformat::kEndRecordSignature;
inline constexpr std::uint32_t kCentralHeaderSignature = zipformat::kCentralHeaderSignature;
inline constexpr std::size_t kEndOfCentralDirSize = zipformat::kEndRecordSize;
inline constexpr std::size_t kCentralHeaderSize = zipformat::kCentralHeaderSize;

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

  // The disk numbers, the entry count and the directory's size and offset: from the zip64 end
  // record where the fields above are saved at their maximum (archives of more than 65,535
  // entries or over 4 GiB), else the same as those fields.
  std::uint32_t ThisDisk64 = 0;
  std::uint32_t CentralDirDisk64 = 0;
  std::uint64_t TotalEntries64 = 0;
  std::uint64_t CentralDirSize64 = 0;
  std::uint64_t CentralDirOffset64 = 0;
  // File position where the directory ends: the zip64 end record, or the end record.
  std::int64_t DirectoryEnd = -1;

  // The disk numbers in force: the 64-bit ones where the fields above hold the zip64
  // placeholder 0xFFFF, else those fields.
  std::uint32_t DiskInForce() const {
    return ThisDisk == zipformat::kZip64Count ? ThisDisk64 : ThisDisk;
  }
  std::uint32_t CentralDirDiskInForce() const {
    return CentralDirDisk == zipformat::kZip64Count ? CentralDirDisk64 : CentralDirDisk;
  }

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

  // The sizes and the local header's offset: from the zip64 extra field where the fields above
  // are saved at their maximum, else the same as those fields.
  std::uint64_t CompressedSize64 = 0;
  std::uint64_t UncompressedSize64 = 0;
  std::uint64_t LocalHeaderOffset64 = 0;

  // The entry of a central record as read: every field but FileName and FileComment, which the
  // directory reader converts.
  static TFileInfo FromRecord(const zipformat::CentralRecord& record);

  std::uint8_t HostSystem() const {
    return static_cast<std::uint8_t>(zipformat::HostSystem(VersionMadeBy));
  }
  bool HasUtf8Names() const { return (GeneralFlags & zipformat::kFlagUtf8Names) != 0; }
};

// Events of the extraction; Filename is the entry as the library names it.
using TZEDBeginFileEvent = std::function<void(TObject* Sender, const std::string& Filename,
                                              int FileSize, int BatchCount, int TotalBytesInBatch)>;
using TZEDEndBatchEvent =
    std::function<void(TObject* Sender, int SkippedCount, int BatchCount, int TotalBytesInBatch)>;
using TProgressEvent = std::function<void(TObject* Sender, const std::string& Filename,
                                          int BytesDone, int TotalBytes)>;

// Bits of ExtractOptions.
enum : std::uint8_t {
  kExtractUpdate = 1,        // bit 0: replace an existing file exactly when it is older
  kExtractFreshen = 2,       // bit 1: as bit 0, and only files that exist
  kExtractTest = 4,          // bit 2: test only
  kExtractAskOverwrite = 8,  // bit 3: ask before replacing, when bits 0 and 1 are clear
  kExtractKeepFolders = 16,  // bit 4: handed to the library
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

  // The archive as messages name it: the file the user gave, where ZipFileName is a copy of it
  // made for this run (a decrypted payload). Empty: ZipFileName itself.
  std::string ShownName;
  const std::string& ArchiveShownName() const {
    return ShownName.empty() ? FZipFileName : ShownName;
  }

  std::string Password;   // handed to the unzip library; emptied by SetZipFileName
  bool OemNames = false;  // names and comments are stored in the OEM code page
  std::vector<std::unique_ptr<TFileInfo>> FileList;  // the entries, in directory order
  TEOCHInfo EOCH;
  // Bytes in front of the archive proper (its lowest local header); 0 for an ordinary archive.
  std::int64_t ArchiveStart = 0;
  TNotifyEvent OnContentsChanged;

  // Extracts the archive (or the entries named in FileSpecs) into ExtractDir through the unzip
  // library, with the progress window when ShowProgressDialog is on. Returns the library's
  // result, 0 when nothing was handed to it. Raises ZipException; an exception from an event
  // handler reaches the caller once the library has returned.
  int Extract();
  // Loads the unzip library once per process; true when it is loaded. Raises ZipException for a
  // library older than the interface needs.
  bool LoadUnzipLibrary();
  // Answers one callback of the library; 0 to go on, -1 to stop.
  int UnzipCallback(TUnzipCallbackInfo* Info);

  // Settings of the extraction.
  std::string DllDirectory;  // folder of the unzip library; empty = where it was installed
  std::vector<std::string> FileSpecs;  // entries to extract; empty = all; emptied after Extract
  bool ShowProgressDialog = true;
  // The library reads the archive in a process of its own that the kernel confines, where the
  // kernel can (platform/confinement.h) and the worker program is installed: it may write only
  // below the extraction folder and read the archive and the system's files. The questions, the
  // progress and Cancel work as in the program's own process.
  bool Confined = false;
  std::unique_ptr<ProgressDisplay> ProgressForm;
  bool Trace = false;  // write the library's messages to <program>.trace
  std::optional<FileStream> TraceStream;
  std::string ExtractDir;  // empty = the archive's own folder
  std::uint8_t ExtractOptions = kExtractUpdate;
  TZEDBeginFileEvent OnZEDBeginFileEvent;
  TProgressEvent OnZEDProgressEvent;
  TZEDEndBatchEvent OnZEDEndBatchEvent;
  TProgressEvent OnMergeProgress;  // declared for users of the component; never raised here
  TProgressEvent OnSpanProgress;   // likewise

  // State of the current run. Cancel is cleared when Extract starts; the batch's counts and
  // scale are reset together by StartBatch when the library announces the batch's size;
  // BatchCount and CurrentFile are set as the library reports them.
  bool Cancel = false;
  int ErrorCount = 0;       // files of the batch skipped for an error
  float ProgressScale = 0;  // bar units per byte of the batch
  std::string CurrentFile;
  int BatchCount = 0;
  int TotalBytesInBatch = 0;
  std::int64_t BatchBytesDone = 0;  // summed in 64 bits: a batch may report more than announced
  int SkippedCount = 0;
  // The entries of the batch that were not extracted, counted by skip reason (a UNZ_SKIP_ code).
  // Each is also reported to the user and written to the trace file, with its reason in words.
  std::map<int, int> SkippedReasons;
  // The same entries in the order skipped: the name as the library gives it and the reason in
  // words, for the details of a failure.
  std::vector<SkippedEntryNotice> SkippedEntries;

  // The bar's range: it always runs from 0 to this, whatever the batch size.
  static constexpr int kProgressMax = 65535;

 private:
  // Calls the library with `params`, here or in the confined worker; `folder` is the target.
  int RunLibrary(const TUnzipParams& params, const std::string& folder);
  void HandleAction(TUnzipCallbackInfo& info);
  // A batch of `total_bytes` begins: its counts start again and the bar is scaled to it.
  void StartBatch(int total_bytes);
  // The library skipped the entry it names `name` for `reason` (a UNZ_SKIP_ code).
  void EntrySkipped(int reason, const std::string& name);
  void AskPassword(TUnzipCallbackInfo& info, const std::string& name);
  void AskDamaged(TUnzipCallbackInfo& info, const std::string& name);
  void DecideOverwrite(TUnzipCallbackInfo& info, const std::string& name);
  // Hides the progress window around a question and shows it again unless cancelled.
  int Question(const std::function<int()>& ask);
  std::exception_ptr pending_exception_;
  // Why the library refuses the whole run, or what makes the next skipped entry unsafe or stands
  // in its way: kept until that skip arrives, and shown with its reason.
  std::string refusal_;
  int begun_files_ = 0;  // files begun in this batch: where the library's entry lies in FileList

  // Resets what a listing fills in.
  void ResetDirectory();
  // The end of the archive open in `file` (the end record the backwards search accepts).
  static std::optional<zipformat::ArchiveEnd> LocateEnd(FileStream& file);
  // Reads TotalEntries central headers from `file` (replaced when the disk changes). False on
  // any short read, wrong signature or refused disk.
  bool ReadCentralHeaders(FileStream& file);
  // Closes `file`, lets the user change the disk and reopens it. False when cancelled.
  bool ChangeDisk(FileStream& file, int disk_no);

  std::string FZipFileName;
};

}  // namespace lorvante
