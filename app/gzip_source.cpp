// Reading the gzip payload for the text export: the file, the gzip reader over it, and the
// two-thread copy into the writer.
#include "app/gzip_source.h"

#include "app/Unit1.h"
#include "app/block_pipeline.h"
#include "app/messages.h"
#include "codecs/gzip_reader.h"
#include "platform/exceptions.h"

namespace lorvante {
namespace {

// A temporary path longer than this that cannot be opened is reported as too long.
constexpr std::size_t kGzipPathLimit = 240;

}  // namespace

GzipSource::GzipSource(const std::string& path) {
  try {
    file_.emplace(FileStream::OpenRead(path));
  } catch (const EFileError&) {
    if (path.size() > kGzipPathLimit) TForm1::ShowMessage(messages::kGzipPathTooLong);
  }
}

bool GzipSource::CopyTo(const std::function<void(std::span<const std::uint8_t>)>& write) {
  codecs::GzipReader reader([this](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
    try {
      return static_cast<std::ptrdiff_t>(file_->Read(buffer.data(), buffer.size()));
    } catch (const EReadError&) {
      return -1;  // an unreadable payload fails the export like corrupt data
    }
  });
  codecs::GzipStatus status = codecs::GzipStatus::kOk;
  RunBlockPipeline(
      kWriteBlockSize,
      [&](std::span<std::uint8_t> buffer) {
        const codecs::GzipStep step = reader.Read(buffer);
        status = step.status;  // read by the caller only after the last block
        return FilledBlock{step.produced, step.status != codecs::GzipStatus::kOk};
      },
      write);
  return status == codecs::GzipStatus::kEnd;
}

}  // namespace lorvante
