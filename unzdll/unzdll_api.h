/* The call interface of the unzip library: the call record, the file spec, the callback record,
 * the two entry points and the codes that travel through the callback. Shared by the library and
 * by the zip component that loads it; plain C so that either side may include it.
 *
 * Every field is 32 bits wide on a 32-bit target (the call record is then 148 bytes, the file spec
 * 72, the callback record 540). On a 64-bit target the fields keep their order and the address
 * fields (marked "address") grow to pointer size; reserved fields stay 32-bit integers. A flag is
 * -1 for true and 0 for false; the library takes any non-zero value as true. Texts are
 * NUL-terminated UTF-8. Reserved fields are written as 0 and ignored by the library, except three
 * that the host fills with the fixed values below. */
#ifndef LORVANTE_UNZDLL_UNZDLL_API_H
#define LORVANTE_UNZDLL_UNZDLL_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TUnzipCallbackInfo TUnzipCallbackInfo;

/* The host's callback: returns 0 to go on, any other value (-1 by convention) to stop the run. */
typedef int32_t (*TUnzipCallback)(TUnzipCallbackInfo* info);

/* One text naming the entries to extract: an exact name or a pattern with `*` (any run of
 * characters, `/` included) and `?` (one character). `\` counts as `/`. */
typedef struct TUnzipFileSpec {
  const char* SpecText; /* address */
  int32_t Reserved[17];
} TUnzipFileSpec;

/* The values of a flag field. */
#define UNZ_FLAG_TRUE (-1)
#define UNZ_FLAG_FALSE 0

/* Fixed values that the host has always written into three fields of the call record. The
 * library reads none of them; they are kept so that the record a host makes stays byte for byte
 * the one a library of another make expects. */
#define UNZ_HOST_FIXED_40 (-1)
#define UNZ_HOST_FIXED_104 3
#define UNZ_HOST_FIXED_144 7

/* The call record, zero-filled by the host. 32-bit offsets in the comments. */
typedef struct TUnzipParams {
  int32_t Reserved0;           /*   0 */
  void* Caller;                /*   4 address, handed back in every callback */
  int32_t Version;             /*   8 the host's interface version (160) */
  TUnzipCallback Callback;     /*  12 address */
  int32_t Reserved16;          /*  16 */
  int32_t Reserved20;          /*  20 */
  const char* Password;        /*  24 address, or 0: tried first on encrypted entries */
  int32_t TestOnly;            /*  28 flag: read and check, write nothing */
  int32_t Reserved32;          /*  32 */
  int32_t Reserved36;          /*  36 */
  int32_t Reserved40;          /*  40 UNZ_HOST_FIXED_40, not read */
  int32_t Reserved44;          /*  44 */
  int32_t Update;              /*  48 flag: update mode */
  int32_t Freshen;             /*  52 flag: freshen mode (only targets that exist) */
  int32_t KeepFolders;         /*  56 flag: keep the archive's folders; clear = flat */
  int32_t Plain;               /*  60 flag: plain mode (every selected entry) */
  int32_t SpecCount;           /*  64 number of file specs; 0 = every entry */
  const char* ArchivePath;     /*  68 address */
  const TUnzipFileSpec* Specs; /*  72 address of SpecCount file specs, or 0 */
  int32_t Reserved76[7];       /*  76 */
  int32_t Reserved104;         /* 104 UNZ_HOST_FIXED_104, not read */
  const char* TargetFolder;    /* 108 address: the folder, ending in '/'; empty = current */
  int32_t Reserved112[8];      /* 112 */
  int32_t Reserved144;         /* 144 UNZ_HOST_FIXED_144, not read */
} TUnzipParams;

/* The callback record, filled by the library before every call. The host reads and may write
 * Status, Value and NameOrMessage; the library reads the answers back after the call. */
struct TUnzipCallbackInfo {
  int32_t Reserved0;       /*  0 */
  void* Caller;            /*  4 address: the call record's Caller */
  int32_t Version;         /*  8 the library's version */
  int32_t Reserved12;      /* 12 */
  int32_t ActionCode;      /* 16 one of the UNZ_ACTION_ codes */
  int32_t Status;          /* 20 */
  int32_t Value;           /* 24 */
  char NameOrMessage[512]; /* 28 NUL-terminated UTF-8, at most 511 bytes of text */
};

/* Entry points, exported with C linkage under these names. */
typedef int32_t (*TUnzDllExec)(const TUnzipParams* params);
typedef uint32_t (*TGetUnzDllVersion)(void);
/* Removes the hidden files the library is writing, and nothing else; the process goes on. For the
 * host's signal handlers, before a signal ends the program: the library installs no handler of
 * its own. Async-signal-safe. */
typedef void (*TUnzDllRemoveTemporaries)(void);
#define UNZDLL_EXEC_NAME "UnzDllExec"
#define UNZDLL_VERSION_NAME "GetUnzDllVersion"
#define UNZDLL_REMOVE_TEMPORARIES_NAME "UnzDllRemoveTemporaries"
#define UNZDLL_VERSION 160

/* Action codes, in the order they come within a run:
 * 5 FILE_COUNT, 6 TOTAL_BYTES, then per entry 1 BEGIN_FILE, 10 TARGET_EXISTS (when it does),
 * 8 PASSWORD (when needed), 2 PROGRESS (repeatedly), 9 CRC_ERROR (on a mismatch), 11 SKIPPED (when
 * the entry is not written, after 13 SKIP_DETAIL when it has one); 3 END_BATCH last. 4 MESSAGE
 * may come at any point. A run refused as a whole reports one skipped entry, named by the
 * archive's path (or the target folder's), with 12 RUN_REFUSED just before its 11 SKIPPED. */
enum {
  UNZ_ACTION_BEGIN_FILE = 1,     /* NameOrMessage: the name as written; Value: its size */
  UNZ_ACTION_PROGRESS = 2,       /* Value: bytes processed since the last report */
  UNZ_ACTION_END_BATCH = 3,      /* the run ends */
  UNZ_ACTION_MESSAGE = 4,        /* NameOrMessage: a text worth tracing */
  UNZ_ACTION_FILE_COUNT = 5,     /* Value: number of entries of the run */
  UNZ_ACTION_TOTAL_BYTES = 6,    /* Value: their total size */
  UNZ_ACTION_PASSWORD = 8,       /* NameOrMessage: the entry; Value: tries left
                                    (UNZ_FIRST_PASSWORD_REQUEST at first).
                                    Answer: Status 1 and the password in NameOrMessage, Value as
                                    counted down by the host; Status 0 = declined */
  UNZ_ACTION_CRC_ERROR = 9,      /* NameOrMessage: the entry. Answer: Status 1 keep, 0 discard */
  UNZ_ACTION_TARGET_EXISTS = 10, /* NameOrMessage: the target; Status bit 0: the existing file is
                                    older. Answer: Value 1 replace, 0 keep */
  UNZ_ACTION_SKIPPED = 11,       /* NameOrMessage: the entry; low byte of Value: a UNZ_SKIP_ code */
  UNZ_ACTION_RUN_REFUSED = 12,   /* NameOrMessage: why the whole run is refused, in short English
                                    (which entry, which check) */
  UNZ_ACTION_SKIP_DETAIL = 13    /* NameOrMessage: what makes the entry of the 11 SKIPPED that
                                    follows unsafe, or what stands in its way, in short English */
};

/* The Value of an entry's first password request: the tries it has. */
#define UNZ_FIRST_PASSWORD_REQUEST 3

/* Skip reasons. UNZ_SKIP_FIRST_ERROR to UNZ_SKIP_LAST_ERROR (4 to 9) are errors for the host. */
enum {
  UNZ_SKIP_KEPT_EXISTING = 1,  /* the host chose to keep the existing file */
  UNZ_SKIP_NO_TARGET = 2,      /* freshen mode and no file to freshen */
  UNZ_SKIP_NO_PASSWORD = 3,    /* the host gave no password */
  UNZ_SKIP_WRONG_PASSWORD = 4, /* wrong password, tries used up */
  UNZ_SKIP_CRC_ERROR = 5,      /* CRC mismatch, the copy was discarded */
  UNZ_SKIP_UNSUPPORTED = 6,    /* compression or encryption method not supported */
  UNZ_SKIP_CANNOT_WRITE = 7,   /* folder or file cannot be created or written */
  UNZ_SKIP_DAMAGED = 8,        /* damaged entry or unreadable archive */
  UNZ_SKIP_UNSAFE = 9,         /* unsafe name or entry type */
  UNZ_SKIP_STOPPED = 10,       /* the host stopped the run */
  UNZ_SKIP_FIRST_ERROR = UNZ_SKIP_WRONG_PASSWORD,
  UNZ_SKIP_LAST_ERROR = UNZ_SKIP_UNSAFE,
  UNZ_SKIP_LAST_REASON = UNZ_SKIP_STOPPED
};

#define UNZDLL_TEXT_SIZE 512

#ifdef __cplusplus
#define UNZDLL_STATIC_ASSERT static_assert
#else
#define UNZDLL_STATIC_ASSERT _Static_assert
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
/* The layout of a 32-bit target, byte for byte. */
UNZDLL_STATIC_ASSERT(sizeof(TUnzipParams) == 148, "call record size");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipParams, Callback) == 12, "callback offset");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipParams, Password) == 24, "password offset");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipParams, Plain) == 60, "plain flag offset");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipParams, ArchivePath) == 68, "archive offset");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipParams, TargetFolder) == 108, "folder offset");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipParams, Reserved144) == 144, "last field offset");
UNZDLL_STATIC_ASSERT(sizeof(TUnzipFileSpec) == 72, "file spec size");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipCallbackInfo, ActionCode) == 16, "action code offset");
UNZDLL_STATIC_ASSERT(offsetof(TUnzipCallbackInfo, NameOrMessage) == 28, "text offset");
UNZDLL_STATIC_ASSERT(sizeof(TUnzipCallbackInfo) == 540, "callback record size");
#endif

#ifdef __cplusplus
}
#endif

#endif
