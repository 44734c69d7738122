#include "unzdll/entry_preparation.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/zip_methods.h"
#include "unzdll/messages.h"

namespace unzdll {
namespace {

// Set to 1, every file is written under a hidden name, as on a file system that cannot write one
// without a name.
constexpr char kHiddenFilesVariable[] = "LORVANTE_UNZIP_HIDDEN_FILES";

// Finds the entry's data and decides how they are read: skipped when its local header is
// damaged or its compression or encryption method is not read.
Prepared MethodsSupported(const PreparationContext& context, Job& job, EntryBuffers& buffers) {
  if (job.entry->local_fault != nullptr)
    return Prepared::Skip(UNZ_SKIP_DAMAGED, job.entry->local_fault);
  Failure failure;
  auto data = LocateEntryData(context.fd, context.window_start, context.file_size, *job.entry,
                              failure, buffers.input);
  if (!data) return Prepared::Skip(UNZ_SKIP_DAMAGED, failure.Text());
  job.data = *data;
  if (job.data.cipher == Cipher::kOther) {
    return Prepared::Skip(UNZ_SKIP_UNSUPPORTED, "encryption method of the entry");
  }
  namespace codecs = lorvante::codecs;
  if (job.data.method == codecs::kZipStored) return {};
  job.decoder = codecs::MakeZipDecoder(
      job.data.method,
      {.uncompressed_size = job.entry->sizes.uncompressed_size, .flags = job.entry->header.flags});
  if (!job.decoder) {
    return Prepared::Skip(UNZ_SKIP_UNSUPPORTED,
                          "compression method " + MethodName(job.data.method));
  }
  return {};
}

// Holds the folder that the entry goes into in `job.folder` (or the nearest that exists).
Prepared OpenFolderOf(const PreparationContext& context, Job& job) {
  for (const std::string& part : job.path.folders) {
    if (part.size() > NAME_MAX)
      return Prepared::Skip(UNZ_SKIP_CANNOT_WRITE, SystemText(ENAMETOOLONG));
  }
  if (job.path.leaf.size() > NAME_MAX) {
    return Prepared::Skip(UNZ_SKIP_CANNOT_WRITE, SystemText(ENAMETOOLONG));
  }
  Failure failure;
  job.folder = context.folders->Get(job.path.folders, false, failure);
  if (job.folder) return {};
  if (context.mode == RunMode::kExtract) {
    // A folder missing on the way: the file is written in the deepest one that stands, and
    // moved into its own once its folders are made, when it is placed.
    std::vector<std::string> nearest = job.path.folders;
    while (!nearest.empty() && failure.error == ENOENT && !failure.unsafe) {
      nearest.pop_back();
      failure = {};
      job.folder = context.folders->Get(nearest, false, failure);
      if (job.folder) {
        job.folders_pending = true;
        return {};
      }
    }
  }
  if (context.mode == RunMode::kFreshen && failure.error == ENOENT && !failure.unsafe) {
    return Prepared::Skip(UNZ_SKIP_NO_TARGET, {});
  }
  return Prepared::WriteFailure(failure);
}

// Whether the entry's name need not be looked at before its file is written: its folder is
// made when the file is placed, or was made by this run, and no other entry of the run writes
// that name.
bool NameSurelyFree(const PreparationContext& context, const Job& job) {
  if (context.mode != RunMode::kExtract) return false;
  // A folder that does not exist holds no file; one made by the run held nothing, and no other
  // entry writes the name (another process might: the placing finds that).
  return job.folders_pending || (job.alone && job.folder->made_by_run);
}

}  // namespace

lorvante::ReplacementFile::Naming FileNaming() {
  using Naming = lorvante::ReplacementFile::Naming;
  const char* text = std::getenv(kHiddenFilesVariable);
  return text != nullptr && std::string_view(text) == "1" ? Naming::kHidden
                                                          : Naming::kUnnamedWherePossible;
}

Prepared CheckExisting(const PreparationContext& context, const Job& job, int folder_fd) {
  struct stat existing {};
  if (::fstatat(folder_fd, job.path.leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      return Prepared::Skip(UNZ_SKIP_CANNOT_WRITE, "a folder stands where the file goes", true);
    }
    // Zip times have 2-second steps: older means at least 2 seconds older.
    const bool older = static_cast<std::int64_t>(existing.st_mtime) + 2 <= job.mtime;
    return {Prepared::Next::kAskExisting, 0, {}, older};
  }
  if (errno != ENOENT) return Prepared::Skip(UNZ_SKIP_CANNOT_WRITE, SystemText(errno));
  if (context.mode == RunMode::kFreshen) return Prepared::Skip(UNZ_SKIP_NO_TARGET, {});
  return {};
}

Prepared CreateTemp(const PreparationContext& context, Job& job) {
  Failure failure;
  job.temp =
      TempFile::Create(job.folder->fd.get(), job.folder->path, job.mode, context.naming, failure);
  if (!job.temp) return Prepared::Skip(UNZ_SKIP_CANNOT_WRITE, failure.Text());
  return {};
}

Prepared PrepareEntry(const PreparationContext& context, Job& job, EntryBuffers& buffers) {
  if (Prepared methods = MethodsSupported(context, job, buffers);
      methods.next != Prepared::Next::kRead) {
    return methods;
  }
  if (context.mode == RunMode::kTest) return {};
  if (Prepared folder = OpenFolderOf(context, job); folder.next != Prepared::Next::kRead) {
    return folder;
  }
  job.unchecked = NameSurelyFree(context, job);
  if (!job.unchecked) {
    if (Prepared existing = CheckExisting(context, job, job.folder->fd.get());
        existing.next != Prepared::Next::kRead) {
      return existing;
    }
  }
  return CreateTemp(context, job);
}

}  // namespace unzdll
