#include "zip/zip_drives.h"

#include "platform/drives.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "zip/zip_messages.h"

namespace lorvante {
namespace {

constexpr std::string_view kDiskLabelPrefix = "PKBACK# ";
constexpr std::size_t kDiskNumberDigits = 3;

}  // namespace

void CenterWindow(TopLevelWindow& Wnd) {
  const ScreenRect window = Wnd.OuterRect();
  const ScreenRect area = Application.UI().AvailableGeometry();
  Wnd.MoveTo(area.left + (area.width - window.width) / 2,
             area.top + (area.height - window.height) / 2);
}

std::string ExtractFileDrive(std::string_view Path) {
  return Drives().DrivePart(Path);
}

unsigned GetPathDriveType(std::string_view Path) {
  if (Path.empty()) return DRIVE_NO_ROOT_DIR;
  return Drives().DriveType(AppendSlash(ExtractFileDrive(Path)));
}

bool GetVolumeLabel(std::string_view Drive, std::string& Label) {
  Result<std::string> label = Drives().VolumeLabel(AppendSlash(Drive));
  Label = label.value_or(std::string());
  return label.ok();
}

int GetDiskNumber(std::string_view Path) {
  if (!FileExists(std::string(Path))) return 0;
  if (GetPathDriveType(Path) != DRIVE_REMOVABLE) return 0;
  std::string label;
  if (!GetVolumeLabel(ExtractFileDrive(Path), label)) return 0;
  if (label.compare(0, kDiskLabelPrefix.size(), kDiskLabelPrefix) != 0) return 0;
  const std::string digits = label.substr(kDiskLabelPrefix.size(), kDiskNumberDigits);
  if (digits.empty()) return 0;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool AskForDisk(std::string_view Path, int DiskNo) {
  int disk = GetDiskNumber(Path);
  while (disk != DiskNo) {
    const int answer = Application.MessageBox(Format(zip_texts::kInsertDisk, {DiskNo}),
                                              MB_OKCANCEL | MB_ICONINFORMATION);
    if (answer != IDOK) return false;
    disk = GetDiskNumber(Path);
  }
  return true;
}

}  // namespace lorvante
