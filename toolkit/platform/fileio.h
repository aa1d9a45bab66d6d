// Files, folders, attributes, times and free space: the platform layer's
// file-system face. Windows uses the Win32 calls of the same meaning; POSIX
// maps them onto open/read/write/stat and friends.
//
// Paths are VOCHAR texts. On Windows they are native; on POSIX the separator
// is "/" (converted to UTF-8 at the system-call boundary only) and there are
// no drive letters.
//
// Attributes use the Windows bit values on both systems. POSIX reports:
// VO_ATTR_DIRECTORY for folders, VO_ATTR_READONLY when the owner may not
// write, VO_ATTR_DEVICE for anything that is neither a regular file nor a
// folder (fifos, sockets, devices) and for symbolic links, which are never
// followed (VO_ATTR_REPARSE is set with it), and VO_ATTR_NORMAL when no other
// bit is set. Other bits are not stored on POSIX.
//
// The read-only bit keeps its Windows meaning on POSIX for every caller,
// the superuser included: a file whose owner may not write is not opened
// for writing, not deleted and not replaced by a rename (ERROR_ACCESS_DENIED);
// clear the bit first. Sharing modes are not enforced on POSIX.
#pragma once

#include "platform.h"

#ifdef _WIN32
#define VO_PATH_SEPARATOR ((VOCHAR)'\\')
#else
#define VO_PATH_SEPARATOR ((VOCHAR)'/')
#endif

#define VO_MAX_PATH 260

#define VO_ATTR_READONLY  0x00000001u
#define VO_ATTR_HIDDEN    0x00000002u
#define VO_ATTR_SYSTEM    0x00000004u
#define VO_ATTR_DIRECTORY 0x00000010u
#define VO_ATTR_ARCHIVE   0x00000020u
#define VO_ATTR_DEVICE    0x00000040u
#define VO_ATTR_NORMAL    0x00000080u
#define VO_ATTR_REPARSE   0x00000400u
#define VO_INVALID_ATTRIBUTES 0xFFFFFFFFu

// 100-ns units since 1601-01-01 UTC (the Windows FILETIME as one number).
typedef uint64_t VOFILETIME;

// An open file. Null means no file.
typedef struct tVOFILE *HVOFILE;

enum VoFileAccess : uint32_t {
    VO_ACCESS_READ = 1,
    VO_ACCESS_WRITE = 2,
};

enum VoFileShare : uint32_t {
    VO_SHARE_NONE = 0,
    VO_SHARE_READ = 1,
    VO_SHARE_WRITE = 2,
    VO_SHARE_DELETE = 4,  // others may delete or rename the open file
};

enum VoFileDisposition : uint32_t {
    VO_OPEN_EXISTING = 1,  // fail when the file does not exist
    VO_CREATE_ALWAYS = 2,  // create, or truncate an existing file
    VO_OPEN_ALWAYS = 3,    // open, or create when missing
    VO_CREATE_NEW = 4,     // create, fail when the file exists
};

// Opens a file; on failure returns null and sets *error (when given) to a
// Win32 error number (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...; POSIX
// errors are mapped onto those numbers). On POSIX a symbolic link as the
// last component is refused, never followed.
HVOFILE VoFileOpen(const VOCHAR *path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t *error = nullptr);
void VoFileClose(HVOFILE file);
// Reads up to size bytes; *done receives the bytes read (0 at the end).
// Returns false on a read error.
bool VoFileRead(HVOFILE file, void *buffer, uint32_t size, uint32_t *done);
// Writes size bytes; returns false unless all were written.
bool VoFileWrite(HVOFILE file, const void *buffer, uint32_t size);
bool VoFileSeek(HVOFILE file, int64_t position);
int64_t VoFileTell(HVOFILE file);      // -1 on failure
int64_t VoFileGetSize(HVOFILE file);   // -1 on failure
bool VoFileTruncate(HVOFILE file);     // ends the file at the current position
// Marks the file opened as path as being rewritten by this process until it
// is closed: false when another process holds that mark, or has just
// replaced the file at path (the open one is then out of date). POSIX
// ignores share modes, so this is an advisory lock (flock) that every
// rewrite takes; on Windows the share modes of the opens already keep a
// second writer out (true).
bool VoFileLockForRewrite(HVOFILE file, const VOCHAR *path);
bool VoFileFlush(HVOFILE file);
// Null pointers leave that time alone. POSIX keeps the last-write time (and
// the access time); the creation time is reported as the last-write time.
bool VoFileGetTimes(HVOFILE file, VOFILETIME *creation, VOFILETIME *access, VOFILETIME *write);
bool VoFileSetTimes(HVOFILE file, const VOFILETIME *creation, const VOFILETIME *access,
                    const VOFILETIME *write);
// The attributes VoPathSetAttributes would set, through a handle opened for
// writing: no second open by name. The handle stays writable.
bool VoFileSetAttributes(HVOFILE file, uint32_t attributes);

// Attributes of a path, VO_INVALID_ATTRIBUTES when it cannot be read.
uint32_t VoPathGetAttributes(const VOCHAR *path);
bool VoPathSetAttributes(const VOCHAR *path, uint32_t attributes);
// Times of a path (file or folder) without opening it for writing.
bool VoPathSetTimes(const VOCHAR *path, const VOFILETIME *creation, const VOFILETIME *access,
                    const VOFILETIME *write);
// True when path names an existing folder. Unlike the attributes, this
// follows a symbolic link on POSIX: a link to a folder counts as a folder.
bool VoPathIsFolder(const VOCHAR *path);
// One folder level; false when it could not be made (also when it exists:
// ERROR_ALREADY_EXISTS). security is a SECURITY_ATTRIBUTES pointer on
// Windows and ignored on POSIX.
bool VoPathCreateFolder(const VOCHAR *path, void *security = nullptr);
bool VoPathRemoveFolder(const VOCHAR *path);  // an empty folder
bool VoPathDeleteFile(const VOCHAR *path);
// True when two path texts name the same file by the rules of the file
// system: case is ignored on Windows, not on POSIX.
bool VoPathNamesEqual(const VOCHAR *a, const VOCHAR *b);
// Renames, replacing an existing target file (on the same volume only).
bool VoPathRename(const VOCHAR *from, const VOCHAR *to);
// VoPathRename of a rewritten copy over the file *held (open at to, locked
// with VoFileLockForRewrite), which is closed and set null either way. On
// POSIX the rename comes first, so the lock covers the replacement and no
// second writer can start from the old file; on Windows an open file cannot
// be replaced, so it is closed first (its share modes kept writers out).
bool VoPathRenameOverHeld(HVOFILE *held, const VOCHAR *from, const VOCHAR *to);
// Copies a file with its contents and last-write time; with failIfExists
// an existing target is an error (ERROR_FILE_EXISTS), else it is replaced.
bool VoPathCopyFile(const VOCHAR *from, const VOCHAR *to, bool failIfExists);
// Free bytes available to the caller on the volume holding path.
bool VoPathGetFreeSpace(const VOCHAR *path, uint64_t *freeBytes);
// The full (absolute) form of a path, made from the text alone ("." and ".."
// folded away; the path need not exist). Returns the length of the full form
// without terminator, 0 on failure; when that length is not below size, out
// holds the form cut to size - 1 units.
size_t VoPathGetFull(const VOCHAR *path, VOCHAR *out, size_t size);
// The file-system name of the volume holding path ("NTFS", "FAT32", ...;
// on POSIX the kernel's name such as "ext4" or "tmpfs"); length or 0.
size_t VoPathGetFileSystemName(const VOCHAR *path, VOCHAR *out, size_t size);

// The folder for temporary files with a trailing separator (GetTempPathW;
// POSIX: $TMPDIR when it is an absolute path, else /tmp). Returns the length
// without terminator; when size is too small, the size needed (terminator
// included) and nothing is written; 0 on failure.
uint32_t VoPathGetTempFolder(VOCHAR *out, uint32_t size);

// A loaded module (HMODULE on Windows); null means the running program.
#ifdef _WIN32
typedef HMODULE HVOMODULE;
#else
typedef void *HVOMODULE;
#endif
// The file name of a module. Returns the length of the whole name without
// terminator, 0 on failure; when it is not below size, out holds the name
// cut to size - 1 units. POSIX knows only the running program.
size_t VoPathGetModuleFile(HVOMODULE module, VOCHAR *out, size_t size);

// The last platform error of this thread as a Win32 error number.
uint32_t VoGetLastError();
void VoSetLastError(uint32_t error);

// The current time as a file time.
VOFILETIME VoGetSystemTimeAsFileTime();
// A file time in UTC turned into local time (with the time zone's offset
// and daylight saving rule in force at that time on POSIX, the current
// bias on Windows as FileTimeToLocalFileTime does).
VOFILETIME VoFileTimeToLocal(VOFILETIME utc);

// Folder listing. VoFindFirst returns null when the folder cannot be read
// or holds nothing that matches; "." and ".." are never returned. pattern
// selects names with "*" and "?" (null: every name). Windows applies its own
// wildcard rules; POSIX matches case-sensitively, "*" any run of units, "?"
// one unit, and "*.*" like "*" matches every name.
struct tVOFINDDATA {
    VOCHAR name[VO_MAX_PATH];
    uint32_t attributes;
    uint64_t size;
    VOFILETIME writeTime;
};
typedef struct tVOFIND *HVOFIND;
HVOFIND VoFindFirst(const VOCHAR *folder, tVOFINDDATA *data, const VOCHAR *pattern = nullptr);
bool VoFindNext(HVOFIND find, tVOFINDDATA *data);
void VoFindClose(HVOFIND find);
