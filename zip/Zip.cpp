#include "zip/Zip.h"

#include <unistd.h>

#include "platform/file_stream.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "zip/unzip_library.h"
#include "zip/zip_drives.h"
#include "zip/zip_messages.h"

namespace lorvante {
namespace {

// Creates `path`, which must not exist yet, holding the fixed bytes of `record`: an archive
// without entries. A file that could not be written completely is removed again.
void CreateEmptyArchive(const std::string& path, const TEOCHInfo& record) {
  FileStream::CreateOptions options;
  options.must_not_exist = true;
  Result<FileStream> file = FileStream::Create(path, options);
  if (!file) throw ZipException(Format(zip_texts::kCannotCreate, {path}));
  const std::vector<std::uint8_t> bytes = record.Encode();
  if (!file->WriteBuffer(bytes.data(), bytes.size()) || !file->Close()) {
    ::unlink(path.c_str());
    throw ZipException(Format(zip_texts::kCannotCreate, {path}));
  }
}

}  // namespace

TZip::TZip(TComponent* AOwner) : TComponent(AOwner) {}

TZip::~TZip() {
  ClearFileList();
  unzip_library::Free();
}

void TZip::ResetDirectory() {
  Password.clear();
  OemNames = false;
  EOCH = TEOCHInfo{};
  EOCH.Signature = kEndOfCentralDirSignature;
  EOCH.ZipComment.clear();
  EOCH.RecordPosition = -1;
  ArchiveStart = 0;
  ClearFileList();
}

void TZip::SetZipFileName(const std::string& AName) {
  ResetDirectory();
  FZipFileName = AName;
  if (!AName.empty()) {
    std::string label;
    if (!GetVolumeLabel(ExtractFileDrive(AName), label)) {
      throw ZipException(zip_texts::kCannotAccessDrive);
    }
    if (!FileExists(AName)) CreateEmptyArchive(AName, EOCH);
    ListContents();
  }
  if (OnContentsChanged) OnContentsChanged(this);
}

void TZip::ClearFileList() {
  FileList.clear();
}

}  // namespace lorvante
