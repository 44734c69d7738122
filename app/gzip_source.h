// The gzip payload in the temporary file, opened for the text export and decompressed into the
// output in large pieces: a worker thread inflates the next piece while the caller writes one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "app/gzip_copy.h"
#include "platform/file_stream.h"

namespace lorvante {

class GzipSource {
 public:
  // The text goes to the writer in pieces of this size (the last one shorter).
  static constexpr std::size_t kWriteBlockSize = kGzipWriteBlockSize;

  // Opens the file and holds it with a shared lock for the whole export, so that it cannot be
  // chosen as the output and emptied. When it cannot be opened and its path is longer than the
  // limit of the gzip reading, the user is told that the path is too long.
  explicit GzipSource(const std::string& path);

  bool IsOpen() const { return file_.has_value(); }
  // The payload, open for reading at its start.
  int Handle() const { return file_->Handle(); }

  // Decompresses the whole payload and hands the text to `write` on the calling thread, in
  // order. Returns true when the data were complete and sound; false when they are corrupt or
  // no gzip data (the text before the fault has been written), or the file could not be read.
  // What `write` raises stops the inflation and is raised again.
  bool CopyTo(const std::function<void(std::span<const std::uint8_t>)>& write);

  // The text is at least this long (0 when unknown): the last member's length as its trailer
  // records it, which the payload's block filler may follow.
  std::uint64_t TextSizeAtLeast() const;

  // Releases the file and its lock.
  void Close() { file_.reset(); }

 private:
  std::optional<FileStream> file_;
};

}  // namespace lorvante
