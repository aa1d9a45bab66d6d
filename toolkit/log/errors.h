// Result codes of the toolkit and the archive engine, and the translation of
// Win32 error numbers into them.
//
// Result codes are 32-bit, negative for failure. The toolkit's own codes lie
// in the range 0x8004E0xx; a few numbers carry two names because the engine
// and the toolkit use them for related failures.
#pragma once

#include "platform.h"

#ifdef _WIN32
#include <oleauto.h>
#endif

#define VO_RESULT(x) ((HRESULT)(x))

// Archive engine (CArchive2) results.
#define VO_E_OPENFILE      VO_RESULT(0x8004E006)  // a file cannot be opened or created
#define VO_E_NOTSEA        VO_RESULT(0x8004E007)  // the archive has no stub to split off
#define VO_E_READ          VO_RESULT(0x8004E008)  // read failure
#define VO_E_WRITE         VO_RESULT(0x8004E009)  // write, deflate or inflate failure
#define VO_E_BADDATA       VO_RESULT(0x8004E00B)  // CRC mismatch, unusable source, bad data
#define VO_E_CANCEL        VO_RESULT(0x8004E00C)  // cancelled by the user
#define VO_E_NOTFOUND      VO_RESULT(0x8004E00D)  // a volume or folder was not found
#define VO_E_NOFILE        VO_RESULT(0x8004E032)  // the file does not exist
#define VO_E_SMALLBUFFER   VO_RESULT(0x8004E03C)  // buffer too small or pattern refused
#define VO_E_PAUSE         VO_RESULT(0x8004E050)  // pending answer: wait for the next one
#define VO_E_BADSIGNATURE  VO_RESULT(0x8004E0B0)  // no archive in the file, bad record signature
#define VO_E_DISKFULL      VO_RESULT(0x8004E0C8)  // not enough disk space

// Toolkit results.
#define VO_E_NOSPACE       VO_RESULT(0x8004E002)  // the disk is full
#define VO_E_BUSY          VO_RESULT(0x8004E005)  // the device or resource is busy
#define VO_E_OPENFAILED    VO_RESULT(0x8004E007)  // a file cannot be opened
#define VO_E_FILENOTFOUND  VO_RESULT(0x8004E00A)  // file, path, module or procedure not found
#define VO_E_INVALIDNAME   VO_RESULT(0x8004E00D)  // the name is not valid
#define VO_E_NORESOURCE    VO_RESULT(0x8004E00E)  // resource missing, unlockable or empty
#define VO_E_EXCEPTION     VO_RESULT(0x8004E017)  // an unhandled exception was reported
#define VO_E_NOTENABLED    VO_RESULT(0x8004E01B)  // the log is not enabled
#define VO_E_TOOMANYFILES  VO_RESULT(0x8004E026)  // too many open files
#define VO_E_SHARING       VO_RESULT(0x8004E05A)  // sharing violation
#define VO_E_ALREADYEXISTS VO_RESULT(0x8004E170)  // the object already exists
#define VO_E_INVALIDDRIVE  VO_RESULT(0x800404B0)  // the drive is not valid
#define VO_E_ACCESSDENIED  VO_RESULT(0x80070005)  // access denied (Win32 facility)
#define VO_E_HANDLE        VO_RESULT(0x80070006)  // invalid handle (Win32 facility)

// Turns a Win32 error number into a result code: one fixed table, E_FAIL
// for every number the table does not map.
HRESULT VoErrorHandler_TranslateWin32Error(uint32_t error);

// ---------------------------------------------------------------------------
// Texts for result codes and error messages.

// One pair of an error table: a result code and its text. A text value
// below 0x10000 (and not 0) is a string id of the toolkit's default
// language instance; anything else points at the text.
struct VoErrorTableEntry {
    HRESULT code;
    const VOCHAR *text;
};
#define VO_ERROR_STRING(id) ((const VOCHAR *)(uintptr_t)(id))
// Most user tables that can be registered.
#define VO_MAX_ERROR_TABLES 32

// Registers a table searched before the built-in one, in the order added.
// Returns 0, or 1 when VO_MAX_ERROR_TABLES are already registered.
int VoErrorHandler_AddErrorTable(const VoErrorTableEntry *table, int count);
// The text of a code from the user tables, then the built-in table; null
// when none knows it (and for string ids on systems without string tables).
const VOCHAR *VoErrorHandler_GetHresultString(HRESULT code);
// Common-dialog error numbers as result codes.
HRESULT VoErrorHandler_TranslateCommDlgError(uint32_t error);
// A message: format (a text, or a message key up to 0xFFFF) formatted with
// insert, then the code's text. The result lives in one process-wide buffer
// of 2048 units that the next call overwrites.
const VOCHAR *VoErrorHandler_GetErrorMessage(const VOCHAR *format, HRESULT code, const VOCHAR *insert);
// Message keys of the built-in key table.
enum VoErrorMessageKey {
    VO_MSG_GENERIC = 0,        // "%s" and the code's text
    VO_MSG_OPEN_FILE = 1,
    VO_MSG_READ_FILE = 2,
    VO_MSG_WRITE_FILE = 3,
    VO_MSG_CREATE_FOLDER = 4,
    VO_MSG_DELETE_FILE = 5,
    VO_MSG_START_PROGRAM = 6,
    VO_MSG_NO_MEMORY = 7,
    VO_MSG_OPERATION = 8,
    VO_MSG_ARCHIVE = 9,
    VO_MSG_EXCEPTION = 10,
};
#define VO_MSG_KEY(key) ((const VOCHAR *)(uintptr_t)(key))

// The details collection: lines gathered for the next error message. The
// first thread to add a line owns the record until it is emptied.
HRESULT VoErrorHandler_DetailsInit();
// Adds a line (formatted with VoVPrintF into 8192 units when it holds "$"
// or "%"). E_POINTER for a null format; E_FAIL from a foreign thread (unless
// code equals the last code added) or when the record is full.
HRESULT VoErrorHandler_DetailsAddString(HRESULT code, const VOCHAR *format, ...);
// The collected lines (CR LF separated) or null; the outs that are given
// receive the last code, the line count and the owner thread.
const VOCHAR *VoErrorHandler_DetailsInfo(HRESULT *code, int *count, uint32_t *ownerThread);
HRESULT VoErrorHandler_GetLastError();

// Hex dumps into 8-bit text (CR LF lines). Unreadable memory shows as "..".
// They stop before a line when fewer than 50 bytes of room are left and
// return the bytes written (a terminator follows them).
int VoErrorHandler_DumpHex(char *out, int outSize, const void *address, int length);
int VoErrorHandler_DumpHexDWords(char *out, int outSize, const void *address, int count);

#ifdef _WIN32
// Sections of VoErrorHandler_DumpExceptionRecord (0: all).
#define VO_DUMP_EXCEPTION 0x01
#define VO_DUMP_MODULE 0x02
#define VO_DUMP_REGISTERS 0x04
#define VO_DUMP_CODE_BYTES 0x08
#define VO_DUMP_STACK 0x10
#define VO_DUMP_THREAD 0x20
void VoErrorHandler_DumpExceptionRecord(char *out, int outSize, const wchar_t *threadName,
                                        EXCEPTION_POINTERS *pointers, uint32_t sections);
// For SetUnhandledExceptionFilter: reports the crash with the dump as
// details (unless a debugger is attached) and returns 1.
LONG VoErrorHandler_ExceptionFilter(EXCEPTION_POINTERS *pointers, const wchar_t *threadName);
// Shows the composed message (nothing for VO_E_CANCEL, which returns 1).
int VoErrorHandler_MsgBox(HWND owner, UINT style, const wchar_t *format, HRESULT code, const wchar_t *insert,
                          BOOL heading);
// Shows text with the collected details, then empties the collection.
int VoErrorHandler_MsgBoxText(HWND owner, UINT style, const wchar_t *text, BOOL heading);
// The composed message with the details appended; free with SysFreeString.
BSTR VoErrorHandler_ComposeErrorText(const wchar_t *format, HRESULT code, const wchar_t *insert);
// Debug output: mode 2 sends a UTF-16 text to the device or file named in
// the user's profile ("Debug", "LogToFilePath", default COM1); any other
// mode draws an 8-bit text in a box across the bottom of the screen.
void VoDebugString(const void *text, BOOL newline, int mode);
#endif
