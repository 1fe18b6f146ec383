// The published interface of the archive engine: the records and entry points of the
// zip library (libzip32.so) and the unzip library (libunzip32.so). Field order and types
// follow the engine's published records, so on a 32-bit build every offset is the one the
// callers rely on (checked below).
#ifndef TAVRIN_INFOZIP_API_H
#define TAVRIN_INFOZIP_API_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int BOOL;            // 32-bit; the zip side sends TRUE as all bits set
typedef unsigned int ulg;    // unsigned 32-bit
typedef unsigned short ush;  // unsigned 16-bit

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Zip options, sent with ZpSetOptions and kept by the engine until the next call.
typedef struct {
    char* Date;       // "mmddyyyy" (or "yyyy-mm-dd"), used with fExcludeDate / fIncludeDate
    char* szRootDir;  // folder the names are taken relative to; null or "" for the working folder
    char* szTempDir;  // folder for the temporary archive; null or "" for the archive's folder
    BOOL fTemp;
    BOOL fSuffix;
    BOOL fEncrypt;
    BOOL fSystem;  // include hidden and special files while recursing
    BOOL fVolume;  // volume labels do not exist here; ignored
    BOOL fExtra;   // TRUE: store no extra attributes
    BOOL fNoDirEntries;
    BOOL fExcludeDate;  // only files older than Date
    BOOL fIncludeDate;  // only files of Date or newer
    BOOL fVerbose;
    BOOL fQuiet;
    BOOL fCRLF_LF;
    BOOL fLF_CRLF;
    BOOL fJunkDir;  // store bare names
    BOOL fGrow;     // add to an existing archive (done in any case)
    BOOL fForce;
    BOOL fMove;           // delete the source files once the archive is written
    BOOL fDeleteEntries;  // the names are patterns of entries to delete
    BOOL fUpdate;         // add new files, replace entries older than their file
    BOOL fFreshen;        // replace only entries older than their file
    BOOL fJunkSFX;
    BOOL fLatestTime;  // the archive takes the time of its newest entry
    BOOL fComment;     // ask the comment callback for the archive comment
    BOOL fOffsets;
    BOOL fPrivilege;
    BOOL fEncryption;
    int fRecurse;  // 1: recurse into named folders
    int fRepair;
    char fLevel;  // '0' store, '1'..'9' deflate level, anything else level 6
} ZPOPT, *LPZPOPT;

// Archive name and the names to add (or, with fDeleteEntries, the entry patterns to delete).
typedef struct {
    int argc;
    char* lpszZipFN;
    char** FNV;
} ZCL, *LPZCL;

typedef int (*DLLPRNT)(char* text, ulg length);
typedef char* (*DLLCOMMENT)(char* text);
typedef int (*DLLPASSWORD)(char* buffer, int size, const char* prompt, const char* name);
typedef int (*DLLSERVICE)(const char* name, ulg size);

typedef struct {
    DLLPRNT print;
    DLLCOMMENT comment;
    DLLPASSWORD password;
    DLLSERVICE ServiceApplication;  // non-zero answer stops the work
} ZIPUSERFUNCTIONS, *LPZIPUSERFUNCTIONS;

// Unzip options, one record per call.
typedef struct {
    int ExtractOnlyNewer;   // extract new files and files newer than the existing ones
    int SpaceToUnderscore;  // blanks in names become "_"
    int PromptToOverwrite;  // ask the replace callback before overwriting
    int fQuiet;             // 0 messages, 1 errors only, 2 nothing
    int ncflag;             // 1: entries go to the print callback, nothing touches the disk;
                            //    a negative answer of print ends the entry (no error)
    int ntflag;             // 1: test the entries (CRC) without writing
    int nvflag;             // 1: list (one SendApplicationMessage per entry), no extraction
    int nfflag;             // freshen: replace only existing older files
    int nzflag;             // 1: print the archive comment
    int ndflag;             // 1: recreate stored folders, 0: drop them
    int noflag;             // 1: overwrite existing files
    int naflag;             // 1: text entries get the local line ends
    int nZIflag;
    int C_flag;  // 1: names match without regard to case
    int fPrivilege;
    char* lpszZipFN;
    char* lpszExtractDir;  // null or "": the working folder
} DCL, *LPDCL;

typedef void (*DLLSND)(void);
typedef int (*DLLREPLACE)(char* name);
typedef void (*DLLMESSAGE)(ulg ucsize, ulg csize, unsigned cfactor, unsigned month, unsigned day,
                           unsigned year, unsigned hour, unsigned minute, char flag, char* name,
                           char* method, ulg crc, char encrypted);

typedef struct {
    DLLPRNT print;
    DLLSND sound;
    DLLREPLACE replace;
    DLLPASSWORD password;
    DLLMESSAGE SendApplicationMessage;
    DLLSERVICE ServCallBk;  // non-zero answer stops the work
    ulg TotalSizeComp;
    ulg TotalSize;
    int CompFactor;
    unsigned NumMembers;
    ush cchComment;
} USERFUNCTIONS, *LPUSERFUNCTIONS;

// Answers of the replace callback. Any other non-zero answer means "replace", zero "keep".
#define IDM_REPLACE_NO 100
#define IDM_REPLACE_TEXT 101
#define IDM_REPLACE_YES 102
#define IDM_REPLACE_ALL 103
#define IDM_REPLACE_NONE 104

// Results of ZpArchive.
#define ZE_OK 0
#define ZE_EOF 2     // unexpected end of the archive
#define ZE_FORM 3    // damaged archive
#define ZE_MEM 4     // out of memory
#define ZE_LOGIC 5   // internal error
#define ZE_ABORT 9   // stopped by the service callback
#define ZE_TEMP 10   // temporary file could not be made
#define ZE_READ 11   // read error
#define ZE_NONE 12   // nothing to do
#define ZE_NAME 13   // missing or empty archive name
#define ZE_WRITE 14  // write error
#define ZE_CREAT 15  // archive could not be created
#define ZE_PARMS 16  // bad options
#define ZE_OPEN 18   // a named file could not be read

// Results of Wiz_SingleEntryUnzip.
#define PK_OK 0
#define PK_WARN 1     // done, with warnings (an entry skipped)
#define PK_ERR 2      // damaged entries
#define PK_BADERR 3   // badly damaged archive
#define PK_MEM 5      // out of memory
#define PK_PARAM 10   // bad options
#define PK_FIND 11    // no entry matched
#define PK_BOMB 12    // entries overlap one another (a zip bomb): refused
#define PK_NOZIP 9    // archive missing or not a zip archive
#define PK_DISK 50    // write error
#define IZ_CTRLC 80   // stopped by the service callback
#define IZ_UNSUP 81   // unsupported compression or encryption
#define IZ_BADPWD 82  // entries skipped for a wrong or missing password

// Zip library.
int ZpInit(LPZIPUSERFUNCTIONS functions);
BOOL ZpSetOptions(LPZPOPT options);
ZPOPT ZpGetOptions(void);
int ZpArchive(ZCL names);

// Unzip library.
int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, LPDCL options,
                         LPUSERFUNCTIONS functions);

// Version table of either library, read by the start-up check in place of a version resource:
// "CompanyName", "FileVersion", "FileDescription", "ProductName", "OriginalFilename".
// Unknown keys give null.
const char* ZpVersionInfo(const char* key);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(void*) != 4 || sizeof(ZPOPT) == 128, "ZPOPT is 128 bytes on 32-bit");
static_assert(sizeof(void*) != 4 || offsetof(ZPOPT, fSystem) == 24, "ZPOPT layout");
static_assert(sizeof(void*) != 4 || offsetof(ZPOPT, fJunkDir) == 64, "ZPOPT layout");
static_assert(sizeof(void*) != 4 || offsetof(ZPOPT, fLatestTime) == 96, "ZPOPT layout");
static_assert(sizeof(void*) != 4 || offsetof(ZPOPT, fRecurse) == 116, "ZPOPT layout");
static_assert(sizeof(void*) != 4 || offsetof(ZPOPT, fLevel) == 124, "ZPOPT layout");
static_assert(sizeof(void*) != 4 || sizeof(DCL) == 68, "DCL is 68 bytes on 32-bit");
static_assert(sizeof(void*) != 4 || offsetof(DCL, C_flag) == 52, "DCL layout");
static_assert(sizeof(void*) != 4 || offsetof(DCL, lpszExtractDir) == 64, "DCL layout");
#endif

#endif  // TAVRIN_INFOZIP_API_H
