#include "opendir/OpenDir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/format.h"
#include "platform/network_names.h"
#include "platform/paths.h"
#include "ui/application.h"
#include "ui/message_box.h"

namespace lorvante {
namespace {

constexpr char kFilterText[] = "Directories";
constexpr char kFilterPattern[] = "*.~#!";  // no ordinary file name matches it
// A folder typed into the file-name box that does not exist: the user may have it made.
constexpr char kFolderMissing[] = "%s\nThis folder does not exist.\nCreate it?";
// Making it failed: the folder, the system's reason.
constexpr char kFolderNotMade[] = "%s\nThe folder cannot be created: %s";

bool IsNetworkPath(const std::string& path) {
  return path.size() >= 2 && path.compare(0, 2, "//") == 0;
}

// An absolute path of the local file system: it begins with one '/', not with two.
bool IsLocalPath(const std::string& path) {
  return !path.empty() && path[0] == '/' && !IsNetworkPath(path);
}

void Raise(const TNotifyEvent& event, TObject* sender) {
  if (event) event(sender);
}

// The folder a name typed into the file-name box stands for: relative names are read in `shown`,
// the folder the dialog shows, and "~" is the home folder, as the dialog reads them.
std::string TypedFolder(const std::string& typed, const std::string& shown) {
  std::filesystem::path path(typed);
  if (typed == "~" || typed.rfind("~/", 0) == 0) {
    if (const char* home = std::getenv("HOME")) path = std::string(home) + typed.substr(1);
  }
  if (path.is_relative()) path = std::filesystem::path(shown) / path;
  return WithoutTrailingSlashes(path.lexically_normal().string());
}

}  // namespace

std::string NormalizeInitialDir(std::string folder) {
  // One trailing '/' is dropped, as the folder's name is given without it; the root keeps it.
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// ---- TImplOpenDirectory: the notifications of one run ----

void TImplOpenDirectory::DialogShow() {
  Raise(Owner->OnShow, this);
}

void TImplOpenDirectory::DialogFolderChange(const std::string& folder) {
  // The front end reads the folder from the dialog itself, for the first folder of a run and for
  // every later one alike.
  CurrentFolder = folder;
  PathBuffer = CurrentFolder;
  Owner->SetResult(CurrentFolder);
  Raise(Owner->OnFolderChange, this);
}

bool TImplOpenDirectory::FolderListClick(const std::string& name) {
  if (name.empty() || CurrentFolder.empty()) return false;
  const std::string path = AppendSlash(CurrentFolder) + name;
  PathBuffer = path;
  Owner->SetResult(path);
  return true;
}

bool TImplOpenDirectory::OkButtonRelease(const std::string& name_box) {
  if (CurrentFolder.empty()) return false;
  // A name the user typed over the folder shown is what the user means to choose: an existing
  // folder is chosen; when it names no folder, the dialog must not close on the folder shown
  // instead.
  if (!name_box.empty() && name_box != PathBuffer) {
    const std::string typed = TypedFolder(name_box, CurrentFolder);
    if (!DirectoryExists(typed) && !CreateTypedFolder(typed)) return false;
    Owner->SetResult(typed);
  }
  FolderChosen = true;
  return true;
}

bool TImplOpenDirectory::CreateTypedFolder(const std::string& folder) {
  if (Application.MessageBox(Format(kFolderMissing, {folder}), MB_YESNO | MB_ICONQUESTION) !=
      IDYES) {
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !DirectoryExists(folder)) {
    Application.MessageBox(Format(kFolderNotMade, {folder, error.message()}),
                           MB_OK | MB_ICONWARNING);
    return false;
  }
  return true;
}

void TImplOpenDirectory::DialogClose() {
  Raise(Owner->OnClose, this);
}

// ---- TOpenDirectory ----

TOpenDirectory::TOpenDirectory(TComponent* AOwner)
    : TComponent(AOwner), impl_(std::make_unique<TImplOpenDirectory>(this)) {}

TOpenDirectory::~TOpenDirectory() = default;

bool TOpenDirectory::Execute() {
  impl_->CurrentFolder.clear();
  impl_->PathBuffer.clear();
  directory_.clear();
  unc_directory_.clear();

  FolderDialogRequest request;
  request.title = Title;
  request.initial_dir = NormalizeInitialDir(InitialDir.empty() ? GetCurrentDir() : InitialDir);
  request.enable_sizing = EnableSizing;
  request.filters.emplace_back(kFilterText, kFilterPattern);

  impl_->FolderChosen = false;
  try {
    Application.UI().RunFolderDialog(request, *impl_);
  } catch (...) {
    // A run that failed chose nothing.
    directory_.clear();
    unc_directory_.clear();
    throw;
  }

  if (impl_->FolderChosen) {
    FinalAdjustment();
    return true;
  }
  directory_.clear();
  unc_directory_.clear();
  return false;
}

std::string TOpenDirectory::UniversalForm(const std::string& path) const {
  if (path.empty()) return {};
  if (IsNetworkPath(path)) return path;
  const std::string full = ExpandFileName(path);
  if (IsLocalPath(full)) {
    if (auto name = GetUniversalName(full, ReadMountTable())) return *name;
  }
  return full;
}

std::string TOpenDirectory::LocalForm(const std::string& name) const {
  return GetLocalName(name, ReadMountTable()).value_or("");
}

void TOpenDirectory::SetResult(const std::string& path) {
  directory_ = path;
  unc_directory_ = UniversalForm(path);
}

void TOpenDirectory::ChangeToFolder(const std::string& folder) const {
  // A network name has no local form here: a path such as //server/share would name a local
  // folder /server/share, so the current directory is left as it is.
  if (NoChangeDir || !IsLocalPath(folder)) return;
  std::error_code ignored;
  std::filesystem::current_path(folder, ignored);
}

void TOpenDirectory::FinalAdjustment() {
  if (IsNetworkPath(unc_directory_)) {
    if (directory_ == unc_directory_) {
      directory_.clear();
      ChangeToFolder(unc_directory_);
    } else {
      ChangeToFolder(directory_);
    }
  } else if (IsLocalPath(directory_)) {
    ChangeToFolder(directory_);
    if (unc_directory_ == directory_) unc_directory_.clear();
  }
}

}  // namespace lorvante
