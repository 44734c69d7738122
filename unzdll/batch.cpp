#include "unzdll/batch.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/cpu_count.h"
#include "platform/signal_cleanup.h"
#include "platform/unique_fd.h"
#include "unzdll/archive_layout.h"
#include "unzdll/entry_handover.h"
#include "unzdll/entry_job.h"
#include "unzdll/entry_passwords.h"
#include "unzdll/entry_preparation.h"
#include "unzdll/entry_reader.h"
#include "unzdll/entry_selection.h"
#include "unzdll/folder_cache.h"
#include "unzdll/host_channel.h"
#include "unzdll/messages.h"
#include "unzdll/target_folder.h"
#include "unzdll/worker_pool.h"

namespace unzdll {
namespace {

// The direct path reads the archive and writes the files in pieces of at most this size, and
// of at least the smaller one (a small archive does not need the large pieces).
constexpr std::size_t kDirectBlock = 1024 * 1024;
constexpr std::size_t kSmallestBlock = 64 * 1024;
// Entries are read and written by this many workers at most, one per usable core; the variable
// sets their number (1: every entry on the calling thread, in turn).
constexpr std::size_t kMaxWorkers = 8;
constexpr char kWorkersVariable[] = "LORVANTE_UNZIP_WORKERS";
// The workers run no more than this many entries per worker ahead of the caller, and never more
// than the limit (each entry ahead may hold a temporary file registered for removal on a signal).
constexpr std::size_t kAheadPerWorker = 16;
constexpr std::size_t kMaxAhead = 64;
static_assert(kMaxAhead < lorvante::kRemoveOnSignalSlots, "every temporary file is registered");
// An entry of at most this many bytes (stored and written) is read by a worker without waking
// the caller before it is done.
constexpr std::uint64_t kQuietEntry = 256 * 1024;

std::size_t WorkerCount() {
  if (const char* text = std::getenv(kWorkersVariable)) {
    const long wanted = std::strtol(text, nullptr, 10);
    if (wanted >= 1) return std::min<std::size_t>(static_cast<std::size_t>(wanted), kMaxWorkers);
  }
  return std::min(lorvante::UsableCores(), kMaxWorkers);
}

class Batch {
 public:
  explicit Batch(const TUnzipParams& params)
      : params_(params),
        host_(params.Callback, params.Caller),
        passwords_(host_, params.Password),
        selection_(params) {
    if (params.TestOnly != 0) {
      mode_ = RunMode::kTest;
    } else if (params.Freshen != 0 && params.Update == 0) {
      mode_ = RunMode::kFreshen;
    }
  }

  std::int32_t Run();

 private:
  std::int32_t RefuseRun(const std::string& name, int reason, const std::string& detail);
  // The job of the selected entry at `position`, in the ring of entries from the caller's on.
  Job& JobAt(std::size_t position) { return ring_[position % ring_.size()]; }
  void FillSlot(const ArchiveLayout& layout, std::size_t position);
  // Tells the host that the entry is not extracted (HostChannel::ReportSkip).
  void Skip(const Job& job, int reason, const std::string& detail, bool shown = false);
  void Skip(const Job& job, const Prepared& skipped) {
    Skip(job, skipped.reason, skipped.detail, skipped.shown);
  }

  // One entry, in phases: announced, refused when unsafe, a folder made, or its data prepared
  // (here, or by a worker when `handover` is given) and read.
  void Process(Job& job, EntryHandover* handover);
  void MakeFolder(const Job& job);
  // What the preparation of an entry reads of the run.
  PreparationContext Preparation();
  // Renames the entry's sealed file into place, making its folders first when they are pending.
  // A file whose name was not looked at takes the name only where nothing stands; a name taken
  // meanwhile is then treated as an existing file: the host is asked, or the entry skipped
  // (declined, the host told).
  enum class Placed { kPlaced, kFailed, kDeclined };
  Placed PlaceFile(Job& job, Failure& failure);
  // Places the sealed file and counts it; the host is told when it is not placed.
  void PlaceAndCount(Job& job, bool sealed, Failure failure);
  // Tells the host what the preparation decided, asking when the target exists. True when the
  // data are to be read.
  bool Settle(Job& job, const Prepared& prepared);
  bool AskReplace(const Job& job, bool older);
  // Tells the host what a worker found while it read the entry, then keeps the file or not.
  void ConcludeHanded(Job& job, EntryHandover& handover);

  // The sizes of the pieces read and written: no larger than the archive and its largest entry.
  void ChooseBlocks(const ArchiveLayout& layout);
  void SizeBuffers(EntryBuffers& buffers) const;
  // The workers: each takes an entry, prepares and reads it, and hands what it found over.
  void StartWorkers();
  void Work(std::size_t index, std::size_t worker);
  void WorkOn(Job& job, EntryHandover& handover, EntryBuffers& buffers);

  // Extracts or tests the data of `job`, asking for passwords as needed.
  void ReadData(Job& job, TempFile* temp);
  // Whether what was read is kept: every fault is a skip, a CRC error is the host's choice.
  bool KeepData(const Job& job, const ReadResult& result);

  const TUnzipParams& params_;
  HostChannel host_;
  EntryPasswords passwords_;
  RunMode mode_ = RunMode::kExtract;
  EntryBuffers buffers_;
  int fd_ = -1;
  std::uint64_t file_size_ = 0;
  std::size_t input_block_ = kDirectBlock;
  std::size_t output_block_ = kDirectBlock;
  std::uint64_t window_start_ = 0;
  std::optional<TargetFolder> target_;
  std::optional<FolderCache> folders_;
  EntrySelection selection_;
  std::vector<Job> ring_;  // the jobs of the caller's entry and of those the workers may take
  std::size_t workers_ = 1;
  lorvante::ReplacementFile::Naming naming_ = FileNaming();
  bool pooled_ = false;            // workers take the entries marked for them
  std::atomic<bool> stop_{false};  // the host asked to stop: the workers give up
  std::vector<std::unique_ptr<EntryHandover>> handovers_;  // one per entry ahead, in turn
  std::vector<EntryBuffers> worker_buffers_;
  std::optional<WorkerPool> pool_;
  std::int32_t done_ = 0;
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

void Batch::FillSlot(const ArchiveLayout& layout, std::size_t position) {
  Job& slot = JobAt(position);
  const std::vector<SelectedEntry>& selected = selection_.entries();
  if (position >= selected.size()) {
    slot = Job();
    return;
  }
  slot = *selection_.MakeJob(layout, selected[position].index);
  slot.alone = selected[position].handed;
  slot.handed = pooled_ && slot.alone;
}

void Batch::Skip(const Job& job, int reason, const std::string& detail, bool shown) {
  host_.ReportSkip(job.written, reason, detail, shown);
}

PreparationContext Batch::Preparation() {
  return {.fd = fd_,
          .window_start = window_start_,
          .file_size = file_size_,
          .mode = mode_,
          .folders = folders_ ? &*folders_ : nullptr,
          .naming = naming_};
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
      if (mode_ == RunMode::kTest) {
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
  HostProgress sink(host_);
  EntryProgress progress(sink);
  const std::optional<ReadResult> result = passwords_.ReadData(job, fd_, temp, progress, buffers_);
  if (!result || !KeepData(job, *result)) return;
  if (temp != nullptr) {
    Failure failure;
    const bool sealed = temp->Seal(job.mtime, failure);
    PlaceAndCount(job, sealed, failure);
    return;
  }
  ++done_;
}

void Batch::MakeFolder(const Job& job) {
  if (mode_ != RunMode::kExtract || job.path.folders.empty()) return;
  Failure failure;
  bool made = false;
  folders_->WithTarget([&](TargetFolder& target) {
    made = target.Folder(job.path.folders, true, failure) >= 0;
    if (made) target.RememberFolderTime(job.path.folders, job.mtime);
  });
  if (!made) Skip(job, Prepared::WriteFailure(failure));
}

Batch::Placed Batch::PlaceFile(Job& job, Failure& failure) {
  // The file's own folder stays held (`job.folder`): a hidden file is renamed from it.
  std::shared_ptr<const HeldFolder> folder = job.folder;
  if (job.folders_pending) {
    folder = folders_->Get(job.path.folders, true, failure);
    if (folder == nullptr) return Placed::kFailed;
  }
  const int folder_fd = folder->fd.get();
  if (!job.unchecked) {
    return job.temp->Place(folder_fd, job.path.leaf, failure) ? Placed::kPlaced : Placed::kFailed;
  }
  if (job.temp->PlaceNew(folder_fd, job.path.leaf, failure)) return Placed::kPlaced;
  if (failure.error != EEXIST) return Placed::kFailed;
  failure = {};
  const Prepared existing = CheckExisting(Preparation(), job, folder_fd);
  if (existing.next == Prepared::Next::kSkip) {
    Skip(job, existing);
    return Placed::kDeclined;
  }
  if (existing.next == Prepared::Next::kAskExisting && !AskReplace(job, existing.older)) {
    return Placed::kDeclined;
  }
  return job.temp->Place(folder_fd, job.path.leaf, failure) ? Placed::kPlaced : Placed::kFailed;
}

void Batch::PlaceAndCount(Job& job, bool sealed, Failure failure) {
  if (sealed) {
    const Placed placed = PlaceFile(job, failure);
    if (placed == Placed::kDeclined) return;
    if (placed == Placed::kPlaced) {
      ++done_;
      return;
    }
  }
  Skip(job, Prepared::WriteFailure(failure));
}

bool Batch::AskReplace(const Job& job, bool older) {
  if (!host_.Send(UNZ_ACTION_TARGET_EXISTS, 0, job.written, older ? 1 : 0)) {
    Skip(job, UNZ_SKIP_STOPPED, {});
    return false;
  }
  if (host_.value() != 1) {
    Skip(job, UNZ_SKIP_KEPT_EXISTING, {});
    return false;
  }
  return true;
}

bool Batch::Settle(Job& job, const Prepared& prepared) {
  switch (prepared.next) {
    case Prepared::Next::kRead:
      return true;
    case Prepared::Next::kSkip:
      Skip(job, prepared);
      return false;
    case Prepared::Next::kAskExisting:
      break;
  }
  if (!AskReplace(job, prepared.older)) return false;
  const Prepared made = CreateTemp(Preparation(), job);
  return Settle(job, made);
}

void Batch::ConcludeHanded(Job& job, EntryHandover& handover) {
  const bool going = handover.ForwardReports(
      [this](std::int32_t step) { return host_.Send(UNZ_ACTION_PROGRESS, step, {}); });
  if (!going) {
    stop_ = true;  // the workers give up within one progress step
    Skip(job, UNZ_SKIP_STOPPED, {});
    return;
  }
  if (!KeepData(job, handover.result())) return;
  if (job.temp) {
    PlaceAndCount(job, handover.sealed(), handover.seal_failure());
    return;
  }
  ++done_;
}

void Batch::Process(Job& job, EntryHandover* handover) {
  const std::int32_t size = job.path.is_folder ? 0 : Cap32(job.entry->sizes.uncompressed_size);
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
  const Prepared prepared =
      handover != nullptr ? handover->WaitPrepared() : PrepareEntry(Preparation(), job, buffers_);
  if (!Settle(job, prepared)) return;
  // After a question the data are read here, as for an entry no worker took.
  if (handover != nullptr && prepared.next == Prepared::Next::kRead) {
    ConcludeHanded(job, *handover);
    return;
  }
  ReadData(job, job.temp ? &*job.temp : nullptr);
}

void Batch::WorkOn(Job& job, EntryHandover& handover, EntryBuffers& buffers) {
  if (stop_) {
    handover.Prepare(Prepared::Skip(UNZ_SKIP_STOPPED, {}));
    return;
  }
  if (job.entry->sizes.uncompressed_size <= kQuietEntry &&
      job.entry->sizes.compressed_size <= kQuietEntry) {
    handover.Quiet();
  }
  const Prepared prepared = PrepareEntry(Preparation(), job, buffers);
  handover.Prepare(prepared);
  if (prepared.next != Prepared::Next::kRead) return;
  EntryProgress progress(handover);
  const int out_fd = job.temp ? job.temp->fd() : -1;
  const ReadResult result =
      ReadEntryData({.fd = fd_, .entry = job.entry, .data = job.data}, nullptr,
                    std::move(job.decoder), out_fd, progress, buffers);
  // The file is closed here, where it was written; the caller renames it when it is kept.
  Failure failure;
  bool sealed = true;
  const bool whole = result.status == ReadStatus::kOk || result.status == ReadStatus::kCrcMismatch;
  if (job.temp && whole) sealed = job.temp->Seal(job.mtime, failure);
  handover.Finish(result, sealed, failure);
}

void Batch::Work(std::size_t index, std::size_t worker) {
  // An entry of the caller's own may be done, and its slot given to a later entry, before this
  // worker looks: what is handed is read from the selection, and only a handed entry's slot
  // waits for its worker.
  if (!selection_.entries()[index].handed) return;
  Job& job = JobAt(index);
  EntryHandover& handover = *handovers_[index % handovers_.size()];
  try {
    WorkOn(job, handover, worker_buffers_[worker]);
  } catch (const std::bad_alloc&) {
    // Out of memory on the way: the entry fails as damaged data do.
    handover.Fail(Failure::System(ENOMEM));
  }
}

std::size_t BlockFor(std::uint64_t bytes) {
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(bytes, kSmallestBlock, kDirectBlock));
}

void Batch::ChooseBlocks(const ArchiveLayout& layout) {
  std::uint64_t largest = 0;
  for (const CentralEntry& entry : layout.entries) {
    largest = std::max(largest, entry.sizes.uncompressed_size);
  }
  input_block_ = BlockFor(file_size_);
  output_block_ = BlockFor(largest);
}

void Batch::SizeBuffers(EntryBuffers& buffers) const {
  buffers.input.resize(input_block_);
  buffers.output.resize(output_block_);
}

void Batch::StartWorkers() {
  for (std::size_t i = 0; i < ring_.size(); ++i) {
    handovers_.push_back(std::make_unique<EntryHandover>(stop_));
  }
  worker_buffers_.resize(workers_);
  for (EntryBuffers& buffers : worker_buffers_) SizeBuffers(buffers);
  pool_.emplace(workers_, selection_.entries().size(), ring_.size(),
                [this](std::size_t index, std::size_t worker) { Work(index, worker); });
  if (pool_->started() > 0) return;
  // No thread to be had: every entry is done here.
  pool_.reset();
  pooled_ = false;
  for (Job& job : ring_) job.handed = false;
}

std::int32_t Batch::Run() {
  const std::string archive_path = params_.ArchivePath != nullptr ? params_.ArchivePath : "";
  lorvante::UniqueFd fd(::open(archive_path.c_str(), O_RDONLY | O_CLOEXEC));
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
  ChooseBlocks(*layout);
  SizeBuffers(buffers_);

  if (mode_ != RunMode::kTest) {
    const std::string folder = params_.TargetFolder != nullptr ? params_.TargetFolder : "";
    target_ = TargetFolder::Open(folder, failure);
    if (!target_) return RefuseRun(folder, UNZ_SKIP_CANNOT_WRITE, failure.Text());
  }

  if (target_) folders_.emplace(*target_);
  const std::uint64_t total = selection_.Select(*layout, mode_ != RunMode::kTest);
  const std::vector<SelectedEntry>& selected = selection_.entries();
  host_.Send(UNZ_ACTION_FILE_COUNT, Cap32(selected.size()), {});
  host_.Send(UNZ_ACTION_TOTAL_BYTES, Cap32(total), {});
  workers_ = WorkerCount();
  pooled_ = workers_ > 1 && !host_.stopped() &&
            std::any_of(selected.begin(), selected.end(),
                        [](const SelectedEntry& entry) { return entry.handed; });
  // The jobs the workers may take are made before they may: the ring's slots first, then each
  // slot again once its entry is done.
  ring_.resize(pooled_ ? std::min(workers_ * kAheadPerWorker + 2, kMaxAhead) : 1);
  for (std::size_t i = 0; i < ring_.size(); ++i) FillSlot(*layout, i);
  if (pooled_) StartWorkers();
  for (std::size_t i = 0; i < selected.size() && !host_.stopped(); ++i) {
    Job& job = JobAt(i);
    EntryHandover* handover = job.handed ? handovers_[i % handovers_.size()].get() : nullptr;
    Process(job, handover);
    if (host_.stopped()) break;
    if (handover != nullptr) handover->Clear();
    // Nothing of the entry is held any longer (its file is removed unless placed): its slot
    // takes the entry that many places further on.
    FillSlot(*layout, i + ring_.size());
    if (pool_) pool_->Reach(i + 1);
  }
  // A stop leaves the entries that workers took unplaced: their files go with them.
  stop_ = true;
  if (pool_) pool_->StopAndJoin();
  ring_.clear();
  selection_.Clear();
  if (target_) target_->ApplyFolderTimes();
  host_.Send(UNZ_ACTION_END_BATCH, 0, {});
  return done_;
}

}  // namespace

std::int32_t RunBatch(const TUnzipParams& params) {
  return Batch(params).Run();
}

}  // namespace unzdll
