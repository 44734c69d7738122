// The conversion application's own texts, in UTF-8.
#pragma once

#include <array>

#include "unzdll/unzdll_api.h"

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
// The reasons, each after its count, indexed by the unzip library's skip reason (0 is none).
inline constexpr std::array<const char*, UNZ_SKIP_LAST_REASON + 1> kSkipWords = {
    nullptr,
    "meglévő állomány megtartva",     // UNZ_SKIP_KEPT_EXISTING
    "nincs frissítendő állomány",     // UNZ_SKIP_NO_TARGET
    "jelszó nélkül",                  // UNZ_SKIP_NO_PASSWORD
    "hibás jelszó",                   // UNZ_SKIP_WRONG_PASSWORD
    "CRC-hiba",                       // UNZ_SKIP_CRC_ERROR
    "nem támogatott tömörítési mód",  // UNZ_SKIP_UNSUPPORTED
    "írási hiba",                     // UNZ_SKIP_CANNOT_WRITE
    "sérült adat",                    // UNZ_SKIP_DAMAGED
    "nem biztonságos név",            // UNZ_SKIP_UNSAFE
    "megszakítva",                    // UNZ_SKIP_STOPPED
};
static_assert(UNZ_SKIP_KEPT_EXISTING == 1 && UNZ_SKIP_LAST_REASON == 10,
              "one line of words per reason, in the order of their codes");
// Any other reason.
inline constexpr char kSkipOther[] = "egyéb ok";

// The result does not fit where it goes: not enough free space at <place>; needed <n> bytes,
// free <n> bytes.
inline constexpr char kNotEnoughSpace[] =
    "Nincs elég szabad hely itt: %s\nSzükséges: %s bájt, szabad: %s bájt.";

// The process that inflates the text could not be started: <reason>.
inline constexpr char kWorkerNotStarted[] = "A kibontó folyamat nem indult el: %s";
// The process that inflates the text ended before its work was done (<how>).
inline constexpr char kWorkerEnded[] = "A kibontó folyamat idő előtt véget ért (%s).";
// How it ended: by a signal, <name>; with an exit status, <n>.
inline constexpr char kWorkerSignalled[] = "%s jelzés";
inline constexpr char kWorkerExited[] = "kilépési kód: %d";

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
