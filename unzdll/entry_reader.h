// Reading one entry's data straight from the archive file (decrypted, decoded through the
// codecs, capped at the declared size and checked); written to a file or, when testing, only
// read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/decoder.h"
#include "unzdll/entry_source.h"
#include "unzdll/failure.h"
#include "unzdll/host_channel.h"

namespace unzdll {

enum class ReadStatus {
  kOk,
  kNeedPassword,   // encrypted and no password given
  kWrongPassword,  // the password failed the header check
  kCrcMismatch,    // all data read, CRC differs
  kDamaged,        // inflate error, size differs from the declared one, read error
  kUnsupported,    // compression or encryption method
  kWriteFailed,    // writing the copy failed (errno in `error`)
  kStopped,        // the host asked to stop
};

struct ReadResult {
  ReadStatus status = ReadStatus::kOk;
  Failure failure;  // what went wrong, or the system's error for kWriteFailed
};

// Where the progress reports of an entry go: to the host, or kept for it by a worker.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // One report of `step` bytes. False when the run is to stop.
  virtual bool Report(std::int32_t step) = 0;
  virtual bool Stopped() const = 0;
};

// Straight to the host, on the calling thread.
class HostProgress : public ProgressSink {
 public:
  explicit HostProgress(HostChannel& host) : host_(host) {}
  bool Report(std::int32_t step) override { return host_.Send(UNZ_ACTION_PROGRESS, step, {}); }
  bool Stopped() const override { return host_.stopped(); }

 private:
  HostChannel& host_;
};

// Reports the bytes of one entry to the host at least every chunk and at the end. Bytes read
// again after a retry (another password) are not reported twice.
class EntryProgress {
 public:
  explicit EntryProgress(ProgressSink& sink) : sink_(sink) {}
  void Restart() { done_ = 0; }
  // False when the host asked to stop.
  bool Add(std::uint64_t bytes);

 private:
  ProgressSink& sink_;
  std::uint64_t done_ = 0;
  std::uint64_t reported_ = 0;
};

// The buffers of the direct path, kept from entry to entry.
struct EntryBuffers {
  std::vector<std::uint8_t> input;   // the archive's bytes, read in blocks of this size
  std::vector<std::uint8_t> output;  // written out in pieces of this size
};

// What the direct path reads of one entry.
struct EntryToRead {
  int fd = -1;  // the archive file
  const CentralEntry* entry = nullptr;
  EntryData data;
};

// Reads the entry with `password` (null for none) and writes it to `out_fd` (-1: read only).
// `decoder` is used when given (and consumed), else one is made for the entry's method.
ReadResult ReadEntryData(const EntryToRead& what, const char* password,
                         std::unique_ptr<lorvante::codecs::Decoder> decoder, int out_fd,
                         EntryProgress& progress, EntryBuffers& buffers);

}  // namespace unzdll
