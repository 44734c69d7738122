// Which entries of the archive a run takes (by the specs of the call record), and which of them
// workers may take; the job of each, made when it is counted and again in its turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unzdll/archive_layout.h"
#include "unzdll/dos_time_cache.h"
#include "unzdll/entry_job.h"
#include "unzdll/spec_match.h"
#include "unzdll/unzdll_api.h"

namespace unzdll {

// What the run keeps of each selected entry until its turn: its place in the archive, the hash
// of the name it is written under, and whether a worker may take it.
struct SelectedEntry {
  std::uint32_t index = 0;
  bool candidate = false;  // a file read without a password
  bool handed = false;
  std::size_t written_hash = 0;
};

// A name that two entries share, or empty: such an archive is refused as a whole.
// Entries are told apart by their stored names; the name is given as it is written.
std::string DuplicateName(const ArchiveLayout& layout);

class EntrySelection {
 public:
  // The specs of the call record and whether the archive's folders are kept.
  explicit EntrySelection(const TUnzipParams& params);

  // Chooses the entries of the run (by the specs) and which of them workers may take (`writes`:
  // files are written, not only tested); returns the total of their sizes.
  std::uint64_t Select(const ArchiveLayout& layout, bool writes);
  // The job of the entry at `index`; nothing when the specs leave it out.
  std::optional<Job> MakeJob(const ArchiveLayout& layout, std::size_t index) const;

  // The selected entries, in the archive's order.
  const std::vector<SelectedEntry>& entries() const { return selected_; }
  void Clear() { selected_.clear(); }

 private:
  SpecList specs_;
  bool keep_folders_ = true;
  std::vector<SelectedEntry> selected_;
  mutable DosTimeCache times_;
};

}  // namespace unzdll
