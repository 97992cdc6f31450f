/* qrx: recovery of damaged FileMaker Pro databases (fp5 and fp7) into dBase tables.
 *
 * The library is driven through the plain C functions below. Texts are NUL-terminated arrays of
 * UTF-16 units. The usual order of calls:
 *   1. DllInitialize with both callbacks (without them FileRecover answers QRX_FAILURE);
 *   2. optionally SetLogPath, UseExternStatusStrings, SetBreakFlag;
 *   3. FileRecover for one damaged file;
 *   4. optionally RecoveryReport.
 * Settings persist between recoveries. One recovery runs at a time; the only thing another thread
 * may touch while FileRecover runs is the break byte. */
#ifndef QRX_QRX_H
#define QRX_QRX_H

#include <stdint.h>

#if defined(_WIN32)
#define QRX_CALL __cdecl
#if defined(QRX_BUILDING_LIBRARY)
#define QRX_EXPORT __declspec(dllexport)
#elif defined(QRX_NO_DLLIMPORT) /* code linked with qrx.dll or with the exports as object code */
#define QRX_EXPORT
#else
#define QRX_EXPORT __declspec(dllimport)
#endif
#else
#define QRX_CALL
#define QRX_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
typedef char16_t qrx_utf16_t;
#else
typedef uint16_t qrx_utf16_t;
#endif

/* Result codes of FileRecover. */
#define QRX_OK 0
#define QRX_FAILURE (-2)            /* callbacks or host strings missing, no target directory */
#define QRX_NOTHING_TO_RECOVER (-3) /* empty source, unknown format, no table written */
#define QRX_CANNOT_OPEN (-4)        /* the source cannot be opened or read */
#define QRX_PASSED_THROUGH (-5)     /* reserved; not produced by the library itself */
#define QRX_WRITE_FAILED (-20)      /* a result file could not be written */
#define QRX_STOPPED (-1000)         /* the host set the break byte */

/* Receives pass announcements and other diagnostic texts. */
typedef void(QRX_CALL* WriteDiagProc)(const qrx_utf16_t* text);
/* Receives a progress text and a percentage from 0 to 100. */
typedef void(QRX_CALL* StatusBarProc)(const qrx_utf16_t* text, int32_t percent);

/* Stores both callbacks (null included) and, when text is not null, keeps a copy of it.
 * Always returns 1. */
QRX_EXPORT int32_t QRX_CALL DllInitialize(const qrx_utf16_t* text, WriteDiagProc writeDiag,
                                          StatusBarProc statusBar);

/* Sets the path of the diagnostic log, opened (for appending) by the next FileRecover.
 * Null changes nothing; an empty text means no log. */
QRX_EXPORT void QRX_CALL SetLogPath(const qrx_utf16_t* path);

/* Non-zero: pass texts are sent as resource keys ("App/Resources/DllStrings/qrx/Pass1", ...) for
 * the host to translate; 0: built-in English texts. */
QRX_EXPORT void QRX_CALL UseExternStatusStrings(uint8_t flag);

/* Registers the host's break byte. The library only reads it; a non-zero value stops the running
 * recovery with QRX_STOPPED. The byte must stay valid while FileRecover runs. */
QRX_EXPORT void QRX_CALL SetBreakFlag(const volatile uint8_t* flag);

/* Always 0. */
QRX_EXPORT int32_t QRX_CALL GetDllVersion(void);

/* Writes the file-dialog filter "*.fp5;*.fp7" with its terminator (12 units) into buffer, which
 * must hold at least 12 units. Null does nothing. */
QRX_EXPORT void QRX_CALL GetSupportedExtensions(qrx_utf16_t* buffer);

/* Recovers one damaged database into targetDir. The source argument is the path followed by one
 * extra UTF-16 unit, which is dropped. The third argument is not used. Returns a QRX_ code. */
QRX_EXPORT int32_t QRX_CALL FileRecover(const qrx_utf16_t* source, const qrx_utf16_t* targetDir,
                                        const char* unused);

/* Recovery modes and output encodings of FileRecoverEx. */
#define QRX_MODE_DEEP 0    /* every page decoded on its own, typed tables (the default) */
#define QRX_MODE_CLASSIC 1 /* exactly what FileRecover does */
#define QRX_ENCODING_WINDOWS_1252 \
  0 /* texts in Windows-1252, declared in the tables (the default) */
#define QRX_ENCODING_UTF8 1
/* Output formats of a deep recovery, as bits of qrx_options.formats; 0 means QRX_FORMAT_DBF. */
#define QRX_FORMAT_DBF 1    /* dBase tables (.dbf, .dbt, .cpg) */
#define QRX_FORMAT_SQLITE 2 /* one SQLite database "<source name>.sqlite" holding every table */
#define QRX_FORMAT_CSV 4    /* one UTF-8 CSV file per table */

/* Options of FileRecoverEx. `size` is sizeof(qrx_options) as the caller knows it: fields the
 * library has but the caller's struct lacks take their defaults, so the struct can grow. */
typedef struct qrx_options {
  uint32_t size;
  uint32_t mode;     /* QRX_MODE_ */
  uint32_t encoding; /* QRX_ENCODING_, deep mode only */
  uint32_t formats;  /* QRX_FORMAT_ bits, deep mode only (classic writes dBase); 0 or a struct
                        too short for it means QRX_FORMAT_DBF */
  uint32_t csvByteOrderMark; /* 1: CSV files begin with a UTF-8 byte order mark */
  uint32_t listOnly; /* 1: write nothing at all (no folder, no file), only find out what would be
                        written: RecoveredTables and the report tell it (deep mode only) */
} qrx_options;

/* Recovers one damaged database into targetDir, as FileRecover does, with a choice of mode. The
 * source argument is the path itself (no extra unit). Null options mean every default. Returns a
 * QRX_ code; QRX_FAILURE for options of an unknown mode, encoding or format, for a format this
 * build lacks (SQLite is optional), or a size below 4. */
QRX_EXPORT int32_t QRX_CALL FileRecoverEx(const qrx_utf16_t* source, const qrx_utf16_t* targetDir,
                                          const qrx_options* options);

/* Hands out the recovery report as four parallel, null-terminated columns: item, detail, grade,
 * note. Row 0 is the header; its grade column holds the overall grade "1" to "3". The arrays stay
 * valid until the library is unloaded and must not be freed. Any argument may be null. Returns 0.
 */
QRX_EXPORT int32_t QRX_CALL RecoveryReport(qrx_utf16_t*** items, qrx_utf16_t*** details,
                                           qrx_utf16_t*** grades, qrx_utf16_t*** notes);

/* One column of a table of the last recovery. */
typedef struct qrx_column_result {
  const qrx_utf16_t* name;      /* the full column name as the source holds it */
  const qrx_utf16_t* fieldName; /* its dBase field name (at most 10 characters) */
  uint32_t type;                /* the type decided from its values: 'C', 'N', 'D' or 'M' */
  const qrx_utf16_t* kind;      /* what its definition says it holds: "text", "number", "date",
                                   "time", "timestamp" or "container" */
} qrx_column_result;

/* One table of the last recovery, as RecoveredTables hands it out. Later versions may add fields
 * at the end: the library hands out pointers to these structs, never arrays of them. */
typedef struct qrx_table_result {
  const qrx_utf16_t* name;         /* the table's name as the source holds it */
  uint32_t columns;                /* 0 for a table with nothing recovered */
  uint32_t rows;                   /* the rows written */
  const qrx_utf16_t* const* files; /* the files written for it in the target folder (table, memo,
                                      code page, stored files), null-terminated */
  const qrx_utf16_t* note;         /* what was lost, or null when nothing was */
  uint32_t columnCount;            /* entries of columnList (deep recovery; 0 in classic) */
  const qrx_column_result* const* columnList; /* null-terminated */
  uint32_t damagedUnits; /* damaged pages (fp7) or blocks (fp5) holding the table's records */
} qrx_table_result;

/* Hands out the tables of the last FileRecover or FileRecoverEx, one entry each (those with
 * nothing recovered included), in the order of the report, as a null-terminated array of
 * pointers. The entries stay valid until the next recovery or the next call of RecoveredTables
 * and must not be freed. Null tables gives only the count. Returns the number of entries. */
QRX_EXPORT int32_t QRX_CALL RecoveredTables(const qrx_table_result* const** tables);

#ifdef __cplusplus
}
#endif

#endif /* QRX_QRX_H */
