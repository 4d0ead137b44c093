// The database engine's published interface: a plain C library, loaded at run time.
//
// Every call returns a DBIResult: 0 for success, otherwise a 16-bit code whose high byte is
// the error category. After a failed call the engine's error stack describes it: entry 0 is the
// call's own code, entries 1, 2, ... add context (the file, table or field concerned and, in the
// native code, the storage layer's own error); the entry after the last reads DBIERR_NOMORE.
//
// Tables are SQLite files in a database directory, one file per table, named as the table
// (`bingren.DB`). A cursor steps through a table on its current index with key-bounded
// statements; it never loads the table. Text passes the interface as UTF-8; string sizes are
// measured in GBK bytes. Dates pass as whole days since 1899-12-30.
//
// Threads: the engine is used from one thread.
#ifndef DBENGINE_H
#define DBENGINE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define DBEAPI __attribute__((visibility("default")))
#else
#define DBEAPI
#endif

typedef uint16_t DBIResult;
typedef struct DbeDatabase* hDBIDb;
typedef struct DbeCursor* hDBICur;
typedef struct DbeRecord* hDBIRec;
typedef struct DbeStatement* hDBIStmt;

// ---- Result codes. Category is the high byte. ----
#define DBIERR_NONE 0x0000

// 0x21: input and output
#define DBIERR_IO 0x2101             // Disk read or write error
#define DBIERR_DISKFULL 0x2102       // Disk is full
#define DBIERR_NOTADB 0x2103         // File is not a table of this engine
#define DBIERR_CORRUPT 0x2104        // Table is damaged
#define DBIERR_NOTFOUND_FILE 0x2108  // File or directory does not exist
#define DBIERR_LOADFAIL 0x2109       // The engine library could not be loaded

// 0x22: not found (a delete that fails with this category counts as done)
#define DBIERR_BOF 0x2201          // At beginning of table
#define DBIERR_EOF 0x2202          // At end of table
#define DBIERR_NOCURRREC 0x2204    // No current record
#define DBIERR_RECNOTFOUND 0x2205  // Could not find record
#define DBIERR_RECDELETED 0x2206   // Record was deleted by another user

// 0x25: resources
#define DBIERR_NOMEMORY 0x2501   // Not enough memory for this operation
#define DBIERR_BUFFSMALL 0x2502  // Buffer too small for the value

// 0x26: integrity
#define DBIERR_KEYVIOL 0x2601     // Key violation
#define DBIERR_REQDFIELD 0x2602   // Field value required
#define DBIERR_CONSTRAINT 0x2603  // A validity check of the table failed

// 0x28: locking
#define DBIERR_LOCKED 0x2801     // Record locked by another user
#define DBIERR_BUSY 0x2802       // Table is busy
#define DBIERR_NOTLOCKED 0x2803  // Record is not locked

// 0x29: security
#define DBIERR_NOTSUFFTABLERIGHTS 0x2902  // Insufficient rights: a password is required

// 0x2A: invalid request
#define DBIERR_INVALIDHNDL 0x2A01     // Invalid handle
#define DBIERR_INVALIDPARAM 0x2A02    // Invalid parameter
#define DBIERR_NOTINITIALIZED 0x2A03  // Engine not started
#define DBIERR_OUTOFRANGE 0x2A04      // Field number out of range
#define DBIERR_NOMORE 0x2A06       // No more entries (end of the error stack; missing entry point)
#define DBIERR_ALREADYINIT 0x2A07  // Engine already started
#define DBIERR_VERSION 0x2A08      // Interface version not supported
#define DBIERR_READONLY 0x2A0B     // Table cannot be opened for writing
#define DBIERR_TABLEREADONLY 0x2A0C  // Table is read only
#define DBIERR_HANDLESOPEN 0x2A0D    // Handles are still open (dbeExit)
#define DBIERR_INTERNAL 0x2A0E       // Internal error in the engine

// 0x2C: capability
#define DBIERR_NOTSUPPORTED 0x2C01  // Capability not supported

// 0x2D: definitions
#define DBIERR_NOSUCHINDEX 0x2D01   // Index does not exist
#define DBIERR_INDEXKIND 0x2D02     // Index kind not supported
#define DBIERR_BADFIELDDESC 0x2D03  // Column of an unknown kind

// 0x2E: query
#define DBIERR_QRYSYNTAX 0x2E01   // Invalid query syntax
#define DBIERR_QRYNOFIELD 0x2E02  // Field in query does not exist
#define DBIERR_QRYNOTABLE 0x2E03  // Table in query does not exist
#define DBIERR_QRYGENERAL 0x2EC4  // General query error (its entries carry the whole text)

// 0x2F: environment
#define DBIERR_ENVSTART 0x2F01  // The engine's environment could not be set up

// ---- Start and end. ----
#define DBE_VERSION 500

typedef struct {
    char szLang[8];  // "0009"
} DBIEnv;

// Starts the engine. Answers DBIERR_ALREADYINIT, which callers count as success, when started.
DBEAPI DBIResult dbeInit(uint16_t version, const DBIEnv* env);
// Ends the engine; every database, cursor and statement must be closed first, else it answers
// DBIERR_HANDLESOPEN and stays started. Record buffers still allocated are freed.
DBEAPI DBIResult dbeExit(void);

// ---- Errors. ----
#define DBIMAXMSGLEN 127

// The engine's text for a code; `text` has room for DBIMAXMSGLEN + 1 bytes. A code the engine
// does not know gives "" (and the call answers 0). This call and the next leave the stack as
// it is; every other call clears it first.
DBEAPI DBIResult dbeGetErrorString(DBIResult code, char* text);
// Entry i of the error stack of the last failed call. Past the last entry `code` is
// DBIERR_NOMORE; `text` has room for DBIMAXMSGLEN + 1 bytes.
DBEAPI DBIResult dbeGetErrorEntry(uint16_t i, DBIResult* code, int32_t* nativeCode, char* text);

// ---- Databases. ----
#define dbiREADWRITE 0
#define dbiREADONLY 1
#define dbiOPENSHARED 0
#define dbiOPENEXCL 1

// Opens the standard local database. `name` is NULL or empty for it; other names are aliases,
// which this engine does not have.
DBEAPI DBIResult dbeOpenDatabase(const char* name, int openMode, int shareMode, hDBIDb* db);
// Makes `dir` the database's current directory. A path with a drive letter (`d:\a\b`) means
// <root>/d/a/b, <root> being $DBENGINE_ROOT or else $XDG_DATA_HOME/dbengine
// (~/.local/share/dbengine). Fails with DBIERR_NOTFOUND_FILE when the directory is missing.
DBEAPI DBIResult dbeSetDirectory(hDBIDb db, const char* dir);
// Closes the database with the cursors and statements opened through it.
DBEAPI DBIResult dbeCloseDatabase(hDBIDb db);

// ---- Fields. ----
#define fldUNKNOWN 0
#define fldZSTRING 1
#define fldDATE 2
#define fldBLOB 3
#define fldBOOL 4
#define fldINT16 5
#define fldINT32 6
#define fldFLOAT 7
#define fldTIME 10
#define fldTIMESTAMP 11
#define fldUINT16 12

#define fldstNONE 0
#define fldstMEMO 22
#define fldstAUTOINC 29

#define DBIMAXNAMELEN 63

typedef struct {
    uint16_t iFldNum;                // 1-based
    char szName[DBIMAXNAMELEN + 1];  // UTF-8
    uint16_t iFldType;               // fld*
    uint16_t iSubType;               // fldst*
    uint16_t iUnits1;                // strings: size in GBK bytes; memos: bytes kept in the row
    uint16_t bRequired;              // the column refuses null
    uint16_t bReadOnly;              // the engine assigns the value (auto-increment)
} FLDDesc;

typedef struct {
    char szName[DBIMAXNAMELEN + 1];  // table file name, or "" for a query answer
    uint16_t iFields;
    uint16_t bReadOnly;  // the cursor refuses insert, modify and delete
    uint16_t iIndexes;
} CURProps;

typedef struct {
    char szName[DBIMAXNAMELEN + 1];  // "" for the primary index (the record number)
    uint16_t iFldsInKey;
    uint16_t aiKeyFld[8];  // 1-based field numbers, leading field first
    uint16_t bPrimary;
    uint16_t bUnique;
    uint16_t bCaseInsensitive;
} IDXDesc;

// ---- Tables and cursors. ----
#define xltNONE 0
#define xltFIELD 2

// Opens `tableName` (with its extension) in the database's directory on its primary index.
// A file that cannot be written answers DBIERR_READONLY when opened with dbiREADWRITE; a
// protected file that no session password opens, DBIERR_NOTSUFFTABLERIGHTS; a protected file
// whose header is damaged, DBIERR_CORRUPT.
DBEAPI DBIResult dbeOpenTable(hDBIDb db, const char* tableName, const char* indexName, int openMode,
                              int shareMode, int xltMode, hDBICur* cur);
DBEAPI DBIResult dbeCloseCursor(hDBICur cur);
DBEAPI DBIResult dbeGetCursorProps(hDBICur cur, CURProps* props);
// `descs` has room for props.iFields entries.
DBEAPI DBIResult dbeGetFieldDescs(hDBICur cur, FLDDesc* descs);
// `descs` has room for props.iIndexes entries; the primary index comes first.
DBEAPI DBIResult dbeGetIndexDescs(hDBICur cur, IDXDesc* descs);
// The table's locale name ("GBK").
DBEAPI DBIResult dbeGetLdName(hDBICur cur, char* name);
// Switches to the named index ("" or NULL: the primary one); the cursor goes to the beginning
// and any range is dropped.
DBEAPI DBIResult dbeSwitchToIndex(hDBICur cur, const char* indexName);

// Restricts the cursor to records whose leading index field lies between the two keys,
// inclusive. A key is a record buffer whose leading index field holds the bound; a blank field
// there means null, and a range on null holds the records whose field is null. A NULL key
// handle leaves that side open. The cursor goes to the beginning.
DBEAPI DBIResult dbeSetRange(hDBICur cur, hDBIRec lowKey, hDBIRec highKey);
DBEAPI DBIResult dbeResetRange(hDBICur cur);

// ---- Positioning and reading. A cursor is at the beginning, at the end, on a record, or on
// the crack where a record was (after it was deleted or left the range). ----
#define dbiNOLOCK 0
#define dbiWRITELOCK 1

DBEAPI DBIResult dbeSetToBegin(hDBICur cur);
DBEAPI DBIResult dbeSetToEnd(hDBICur cur);
// Puts the cursor on `rec`'s key: the record it was read from, or the crack where it was.
DBEAPI DBIResult dbeSetToRecord(hDBICur cur, hDBIRec rec);
// Reads the record at the cursor; DBIERR_RECNOTFOUND on a crack, DBIERR_BOF/DBIERR_EOF at the
// ends. With dbiWRITELOCK the record is re-read from the file and locked for this cursor;
// another holder of the lock gives DBIERR_LOCKED.
DBEAPI DBIResult dbeGetRecord(hDBICur cur, int lock, hDBIRec rec);
// Steps and reads. At the end (beginning) answers DBIERR_EOF (DBIERR_BOF) and the cursor stays
// at the end (beginning).
DBEAPI DBIResult dbeGetNextRecord(hDBICur cur, int lock, hDBIRec rec);
DBEAPI DBIResult dbeGetPriorRecord(hDBICur cur, hDBIRec rec);
// Steps up to `count` records forward (`count` > 0) or back (< 0) in one go, filling recs[0..]
// in the order read; `*got` tells how many. Ends at the last record read, or at the end
// (beginning) when fewer than asked were there; answers 0 unless none was read.
DBEAPI DBIResult dbeGetRecords(hDBICur cur, int32_t count, hDBIRec* recs, uint32_t* got);
// The first record, in index order, whose leading `fields` key fields equal those of `key`;
// with `partialLen` > 0 the last key field, a string, compares only its first `partialLen`
// GBK bytes. The cursor goes onto the found record.
DBEAPI DBIResult dbeGetRecordForKey(hDBICur cur, uint16_t fields, uint16_t partialLen, hDBIRec key,
                                    hDBIRec rec);
DBEAPI DBIResult dbeRelRecordLock(hDBICur cur, int all);
// Drops whatever the cursor caches, so that the next read sees the file as it is now.
DBEAPI DBIResult dbeForceReread(hDBICur cur);

// The exact number of records visible through the cursor (range and filter honoured).
DBEAPI DBIResult dbeGetExactRecordCount(hDBICur cur, uint32_t* count);
// An estimate of it, cheaper than the exact count: the exact count while the file is unchanged
// since it was last taken; otherwise, without a range or an active filter, the highest record
// number (an upper bound); with either, the exact count.
DBEAPI DBIResult dbeGetRecordCount(hDBICur cur, uint32_t* count);

// Where the cursor stands between the first record it sees (0) and the last (1), estimated
// from keys without counting: by record number where the index is the primary one or its key
// is one value throughout the range, else by the key's numeric value. 0 at the beginning, 1 at
// the end. DBIERR_NOTSUPPORTED where the key is not a number. For scroll bars.
DBEAPI DBIResult dbeGetKeyFraction(hDBICur cur, double* fraction);
// Puts the cursor on the crack before the first record at or after `fraction` of the way, on the
// same estimate: the next record read is the one there. 0 or less: the beginning; 1 or more: the
// end.
DBEAPI DBIResult dbeSetToKeyFraction(hDBICur cur, double fraction);

// ---- Record buffers. Owned by the caller; valid for cursors on the same table. ----
DBEAPI DBIResult dbeAllocRecord(hDBICur cur, hDBIRec* rec);
DBEAPI DBIResult dbeFreeRecord(hDBIRec rec);
DBEAPI DBIResult dbeCopyRecord(hDBIRec from, hDBIRec to);
// Blanks every field: the engine's initial record, with no key.
DBEAPI DBIResult dbeInitRecord(hDBICur cur, hDBIRec rec);

// Reads field `fieldNo` (1-based). Integers (fldINT16, fldINT32, fldUINT16) and dates arrive
// as int32_t; strings as NUL-terminated UTF-8, for which `size` must allow the value (2 bytes
// per GBK byte of the field's size, plus 1 always do). `*blank` tells null. Memos are read
// through the blob calls; for a memo only `*blank` is set.
DBEAPI DBIResult dbeGetField(hDBICur cur, uint16_t fieldNo, hDBIRec rec, void* dest, uint32_t size,
                             int* blank);
// Writes field `fieldNo`; `src` NULL makes it null. Strings are cut to the field's size at a
// character boundary; empty text is null. A memo takes the whole text, uncut. The
// auto-increment field may be written into the buffer, but the engine never stores it.
DBEAPI DBIResult dbePutField(hDBICur cur, uint16_t fieldNo, hDBIRec rec, const void* src);

// ---- Memos (blobs) of a record buffer. Opening reads the stored content of the record the
// buffer came from; writes change the buffer, which insert or modify then stores. A write that
// would make a memo longer than DBI_MAXMEMO bytes is refused with DBIERR_INVALIDPARAM. ----
#define dbiBLOBREAD 0
#define dbiBLOBWRITE 1
#define DBI_MAXMEMO (16u * 1024 * 1024)

DBEAPI DBIResult dbeOpenBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, int mode);
DBEAPI DBIResult dbeGetBlobSize(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t* size);
DBEAPI DBIResult dbeGetBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t offset,
                            uint32_t length, void* dest, uint32_t* read);
DBEAPI DBIResult dbePutBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t offset,
                            uint32_t length, const void* src);
DBEAPI DBIResult dbeTruncateBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t length);
DBEAPI DBIResult dbeFreeBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo);

// ---- Writing. Each write is one transaction, durable when the call returns. ----
// Inserts `rec`; the engine assigns the auto-increment field, writes it back into `rec`, and
// puts the cursor on the new record.
DBEAPI DBIResult dbeInsertRecord(hDBICur cur, int lock, hDBIRec rec);
// Stores the fields of `rec` written since it was read over the record it was read from; with
// `freeLock` the record's lock is released once they are stored (a failed write keeps the lock
// the cursor held). A record deleted meanwhile answers
// DBIERR_RECDELETED. Modify and delete answer DBIERR_LOCKED while another cursor holds the
// record's lock.
DBEAPI DBIResult dbeModifyRecord(hDBICur cur, hDBIRec rec, int freeLock);
// Deletes the record at the cursor, which is left on its crack.
DBEAPI DBIResult dbeDeleteRecord(hDBICur cur, hDBIRec rec);

// ---- Filters. A filter is an expression tree, given as an array of DBIFilterNode with the root
// first; operands are indexes into the array. An operand's index is larger than that of its node,
// and a node is the operand of at most one other node; nodes the root does not reach are held to
// these two rules only. A filter has at most 1024 nodes, nested at most 20 levels deep (a run of
// one operator, as in a AND b AND c, counts as one level). The engine evaluates it against the
// stored rows (its constants are bound as parameters, never pasted into SQL text). While active it
// restricts stepping, key lookup, re-reading and counting like a range does, and together with the
// range and a query answer's own condition; it stays through dbeSwitchToIndex and dbeSetRange. A
// cursor may hold several filters; the active ones all apply. A filter handle is valid on its
// cursor until dropped or the cursor closes; any other value answers DBIERR_INVALIDHNDL. Filters
// work on query answers too, on the answer's fields.
//
// What the nodes mean:
// - A comparison or LIKE on a field whose stored value is null is false, and NOT of it true:
//   NOT is always the complement of its operand.
// - fltCOMPARE takes integer (the record number too), date and string fields. Two compared
//   fields must be of the same kind.
// - Integer and date fields take their constant in iConst (a pszConst is refused), string and
//   memo fields in pszConst. An empty text is the null constant, as an empty value is null in
//   the files.
// - Strings compare in GBK order. bCaseInsensitive folds the ASCII letters; iPartialLen > 0
//   compares the first iPartialLen GBK bytes of both sides, each cut at a character boundary
//   (a character that would be split is left out). Both apply to string fields only and are
//   ignored for other kinds. Dates compare as days.
// - fltLIKE takes string and memo fields. It is the query dialect's LIKE: % and _ as
//   wildcards, ASCII letters in either case; bCaseInsensitive and iPartialLen do not apply.
//   The null constant matches no record.
// - fltISNULL and fltISNOTNULL take any field, memos too. ----
typedef struct DbeFilter* hDBIFilter;

#define fltAND 1        // iLeft AND iRight
#define fltOR 2         // iLeft OR iRight
#define fltNOT 3        // NOT iLeft
#define fltCOMPARE 4    // field iOperator constant, or field iOperator field iFldNum2
#define fltLIKE 5       // field LIKE constant text, with % and _ as wildcards
#define fltISNULL 6     // field IS NULL
#define fltISNOTNULL 7  // field IS NOT NULL
#define fltTRUE 8
#define fltFALSE 9

#define fltopEQ 1
#define fltopNE 2
#define fltopLT 3
#define fltopLE 4
#define fltopGT 5
#define fltopGE 6

typedef struct {
    uint16_t iKind;      // flt*
    uint16_t iOperator;  // fltop*, for fltCOMPARE
    int32_t iLeft;       // operand nodes of fltAND, fltOR, fltNOT
    int32_t iRight;
    uint16_t iFldNum;           // the field tested (1-based)
    uint16_t iFldNum2;          // fltCOMPARE of two fields: the second; else 0
    uint16_t bConstNull;        // the constant is null: = and <> test null, others are false
    int64_t iConst;             // the constant of an integer or date field (dates as days)
    const char* pszConst;       // the constant of a string or memo field (UTF-8), else NULL
    uint16_t bCaseInsensitive;  // text compares ignore the case of letters
    uint16_t iPartialLen;       // > 0: text compares only its first iPartialLen GBK bytes
} DBIFilterNode;

// Adds an inactive filter; `expression` points at `length` nodes, copied by the call (with
// their texts: the caller may free both at once). A tree that breaks the rules above, e.g. a
// node that names no field of the cursor, or compares a memo other than by LIKE or null tests,
// answers DBIERR_INVALIDPARAM with an entry naming the node and what is wrong.
DBEAPI DBIResult dbeAddFilter(hDBICur cur, const void* expression, uint32_t length,
                              hDBIFilter* filter);
// Activating or deactivating a filter, even one already so, puts the cursor at the beginning.
DBEAPI DBIResult dbeActivateFilter(hDBICur cur, hDBIFilter filter);
DBEAPI DBIResult dbeDeactivateFilter(hDBICur cur, hDBIFilter filter);
// Dropping an active filter puts the cursor at the beginning; an inactive one leaves it.
DBEAPI DBIResult dbeDropFilter(hDBICur cur, hDBIFilter filter);

// ---- Queries. The dialect:
//   SELECT field [, field ...] FROM table.DB
//   [WHERE field LIKE 'literal' | WHERE field LIKE field]
//   [ORDER BY field [, field ...]]
// Keywords in any case; literals between single quotes, a doubled quote standing for one,
// with % and _ as wildcards. Literals are bound as parameters. Names order by GBK. ----
DBEAPI DBIResult dbeQPrepare(hDBIDb db, const char* text, hDBIStmt* stmt);
// Runs the statement; the answer is a read-only cursor, stepped like a table's.
DBEAPI DBIResult dbeQExec(hDBIStmt stmt, hDBICur* answer);
DBEAPI DBIResult dbeQFree(hDBIStmt stmt);

// ---- Session passwords. ----
// A table file can be protected by a password: it is then encrypted, and opening it (or
// preparing a query over it) takes a password of the session's list; without one the call
// answers DBIERR_NOTSUFFTABLERIGHTS. Passwords are bytes in the program's code page, at most
// DBIMAXPASSWORDLEN of them (DBIERR_INVALIDPARAM otherwise); they stay until dropped or until
// the engine ends. Dropping a password the list does not hold does nothing.
#define DBIMAXPASSWORDLEN 255
DBEAPI DBIResult dbeAddPassword(const char* password);
DBEAPI DBIResult dbeDropPassword(const char* password);
DBEAPI DBIResult dbeDropAllPasswords(void);

#ifdef __cplusplus
}
#endif

#endif
