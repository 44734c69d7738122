// The decryption of the input into the temporary file, and the tag and payload tests.
#include <array>
#include <cstdio>
#include <exception>
#include <vector>

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
// decrypted as before.
constexpr std::size_t kBlockSize = 1024 * kChunkSize;

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

    std::vector<std::uint8_t> buffer(kBlockSize);
    for (;;) {
      const std::size_t n = OrRaise<EReadError>(input.Read(buffer.data(), buffer.size()));
      // The whole chunks come first; the last chunk (shorter, or empty) is decrypted after they
      // were written, so that its failure leaves them in the file.
      const std::size_t whole = n == kBlockSize ? n : n - n % kChunkSize;
      Check("CryptDecrypt", cipher->Decrypt(buffer.data(), whole));
      OrRaise<EWriteError>(temp.WriteBuffer(buffer.data(), whole));
      if (n < kBlockSize) {
        Check("CryptDecrypt", cipher->Decrypt(buffer.data() + whole, n - whole));
        OrRaise<EWriteError>(temp.WriteBuffer(buffer.data() + whole, n - whole));
        break;
      }
    }

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
