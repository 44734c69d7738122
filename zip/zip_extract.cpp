// Extraction through the unzip library: the checks before the call, the call record, the
// progress window and the trace file around the call.
#include <unistd.h>

#include <cstring>

#include "platform/confinement.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "zip/Zip.h"
#include "zip/confined_unzip.h"
#include "zip/unzip_library.h"
#include "zip/zip_messages.h"

namespace lorvante {
namespace {

extern "C" int32_t UnzipCallbackEntry(TUnzipCallbackInfo* info) {
  return static_cast<TZip*>(info->Caller)->UnzipCallback(info);
}

}  // namespace

bool TZip::LoadUnzipLibrary() {
  if (unzip_library::IsLoaded()) return true;
  if (!unzip_library::Load(unzip_library::PathIn(DllDirectory))) return false;
  if (unzip_library::Version() < UNZDLL_VERSION) {
    unzip_library::Free();
    throw ZipException(zip_texts::kInvalidVersion);
  }
  return true;
}

int TZip::RunLibrary(const TUnzipParams& params, const std::string& folder) {
  const std::string worker = Confined && ConfinementInForce() ? ConfinedUnzipWorker() : "";
  if (worker.empty()) return unzip_library::Exec()(&params);
  const ConfinedUnzip how{worker,
                          unzip_library::PathIn(DllDirectory),
                          {ExpandFileName(folder.empty() ? "." : folder)},
                          {ExpandFileName(ZipFileName())}};
  // The windows are served while the worker is busy, as a callback would serve them.
  return RunConfinedUnzip(params, how, [this] {
    try {
      Application.ProcessMessages();
    } catch (...) {
      if (!pending_exception_) pending_exception_ = std::current_exception();
    }
    return Cancel || pending_exception_ != nullptr;
  });
}

int TZip::Extract() {
  Cancel = false;
  if (FileList.empty()) return 0;
  if (EOCH.DiskInForce() != 0) {
    Application.MessageBox(zip_texts::kMultiDiskRefused, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (!ExtractDir.empty() && !DirectoryExists(ExtractDir)) {
    Application.MessageBox(Format(zip_texts::kNoTargetFolder, {ExtractDir}),
                           MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (!LoadUnzipLibrary()) {
    throw ZipException(
        Format(zip_texts::kUnableToLoad, {"\"" + unzip_library::PathIn(DllDirectory) + "\"."}));
  }

  // The folder becomes the current directory; the old one is not restored.
  const std::string folder =
      ExtractDir.empty() ? ExtractFilePath(ZipFileName()) : AppendSlash(ExtractDir);
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // ignored: the library is given the folder itself
  }

  std::vector<TUnzipFileSpec> specs(FileSpecs.size());
  for (std::size_t i = 0; i < FileSpecs.size(); ++i) specs[i].SpecText = FileSpecs[i].c_str();
  const std::uint8_t options = ExtractOptions;
  const bool update = options & kExtractUpdate;
  const bool freshen = options & kExtractFreshen;
  const bool test = options & kExtractTest;
  TUnzipParams params;
  std::memset(&params, 0, sizeof params);
  params.Caller = this;
  params.Version = UNZDLL_VERSION;
  params.Callback = &UnzipCallbackEntry;
  params.Password = Password.empty() ? nullptr : Password.c_str();
  params.TestOnly = test && !update && !freshen ? UNZ_FLAG_TRUE : UNZ_FLAG_FALSE;
  params.Reserved40 = UNZ_HOST_FIXED_40;
  params.Update = update ? UNZ_FLAG_TRUE : UNZ_FLAG_FALSE;
  params.Freshen = freshen && !update ? UNZ_FLAG_TRUE : UNZ_FLAG_FALSE;
  params.KeepFolders = (options & kExtractKeepFolders) ? UNZ_FLAG_TRUE : UNZ_FLAG_FALSE;
  params.Plain = !update && !freshen && !test ? UNZ_FLAG_TRUE : UNZ_FLAG_FALSE;
  params.SpecCount = static_cast<int32_t>(specs.size());
  params.ArchivePath = ZipFileName().c_str();
  params.Specs = specs.empty() ? nullptr : specs.data();
  params.Reserved104 = UNZ_HOST_FIXED_104;
  params.TargetFolder = folder.c_str();
  params.Reserved144 = UNZ_HOST_FIXED_144;

  // The trace file and the progress window exist only during the call, on every path out.
  struct CallScope {
    TZip& zip;
    ~CallScope() {
      zip.ProgressForm.reset();
      zip.TraceStream.reset();
    }
  } scope{*this};
  if (Trace) {
    // The program's own path with ".trace" in place of its extension.
    const std::string program = GetProgramPath();
    const std::string trace = ChangeFileExt(program.empty() ? "lorvante" : program, ".trace");
    TraceStream.emplace(OrRaise<EFCreateError>(FileStream::Create(trace), trace));
  }
  if (ShowProgressDialog) {
    ProgressForm = Application.UI().CreateProgressDisplay([this] { Cancel = true; });
    ProgressForm->Show();
    Application.ProcessMessages();
  }
  pending_exception_ = nullptr;
  refusal_.clear();
  const int result = RunLibrary(params, folder);
  if (pending_exception_) std::rethrow_exception(std::exchange(pending_exception_, nullptr));
  FileSpecs.clear();
  return result;
}

}  // namespace lorvante
