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

// The word at the end of a conversion that worked. The text was saved: <file>.
inline constexpr char kTextSaved[] = "A szöveg mentve: %s";
// <n> files extracted to: <folder>.
inline constexpr char kFilesExtracted[] = "%d állomány kibontva ide: %s";
// Appended when entries were skipped: "; <n> not extracted (<count> <reason>, ...)".
inline constexpr char kNotExtracted[] = "; %d nem lett kibontva (%s)";
// The reasons, each after its count, by the unzip library's skip reason: the existing file was
// kept, no file to freshen, no password given, wrong password, CRC error, unsupported method,
// write error, damaged data, unsafe name, the run was stopped, another reason.
inline constexpr char kSkipKeptExisting[] = "meglévő állomány megtartva";
inline constexpr char kSkipNoTarget[] = "nincs frissítendő állomány";
inline constexpr char kSkipNoPassword[] = "jelszó nélkül";
inline constexpr char kSkipWrongPassword[] = "hibás jelszó";
inline constexpr char kSkipCrcError[] = "CRC-hiba";
inline constexpr char kSkipUnsupported[] = "nem támogatott tömörítési mód";
inline constexpr char kSkipCannotWrite[] = "írási hiba";
inline constexpr char kSkipDamaged[] = "sérült adat";
inline constexpr char kSkipUnsafe[] = "nem biztonságos név";
inline constexpr char kSkipStopped[] = "megszakítva";
inline constexpr char kSkipOther[] = "egyéb ok";

// The details of a failure box. The file the box is about: <input>.
inline constexpr char kDetailInput[] = "Állomány: %s";
// The folder chosen for the extraction cannot be written: <folder> (<reason>).
inline constexpr char kDetailTargetNotWritable[] = "A célmappa nem írható: %s (%s)";
// An entry that was not extracted: "<entry>": <reason>.
inline constexpr char kDetailEntry[] = "\"%s\": %s";

// The open dialog of a start without a file: "Open an encrypted file"; its filter entries,
// encrypted files and all files.
inline constexpr char kOpenTitle[] = "Titkosított állomány megnyitása";
inline constexpr char kEncryptedFiles[] = "Titkosított állományok (*.des)";
inline constexpr char kAllFiles[] = "Minden állomány (*)";

}  // namespace lorvante::messages
