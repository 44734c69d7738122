#include "app/conversion_form.h"

#include <unistd.h>

#include <exception>
#include <utility>

#include "app/messages.h"
#include "platform/format.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "platform/temp_folder.h"
#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/message_box.h"

namespace lorvante {

std::string DefaultOutputName(const std::string& input) {
  return ChangeFileExt(ChangeFileExt(ChangeFileExt(input, ""), ""), ".txt");
}

std::string TempFileNameFor(const std::string& temp_folder, const std::string& input) {
  return temp_folder + ExtractFileName(ChangeFileExt(input, ""));
}

TForm1::TForm1(TComponent* AOwner) : TComponent(AOwner) {
  Name = "Form1";
  Button1 = new TButton(this);
  Button1->Name = "Button1";
  Button1->OnClick = [this](TObject* Sender) { Button1Click(Sender); };
  SaveDialog = new TSaveDialog(this);
  SaveDialog->Name = "SaveDialog";
  OpenDirectory = new TOpenDirectory(this);
  OpenDirectory->Name = "OpenDirectory";
  OpenDirectory->EnableSizing = true;
  OpenDirectory->NoChangeDir = false;
  SaveDialog->DefaultExt = "txt";
  SaveDialog->Filter = messages::kTextFilter;
  SaveDialog->FilterIndex = 1;
  SaveDialog->OverwritePrompt = true;
  SaveDialog->EnableSizing = false;
  SaveDialog->Title.clear();  // the platform's own title
  FormCreate(this);
}

void TForm1::FormCreate(TObject* /*Sender*/) {
  InputFileName = Application.ParamStr(1);
  Caption = InputFileName;
}

std::string TForm1::GetDocumentsFolder() {
  return lorvante::GetDocumentsFolder();
}

void TForm1::ShowMessage(const std::string& text) {
  Application.MessageBox(text, MB_OK);
}

void TForm1::ShowFailure(const std::string& text) {
  // An empty name stays empty: expanded it would name the current folder.
  const std::string input = InputFileName.empty() ? InputFileName : ExpandFileName(InputFileName);
  std::string details = Format(messages::kDetailInput, {input});
  for (const std::string& line : FailureDetails) details += "\n" + line;
  Application.MessageBox(text, MB_OK, details);
}

bool TForm1::ExportPayload(const std::string& temp_file) {
  if (IsZipPayload) return ExportFolder(temp_file, GetDocumentsFolder()) != Outcome::kFailed;
  // A text export the user stopped ends with the same box as a failed one.
  return ExportText(temp_file) == Outcome::kDone;
}

namespace {

// Removes the conversion's payload from the run folder, which may serve further conversions.
class PayloadRemoval {
 public:
  explicit PayloadRemoval(std::string path) : path_(std::move(path)) {}
  ~PayloadRemoval() { unlink(path_.c_str()); }
  PayloadRemoval(const PayloadRemoval&) = delete;
  PayloadRemoval& operator=(const PayloadRemoval&) = delete;

 private:
  const std::string path_;
};

}  // namespace

void TForm1::Button1Click(TObject* /*Sender*/) {
  Completed = false;
  FailureDetails.clear();
  try {
    // The payload goes into the run folder of this process, and goes whatever the outcome; the
    // folder goes with the last conversion that holds it.
    const RunFolderHold run;
    // Absolute from the start: a dialog may change the current directory.
    OutputFileName = DefaultOutputName(ExpandFileName(InputFileName));
    TempFileName = TempFileNameFor(run.Path(), InputFileName);
    const PayloadRemoval payload(TempFileName);
    const std::string key = BuildKey();
    if (!DecryptInput(InputFileName, TempFileName, key)) {
      throw Exception(messages::kDecryptFailed);
    }
    if (!ExportPayload(TempFileName)) throw Exception(messages::kExportFailed);
  } catch (const std::exception& error) {
    Completed = false;
    ShowFailure(error.what());
  }
  Application.Terminate();
}

}  // namespace lorvante
