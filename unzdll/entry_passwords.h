// Reading an entry's data on the calling thread, with the passwords an encrypted entry needs:
// those known from earlier entries and the call record first, then the host's answers.
#pragma once

#include <optional>
#include <string>

#include "unzdll/entry_job.h"
#include "unzdll/entry_reader.h"
#include "unzdll/host_channel.h"
#include "unzdll/target_folder.h"

namespace unzdll {

class EntryPasswords {
 public:
  // `given`: the password of the call record (null or empty for none).
  EntryPasswords(HostChannel& host, const char* given);

  // Reads the data of `job` from the archive `fd` into `temp` (null: only read). Nothing when
  // the entry was skipped here (the host told: no password, or every one wrong).
  std::optional<ReadResult> ReadData(Job& job, int fd, TempFile* temp, EntryProgress& progress,
                                     EntryBuffers& buffers);

 private:
  struct Reading;
  ReadResult Attempt(Reading& reading, const char* password);
  std::optional<ReadResult> ReadEncrypted(Reading& reading);

  HostChannel& host_;
  std::optional<std::string> given_;   // the password of the call record
  std::optional<std::string> worked_;  // the last password that opened an entry
};

}  // namespace unzdll
