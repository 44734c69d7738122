#include "unzdll/batch.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codecs/zip_methods.h"
#include "platform/oem_names.h"
#include "unzdll/archive_layout.h"
#include "unzdll/entry_name.h"
#include "unzdll/entry_reader.h"
#include "unzdll/host_channel.h"
#include "unzdll/messages.h"
#include "unzdll/spec_match.h"
#include "unzdll/target_folder.h"
#include "unzdll/unique_fd.h"
#include "zipformat/host_system.h"
#include "zipformat/names.h"

namespace unzdll {
namespace {

// The direct path reads the archive and writes the files in pieces of this size.
constexpr std::size_t kDirectBlock = 1024 * 1024;

enum class Mode { kExtract, kFreshen, kTest };

// One selected entry with everything decided before its data is touched.
struct Job {
  std::size_t index = 0;
  const CentralEntry* entry = nullptr;
  std::string name;     // converted, as stored
  SafePath path;        // where it goes (folders dropped when they are not kept)
  std::string written;  // the name as written, shown to the host
  const char* refusal = nullptr;
  mode_t mode = 0666;
  // Where its data lie and how they are read.
  EntryData data;
  std::unique_ptr<lorvante::codecs::Decoder> decoder;  // for the first attempt
  std::int64_t mtime = 0;
};

// The entry's type and permissions from its external attributes. Returns a refusal text for a
// type that is not created (link, device, FIFO, socket).
const char* DecideMode(const CentralEntry& entry, Job& job) {
  namespace zf = lorvante::zipformat;
  job.mode = (entry.external_attributes & zf::kDosAttributeReadOnly) != 0 ? 0444 : 0666;
  if (!zf::IsUnixHost(entry.made_by)) {
    // A folder of an MS-DOS or Windows writer may lack its final '/': its attribute says it.
    if ((entry.external_attributes & zf::kDosAttributeFolder) != 0) job.path.is_folder = true;
    return nullptr;
  }
  const auto unix_mode = static_cast<mode_t>(entry.external_attributes >> 16);
  if (unix_mode == 0) return nullptr;
  switch (unix_mode & S_IFMT) {
    case 0:
    case S_IFREG:
      break;
    case S_IFDIR:
      job.path.is_folder = true;
      break;
    case S_IFLNK:
      return "symbolic links are not created";
    case S_IFIFO:
      // A writer that reads its standard input from a pipe stores the pipe's type with the
      // data read from it: those data make a file, as other unzippers make it.
      if (entry.size == 0) return "FIFOs are not created";
      break;
    case S_IFSOCK:
      return "sockets are not created";
    default:
      return "devices are not created";
  }
  // Set-user-ID, set-group-ID and sticky bits are dropped; the umask applies on creation.
  job.mode = unix_mode & 0777;
  return nullptr;
}

// A name that two entries share, or empty.
std::string DuplicateName(const ArchiveLayout& layout) {
  std::vector<std::string_view> names;
  names.reserve(layout.entries.size());
  for (const CentralEntry& entry : layout.entries) names.push_back(entry.raw_name);
  std::sort(names.begin(), names.end());
  const auto twice = std::adjacent_find(names.begin(), names.end());
  return twice == names.end() ? std::string() : std::string(*twice);
}

class Batch {
 public:
  explicit Batch(const TUnzipParams& params)
      : params_(params), host_(params.Callback, params.Caller) {
    buffers_.input.resize(kDirectBlock);
    buffers_.output.resize(kDirectBlock);
    if (params.TestOnly != 0) {
      mode_ = Mode::kTest;
    } else if (params.Freshen != 0 && params.Update == 0) {
      mode_ = Mode::kFreshen;
    }
    if (params.Password != nullptr && params.Password[0] != '\0') given_ = params.Password;
  }

  std::int32_t Run();

 private:
  std::int32_t RefuseRun(const std::string& name, int reason, const std::string& detail);
  std::vector<Job> Select(const ArchiveLayout& layout);
  void Skip(const Job& job, int reason, const std::string& detail);

  // One entry, in phases: announced, refused when unsafe, a folder made, or its methods checked,
  // its folder opened, the existing file decided about, and its data read.
  void Process(Job& job);
  void MakeFolder(const Job& job);
  // Finds the entry's data and decides how they are read. False (the entry skipped) when its
  // local header is damaged or its compression or encryption method is not read.
  bool MethodsSupported(Job& job);
  // The folder that the entry goes into; -1 when it is skipped.
  int OpenFolderOf(const Job& job);
  // Whether the file may be written there: missing, or replaced as the mode and the host say.
  bool MayWrite(const Job& job, int folder);

  // Extracts or tests the data of `job`, asking for passwords as needed.
  void ReadData(Job& job, TempFile* temp);
  ReadResult Attempt(Job& job, const char* password, TempFile* temp, EntryProgress& progress);
  // An encrypted entry: the passwords known from earlier entries and the call record first, then
  // the host's answers. Nothing when the entry was skipped here.
  std::optional<ReadResult> ReadEncrypted(Job& job, TempFile* temp, EntryProgress& progress);
  // Whether what was read is kept: every fault is a skip, a CRC error is the host's choice.
  bool KeepData(const Job& job, const ReadResult& result);

  const TUnzipParams& params_;
  HostChannel host_;
  Mode mode_ = Mode::kExtract;
  EntryBuffers buffers_;
  int fd_ = -1;
  std::uint64_t file_size_ = 0;
  std::uint64_t window_start_ = 0;
  std::optional<TargetFolder> target_;
  std::optional<std::string> given_;   // the password of the call record
  std::optional<std::string> worked_;  // the last password that opened an entry
  std::int32_t done_ = 0;
  bool tried_ = false;  // the current entry was read once already
};

std::int32_t Batch::RefuseRun(const std::string& name, int reason, const std::string& detail) {
  // One skipped entry, so that a host that counts errors sees the failure.
  host_.Send(UNZ_ACTION_FILE_COUNT, 1, {});
  host_.Send(UNZ_ACTION_TOTAL_BYTES, 0, {});
  host_.Send(UNZ_ACTION_BEGIN_FILE, 0, name);
  host_.Message(SkipMessage(name, reason, detail));
  if (!detail.empty()) host_.Send(UNZ_ACTION_RUN_REFUSED, 0, detail);
  host_.Send(UNZ_ACTION_SKIPPED, reason, name);
  host_.Send(UNZ_ACTION_END_BATCH, 0, {});
  return 0;
}

std::vector<Job> Batch::Select(const ArchiveLayout& layout) {
  std::vector<std::string> texts;
  for (std::int32_t i = 0; params_.Specs != nullptr && i < params_.SpecCount; ++i) {
    const char* text = params_.Specs[i].SpecText;
    if (text != nullptr) texts.emplace_back(text);
  }
  const SpecList specs(std::move(texts));
  const bool oem =
      !layout.entries.empty() && lorvante::zipformat::NamesAreOem(layout.entries.front().made_by);
  const std::string codepage = oem ? lorvante::OemCodePage() : std::string();
  const bool keep_folders = params_.KeepFolders != 0;

  std::vector<Job> jobs;
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const CentralEntry& entry = layout.entries[i];
    Job job;
    job.index = i;
    job.entry = &entry;
    job.name = ConvertName(entry.raw_name, entry.flags, oem, codepage);
    if (!specs.Selects(job.name)) continue;
    job.path = CheckName(job.name);
    job.refusal = job.path.refusal;
    if (job.refusal == nullptr) job.refusal = DecideMode(entry, job);
    if (job.path.is_folder && !job.path.leaf.empty()) {
      job.path.folders.push_back(std::move(job.path.leaf));
      job.path.leaf.clear();
    }
    // Without the archive's folders every file goes directly into the target folder, and
    // folder entries have nothing to make.
    if (!keep_folders) job.path.folders.clear();
    job.written = job.refusal == nullptr && !job.path.is_folder ? JoinPath(job.path) : job.name;
    job.mtime =
        entry.unix_mtime ? *entry.unix_mtime : DosTimeToUnix(entry.dos_date, entry.dos_time);
    jobs.push_back(std::move(job));
  }
  return jobs;
}

void Batch::Skip(const Job& job, int reason, const std::string& detail) {
  host_.Message(SkipMessage(job.written, reason, detail));
  host_.Send(UNZ_ACTION_SKIPPED, reason, job.written);
}

ReadResult Batch::Attempt(Job& job, const char* password, TempFile* temp, EntryProgress& progress) {
  Failure failure;
  // The file is emptied for another try; the first finds it empty.
  if (temp != nullptr && tried_ && !temp->Rewind(failure)) {
    return {ReadStatus::kWriteFailed, failure};
  }
  tried_ = true;
  progress.Restart();
  const int out_fd = temp != nullptr ? temp->fd() : -1;
  return ReadEntryData({.fd = fd_, .entry = job.entry, .data = job.data}, password,
                       std::move(job.decoder), out_fd, progress, buffers_);
}

// A data or CRC error on an encrypted entry means a wrong password that passed the header check
// (about one wrong password in 256 does).
bool WrongPassword(const ReadResult& r) {
  return r.status == ReadStatus::kWrongPassword || r.status == ReadStatus::kCrcMismatch ||
         r.status == ReadStatus::kDamaged || r.status == ReadStatus::kNeedPassword;
}

// A password that passed the header check and then failed the data. Given again for the same
// entry and failing the same way, it is the data that are damaged, not the password.
bool PassedTheCheck(const ReadResult& r) {
  return r.status == ReadStatus::kCrcMismatch || r.status == ReadStatus::kDamaged;
}

std::optional<ReadResult> Batch::ReadEncrypted(Job& job, TempFile* temp, EntryProgress& progress) {
  std::vector<std::string> known;
  if (worked_) known.push_back(*worked_);
  if (given_ && given_ != worked_) known.push_back(*given_);
  std::vector<std::string> failed_data;  // passwords that passed the check and failed the data
  for (const std::string& password : known) {
    ReadResult result = Attempt(job, password.c_str(), temp, progress);
    if (!WrongPassword(result)) {
      if (result.status == ReadStatus::kOk) worked_ = password;
      return result;
    }
    if (PassedTheCheck(result)) failed_data.push_back(password);
  }
  std::int32_t tries = UNZ_FIRST_PASSWORD_REQUEST;
  for (;;) {
    if (!host_.Send(UNZ_ACTION_PASSWORD, tries, job.written)) {
      return ReadResult{ReadStatus::kStopped, {}};
    }
    if (host_.status() == 0) {
      Skip(job, UNZ_SKIP_NO_PASSWORD, {});
      return std::nullopt;
    }
    const std::string password = host_.text();
    // The host counts the tries down; should it not, the library does.
    const std::int32_t left = host_.value() < tries ? host_.value() : tries - 1;
    host_.Wipe();
    ReadResult result = Attempt(job, password.c_str(), temp, progress);
    if (!WrongPassword(result)) {
      if (result.status == ReadStatus::kOk) worked_ = password;
      return result;
    }
    if (PassedTheCheck(result)) {
      if (std::find(failed_data.begin(), failed_data.end(), password) != failed_data.end()) {
        return result;
      }
      failed_data.push_back(password);
    }
    if (left <= 0) {
      Skip(job, UNZ_SKIP_WRONG_PASSWORD, result.failure.Text());
      return std::nullopt;
    }
    tries = left;
  }
}

bool Batch::KeepData(const Job& job, const ReadResult& result) {
  switch (result.status) {
    case ReadStatus::kOk:
      return true;
    case ReadStatus::kStopped:
      Skip(job, UNZ_SKIP_STOPPED, {});
      return false;
    case ReadStatus::kUnsupported:
      Skip(job, UNZ_SKIP_UNSUPPORTED, result.failure.Text());
      return false;
    case ReadStatus::kWriteFailed:
      Skip(job, UNZ_SKIP_CANNOT_WRITE, result.failure.Text());
      return false;
    case ReadStatus::kCrcMismatch:
      if (mode_ == Mode::kTest) {
        Skip(job, UNZ_SKIP_CRC_ERROR, result.failure.Text());
        return false;
      }
      if (!host_.Send(UNZ_ACTION_CRC_ERROR, 0, job.written)) {
        Skip(job, UNZ_SKIP_STOPPED, {});
        return false;
      }
      if (host_.status() != 1) {
        Skip(job, UNZ_SKIP_CRC_ERROR, result.failure.Text());
        return false;
      }
      host_.Message("Kept \"" + job.written + "\" despite its CRC error");
      return true;
    default:
      Skip(job, UNZ_SKIP_DAMAGED, result.failure.Text());
      return false;
  }
}

void Batch::ReadData(Job& job, TempFile* temp) {
  EntryProgress progress(host_);
  tried_ = false;
  const bool encrypted = (job.entry->flags & lorvante::zipformat::kFlagEncrypted) != 0;
  const std::optional<ReadResult> result =
      encrypted ? ReadEncrypted(job, temp, progress) : Attempt(job, nullptr, temp, progress);
  if (!result || !KeepData(job, *result)) return;
  if (temp != nullptr) {
    Failure failure;
    if (!temp->Commit(job.path.leaf, job.mtime, failure)) {
      Skip(job, UNZ_SKIP_CANNOT_WRITE, failure.Text());
      return;
    }
  }
  ++done_;
}

void Batch::MakeFolder(const Job& job) {
  if (mode_ != Mode::kExtract || job.path.folders.empty()) return;
  Failure failure;
  if (target_->Folder(job.path.folders, true, failure) < 0) {
    Skip(job, failure.unsafe ? UNZ_SKIP_UNSAFE : UNZ_SKIP_CANNOT_WRITE, failure.Text());
    return;
  }
  target_->RememberFolderTime(job.path.folders, job.mtime);
}

bool Batch::MethodsSupported(Job& job) {
  if (job.entry->local_fault != nullptr) {
    Skip(job, UNZ_SKIP_DAMAGED, job.entry->local_fault);
    return false;
  }
  Failure failure;
  auto data = LocateEntryData(fd_, window_start_, file_size_, *job.entry, failure);
  if (!data) {
    Skip(job, UNZ_SKIP_DAMAGED, failure.Text());
    return false;
  }
  job.data = *data;
  if (job.data.cipher == Cipher::kOther) {
    Skip(job, UNZ_SKIP_UNSUPPORTED, "encryption method of the entry");
    return false;
  }
  namespace codecs = lorvante::codecs;
  if (job.data.method == codecs::kZipStored) return true;
  job.decoder = codecs::MakeZipDecoder(
      job.data.method, {.uncompressed_size = job.entry->size, .flags = job.entry->flags});
  if (!job.decoder) {
    Skip(job, UNZ_SKIP_UNSUPPORTED, "compression method " + MethodName(job.data.method));
    return false;
  }
  return true;
}

int Batch::OpenFolderOf(const Job& job) {
  for (const std::string& part : job.path.folders) {
    if (part.size() > NAME_MAX) {
      Skip(job, UNZ_SKIP_CANNOT_WRITE, SystemText(ENAMETOOLONG));
      return -1;
    }
  }
  if (job.path.leaf.size() > NAME_MAX) {
    Skip(job, UNZ_SKIP_CANNOT_WRITE, SystemText(ENAMETOOLONG));
    return -1;
  }
  Failure failure;
  const int folder = target_->Folder(job.path.folders, mode_ == Mode::kExtract, failure);
  if (folder < 0) {
    if (failure.unsafe) {
      Skip(job, UNZ_SKIP_UNSAFE, failure.Text());
    } else if (mode_ == Mode::kFreshen && failure.error == ENOENT) {
      Skip(job, UNZ_SKIP_NO_TARGET, {});
    } else {
      Skip(job, UNZ_SKIP_CANNOT_WRITE, failure.Text());
    }
  }
  return folder;
}

bool Batch::MayWrite(const Job& job, int folder) {
  struct stat existing {};
  if (::fstatat(folder, job.path.leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      Skip(job, UNZ_SKIP_CANNOT_WRITE, "a folder of that name exists");
      return false;
    }
    // Zip times have 2-second steps: older means at least 2 seconds older.
    const bool older = static_cast<std::int64_t>(existing.st_mtime) + 2 <= job.mtime;
    if (!host_.Send(UNZ_ACTION_TARGET_EXISTS, 0, job.written, older ? 1 : 0)) {
      Skip(job, UNZ_SKIP_STOPPED, {});
      return false;
    }
    if (host_.value() != 1) {
      Skip(job, UNZ_SKIP_KEPT_EXISTING, {});
      return false;
    }
  } else if (errno != ENOENT) {
    Skip(job, UNZ_SKIP_CANNOT_WRITE, SystemText(errno));
    return false;
  } else if (mode_ == Mode::kFreshen) {
    Skip(job, UNZ_SKIP_NO_TARGET, {});
    return false;
  }
  return true;
}

void Batch::Process(Job& job) {
  const std::int32_t size = job.path.is_folder ? 0 : Cap32(job.entry->size);
  if (!host_.Send(UNZ_ACTION_BEGIN_FILE, size, job.written)) {
    Skip(job, UNZ_SKIP_STOPPED, {});
    return;
  }
  if (job.refusal != nullptr) {
    Skip(job, UNZ_SKIP_UNSAFE, job.refusal);
    return;
  }
  if (job.path.is_folder) {
    MakeFolder(job);
    return;
  }
  if (!MethodsSupported(job)) return;
  if (mode_ == Mode::kTest) {
    ReadData(job, nullptr);
    return;
  }
  const int folder = OpenFolderOf(job);
  if (folder < 0 || !MayWrite(job, folder)) return;
  Failure failure;
  auto temp = TempFile::Create(folder, job.mode, failure);
  if (!temp) {
    Skip(job, UNZ_SKIP_CANNOT_WRITE, failure.Text());
    return;
  }
  ReadData(job, &*temp);
}

std::int32_t Batch::Run() {
  const std::string archive_path = params_.ArchivePath != nullptr ? params_.ArchivePath : "";
  UniqueFd fd(::open(archive_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return RefuseRun(archive_path, UNZ_SKIP_DAMAGED, SystemText(errno));
  Failure failure;
  const auto layout = ReadArchiveLayout(fd.get(), failure);
  if (!layout) return RefuseRun(archive_path, UNZ_SKIP_DAMAGED, failure.Text());

  // Two entries of one name make the archive ambiguous (which copy is meant?): it is refused
  // as a whole, with the name.
  if (const std::string twice = DuplicateName(*layout); !twice.empty()) {
    return RefuseRun(archive_path, UNZ_SKIP_DAMAGED,
                     "the name \"" + twice + "\" stands twice in the archive");
  }

  struct stat st {};
  if (::fstat(fd.get(), &st) != 0)
    return RefuseRun(archive_path, UNZ_SKIP_DAMAGED, SystemText(errno));
  fd_ = fd.get();
  file_size_ = static_cast<std::uint64_t>(st.st_size);
  window_start_ = layout->window_start;

  if (mode_ != Mode::kTest) {
    const std::string folder = params_.TargetFolder != nullptr ? params_.TargetFolder : "";
    target_ = TargetFolder::Open(folder, failure);
    if (!target_) return RefuseRun(folder, UNZ_SKIP_CANNOT_WRITE, failure.Text());
  }

  std::vector<Job> jobs = Select(*layout);
  std::uint64_t total = 0;
  for (const Job& job : jobs) total += job.path.is_folder ? 0 : job.entry->size;
  host_.Send(UNZ_ACTION_FILE_COUNT, Cap32(jobs.size()), {});
  host_.Send(UNZ_ACTION_TOTAL_BYTES, Cap32(total), {});
  for (Job& job : jobs) {
    if (host_.stopped()) break;
    Process(job);
  }
  if (target_) target_->ApplyFolderTimes();
  host_.Send(UNZ_ACTION_END_BATCH, 0, {});
  return done_;
}

}  // namespace

std::int32_t RunBatch(const TUnzipParams& params) {
  return Batch(params).Run();
}

}  // namespace unzdll
