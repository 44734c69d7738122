#include "zip/unzip_channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lorvante::unzip_channel {
namespace {

// A frame longer than this is broken: the longest is a call with its specs.
constexpr std::uint32_t kMaxFrame = 64u << 20;

void PutInt(std::string& out, std::int32_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, std::string_view text) {
  PutInt(out, static_cast<std::int32_t>(text.size()));
  out.append(text);
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool Int(std::int32_t& value) {
    if (bytes_.size() < sizeof value) return false;
    std::memcpy(&value, bytes_.data(), sizeof value);
    bytes_.remove_prefix(sizeof value);
    return true;
  }
  bool Text(std::string& text) {
    std::int32_t size = 0;
    if (!Int(size) || size < 0 || static_cast<std::size_t>(size) > bytes_.size()) return false;
    text.assign(bytes_.substr(0, static_cast<std::size_t>(size)));
    bytes_.remove_prefix(static_cast<std::size_t>(size));
    return true;
  }
  bool Done() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

}  // namespace

Call Call::From(const TUnzipParams& params) {
  Call call;
  call.test_only = params.TestOnly;
  call.update = params.Update;
  call.freshen = params.Freshen;
  call.keep_folders = params.KeepFolders;
  call.plain = params.Plain;
  if (params.ArchivePath != nullptr) call.archive = params.ArchivePath;
  if (params.TargetFolder != nullptr) call.target = params.TargetFolder;
  if (params.Password != nullptr) call.password = params.Password;
  for (std::int32_t i = 0; i < params.SpecCount && params.Specs != nullptr; ++i) {
    const char* spec = params.Specs[i].SpecText;
    call.specs.emplace_back(spec != nullptr ? spec : "");
  }
  return call;
}

std::string Call::Encode() const {
  std::string out;
  for (const std::int32_t flag : {test_only, update, freshen, keep_folders, plain}) {
    PutInt(out, flag);
  }
  PutText(out, archive);
  PutText(out, target);
  PutInt(out, password ? 1 : 0);
  PutText(out, password.value_or(""));
  PutInt(out, static_cast<std::int32_t>(specs.size()));
  for (const std::string& spec : specs) PutText(out, spec);
  return out;
}

std::optional<Call> Call::Decode(std::string_view bytes) {
  Reader in(bytes);
  Call call;
  std::int32_t has_password = 0, count = 0;
  std::string password;
  if (!in.Int(call.test_only) || !in.Int(call.update) || !in.Int(call.freshen) ||
      !in.Int(call.keep_folders) || !in.Int(call.plain) || !in.Text(call.archive) ||
      !in.Text(call.target) || !in.Int(has_password) || !in.Text(password) || !in.Int(count) ||
      count < 0) {
    return std::nullopt;
  }
  if (has_password != 0) call.password = std::move(password);
  for (std::int32_t i = 0; i < count; ++i) {
    std::string spec;
    if (!in.Text(spec)) return std::nullopt;
    call.specs.push_back(std::move(spec));
  }
  if (!in.Done()) return std::nullopt;
  return call;
}

std::string Record::Encode() const {
  std::string out(1, static_cast<char>(kind));
  PutInt(out, action);
  PutInt(out, status);
  PutInt(out, value);
  PutText(out, text);
  return out;
}

std::optional<Record> Record::Decode(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  Record record;
  record.kind = static_cast<Kind>(bytes[0]);
  if (record.kind != Kind::kReport && record.kind != Kind::kQuestion && record.kind != Kind::kEnd &&
      record.kind != Kind::kFailed) {
    return std::nullopt;
  }
  Reader in(bytes.substr(1));
  if (!in.Int(record.action) || !in.Int(record.status) || !in.Int(record.value) ||
      !in.Text(record.text) || !in.Done()) {
    return std::nullopt;
  }
  return record;
}

std::string Answer::Encode() const {
  std::string out;
  PutInt(out, result);
  PutInt(out, status);
  PutInt(out, value);
  PutText(out, text);
  return out;
}

std::optional<Answer> Answer::Decode(std::string_view bytes) {
  Reader in(bytes);
  Answer answer;
  if (!in.Int(answer.result) || !in.Int(answer.status) || !in.Int(answer.value) ||
      !in.Text(answer.text) || !in.Done()) {
    return std::nullopt;
  }
  return answer;
}

bool IsQuestion(std::int32_t action) {
  return action == UNZ_ACTION_PASSWORD || action == UNZ_ACTION_CRC_ERROR ||
         action == UNZ_ACTION_TARGET_EXISTS;
}

void FrameSocket::Queue(std::string_view payload) {
  const auto size = static_cast<std::uint32_t>(payload.size());
  out_.append(reinterpret_cast<const char*>(&size), sizeof size);
  out_.append(payload);
}

Result<void> FrameSocket::Flush() {
  std::size_t done = 0;
  while (done < out_.size()) {
    const ssize_t n = send(fd_, out_.data() + done, out_.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out_.erase(0, done);
      return Failure::System(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  out_.clear();
  return {};
}

bool FrameSocket::HasFrame() const {
  std::uint32_t size = 0;
  if (in_.size() < sizeof size) return false;
  std::memcpy(&size, in_.data(), sizeof size);
  return in_.size() - sizeof size >= size;
}

Result<bool> FrameSocket::Fill() {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure::System(errno);
    in_.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  }
}

Result<std::optional<std::string>> FrameSocket::Receive() {
  while (!HasFrame()) {
    std::uint32_t size = 0;
    if (in_.size() >= sizeof size) {
      std::memcpy(&size, in_.data(), sizeof size);
      if (size > kMaxFrame) return std::optional<std::string>();
    }
    const Result<bool> more = Fill();
    if (!more) return more.failure();
    if (!*more) return std::optional<std::string>();
  }
  std::uint32_t size = 0;
  std::memcpy(&size, in_.data(), sizeof size);
  std::string frame = in_.substr(sizeof size, size);
  in_.erase(0, sizeof size + size);
  return std::optional<std::string>(std::move(frame));
}

}  // namespace lorvante::unzip_channel
