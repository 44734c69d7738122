// The folder selection dialog: a component that shows the front end's open dialog reshaped into a
// folder picker and delivers the chosen folder in local and in universal (network) form.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/mount_table.h"
#include "ui/component.h"
#include "ui/user_interface.h"

namespace lorvante {

class TOpenDirectory;

// The state of one run of the dialog. The front end reports the dialog's notifications to it;
// every event of the component is raised with this object as Sender.
class TImplOpenDirectory : public TObject, public FolderDialogClient {
 public:
  explicit TImplOpenDirectory(TOpenDirectory* AOwner) : Owner(AOwner) {}

  TOpenDirectory* Owner;      // not owned
  bool FolderChosen = false;  // OK was pressed while a folder was known
  std::string PathBuffer;     // the text the file-name box is to show
  std::string CurrentFolder;  // the folder the dialog shows; empty when none is known

  void DialogShow() override;
  void DialogFolderChange(const std::string& folder) override;
  bool FolderListClick(const std::string& name) override;
  bool CanChoose() const override { return !CurrentFolder.empty(); }
  bool OkButtonRelease(const std::string& name_box) override;
  // Asks whether the missing `folder` typed into the box is to be made, and makes it. True when
  // it exists afterwards; a failure is named in a message box.
  bool CreateTypedFolder(const std::string& folder);
  std::string FileNameText() const override { return PathBuffer; }
  void DialogClose() override;
};

class TOpenDirectory : public TComponent {
 public:
  explicit TOpenDirectory(TComponent* AOwner);
  ~TOpenDirectory() override;

  // Shows the dialog modally. True when a folder was chosen; Directory and UNCDirectory then hold
  // it (both are empty after false).
  bool Execute();

  const std::string& Directory() const { return directory_; }
  const std::string& UNCDirectory() const { return unc_directory_; }
  TImplOpenDirectory* Impl() const { return impl_.get(); }

  bool EnableSizing = true;
  std::string InitialDir;  // empty: the process's current directory
  bool NoChangeDir = false;
  std::string Title;  // empty: the dialog's standard caption
  TNotifyEvent OnClose;
  TNotifyEvent OnFolderChange;
  TNotifyEvent OnShow;

  // Where the universal form of a folder is looked up; tests give a table of their own.
  std::function<MountTable()> ReadMountTable = MountTable::Current;

  // The universal form of `path`: its network name when it lies on a mounted network share,
  // else its absolute form. A path that begins with "//" is network form already.
  std::string UniversalForm(const std::string& path) const;
  // The local folder that the universal `name` is mounted at; empty when no mounted share holds
  // it (a universal name is never read as a local path).
  std::string LocalForm(const std::string& name) const;

 private:
  friend class TImplOpenDirectory;

  // Sets both results for `path`.
  void SetResult(const std::string& path);
  // The adjustment of the results after a choice, with the change of the current directory.
  void FinalAdjustment();
  void ChangeToFolder(const std::string& folder) const;

  std::string directory_;
  std::string unc_directory_;
  std::unique_ptr<TImplOpenDirectory> impl_;
};

// The initial folder as the dialog is given it: `folder` less one trailing '/', the root "/"
// excepted.
std::string NormalizeInitialDir(std::string folder);

}  // namespace lorvante
