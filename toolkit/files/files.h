// Paths and file-system helpers: taking path texts apart and building them,
// and querying or changing the file system.
//
// Conventions of the whole family:
//   - texts are NUL-terminated UTF-16; sizes (bufChars, outChars) count
//     units including the terminator;
//   - a function that fills a buffer fills it only when the whole result
//     fits, unless it says it cuts;
//   - working copies are VO_MAX_PATH (260) units; results longer than 259
//     units are refused or cut as each function says, never written past a
//     buffer's end;
//   - the separator is VO_PATH_SEPARATOR: "\" on Windows, where a colon also
//     ends a drive part and "\\server\share\" is a root; "/" on POSIX, where
//     the root is "/" and there are no drive letters;
//   - results are a length (0 for failure), 1/0, or a result code.
#pragma once

#include "platform.h"
#include "platform/fileio.h"

// ---------------------------------------------------------------------------
// Names and paths (text only, nothing is touched on disk).

// Just behind the last separator (or, on Windows, colon); path itself when
// it holds none. Never copies. Null gives null.
const VOCHAR *VoGetFileNamePtrW(const VOCHAR *path);
inline VOCHAR *VoGetFileNamePtrW(VOCHAR *path)
{
    return const_cast<VOCHAR *>(VoGetFileNamePtrW(static_cast<const VOCHAR *>(path)));
}
// The extension with its dot: the last dot of the whole text, unless a white
// space follows it anywhere; else the terminator. Pass the file-name part
// when a folder name may hold a dot.
const VOCHAR *VoGetFileNameExtensionPtrW(const VOCHAR *path);
inline VOCHAR *VoGetFileNameExtensionPtrW(VOCHAR *path)
{
    return const_cast<VOCHAR *>(VoGetFileNameExtensionPtrW(static_cast<const VOCHAR *>(path)));
}
#ifdef _WIN32
// The same on 8-bit texts of the system code page (double-byte characters
// are stepped over whole).
const char *VoGetFileNamePtrA(const char *path);
const char *VoGetFileNameExtensionPtrA(const char *path);
#endif

// Appends one separator unless the path already ends in one. Returns the new
// length (or the unchanged one); 0, with the path untouched, for an empty
// path, one not terminated within bufChars, or no room for the separator.
int VoAddSlashToPathName(VOCHAR *path, int bufChars);
// Removes one trailing separator. Returns the new (or unchanged) length; 0
// for an empty path or one not terminated within bufChars.
int VoRemoveSlashFromPathNameEnd(VOCHAR *path, int bufChars);
// The folder part with its trailing separator. Returns its length and copies
// it only when outChars >= length + 1 (out is emptied first). An empty path
// returns 0 and leaves out alone.
int VoGetPathNameFromFilePath(const VOCHAR *path, VOCHAR *out, int outChars);
// The root with its trailing separator: everything up to the first separator
// ("C:\", "\", "dir\"; on POSIX "/" or "dir/"), or on Windows the UNC root
// "\\server\share\". 0 when there is none. The path is read as cut to 259
// units; out is emptied first and filled when the root fits.
int VoGetRootPathFromFilePath(const VOCHAR *path, VOCHAR *out, int outChars);

// Replaces each of the nine characters " * / : < > ? \ | by "_" when fix is
// set. Returns 1 when the name was clean, 0 when it held one.
int VoValidateFileName(VOCHAR *name, int fix);
// Makes the file name's extension "extension" (given with or without its
// dot) unless it already is that (case ignored). Returns the new length; 0
// when the path is not terminated within bufChars.
int VoAddExtensionToPathName(VOCHAR *path, int bufChars, const VOCHAR *extension);
// The file-name part without its extension, cut to outChars - 1. Returns out.
VOCHAR *VoGetFileNameWithoutPathOrExtension(const VOCHAR *path, VOCHAR *out, int outChars);

// The simple, case-sensitive wildcard match described in files/names.cpp.
int VoIsMatchWildCard(const VOCHAR *pattern, const VOCHAR *name);

// The trailing run of whole components that path shares with reference
// (compared without regard to case); the end of path when none.
const VOCHAR *VoGetFileNamePtrRelative(const VOCHAR *reference, const VOCHAR *path);
// path without that shared run, with a trailing separator. E_FAIL when it
// did not fit (out then holds it cut).
HRESULT VoGetBasePathRelative(const VOCHAR *reference, const VOCHAR *path, VOCHAR *out, int outChars);
// newBase + the rest of path when oldBase begins path (case ignored).
// E_FAIL, out empty, when it does not or the result would pass 259 units;
// E_FAIL also when outChars cut it.
HRESULT VoReplaceBasePathRelative(const VOCHAR *path, const VOCHAR *oldBase, const VOCHAR *newBase,
                                  VOCHAR *out, int outChars);

// ---------------------------------------------------------------------------
// System paths.

// The long form of an existing path (GetLongPathNameW's result: the length,
// the size needed, or 0). When that fails or does not fit and the buffers
// differ, longPath receives shortPath cut to longChars - 1. The two buffers
// may be the same.
uint32_t VoGetLongPathName(const VOCHAR *shortPath, VOCHAR *longPath, uint32_t longChars);
// The temp folder in long form with its trailing separator. Returns its
// length, the size needed when buf is too small, or 0 (the buffer then
// holds the system's form when the long-form conversion failed).
uint32_t VoGetTempPath(uint32_t bufChars, VOCHAR *buf);
// A module's file name in long form (null: the running program); length or 0.
uint32_t VoGetModuleFileName(HVOMODULE module, VOCHAR *out, uint32_t outChars);
// A module's folder with trailing separator; length, 0 when it did not fit.
int VoGetModulePath(HVOMODULE module, VOCHAR *out, int outChars);
// The full, long form of a path (GetFullPathNameW's length or size needed;
// the full form stays when the path does not exist). *filePart (when given)
// points at the file name in buffer, or is null when there is none.
uint32_t VoGetFullPathName(const VOCHAR *fileName, uint32_t bufChars, VOCHAR *buffer, VOCHAR **filePart);
// As VoGetFullPathName; 1 when it succeeded and fitted, else 0.
int VoQualifyPath(const VOCHAR *fileName, VOCHAR *out, int outChars);

// ---------------------------------------------------------------------------
// Files and folders on disk.

// True for an existing file that is not hidden; folders and devices do not
// count.
int VoDoesFileExist(const VOCHAR *path);
// The same rule for attributes already read (VO_INVALID_ATTRIBUTES: none).
int VoIsFileAttributes(uint32_t attributes);
// Creates a folder and every missing folder above it below its root; 1 when
// the whole chain exists afterwards. security is a SECURITY_ATTRIBUTES
// pointer on Windows, ignored on POSIX.
int VoCreateDirectory(const VOCHAR *path, void *security);
// 1 when a new file can be created in the existing folder path.
int VoIsDirectoryWritable(const VOCHAR *path);
// Creates a new, empty file named prefix + middle + number + suffix with the
// first n = 1, 2, ... (formatted with numberFormat through VoPrintF, "%d"
// when null) that makes a name not yet taken. Null parts are left out. The
// name is returned in out; on failure out is emptied. E_INVALIDARG when the
// next name does not fit outChars.
HRESULT VoCreateTempFileAndNameEx(const VOCHAR *prefix, const VOCHAR *middle, const VOCHAR *suffix,
                                  const VOCHAR *numberFormat, VOCHAR *out, int outChars);
HRESULT VoCreateTempFileAndName(const VOCHAR *prefix, const VOCHAR *suffix, VOCHAR *out, int outChars);
// Free space available to the caller on the volume of path, in units of
// unit bytes (0: bytes), saturating at 0xFFFFFFFF. 0 when the query fails or
// the path has no root; 0xFFFFFFFF (unknown) when it fails on a UNC root.
uint32_t VoGetDiskFreeSpace(const VOCHAR *path, uint32_t unit);
#ifdef _WIN32
// The free space on the volume of path as a text of the default language
// instance (in 100 KB units), or its "unknown" text when path is empty or
// the space cannot be told. out holds 260 units; longer texts are cut.
// Returns the length written.
int VoFormatDiskFreeSpace(const wchar_t *path, wchar_t *out);
#endif
// Deletes the files matching pattern in folder (and its subfolders with
// recurse), clearing their read-only bit first; folders stay. 1 when every
// deletion succeeded.
int VoDeleteFiles(const VOCHAR *folder, const VOCHAR *pattern, int recurse);
// Deletes everything in folder, and with removeFolder the folder itself.
// 1 when every deletion succeeded.
int VoDeleteDirectoryTree(const VOCHAR *folder, int removeFolder);
// 1 when folder holds nothing (or cannot be searched).
int VoIsDirectoryEmpty(const VOCHAR *folder);
// Sum of the sizes of every file in the tree.
HRESULT VoGetDirectorySize(const VOCHAR *folder, uint64_t *size);
// parent + name, or parent + name + n (n = 1 .. 65535), whichever is first
// not taken by an existing folder. Nothing is created. outChars >= 260.
HRESULT VoGetUniqueSubFolder(const VOCHAR *parent, const VOCHAR *name, VOCHAR *out, int outChars);
// S_OK with the size; 0x8004E007 with 0 when the file cannot be opened.
HRESULT VoGetFileSizeByName(const VOCHAR *path, uint64_t *size);
// 1 when the existing file opens for writing (others may write too).
int VoIsFileWritable(const VOCHAR *path);

// 1 when the open file is a Windows (PE) executable; machine and
// characteristics come from its file header. The file position is 0 after.
int VoIsFileExecutable(HVOFILE file, uint16_t *machine, uint16_t *characteristics);
// The same by path: S_OK, 0x8004E00B when not an executable, the open
// failure as 0x8007xxxx.
HRESULT VoGetFileExecutableInfo(const VOCHAR *path, uint16_t *machine, uint16_t *characteristics);

// ---------------------------------------------------------------------------
// Moving folder trees.

#ifndef VOAPI_CALLBACK
#ifdef _WIN32
#define VOAPI_CALLBACK __stdcall
#else
#define VOAPI_CALLBACK
#endif
#endif
// Progress of a move across volumes: percent done (0 to 100) and the file
// just copied (null for the first call). A negative result stops the move.
typedef HRESULT(VOAPI_CALLBACK *PFNVOMOVEFOLDERPROGRESS)(void *context, double percent, const VOCHAR *path);

// S_OK when every file of the tree opens with delete-sharing only (no one
// else has it open); VO_E_FILES_INUSE for the first that does not.
HRESULT VoCanMoveFolder(const VOCHAR *folder);
// Moves the tree source into destination (created when missing): file by
// file on one volume, by copying and then deleting the source across
// volumes (with callback reporting). *outCount receives the files moved.
// VO_E_FILES_INSIDE when destination lies inside source, VO_E_FILES_NOSPACE
// when the other volume lacks room, VO_E_FILES_CREATE / VO_E_FILES_MOVE
// when the destination cannot be made or written, VO_E_FILES_CANCEL when
// the callback stopped it. Failing files do not stop the walk.
HRESULT VoMoveFolder(const VOCHAR *destination, const VOCHAR *source, uint32_t *outCount,
                     PFNVOMOVEFOLDERPROGRESS callback, void *context);

// ---------------------------------------------------------------------------
// Times and sizes as text.

// Last-write time as DOS date (high word) and time (low word), in local
// time or in UTC; 0 when the file cannot be opened or the date has no DOS
// form (before 1980 or after 2107).
uint32_t VoDosGetDateTime(const VOCHAR *path);
uint32_t VoDosGetDateTimeUTC(const VOCHAR *path);
// The current local time packed into two words: month << 24 | day << 16 |
// year, and hour << 24 | minute << 16 | second << 8 | hundredths. Returns
// the hundredths.
uint32_t VoGetDateTime(uint32_t dateTime[2]);
// A size as "123", "1.50KB", "2.00MB", "1.20GB" (KB = 1024 bytes, MB =
// 1,024,000, GB = 1,024,000,000; locale-shaped numbers). out needs 48 units.
// Returns the length.
int VoGetByteSizeText(int64_t size, VOCHAR *out);
// The same with "123 bytes", "1.50 KB", ...
int VoGetByteSizeText2(int64_t size, VOCHAR *out);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// Windows only: special folders, registry-stored folders, path ellipses.

// The folder CSIDL + "Avel\name\major.minor\" (or "Avel\name\"), created.
HRESULT VoGetSpecialFolderVer(wchar_t *out, int outChars, int csidl, const wchar_t *productName,
                              int major, int minor);
HRESULT VoGetSpecialFolderNoVer(wchar_t *out, int outChars, int csidl, const wchar_t *productName);
// The shared components folder stored in the registry, with backslash.
HRESULT VoGetSharedComponentsFolder(wchar_t *out, int outChars);
// The folder stored for index 0 or 1, else the shared components folder +
// the entry's default subfolder name + backslash.
HRESULT VoGetSpecialAvelFolder(wchar_t *out, int outChars, int index);
HRESULT VoGetSpecialAvelDefaultFolderName(wchar_t *out, int outChars, int index);
HRESULT VoSetSpecialAvelFolder(const wchar_t *path, int index);

// A path shortened to width pixels by replacing the end of its folder part
// with "..." (the file name stays).
int VoCalcPathEllipsisEx(HDC hdc, const wchar_t *path, wchar_t *out, int outChars, int maxWidth);
HRESULT VoCalcPathEllipsisExCtl(HWND window, const wchar_t *path, wchar_t *out, int outChars, int margin);
int VoCalcPathEllipsis(HDC hdc, wchar_t *path, int width);
// A path prepared for a control of the given width: style 0 file name,
// 1 path ellipsis, 2 file name cut at its end, 3 nothing, 4 whole path cut
// at its end.
HRESULT VoFilenameFormat(HDC hdc, int maxWidth, const wchar_t *path, wchar_t *out, int outChars, int style);
HRESULT VoFilenameFormatForCtl(HWND control, const wchar_t *path, wchar_t *out, int outChars, int style);
HRESULT VoFilenameFormatForWidth(HFONT font, int width, const wchar_t *path, wchar_t *out, int outChars,
                                 int style);
#endif

// Result codes of this family.
#define VO_E_FILES_NOSPACE    ((HRESULT)0x8004E002)  // not enough room on the destination volume
#define VO_E_FILES_CREATE     ((HRESULT)0x8004E006)  // the destination folder could not be created
#define VO_E_FILES_OPEN       ((HRESULT)0x8004E007)  // the file could not be opened
#define VO_E_FILES_MOVE       ((HRESULT)0x8004E009)  // not writable, or a move or copy failed
#define VO_E_FILES_NOTEXE     ((HRESULT)0x8004E00B)  // not a Windows executable
#define VO_E_FILES_CANCEL     ((HRESULT)0x8004E00C)  // the progress callback asked to stop
#define VO_E_FILES_REGISTRY   ((HRESULT)0x8004E142)  // a registry value could not be written
#define VO_E_FILES_INUSE      ((HRESULT)0x8004E16E)  // a file of the tree is in use
#define VO_E_FILES_INSIDE     ((HRESULT)0x8004E186)  // the destination lies inside the source
#define VO_S_FILES_NOCONTROL  ((HRESULT)0x0004E001)  // no control given, nothing formatted
