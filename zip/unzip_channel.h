// What the program and its confined unzip process say to each other over their socket: the
// call once, then the library's callbacks as records, each question answered, and the end.
// Frames are a 32-bit length and that many bytes; numbers in the byte order of the machine
// (both ends are the same program's).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "unzdll/unzdll_api.h"

namespace lorvante::unzip_channel {

// The descriptors the confined process finds open: the socket and the page whose first word the
// program sets when the run is to stop.
inline constexpr int kSocketFd = 3;
inline constexpr int kStopPageFd = 4;
inline constexpr std::size_t kStopPageSize = 4096;

// The call record's settings, as the confined process rebuilds it.
struct Call {
  std::int32_t test_only = 0, update = 0, freshen = 0, keep_folders = 0, plain = 0;
  std::string archive;
  std::string target;
  std::optional<std::string> password;
  std::vector<std::string> specs;

  static Call From(const TUnzipParams& params);
  std::string Encode() const;
  static std::optional<Call> Decode(std::string_view bytes);
};

// One frame from the confined process.
enum class Kind : char {
  kReport = 'R',    // a callback that needs no answer but the go-on
  kQuestion = 'Q',  // a callback answered with an Answer
  kEnd = 'E',       // the library returned `value`
  kFailed = 'F',    // the process could not run the library; `text` says why
};
struct Record {
  Kind kind = Kind::kReport;
  std::int32_t action = 0, status = 0, value = 0;
  std::string text;

  std::string Encode() const;
  static std::optional<Record> Decode(std::string_view bytes);
};

// The program's answer to a question: the callback's result and the fields it wrote.
struct Answer {
  std::int32_t result = 0, status = 0, value = 0;
  std::string text;

  std::string Encode() const;
  static std::optional<Answer> Decode(std::string_view bytes);
};

// Whether the library waits for the host's answer to `action` (the questions).
bool IsQuestion(std::int32_t action);

// Frames over a socket: buffered writes, reads of whole frames.
class FrameSocket {
 public:
  explicit FrameSocket(int fd) : fd_(fd) {}

  // Adds a frame to the buffer; Flush sends what is buffered.
  void Queue(std::string_view payload);
  Result<void> Flush();
  std::size_t Buffered() const { return out_.size(); }
  // The next whole frame; nothing at the end of the stream (or a broken frame); a failure for
  // an error of the socket.
  Result<std::optional<std::string>> Receive();
  // Whether a whole frame is buffered already.
  bool HasFrame() const;

 private:
  Result<bool> Fill();

  int fd_;
  std::string out_;
  std::string in_;
};

}  // namespace lorvante::unzip_channel
