// The conversion application's own texts, in UTF-8.
#pragma once

namespace lorvante::messages {

inline constexpr char kApplicationTitle[] = "LORVANTE";
// Decrypting the file failed.
inline constexpr char kDecryptFailed[] = "Az állomány visszafejtése sikertelen.";
// Decompressing the file failed.
inline constexpr char kExportFailed[] = "Az állomány kitömörítése sikertelen.";
// The source file cannot be found.
inline constexpr char kSourceNotFound[] = "A forrás állomány nem található.";
inline constexpr char kGzipPathTooLong[] = "Unable to GZip this file: path name is too long";
// The save dialog's filter: plain text, MS-DOS text; both entries match *.txt.
inline constexpr char kTextFilter[] = "Egyszerű szöveg (*.txt)|*.txt|MS-DOS szöveg (*.txt)|*.txt";

}  // namespace lorvante::messages
