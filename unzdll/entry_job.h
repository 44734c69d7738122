// One entry of a run on its way from the archive to its file: what was decided about it before
// its data are touched, and where it is written. It is made when the entry is selected
// (entry_selection), filled when it is prepared (entry_preparation) and read (entry_passwords);
// batch.cpp runs the phases in turn, settles each entry with the host and places its file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "codecs/decoder.h"
#include "unzdll/archive_layout.h"
#include "unzdll/entry_name.h"
#include "unzdll/entry_source.h"
#include "unzdll/folder_cache.h"
#include "unzdll/target_folder.h"

namespace unzdll {

// What a run does with the entries it selects.
enum class RunMode { kExtract, kFreshen, kTest };

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
  // Where its file is written, once prepared: its folder, or, while that does not exist, the
  // nearest folder above it that does (`folders_pending`): its own folders are made only when
  // its file is placed, so that an entry not extracted leaves no empty folder behind.
  std::shared_ptr<const HeldFolder> folder;
  bool folders_pending = false;
  std::optional<TempFile> temp;
  bool handed = false;  // prepared and read by a worker
  // No other entry of the run writes its name or needs that name as a folder.
  bool alone = false;
  // Its name was not looked at before its file was written (no file could stand there): the
  // file is placed only where nothing stands.
  bool unchecked = false;
};

}  // namespace unzdll
