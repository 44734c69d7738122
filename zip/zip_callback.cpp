// The unzip library's callback: progress, questions to the user, counts of skipped files.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/format.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "zip/Zip.h"
#include "zip/skip_reasons.h"
#include "zip/zip_messages.h"

namespace lorvante {

int TZip::UnzipCallback(TUnzipCallbackInfo* Info) {
  // Nothing may unwind through the library: an exception is kept, the run stopped, and the
  // exception raised again once the library has returned.
  if (!Cancel && !pending_exception_) {
    try {
      HandleAction(*Info);
    } catch (...) {
      pending_exception_ = std::current_exception();
    }
  }
  const int result = Cancel || pending_exception_ ? -1 : 0;
  try {
    Application.ProcessMessages();
  } catch (...) {
    if (!pending_exception_) pending_exception_ = std::current_exception();
    return -1;
  }
  return result;
}

void TZip::HandleAction(TUnzipCallbackInfo& info) {
  const std::string text(info.NameOrMessage,
                         strnlen(info.NameOrMessage, sizeof info.NameOrMessage));
  switch (info.ActionCode) {
    case UNZ_ACTION_BEGIN_FILE:
      ++begun_files_;
      CurrentFile = text;
      if (OnZEDBeginFileEvent) {
        OnZEDBeginFileEvent(this, CurrentFile, info.Value, BatchCount, TotalBytesInBatch);
      }
      // A run refused as a whole is announced under the archive's own path, which is the
      // decrypted copy in the run's folder: the window keeps its text rather than show it.
      if (ShowProgressDialog && ProgressForm && CurrentFile != ZipFileName()) {
        ProgressForm->SetMessage(CurrentFile);
      }
      break;
    case UNZ_ACTION_PROGRESS: {
      BatchBytesDone += info.Value;
      if (OnZEDProgressEvent) OnZEDProgressEvent(this, CurrentFile, info.Value, TotalBytesInBatch);
      if (ShowProgressDialog && ProgressForm) {
        const double position = static_cast<double>(BatchBytesDone) * ProgressScale;
        ProgressForm->SetProgressPos(
            static_cast<int>(std::clamp(position, 0.0, static_cast<double>(kProgressMax))));
      }
      break;
    }
    case UNZ_ACTION_END_BATCH:
      if (OnZEDEndBatchEvent) OnZEDEndBatchEvent(this, SkippedCount, BatchCount, TotalBytesInBatch);
      if (ShowProgressDialog && ProgressForm) ProgressForm->Hide();
      break;
    case UNZ_ACTION_MESSAGE:
      if (TraceStream && !text.empty()) {
        OrRaise<EWriteError>(TraceStream->WriteBuffer(text.data(), text.size()));
        OrRaise<EWriteError>(TraceStream->WriteBuffer("\r\n", 2));
      }
      break;
    case UNZ_ACTION_FILE_COUNT:
      BatchCount = info.Value;
      break;
    case UNZ_ACTION_TOTAL_BYTES:
      StartBatch(info.Value);
      break;
    case UNZ_ACTION_PASSWORD:
      AskPassword(info, text);
      break;
    case UNZ_ACTION_CRC_ERROR:
      AskDamaged(info, text);
      break;
    case UNZ_ACTION_TARGET_EXISTS:
      DecideOverwrite(info, text);
      break;
    case UNZ_ACTION_RUN_REFUSED:
    case UNZ_ACTION_SKIP_DETAIL:
      refusal_ = text;
      break;
    case UNZ_ACTION_SKIPPED:
      EntrySkipped(info.Value & 0xFF, text);
      break;
    default:
      break;
  }
}

void TZip::StartBatch(int total_bytes) {
  TotalBytesInBatch = total_bytes;
  BatchBytesDone = 0;
  SkippedCount = 0;
  ErrorCount = 0;
  SkippedReasons.clear();
  SkippedEntries.clear();
  begun_files_ = 0;
  ProgressScale =
      total_bytes == 0 ? 1.0f : static_cast<float>(static_cast<double>(kProgressMax) / total_bytes);
  if (ShowProgressDialog && ProgressForm) ProgressForm->SetProgressMax(kProgressMax);
}

void TZip::EntrySkipped(int reason, const std::string& library_name) {
  // A run refused as a whole names the archive as the library got it; the user knows it by
  // the file they gave, and learns why.
  const std::string& name = library_name == FZipFileName ? ArchiveShownName() : library_name;
  const std::string refusal = std::exchange(refusal_, {});
  ++SkippedCount;
  if (reason >= UNZ_SKIP_FIRST_ERROR && reason <= UNZ_SKIP_LAST_ERROR) ++ErrorCount;
  ++SkippedReasons[reason];
  // The library names the method only in its trace message; the entry's own header has it.
  const TFileInfo* entry = nullptr;
  if (reason == UNZ_SKIP_UNSUPPORTED) {
    const auto hint = static_cast<std::size_t>(std::max(begun_files_ - 1, 0));
    entry = FindWrittenEntry(FileList, name, (ExtractOptions & kExtractKeepFolders) != 0, hint);
  }
  const std::string why =
      SkipReasonText(reason, entry) + (refusal.empty() ? std::string() : " (" + refusal + ")");
  if (TraceStream) {
    const std::string line = "\"" + name + "\": " + why + "\r\n";
    OrRaise<EWriteError>(TraceStream->WriteBuffer(line.data(), line.size()));
  }
  SkippedEntries.push_back({Application.Title, name, why});
  Application.UI().ReportSkippedEntry(SkippedEntries.back());
}

int TZip::Question(const std::function<int()>& ask) {
  const bool window = ShowProgressDialog && ProgressForm;
  if (window) ProgressForm->Hide();
  const int answer = ask();
  if (window && !Cancel) ProgressForm->Show();
  return answer;
}

void TZip::AskPassword(TUnzipCallbackInfo& info, const std::string& name) {
  Question([&] {
    const std::string prompt = info.Value == UNZ_FIRST_PASSWORD_REQUEST
                                   ? Format(zip_texts::kNewPassword, {name})
                                   : std::string(zip_texts::kPasswordRetry);
    for (;;) {
      const std::string answer = Application.UI().InputBox(Application.Title, prompt, "", true);
      if (answer.empty()) {
        if (Application.MessageBox(zip_texts::kNoPassword, MB_YESNO | MB_ICONQUESTION) != IDYES) {
          Cancel = true;
        }
        info.Status = 0;
        info.Value = 0;
        return 0;
      }
      // A password that does not fit the record with its terminator is never cut.
      if (answer.size() >= sizeof info.NameOrMessage) {
        Application.MessageBox(zip_texts::kPasswordTooLong, MB_OK | MB_ICONWARNING);
        continue;
      }
      std::memcpy(info.NameOrMessage, answer.c_str(), answer.size() + 1);
      info.Status = 1;
      if (info.Value > 0) --info.Value;
      return 0;
    }
  });
}

void TZip::AskDamaged(TUnzipCallbackInfo& info, const std::string& name) {
  // Cancel is set inside the question, so that the window stays hidden after it.
  Question([&] {
    const int answer = Application.MessageBox(Format(zip_texts::kCrcError, {name}),
                                              MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDYES)
      info.Status = 1;
    else if (answer == IDNO)
      info.Status = 0;
    else
      Cancel = true;
    return answer;
  });
}

void TZip::DecideOverwrite(TUnzipCallbackInfo& info, const std::string& name) {
  const std::uint8_t options = ExtractOptions;
  if (!(options & (kExtractUpdate | kExtractFreshen | kExtractAskOverwrite))) {
    info.Value = 1;
    return;
  }
  if (options & (kExtractUpdate | kExtractFreshen)) {
    info.Value = info.Status & 1;
    return;
  }
  const bool older = info.Status & 1;
  Question([&] {
    const int answer = older ? Application.MessageBox(Format(zip_texts::kOlderFile, {name}),
                                                      MB_YESNOCANCEL | MB_ICONINFORMATION)
                             : Application.MessageBox(Format(zip_texts::kNewerFile, {name}),
                                                      MB_YESNOCANCEL | MB_ICONSTOP | MB_DEFBUTTON2);
    info.Value = answer == IDYES ? 1 : 0;
    if (answer != IDYES && answer != IDNO) Cancel = true;  // set before the window is shown again
    return answer;
  });
}

}  // namespace lorvante
