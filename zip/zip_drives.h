// Small helpers of the zip component: centring a window, path strings, and the drive and volume
// queries behind archives spanned over removable disks. Such disks carry the volume label
// "PKBACK# " followed by the disk number in three digits. None of the helpers raises.
#pragma once

#include <string>
#include <string_view>

#include "ui/user_interface.h"

namespace lorvante {

// A top-level window as CenterWindow sees it.
class TopLevelWindow {
 public:
  virtual ~TopLevelWindow() = default;
  // The outer rectangle, frame included.
  virtual ScreenRect OuterRect() const = 0;
  // Moves the window, keeping its size and its place in the stacking order.
  virtual void MoveTo(int left, int top) = 0;
};

// Centres `Wnd` on the available area of the primary screen (from the application's front end).
void CenterWindow(TopLevelWindow& Wnd);

// The drive part of `Path`: the mount point that holds it; empty for a relative path.
std::string ExtractFileDrive(std::string_view Path);

// The drive type code of the drive of `Path` (DRIVE_NO_ROOT_DIR for an empty path).
unsigned GetPathDriveType(std::string_view Path);

// The label of the volume at `Drive`. False when the volume cannot be queried.
bool GetVolumeLabel(std::string_view Drive, std::string& Label);

// The disk number from the "PKBACK# nnn" label of the removable disk that holds the file
// `Path`; 0 when the file is missing, the disk is not removable or the label has no number.
int GetDiskNumber(std::string_view Path);

// Asks the user to insert disk `DiskNo` until it holds `Path`. False when the user cancelled.
bool AskForDisk(std::string_view Path, int DiskNo);

}  // namespace lorvante
