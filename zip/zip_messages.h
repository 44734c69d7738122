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

}  // namespace lorvante::zip_texts
