// Result codes of the toolkit and the archive engine, and the translation of
// Win32 error numbers into them.
//
// Result codes are 32-bit, negative for failure. The toolkit's own codes lie
// in the range 0x8004E0xx; a few numbers carry two names because the engine
// and the toolkit use them for related failures.
#pragma once

#include "platform.h"

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
