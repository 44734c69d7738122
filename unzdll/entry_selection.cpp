#include "unzdll/entry_selection.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "unzdll/entry_name.h"
#include "zipformat/host_system.h"
#include "zipformat/records.h"

namespace unzdll {
namespace {

// The spec texts of the call record.
std::vector<std::string> SpecTexts(const TUnzipParams& params) {
  std::vector<std::string> texts;
  for (std::int32_t i = 0; params.Specs != nullptr && i < params.SpecCount; ++i) {
    const char* text = params.Specs[i].SpecText;
    if (text != nullptr) texts.emplace_back(text);
  }
  return texts;
}

// The entries that workers may take: files read without a password whose place on disk no other
// entry of the run touches (as two entries of one name do when folders are dropped, or a file
// where another entry needs a folder). The others are done on the calling thread, in turn, so
// that what each finds on disk is what the entries before it left there. `folders` holds the
// hashes of every folder that an entry needs; files are counted by the hash of their name.
void MarkHanded(std::vector<SelectedEntry>& selected,
                const std::unordered_set<std::size_t>& folders, bool writes) {
  std::unordered_map<std::size_t, int> files;
  if (writes) {
    for (const SelectedEntry& entry : selected) {
      if (entry.written_hash != 0) ++files[entry.written_hash];
    }
  }
  for (SelectedEntry& entry : selected) {
    entry.handed =
        entry.candidate &&
        (!writes || (files[entry.written_hash] == 1 && !folders.contains(entry.written_hash)));
  }
}

// The entry's type and permissions from its external attributes. Returns a refusal text for a
// type that is not created (link, device, FIFO, socket). A name ending in '/' is a folder
// whatever the attributes say, unless they name one of those types; type bits that name no type
// at all (some writers store 0177777) are ignored.
const char* DecideMode(const CentralEntry& entry, Job& job) {
  namespace zf = lorvante::zipformat;
  job.mode = (entry.header.external_attributes & zf::kDosAttributeReadOnly) != 0 ? 0444 : 0666;
  if (!zf::IsUnixHost(entry.header.version_made_by)) {
    // A folder of an MS-DOS or Windows writer may lack its final '/': its attribute says it.
    if ((entry.header.external_attributes & zf::kDosAttributeFolder) != 0)
      job.path.is_folder = true;
    return nullptr;
  }
  const auto unix_mode = static_cast<mode_t>(entry.header.external_attributes >> 16);
  if (unix_mode == 0) return nullptr;
  switch (unix_mode & S_IFMT) {
    case S_IFDIR:
      job.path.is_folder = true;
      break;
    case S_IFLNK:
      return "symbolic link, not created";
    case S_IFIFO:
      // A writer that reads its standard input from a pipe stores the pipe's type with the
      // data read from it: those data make a file, as other unzippers make it.
      if (entry.sizes.uncompressed_size == 0) return "device or FIFO, not created";
      break;
    case S_IFSOCK:
      return "socket, not created";
    case S_IFCHR:
    case S_IFBLK:
      return "device or FIFO, not created";
    default:  // a plain file, no type, or type bits that name none
      break;
  }
  // Set-user-ID, set-group-ID and sticky bits are dropped; the umask applies on creation.
  job.mode = unix_mode & 0777;
  return nullptr;
}

}  // namespace

std::string DuplicateName(const ArchiveLayout& layout) {
  std::vector<const CentralEntry*> entries;
  entries.reserve(layout.entries.size());
  for (const CentralEntry& entry : layout.entries) entries.push_back(&entry);
  const auto stored = [](const CentralEntry* a, const CentralEntry* b) {
    return a->raw_name < b->raw_name;
  };
  std::sort(entries.begin(), entries.end(), stored);
  const auto twice = std::adjacent_find(
      entries.begin(), entries.end(),
      [](const CentralEntry* a, const CentralEntry* b) { return a->raw_name == b->raw_name; });
  return twice == entries.end() ? std::string() : (*twice)->name;
}

EntrySelection::EntrySelection(const TUnzipParams& params)
    : specs_(SpecTexts(params)), keep_folders_(params.KeepFolders != 0) {}

std::optional<Job> EntrySelection::MakeJob(const ArchiveLayout& layout, std::size_t index) const {
  const CentralEntry& entry = layout.entries[index];
  Job job;
  job.index = index;
  job.entry = &entry;
  job.name = entry.name;
  if (!specs_.Selects(job.name)) return std::nullopt;
  job.path = CheckName(job.name);
  job.refusal = job.path.refusal;
  if (job.refusal == nullptr) job.refusal = DecideMode(entry, job);
  if (job.path.is_folder && !job.path.leaf.empty()) {
    job.path.folders.push_back(std::move(job.path.leaf));
    job.path.leaf.clear();
  }
  // Without the archive's folders every file goes directly into the target folder, and
  // folder entries have nothing to make.
  if (!keep_folders_) job.path.folders.clear();
  job.written = job.refusal == nullptr && !job.path.is_folder ? JoinPath(job.path) : job.name;
  job.mtime = entry.unix_mtime ? *entry.unix_mtime
                               : times_.ToUnix(entry.header.mod_date, entry.header.mod_time);
  return job;
}

std::uint64_t EntrySelection::Select(const ArchiveLayout& layout, bool writes) {
  // Each job is made here once to be counted, and again in its turn: only this little of each
  // entry is held meanwhile.
  const std::hash<std::string> hash;
  std::unordered_set<std::size_t> folders;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const std::optional<Job> job = MakeJob(layout, i);
    if (!job) continue;
    SelectedEntry& selected = selected_.emplace_back();
    selected.index = static_cast<std::uint32_t>(i);
    if (!job->path.is_folder) total += job->entry->sizes.uncompressed_size;
    if (job->refusal != nullptr) continue;
    std::string path;
    for (const std::string& part : job->path.folders) {
      path += path.empty() ? part : "/" + part;
      folders.insert(hash(path));
    }
    const bool encrypted = (job->entry->header.flags & lorvante::zipformat::kFlagEncrypted) != 0;
    if (job->path.is_folder) continue;
    selected.written_hash = hash(job->written);
    selected.candidate = !encrypted;
  }
  MarkHanded(selected_, folders, writes);
  return total;
}

}  // namespace unzdll
