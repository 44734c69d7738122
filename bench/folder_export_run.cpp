// The conversion of a tagged file as the program runs it (decryption into the private temporary
// folder, then the folder export with the real unzip library), the folder picker answered by a
// script, for the folder export benchmark.
//
//   bench_folder_export INPUT FOLDER   exit 0 when nothing was shown (success)
#include <cstdio>
#include <string>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "ui/application.h"
#include "ui/scripted/scripted_ui.h"

int main(int argc, char** argv) {
  using namespace lorvante;
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_folder_export INPUT FOLDER\n");
    return 2;
  }
  ScriptedUserInterface ui;
  Application.SetUI(&ui);
  Application.Title = messages::kApplicationTitle;
  Application.SetArguments({"lorvante", argv[1]});
  ui.AnswerFolderDialog(ScriptedUserInterface::ChooseFolder(argv[2]));
  {
    TForm1 form(nullptr);
    form.Button1->Click();
  }
  Application.SetUI(nullptr);
  for (const ShownItem& item : ui.shown) {
    if (item.kind != ShownItem::Kind::kMessageBox) continue;
    std::fprintf(stderr, "shown: %s\n", item.text.c_str());
    if (!item.details.empty()) std::fprintf(stderr, "%s\n", item.details.c_str());
  }
  return ui.MessageTexts().empty() ? 0 : 1;
}
