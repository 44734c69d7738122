// The decryption of the input into the temporary file, and the tag and payload tests.
#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <vector>

#include "app/block_pipeline.h"
#include "app/conversion_form.h"
#include "format/key.h"
#include "format/payload_check.h"
#include "platform/error_texts.h"
#include "platform/file_stream.h"
#include "platform/temp_folder.h"
#include "ui/exceptions.h"

namespace lorvante {
namespace {

// The unit of decryption: every chunk but the last is this long.
constexpr std::size_t kChunkSize = 4096;
// The file is read and written in blocks of whole chunks, so that a large input costs few system
// calls and a block is long enough to be decrypted on every core; the chunks within a block are
// decrypted as before. Two blocks are held: one decrypted, one written.
constexpr std::size_t kBlockSize = 1024 * kChunkSize;

// The blocks of a ciphertext of `size` bytes: a ciphertext shorter than one block is read whole
// into a buffer of its own size, on the calling thread, in one read.
struct BlockPlan {
  std::size_t block_size = kBlockSize;
  PipelineMode mode = PipelineMode::kWorkerThread;
};

BlockPlan PlanBlocks(std::int64_t size) {
  if (size < 0 || static_cast<std::uint64_t>(size) >= kBlockSize) return {};
  // One chunk more than the ciphertext, so that the first read finds its end.
  const std::size_t chunks = static_cast<std::size_t>(size) / kChunkSize + 1;
  return {chunks * kChunkSize, PipelineMode::kCallingThread};
}

// Raises "<call>: ErrorCode: 0x.. - text" when `code` reports a failure.
void Check(const char* call, std::uint32_t code) {
  if (code != 0) throw Exception(std::string(call) + ": " + TForm1::FormatSystemError(code));
}

// Releases the provider context on every path.
class ContextGuard {
 public:
  explicit ContextGuard(DesDecryptService& service) : service_(service) {}
  ~ContextGuard() {
    if (acquired) service_.ReleaseContext();
  }
  bool acquired = false;

 private:
  DesDecryptService& service_;
};

}  // namespace

std::string TForm1::BuildKey() {
  return lorvante::BuildKey();
}

std::string TForm1::FormatSystemError(std::uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(code));
  return std::string("ErrorCode: 0x") + hex + " - " + SystemErrorText(code);
}

bool TForm1::HasZipTag(const std::string& file_name) {
  FileStream input = OrRaise<EFOpenError>(FileStream::OpenRead(file_name), file_name);
  std::array<std::uint8_t, kZipTagSize> head{};
  OrRaise<EReadError>(input.ReadBuffer(head.data(), head.size()));
  return IsZipTag(head);
}

bool TForm1::DecryptInput(const std::string& input_file, const std::string& temp_file,
                          const std::string& key) {
  IsZipPayload = HasZipTag(input_file);
  return DecryptFile(key, input_file, temp_file);
}

bool TForm1::DecryptFile(const std::string& key, const std::string& input_file,
                         const std::string& temp_file) {
  bool result = false;
  try {
    const std::unique_ptr<DesDecryptService> cipher = MakeCipher();
    ContextGuard context(*cipher);
    Check("CryptAcquireContext", cipher->AcquireContext());
    context.acquired = true;
    Check("CryptImportKey", cipher->ImportKey(key));
    Check("CryptSetKeyParam", cipher->SetModeEcb());

    FileStream input = OrRaise<EFOpenError>(FileStream::OpenRead(input_file), input_file);
    if (IsZipPayload) OrRaise<EReadError>(input.Seek(kZipTagSize, SEEK_SET));
    FileStream temp = OrRaise<EFCreateError>(CreatePrivateFile(temp_file), temp_file);
    const Result<std::int64_t> input_size = input.Size();
    const BlockPlan plan =
        PlanBlocks(input_size ? *input_size - (IsZipPayload ? kZipTagSize : 0) : -1);

    // Blocks are read and decrypted on a worker thread while the caller writes the one before.
    // The whole chunks come first; the last chunk (shorter, or empty) is decrypted after they
    // were made, so that its failure, raised once they are written, leaves them in the file.
    std::array<std::uint8_t, kChunkSize> tail{};
    std::size_t tail_size = 0;
    bool tail_pending = false;
    RunBlockPipeline(
        plan.block_size,
        [&](std::span<std::uint8_t> buffer) -> FilledBlock {
          if (tail_pending) {
            std::copy_n(tail.begin(), tail_size, buffer.begin());
            Check("CryptDecrypt", cipher->Decrypt(buffer.data(), tail_size));
            return {tail_size, true};
          }
          const std::size_t n = OrRaise<EReadError>(input.Read(buffer.data(), buffer.size()));
          const std::size_t whole = n == buffer.size() ? n : n - n % kChunkSize;
          Check("CryptDecrypt", cipher->Decrypt(buffer.data(), whole));
          if (n == buffer.size()) return {whole, false};
          tail_size = n - whole;
          std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(whole), tail_size, tail.begin());
          tail_pending = true;
          if (whole > 0) return {whole, false};
          Check("CryptDecrypt", cipher->Decrypt(buffer.data(), tail_size));
          return {tail_size, true};
        },
        [&](std::span<const std::uint8_t> block) {
          OrRaise<EWriteError>(temp.WriteBuffer(block.data(), block.size()));
        },
        plan.mode);

    std::array<std::uint8_t, 10> head{};
    OrRaise<EReadError>(temp.Seek(0, SEEK_SET));
    const std::size_t got = OrRaise<EReadError>(temp.Read(head.data(), head.size()));
    result = PayloadCheckPasses(std::span(head.data(), got), IsZipPayload);
    OrRaise<EWriteError>(temp.Close());
    OrRaise<EWriteError>(input.Close());
  } catch (const std::exception& error) {
    ShowFailure(error.what());
    result = false;
  }
  return result;
}

}  // namespace lorvante
