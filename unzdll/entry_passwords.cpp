#include "unzdll/entry_passwords.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "zipformat/records.h"

namespace unzdll {
namespace {

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

}  // namespace

// The entry being read, and whether it was read once already.
struct EntryPasswords::Reading {
  Job& job;
  int fd;
  TempFile* temp;
  EntryProgress& progress;
  EntryBuffers& buffers;
  bool tried = false;
};

EntryPasswords::EntryPasswords(HostChannel& host, const char* given) : host_(host) {
  if (given != nullptr && given[0] != '\0') given_ = given;
}

std::optional<ReadResult> EntryPasswords::ReadData(Job& job, int fd, TempFile* temp,
                                                   EntryProgress& progress, EntryBuffers& buffers) {
  Reading reading{job, fd, temp, progress, buffers};
  const bool encrypted = (job.entry->header.flags & lorvante::zipformat::kFlagEncrypted) != 0;
  if (encrypted) return ReadEncrypted(reading);
  return Attempt(reading, nullptr);
}

ReadResult EntryPasswords::Attempt(Reading& reading, const char* password) {
  Failure failure;
  // The file is emptied for another try; the first finds it empty.
  if (reading.temp != nullptr && reading.tried && !reading.temp->Rewind(failure)) {
    return {ReadStatus::kWriteFailed, failure};
  }
  reading.tried = true;
  reading.progress.Restart();
  const int out_fd = reading.temp != nullptr ? reading.temp->fd() : -1;
  Job& job = reading.job;
  const EntryToRead what{.fd = reading.fd, .entry = job.entry, .data = job.data};
  // The data read with the local header serve the first try only: a cipher decrypts them in
  // place.
  job.data.prefetched = 0;
  return ReadEntryData(what, password, std::move(job.decoder), out_fd, reading.progress,
                       reading.buffers);
}

std::optional<ReadResult> EntryPasswords::ReadEncrypted(Reading& reading) {
  const Job& job = reading.job;
  std::vector<std::string> known;
  if (worked_) known.push_back(*worked_);
  if (given_ && given_ != worked_) known.push_back(*given_);
  std::vector<std::string> failed_data;  // passwords that passed the check and failed the data
  for (const std::string& password : known) {
    ReadResult result = Attempt(reading, password.c_str());
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
      host_.ReportSkip(job.written, UNZ_SKIP_NO_PASSWORD, {});
      return std::nullopt;
    }
    const std::string password = host_.text();
    // The host counts the tries down; should it not, the library does.
    const std::int32_t left = host_.value() < tries ? host_.value() : tries - 1;
    host_.Wipe();
    ReadResult result = Attempt(reading, password.c_str());
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
      host_.ReportSkip(job.written, UNZ_SKIP_WRONG_PASSWORD, result.failure.Text());
      return std::nullopt;
    }
    tries = left;
  }
}

}  // namespace unzdll
