// Everything before an entry's data that needs no word with the host, in phases: its methods
// checked, its folder opened, the existing file looked at, its temporary file made. Touches
// nothing but the job, so that a worker may run it.
#pragma once

#include <cstdint>

#include "platform/replacement_file.h"
#include "unzdll/entry_handover.h"
#include "unzdll/entry_job.h"
#include "unzdll/entry_reader.h"
#include "unzdll/folder_cache.h"

namespace unzdll {

// What the preparation of every entry of a run reads: the archive, the mode, the folders files
// go into and how their files are made.
struct PreparationContext {
  int fd = -1;  // the archive file
  std::uint64_t window_start = 0;
  std::uint64_t file_size = 0;
  RunMode mode = RunMode::kExtract;
  FolderCache* folders = nullptr;  // none when testing
  lorvante::ReplacementFile::Naming naming = lorvante::ReplacementFile::Naming::kHidden;
};

// How the files of a run are made: with a name (hidden) or without one where the file system
// allows it, as the environment says.
lorvante::ReplacementFile::Naming FileNaming();

// Prepares `job` in those phases; what comes next for it is the result.
Prepared PrepareEntry(const PreparationContext& context, Job& job, EntryBuffers& buffers);
// Whether the file may be written there: missing, or replaced once the host agrees.
Prepared CheckExisting(const PreparationContext& context, const Job& job, int folder_fd);
// Makes the entry's temporary file in `job.folder`.
Prepared CreateTemp(const PreparationContext& context, Job& job);

}  // namespace unzdll
