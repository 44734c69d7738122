#include "unzdll/entry_reader.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <optional>

#include "codecs/window_limit.h"
#include "codecs/zip_methods.h"
#include "unzdll/zip_crypto.h"
#include "zipformat/records.h"

namespace unzdll {
namespace {

constexpr char kShorterThanDeclared[] = "the data is shorter than its declared size";
constexpr char kOverTheMemoryBound[] =
    "the entry needs more memory than the 256 MiB a decoder may take";
static_assert(lorvante::codecs::kMaxWindowBytes == std::uint64_t{256} << 20,
              "the text names the bound");

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
  if (done_ <= reported_) return !sink_.Stopped();
  std::uint64_t increment = done_ - reported_;
  reported_ = done_;
  while (increment > 0) {
    const std::int32_t step = Cap32(increment);
    if (!sink_.Report(step)) return false;
    increment -= static_cast<std::uint64_t>(step);
  }
  return true;
}

}  // namespace unzdll

namespace unzdll {
namespace {

namespace codecs = lorvante::codecs;

// The host hears of the bytes decoded (and may stop the run) at least this often; they are
// written out when the output buffer is full.
constexpr std::size_t kProgressStep = 256 * 1024;

// The direct read of one entry, in phases: the cipher started, then the data decoded, capped,
// written and counted, then the trailer and the CRC checked.
class DirectRead {
 public:
  DirectRead(const EntryToRead& what, std::unique_ptr<codecs::Decoder> decoder, int out_fd,
             EntryProgress& progress, EntryBuffers& buffers)
      : what_(what),
        decoder_(std::move(decoder)),
        out_fd_(out_fd),
        progress_(progress),
        output_(buffers.output),
        source_(what.fd, what.data.offset, what.data.size, buffers.input),
        body_(what.data.size) {
    // Data read with the local header into this very buffer are taken from there.
    if (what.data.prefetched > 0 && what.data.prefetched_in == buffers.input.data()) {
      source_.Preload(what.data.prefetched_at, what.data.prefetched);
    }
  }

  ReadResult Run(const char* password);

 private:
  ReadResult StartCipher(const char* password);
  ReadResult Decode();
  // Decrypts the next block of the body into `input_`. False on a read error.
  bool NextInput(Failure& failure);
  // Writes what the output buffer holds.
  ReadResult Flush();
  // Tells the host of the bytes decoded since the last report.
  ReadResult Report();
  // The stream ended before the entry's data: refused for a method that ends with the entry's
  // size, else the bytes left are passed over.
  ReadResult Unused();

  const EntryToRead& what_;
  std::unique_ptr<codecs::Decoder> decoder_;
  int out_fd_;
  EntryProgress& progress_;
  std::vector<std::uint8_t>& output_;
  EntrySource source_;
  std::uint64_t body_;  // encrypted (or plain) data bytes not yet taken from the source
  std::optional<ZipCrypto> zip_crypto_;
  std::optional<AesEntry> aes_;
  std::span<std::uint8_t> input_;
  std::size_t filled_ = 0;    // bytes in the output buffer
  std::size_t reported_ = 0;  // of which the host has heard
  std::uint64_t total_ = 0;   // bytes decoded
  std::uint32_t crc_ = 0;
};

ReadResult Damaged(const char* why) {
  return {ReadStatus::kDamaged, Failure::Because(why)};
}

ReadResult DirectRead::StartCipher(const char* password) {
  const EntryData& data = what_.data;
  if (data.cipher == Cipher::kNone) return {};
  if (password == nullptr) return {ReadStatus::kNeedPassword, {}};
  Failure failure;
  if (data.cipher == Cipher::kZipCrypto) {
    std::array<std::uint8_t, kZipCryptoHeaderSize> header{};
    if (body_ < header.size()) return Damaged("the data are too short for their encryption");
    if (!source_.Take(header, failure)) return {ReadStatus::kDamaged, failure};
    body_ -= header.size();
    const CentralEntry& entry = *what_.entry;
    const auto check = static_cast<std::uint8_t>(
        (entry.header.flags & lorvante::zipformat::kFlagDataDescriptor) != 0
            ? entry.header.mod_time >> 8
            : entry.header.crc32 >> 24);
    zip_crypto_.emplace(password);
    if (!zip_crypto_->CheckHeader(header, check)) {
      return {ReadStatus::kWrongPassword, Failure::Because("Wrong password provided")};
    }
    return {};
  }
  const std::size_t salt_size = AesSaltSize(data.aes.strength);
  const std::uint64_t overhead = salt_size + kAesVerifierSize + kAesAuthCodeSize;
  if (body_ < overhead) return Damaged("the data are too short for their encryption");
  std::array<std::uint8_t, 16 + kAesVerifierSize> front{};
  const std::span<std::uint8_t> taken(front.data(), salt_size + kAesVerifierSize);
  if (!source_.Take(taken, failure)) return {ReadStatus::kDamaged, failure};
  body_ -= overhead;
  aes_.emplace();
  const std::span<const std::uint8_t, kAesVerifierSize> verifier(front.data() + salt_size,
                                                                 kAesVerifierSize);
  if (!aes_->Start(data.aes.strength, password, taken.first(salt_size), verifier)) {
    return {ReadStatus::kWrongPassword, Failure::Because("Wrong password provided")};
  }
  return {};
}

bool DirectRead::NextInput(Failure& failure) {
  if (!source_.Next(body_, input_, failure)) return false;
  body_ -= input_.size();
  if (zip_crypto_) zip_crypto_->Decrypt(input_);
  if (aes_) aes_->Decrypt(input_);
  return true;
}

ReadResult DirectRead::Report() {
  const std::size_t count = filled_ - reported_;
  reported_ = filled_;
  if (count > 0 && !progress_.Add(count)) return {ReadStatus::kStopped, {}};
  return {};
}

ReadResult DirectRead::Flush() {
  if (ReadResult r = Report(); r.status != ReadStatus::kOk) return r;
  if (filled_ == 0) return {};
  const std::span<const std::uint8_t> piece(output_.data(), filled_);
  crc_ = codecs::Crc32(crc_, piece);
  filled_ = reported_ = 0;
  if (out_fd_ >= 0) {
    Failure failure;
    if (!WriteAll(out_fd_, piece.data(), piece.size(), failure)) {
      return {ReadStatus::kWriteFailed, failure};
    }
  }
  return {};
}

ReadResult DirectRead::Decode() {
  const std::uint64_t declared = what_.entry->sizes.uncompressed_size;
  // An empty file with no compressed bytes at all, as some writers store one in any method.
  if (declared == 0 && body_ == 0) return {};
  for (;;) {
    Failure failure;
    if (input_.empty() && body_ > 0 && !NextInput(failure)) return {ReadStatus::kDamaged, failure};
    if (filled_ == output_.size()) {
      if (ReadResult r = Flush(); r.status != ReadStatus::kOk) return r;
    }
    if (filled_ - reported_ == kProgressStep) {
      if (ReadResult r = Report(); r.status != ReadStatus::kOk) return r;
    }
    // One byte more than declared is room enough to see that the data are longer.
    const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(
        {output_.size() - filled_, kProgressStep - (filled_ - reported_), declared - total_ + 1}));
    const std::span<std::uint8_t> out(output_.data() + filled_, room);
    codecs::DecodeStep step;
    if (decoder_) {
      step = decoder_->Decode(input_, out);
    } else {
      step.consumed = step.produced = std::min(input_.size(), out.size());
      std::copy_n(input_.data(), step.produced, out.data());
      if (input_.empty() && body_ == 0) step.status = codecs::DecodeStatus::kStreamEnd;
    }
    input_ = input_.subspan(step.consumed);
    filled_ += step.produced;
    total_ += step.produced;
    if (total_ > declared) return Damaged("the data are longer than their declared size");
    switch (step.status) {
      case codecs::DecodeStatus::kStreamEnd:
        if (!input_.empty() || body_ > 0) return Unused();
        return Flush();
      case codecs::DecodeStatus::kDataError:
        return Damaged("the compressed data are corrupt");
      case codecs::DecodeStatus::kMemoryError:
        // The writer asked for a larger history than any decoder here takes: nothing is wrong
        // with the data, the entry is beyond what is read.
        return {ReadStatus::kUnsupported, Failure::Because(kOverTheMemoryBound)};
      case codecs::DecodeStatus::kOk:
        break;
    }
    if (step.consumed == 0 && step.produced == 0 && filled_ < output_.size()) {
      if (input_.empty() && body_ == 0) return Damaged("the compressed data end too early");
      if (!input_.empty()) return Damaged("the compressed data cannot be decoded");
    }
  }
}

ReadResult DirectRead::Unused() {
  // Methods that end with the entry's size (Shrink, Reduce, Implode) stop there: data left
  // behind belong to a longer entry than declared, which AE-2 (no CRC) would otherwise take as
  // complete.
  if (!codecs::StreamMarksItsEnd(what_.data.method, what_.entry->header.flags)) {
    return Damaged("the data are longer than their declared size");
  }
  // Bytes after a stream's own end are left unread; the size and the CRC still decide. An AES
  // entry's code covers all of its data and follows them: what is left is read through the
  // cipher up to the code.
  if (aes_) {
    Failure failure;
    input_ = {};
    while (body_ > 0) {
      if (!NextInput(failure)) return {ReadStatus::kDamaged, failure};
    }
  }
  return Flush();
}

ReadResult DirectRead::Run(const char* password) {
  if (ReadResult r = StartCipher(password); r.status != ReadStatus::kOk) return r;
  if (ReadResult r = Decode(); r.status != ReadStatus::kOk) return r;
  if (total_ != what_.entry->sizes.uncompressed_size) return Damaged(kShorterThanDeclared);
  if (aes_) {
    std::array<std::uint8_t, kAesAuthCodeSize> code{};
    Failure failure;
    if (!source_.Take(code, failure)) return {ReadStatus::kDamaged, failure};
    if (!aes_->Authentic(code)) return Damaged("the authentication code differs");
  }
  // AE-2 entries carry no CRC: their authentication code alone vouches for the data.
  const bool crc_kept = !aes_ || what_.data.aes.version != 2;
  if (crc_kept && crc_ != what_.entry->header.crc32) {
    return {ReadStatus::kCrcMismatch, Failure::Because("CRC error")};
  }
  return {};
}

}  // namespace

ReadResult ReadEntryData(const EntryToRead& what, const char* password,
                         std::unique_ptr<codecs::Decoder> decoder, int out_fd,
                         EntryProgress& progress, EntryBuffers& buffers) {
  if (!decoder && what.data.method != codecs::kZipStored) {
    decoder = codecs::MakeZipDecoder(what.data.method,
                                     {.uncompressed_size = what.entry->sizes.uncompressed_size,
                                      .flags = what.entry->header.flags});
    if (!decoder) return {ReadStatus::kUnsupported, Failure::Because("compression method")};
  }
  return DirectRead(what, std::move(decoder), out_fd, progress, buffers).Run(password);
}

}  // namespace unzdll
