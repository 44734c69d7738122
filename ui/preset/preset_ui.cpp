#include "ui/preset/preset_ui.h"

#include <filesystem>
#include <system_error>

#include "platform/format.h"
#include "platform/paths.h"
#include "ui/application.h"
#include "ui/message_box.h"

namespace lorvante {
namespace {

// A box with more than one button is a question.
bool IsQuestion(unsigned style) {
  return (style & MB_TYPEMASK) != MB_OK;
}

}  // namespace

int PresetUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                    unsigned style) {
  if (answers_.batch && IsQuestion(style)) return DefaultAnswer(style);
  return inner_.MessageBox(text, caption, style);
}

int PresetUserInterface::DetailedMessageBox(const std::string& text, const std::string& details,
                                            const std::string& caption, unsigned style) {
  if (answers_.batch && IsQuestion(style)) return DefaultAnswer(style);
  return inner_.DetailedMessageBox(text, details, caption, style);
}

std::string PresetUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                          const std::string& default_text, bool masked) {
  // Cancelled: the box gives back its default text.
  if (answers_.batch) return default_text;
  return inner_.InputBox(caption, prompt, default_text, masked);
}

std::string PresetUserInterface::OfferedFile(const SaveDialogRequest& request) {
  if (!request.file_name.empty() && request.file_name[0] == '/') return request.file_name;
  const std::string folder = request.initial_dir.empty() ? GetCurrentDir() : request.initial_dir;
  return AppendSlash(folder) + request.file_name;
}

std::string PresetUserInterface::ChosenFile(const SaveDialogRequest& request) const {
  return ChosenPath(OfferedFile(request));
}

std::string PresetUserInterface::ChosenPath(const std::string& offered) const {
  if (!answers_.output) return offered;
  const std::string output = ExpandFileName(*answers_.output);
  if (answers_.output_is_folder || DirectoryExists(output)) {
    return AppendSlash(output) + ExtractFileName(offered);
  }
  return output;
}

bool PresetUserInterface::MakeOutputFolder(const std::string& folder) {
  std::error_code error;
  if (DirectoryExists(folder)) return true;
  // Files of a batch converted side by side may make it at the same time: one that finds it made
  // meanwhile (nothing made, no error) has it as well.
  std::filesystem::create_directories(folder, error);
  if (!error && DirectoryExists(folder)) return true;
  inner_.MessageBox(Format(preset_texts::kFolderNotMade, {folder, error.message()}),
                    Application.Title, MB_OK);
  return false;
}

std::optional<std::string> PresetUserInterface::SaveDialog(const SaveDialogRequest& request) {
  if (!answers_.output && !answers_.batch) return inner_.SaveDialog(request);
  // A folder named on the command line for several files is made when it is missing.
  if (answers_.output && answers_.output_is_folder &&
      !MakeOutputFolder(ExpandFileName(*answers_.output))) {
    return std::nullopt;
  }
  const std::string file = ChosenFile(request);
  if (request.overwrite_prompt && FileExists(file)) {
    if (answers_.batch) {
      inner_.MessageBox(Format(preset_texts::kExistingKept, {file}), Application.Title, MB_OK);
      return std::nullopt;
    }
    if (inner_.MessageBox(Format(preset_texts::kReplaceQuestion, {file}), Application.Title,
                          MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
      return std::nullopt;
    }
  }
  return file;
}

void PresetUserInterface::RunFolderDialog(const FolderDialogRequest& request,
                                          FolderDialogClient& client) {
  if (!answers_.output && !answers_.batch) {
    inner_.RunFolderDialog(request, client);
    return;
  }
  const std::string folder = WithoutTrailingSlashes(ExpandFileName(
      answers_.output ? *answers_.output
                      : (request.initial_dir.empty() ? GetCurrentDir() : request.initial_dir)));
  client.DialogShow();
  // A folder named on the command line is made when it is missing, as a script expects.
  if (answers_.output ? MakeOutputFolder(folder) : DirectoryExists(folder)) {
    client.DialogFolderChange(folder);
    client.OkButtonRelease(folder);
  }
  client.DialogClose();
}

}  // namespace lorvante
