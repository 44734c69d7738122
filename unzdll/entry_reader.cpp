#include "unzdll/entry_reader.h"

#include <unistd.h>

#include <cerrno>
#include <memory>

namespace unzdll {
namespace {

constexpr char kShorterThanDeclared[] = "the data is shorter than its declared size";

struct FileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, FileCloser>;

ReadResult FromZipError(zip_error_t* error) {
  ReadResult result;
  switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOPASSWD:
      result.status = ReadStatus::kNeedPassword;
      break;
    case ZIP_ER_WRONGPASSWD:
      result.status = ReadStatus::kWrongPassword;
      break;
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
      result.status = ReadStatus::kUnsupported;
      break;
    case ZIP_ER_CRC:
      result.status = ReadStatus::kCrcMismatch;
      break;
    default:
      result.status = ReadStatus::kDamaged;
      break;
  }
  result.failure = Failure::Because(zip_error_strerror(error));
  return result;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, Failure& failure) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failure = Failure::System(n < 0 ? errno : EIO);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool EntryProgress::Add(std::uint64_t bytes) {
  done_ += bytes;
  if (done_ <= reported_) return !host_.stopped();
  std::uint64_t increment = done_ - reported_;
  reported_ = done_;
  while (increment > 0) {
    const std::int32_t step = Cap32(increment);
    if (!host_.Send(UNZ_ACTION_PROGRESS, step, {})) return false;
    increment -= static_cast<std::uint64_t>(step);
  }
  return true;
}

ReadResult ReadEntry(zip_t* archive, zip_uint64_t index, std::uint64_t declared_size,
                     const char* password, int out_fd, EntryProgress& progress,
                     std::vector<std::uint8_t>& buffer) {
  ZipFile file(zip_fopen_index_encrypted(archive, index, 0, password));
  if (!file) return FromZipError(zip_get_error(archive));
  std::uint64_t total = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0) {
      ReadResult result = FromZipError(zip_file_get_error(file.get()));
      // A short entry also fails its CRC: the size decides which fault it is.
      if (result.status == ReadStatus::kCrcMismatch && total != declared_size) {
        result.status = ReadStatus::kDamaged;
        result.failure = Failure::Because(kShorterThanDeclared);
      }
      return result;
    }
    if (n == 0) break;
    const auto count = static_cast<std::uint64_t>(n);
    if (count > declared_size - total) {
      return {ReadStatus::kDamaged, Failure::Because("the data is longer than its declared size")};
    }
    total += count;
    if (out_fd >= 0) {
      Failure failure;
      if (!WriteAll(out_fd, buffer.data(), static_cast<std::size_t>(n), failure)) {
        return {ReadStatus::kWriteFailed, failure};
      }
    }
    if (!progress.Add(count)) return {ReadStatus::kStopped, {}};
  }
  if (total != declared_size) {
    return {ReadStatus::kDamaged, Failure::Because(kShorterThanDeclared)};
  }
  return {};
}

}  // namespace unzdll
