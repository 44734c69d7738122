// The zip component's own texts, in English. `%s` takes a string, `%d` a decimal integer.
#pragma once

namespace lorvante::zip_texts {

// Assigning an archive.
inline constexpr char kCannotAccessDrive[] = "Unable to access the selected drive!";
inline constexpr char kCannotCreate[] = "Unable to create \n\"%s\"";

// Reading the central directory.
inline constexpr char kNotValidZip[] = "\"%s\"\nis not a valid Zip file.";
inline constexpr char kInsertLastDisk[] =
    "This is [ Disk %d ] of a multiple disk Zip file.\nInsert the last disk of the Zip file "
    "before pressing [ OK ] to continue ...";
inline constexpr char kErrorReadingHeader[] = "Error reading CentralFileHeader.";

// Disks of a spanned archive.
inline constexpr char kInsertDisk[] =
    "Insert [ Disk %d ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to "
    "continue ...";

inline constexpr char kMultiDiskRefused[] =
    "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto the "
    "hard disk before retrying.";
inline constexpr char kNoTargetFolder[] =
    "Unable to extract files to:\n\"%s\"\nThis folder does not exist.";
inline constexpr char kUnableToLoad[] = "Unable to load %s";
inline constexpr char kInvalidVersion[] = "Error - invalid version of ZipDll.dll or UnzDll.dll";
inline constexpr char kNewPassword[] = "A new password is required for \"%s\"";
inline constexpr char kPasswordRetry[] = "Password is invalid, please retry ...";
inline constexpr char kNoPassword[] =
    "No password was entered so the file will not be extracted...\nDo you wish to continue "
    "extracting other files?";
inline constexpr char kPasswordTooLong[] =
    "The password is too long: it must be shorter than 512 bytes.\nPlease enter it again.";
inline constexpr char kCrcError[] =
    "\"%s\" may be corrupted (CRC error).\nExtract this file anyway? ...";
inline constexpr char kOlderFile[] =
    "\"%s\" is older than the zipped file.\nOverwrite this file? ...";
inline constexpr char kNewerFile[] =
    "\"%s\" is the same age or newer than the zipped file.\nDo you really want to overwrite this "
    "file? ...";

// The confined extraction process.
inline constexpr char kConfinedNotStarted[] = "The extraction process could not be started: %s";
inline constexpr char kConfinedEnded[] =
    "The extraction process ended before its work was done (%s).";

}  // namespace lorvante::zip_texts
