// The file-system face of the platform layer on POSIX systems.
//
// Paths arrive as UTF-16 and are converted to UTF-8 (utf8.h) right before
// each system call; errno values are mapped onto the Win32 error numbers
// the rest of the system understands. Files are always opened with
// O_NOFOLLOW, so a symbolic link as the last component is refused instead of
// being followed, and only regular files are opened.
#ifndef _WIN32

#include "fileio_raw.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>
#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

#include "utf8.h"

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

struct tVORAWFILE {
    int fd;
};

// A folder listing in name order (bytes of the UTF-8 names), not in the
// file system's own order, which differs between two copies of one tree:
// archives made from a listing are then the same wherever the tree lies.
// Only the names are held, a folder's worth at a time.
struct tVOFIND {
    DIR *dir = nullptr;
    VOCHAR pattern[VO_MAX_PATH] = {};
    bool everything = false;
    std::vector<std::string> names;
    size_t next = 0;
};

namespace {

// Win32 error numbers used here.
enum : uint32_t {
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrTooManyOpenFiles = 4,
    kErrAccessDenied = 5,
    kErrInvalidHandle = 6,
    kErrNotEnoughMemory = 8,
    kErrNotSameDevice = 17,
    kErrNoMoreFiles = 18,
    kErrGenFailure = 31,
    kErrSharingViolation = 32,
    kErrNotSupported = 50,
    kErrFileExists = 80,
    kErrInvalidParameter = 87,
    kErrDiskFull = 112,
    kErrInvalidName = 123,
    kErrNegativeSeek = 131,
    kErrDirNotEmpty = 145,
    kErrBusy = 170,
    kErrAlreadyExists = 183,
    kErrFilenameTooLong = 206,
    kErrFileTooLarge = 223,
    kErrDirectory = 267,
    kErrIoDevice = 1117,
    kErrCantResolveFilename = 1921,
};

thread_local uint32_t t_lastError = 0;

const int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970
const uint64_t kUnitsPerSecond = 10000000ULL;     // 100-ns units

uint32_t FromErrno(int error)
{
    switch (error) {
    case 0: return 0;
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES: case EPERM: case EROFS: case EISDIR: return kErrAccessDenied;
    case EEXIST: return kErrFileExists;
    case ENOTEMPTY: return kErrDirNotEmpty;
    case ENOSPC: case EDQUOT: return kErrDiskFull;
    case EMFILE: case ENFILE: return kErrTooManyOpenFiles;
    case ENAMETOOLONG: return kErrFilenameTooLong;
    case ENOMEM: return kErrNotEnoughMemory;
    case EBADF: return kErrInvalidHandle;
    case EXDEV: return kErrNotSameDevice;
    case EINVAL: return kErrInvalidParameter;
    case EBUSY: return kErrBusy;
    case ETXTBSY: return kErrSharingViolation;
    case EFBIG: return kErrFileTooLarge;
    case ELOOP: return kErrCantResolveFilename;
    case EILSEQ: return kErrInvalidName;
    case EIO: return kErrIoDevice;
    case ENOSYS: case EOPNOTSUPP: return kErrNotSupported;
    default: return kErrGenFailure;
    }
}

void SetError(uint32_t error) { t_lastError = error; }

// A UTF-8 copy of a path for one system call.
class NativePath {
public:
    explicit NativePath(const VOCHAR *path)
    {
        m_ok = false;
        m_text[0] = 0;
        if (!path) {
            SetError(kErrInvalidParameter);
            return;
        }
        if (VoUtf16ToUtf8(path, m_text, sizeof m_text) >= sizeof m_text) {
            SetError(kErrFilenameTooLong);
            return;
        }
        m_ok = true;
    }
    bool ok() const { return m_ok; }
    const char *c_str() const { return m_text; }

private:
    char m_text[PATH_MAX];
    bool m_ok;
};

// ENOENT means a missing file when the folder above exists (2) and a missing
// folder on the way otherwise (3), as Windows tells the two apart.
uint32_t MissingError(const char *path)
{
    const char *slash = strrchr(path, '/');
    if (!slash) return kErrFileNotFound;
    char parent[PATH_MAX];
    size_t length = slash == path ? 1 : (size_t)(slash - path);
    memcpy(parent, path, length);
    parent[length] = 0;
    struct stat st;
    return stat(parent, &st) == 0 && S_ISDIR(st.st_mode) ? kErrFileNotFound : kErrPathNotFound;
}

void SetErrorFromErrno(int error, const char *path)
{
    SetError(error == ENOENT && path ? MissingError(path) : FromErrno(error));
}

bool IsReadOnlyMode(mode_t mode) { return (mode & S_IWUSR) == 0; }

// True when path names a regular file or folder whose read-only bit is set;
// such an object is neither written, deleted nor replaced.
bool IsProtected(const char *path)
{
    struct stat st;
    if (lstat(path, &st) != 0) return false;
    return (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) && IsReadOnlyMode(st.st_mode);
}

VOFILETIME ToFileTime(const struct timespec &ts)
{
    if (ts.tv_sec < -kEpochDifference) return 0;
    uint64_t seconds = (uint64_t)((int64_t)ts.tv_sec + kEpochDifference);
    if (seconds >= UINT64_MAX / kUnitsPerSecond) return UINT64_MAX;
    return seconds * kUnitsPerSecond + (uint64_t)ts.tv_nsec / 100;
}

struct timespec FromFileTime(VOFILETIME time)
{
    struct timespec ts;
    ts.tv_sec = (time_t)((int64_t)(time / kUnitsPerSecond) - kEpochDifference);
    ts.tv_nsec = (long)(time % kUnitsPerSecond) * 100;
    return ts;
}

// The mode that gives a file or folder the read-only attribute, or takes it
// away: read-only means the owner may not write.
mode_t ModeWithAttributes(mode_t mode, uint32_t attributes)
{
    mode &= 07777;
    if (attributes & VO_ATTR_READONLY) return mode & (mode_t)~(S_IWUSR | S_IWGRP | S_IWOTH);
    return mode | S_IWUSR;
}

// The two-entry array futimens and utimensat take; a null time is left alone.
void MakeTimes(const VOFILETIME *access, const VOFILETIME *write, struct timespec times[2])
{
    times[0].tv_sec = times[1].tv_sec = 0;
    times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    if (access) times[0] = FromFileTime(*access);
    if (write) times[1] = FromFileTime(*write);
}

uint32_t AttributesOf(const struct stat &st)
{
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) {
        attributes = VO_ATTR_DIRECTORY;
    } else if (S_ISLNK(st.st_mode)) {
        attributes = VO_ATTR_DEVICE | VO_ATTR_REPARSE;
    } else if (!S_ISREG(st.st_mode)) {
        attributes = VO_ATTR_DEVICE;
    }
    if ((S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)) && IsReadOnlyMode(st.st_mode))
        attributes |= VO_ATTR_READONLY;
    return attributes ? attributes : VO_ATTR_NORMAL;
}

// Case-sensitive wildcard match of a whole name: "*" any run, "?" one unit.
bool MatchPattern(const VOCHAR *pattern, const VOCHAR *name)
{
    const VOCHAR *starPattern = nullptr, *starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

// Reads every name of the folder but "." and "..", sorted.
bool ReadNames(HVOFIND find)
{
    for (;;) {
        errno = 0;
        struct dirent *entry = readdir(find->dir);
        if (!entry) break;
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        try {
            find->names.emplace_back(name);
        } catch (const std::bad_alloc &) {
            SetError(kErrNotEnoughMemory);
            return false;
        }
    }
    if (errno) {
        SetError(FromErrno(errno));
        return false;
    }
    std::sort(find->names.begin(), find->names.end());
    return true;
}

bool ReadEntry(HVOFIND find, tVOFINDDATA *data)
{
    while (find->next < find->names.size()) {
        const char *name = find->names[find->next++].c_str();
        tVOFINDDATA found;
        if (VoUtf8ToUtf16(name, found.name, VO_MAX_PATH) >= VO_MAX_PATH) continue;
        if (!find->everything && !MatchPattern(find->pattern, found.name)) continue;
        struct stat st;
        if (fstatat(dirfd(find->dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
        found.attributes = AttributesOf(st);
        found.size = S_ISREG(st.st_mode) ? (uint64_t)st.st_size : 0;
        found.writeTime = ToFileTime(st.st_mtim);
        if (data) *data = found;
        return true;
    }
    SetError(kErrNoMoreFiles);
    return false;
}

struct FileSystemType {
    unsigned long magic;
    const char *name;
};

// Kernel magic numbers of the common file systems. FAT volumes of every
// kind report one number; they are named "FAT32" because that is the limit
// (4 GiB per file) callers care about.
const FileSystemType kFileSystems[] = {
    {0xEF53, "ext4"},          {0x01021994, "tmpfs"},    {0x9123683E, "btrfs"},
    {0x58465342, "xfs"},       {0x794C7630, "overlay"},  {0x6969, "nfs"},
    {0x4D44, "FAT32"},         {0x2011BAB0, "exFAT"},    {0x5346544E, "NTFS"},
    {0x65735546, "fuseblk"},   {0x2FC12FC1, "zfs"},      {0xF2F52010, "f2fs"},
    {0x01021997, "9p"},        {0x73717368, "squashfs"}, {0x858458F6, "ramfs"},
    {0x3153464A, "jfs"},       {0x52654973, "reiserfs"}, {0xFF534D42, "cifs"},
    {0xFE534D42, "smb2"},      {0x9FA0, "proc"},         {0x62656572, "sysfs"},
};

}  // namespace

// ---------------------------------------------------------------------------
// Open files.

HVORAWFILE VoRawFileOpen(const VOCHAR *path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t *error)
{
    HVORAWFILE file = nullptr;
    uint32_t failure = 0;
    NativePath native(path);
    int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    bool writes = (access & VO_ACCESS_WRITE) != 0;
    flags |= writes ? ((access & VO_ACCESS_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case VO_OPEN_EXISTING: break;
    case VO_CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; writes = true; break;
    case VO_OPEN_ALWAYS: flags |= O_CREAT; break;
    case VO_CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    default: failure = kErrInvalidParameter; break;
    }
    if (!native.ok()) {
        failure = VoGetLastError();
    } else if (!failure && writes && IsProtected(native.c_str())) {
        failure = kErrAccessDenied;
    } else if (!failure) {
        int fd;
        do fd = open(native.c_str(), flags, 0666);
        while (fd < 0 && errno == EINTR);
        struct stat st;
        if (fd < 0) {
            // O_NOFOLLOW reports a link as the last component with ELOOP.
            failure = errno == ELOOP ? kErrAccessDenied
                      : errno == ENOENT ? MissingError(native.c_str()) : FromErrno(errno);
        } else if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            failure = kErrAccessDenied;  // folders, devices, fifos, sockets
            close(fd);
        } else {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            file = (HVORAWFILE)VoMemAlloc(sizeof(tVORAWFILE));
            if (file) {
                file->fd = fd;
            } else {
                failure = kErrNotEnoughMemory;
                close(fd);
            }
        }
    }
    (void)share;
    SetError(failure);
    if (error) *error = failure;
    return file;
}

void VoRawFileClose(HVORAWFILE file)
{
    if (!file) return;
    close(file->fd);
    VoMemFree(file);
}

bool VoRawFileRead(HVORAWFILE file, void *buffer, uint32_t size, uint32_t *done)
{
    if (done) *done = 0;
    if (!file) {
        SetError(kErrInvalidHandle);
        return false;
    }
    ssize_t n;
    do n = read(file->fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetError(FromErrno(errno));
        return false;
    }
    if (done) *done = (uint32_t)n;
    return true;
}

bool VoRawFileWrite(HVORAWFILE file, const void *buffer, uint32_t size)
{
    if (!file) {
        SetError(kErrInvalidHandle);
        return false;
    }
    const char *p = (const char *)buffer;
    while (size > 0) {
        ssize_t n = write(file->fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetError(n < 0 ? FromErrno(errno) : kErrDiskFull);
            return false;
        }
        p += n;
        size -= (uint32_t)n;
    }
    return true;
}

bool VoRawFileSeek(HVORAWFILE file, int64_t position)
{
    if (!file) {
        SetError(kErrInvalidHandle);
        return false;
    }
    if (position < 0) {
        SetError(kErrNegativeSeek);
        return false;
    }
    if (lseek(file->fd, (off_t)position, SEEK_SET) < 0) {
        SetError(FromErrno(errno));
        return false;
    }
    return true;
}

int64_t VoRawFileTell(HVORAWFILE file)
{
    if (!file) {
        SetError(kErrInvalidHandle);
        return -1;
    }
    off_t position = lseek(file->fd, 0, SEEK_CUR);
    if (position < 0) SetError(FromErrno(errno));
    return position < 0 ? -1 : (int64_t)position;
}

int64_t VoRawFileGetSize(HVORAWFILE file)
{
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) {
        SetError(file ? FromErrno(errno) : kErrInvalidHandle);
        return -1;
    }
    return (int64_t)st.st_size;
}

bool VoRawFileLockForRewrite(HVORAWFILE file, const VOCHAR *path)
{
    NativePath native(path);
    if (!file || !native.ok()) {
        SetError(kErrInvalidHandle);
        return false;
    }
    if (flock(file->fd, LOCK_EX | LOCK_NB) != 0) {
        SetError(errno == EWOULDBLOCK ? kErrSharingViolation : FromErrno(errno));
        return false;
    }
    // A rewrite that ended between our open and our lock has put a new file
    // at path: the one open here is the old one, and rewriting it would
    // lose that change.
    struct stat open, named;
    if (fstat(file->fd, &open) == 0 && stat(native.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
        open.st_ino == named.st_ino)
        return true;
    flock(file->fd, LOCK_UN);
    SetError(kErrSharingViolation);
    return false;
}

bool VoRawFileTruncate(HVORAWFILE file)
{
    if (!file) {
        SetError(kErrInvalidHandle);
        return false;
    }
    off_t position = lseek(file->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(file->fd, position) != 0) {
        SetError(FromErrno(errno));
        return false;
    }
    return true;
}

bool VoRawFileFlush(HVORAWFILE file)
{
    if (!file || fsync(file->fd) != 0) {
        SetError(file ? FromErrno(errno) : kErrInvalidHandle);
        return false;
    }
    return true;
}

bool VoRawFileGetTimes(HVORAWFILE file, VOFILETIME *creation, VOFILETIME *access, VOFILETIME *write)
{
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) {
        SetError(file ? FromErrno(errno) : kErrInvalidHandle);
        return false;
    }
    if (creation) *creation = ToFileTime(st.st_mtim);
    if (access) *access = ToFileTime(st.st_atim);
    if (write) *write = ToFileTime(st.st_mtim);
    return true;
}

bool VoRawFileSetTimes(HVORAWFILE file, const VOFILETIME *creation, const VOFILETIME *access,
                    const VOFILETIME *write)
{
    (void)creation;  // POSIX keeps no creation time
    if (!file) {
        SetError(kErrInvalidHandle);
        return false;
    }
    if (!access && !write) return true;
    struct timespec times[2];
    MakeTimes(access, write, times);
    if (futimens(file->fd, times) != 0) {
        SetError(FromErrno(errno));
        return false;
    }
    return true;
}

bool VoRawFileSetAttributes(HVORAWFILE file, uint32_t attributes)
{
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) {
        SetError(file ? FromErrno(errno) : kErrInvalidHandle);
        return false;
    }
    mode_t mode = ModeWithAttributes(st.st_mode, attributes);
    if (mode != (st.st_mode & 07777) && fchmod(file->fd, mode) != 0) {
        SetError(FromErrno(errno));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Paths.

uint32_t VoPathGetAttributes(const VOCHAR *path)
{
    NativePath native(path);
    struct stat st;
    if (!native.ok()) return VO_INVALID_ATTRIBUTES;
    if (lstat(native.c_str(), &st) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return VO_INVALID_ATTRIBUTES;
    }
    return AttributesOf(st);
}

bool VoPathSetAttributes(const VOCHAR *path, uint32_t attributes)
{
    NativePath native(path);
    struct stat st;
    if (!native.ok()) return false;
    if (lstat(native.c_str(), &st) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        SetError(kErrAccessDenied);  // a link's own mode cannot be set
        return false;
    }
    mode_t mode = ModeWithAttributes(st.st_mode, attributes);
    if (mode != (st.st_mode & 07777) && fchmodat(AT_FDCWD, native.c_str(), mode, 0) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    return true;
}

bool VoPathSetTimes(const VOCHAR *path, const VOFILETIME *creation, const VOFILETIME *access,
                    const VOFILETIME *write)
{
    (void)creation;
    NativePath native(path);
    if (!native.ok()) return false;
    struct timespec times[2];
    MakeTimes(access, write, times);
    if (utimensat(AT_FDCWD, native.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    return true;
}

bool VoPathIsFolder(const VOCHAR *path)
{
    NativePath native(path);
    struct stat st;
    return native.ok() && stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool VoPathCreateFolder(const VOCHAR *path, void *security)
{
    (void)security;
    NativePath native(path);
    if (!native.ok()) return false;
    if (mkdir(native.c_str(), 0777) != 0) {
        if (errno == EEXIST)
            SetError(kErrAlreadyExists);  // CreateDirectoryW's number for it
        else
            SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    return true;
}

bool VoPathRemoveFolder(const VOCHAR *path)
{
    NativePath native(path);
    if (!native.ok()) return false;
    struct stat st;
    if (lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && IsReadOnlyMode(st.st_mode)) {
        SetError(kErrAccessDenied);
        return false;
    }
    if (rmdir(native.c_str()) != 0) {
        int error = errno;
        SetError(error == ENOTEMPTY || error == EEXIST ? kErrDirNotEmpty
                 : error == ENOTDIR && lstat(native.c_str(), &st) == 0 ? kErrDirectory
                 : error == ENOENT ? MissingError(native.c_str()) : FromErrno(error));
        return false;
    }
    return true;
}

bool VoPathDeleteFile(const VOCHAR *path)
{
    NativePath native(path);
    if (!native.ok()) return false;
    struct stat st;
    if (lstat(native.c_str(), &st) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnlyMode(st.st_mode))) {
        SetError(kErrAccessDenied);
        return false;
    }
    if (unlink(native.c_str()) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    return true;
}

bool VoPathNamesEqual(const VOCHAR *a, const VOCHAR *b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool VoPathRenameOverHeld(HVOFILE *held, const VOCHAR *from, const VOCHAR *to)
{
    bool renamed = VoPathRename(from, to);
    uint32_t error = VoGetLastError();
    VoFileClose(*held);
    *held = nullptr;
    if (!renamed) VoSetLastError(error);
    return renamed;
}

bool VoPathRename(const VOCHAR *from, const VOCHAR *to)
{
    NativePath source(from), target(to);
    if (!source.ok() || !target.ok()) return false;
    struct stat st;
    if (lstat(target.c_str(), &st) == 0 &&
        (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnlyMode(st.st_mode))) &&
        strcmp(source.c_str(), target.c_str()) != 0) {
        SetError(kErrAccessDenied);  // folders and read-only files are never replaced
        return false;
    }
    if (rename(source.c_str(), target.c_str()) != 0) {
        SetErrorFromErrno(errno, source.c_str());
        return false;
    }
    return true;
}

bool VoPathCopyFile(const VOCHAR *from, const VOCHAR *to, bool failIfExists)
{
    const uint32_t kChunk = 256 * 1024;
    HVOFILE source = VoFileOpen(from, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!source) return false;
    VOFILETIME writeTime = 0;
    bool ok = VoFileGetTimes(source, nullptr, nullptr, &writeTime);
    HVOFILE target = nullptr;
    if (ok) target = VoFileOpen(to, VO_ACCESS_WRITE, VO_SHARE_NONE,
                                failIfExists ? VO_CREATE_NEW : VO_CREATE_ALWAYS);
    ok = target != nullptr;
    void *buffer = ok ? VoMemAlloc(kChunk) : nullptr;
    if (ok && !buffer) {
        SetError(kErrNotEnoughMemory);
        ok = false;
    }
    while (ok) {
        uint32_t done = 0;
        ok = VoFileRead(source, buffer, kChunk, &done);
        if (!ok || done == 0) break;
        ok = VoFileWrite(target, buffer, done);
    }
    VoMemFree(buffer);
    if (ok) ok = VoFileSetTimes(target, nullptr, nullptr, &writeTime);
    uint32_t error = VoGetLastError();
    VoFileClose(source);
    if (target) {
        VoFileClose(target);
        if (!ok) VoPathDeleteFile(to);
    }
    if (ok) {
        uint32_t attributes = VoPathGetAttributes(from);
        if (attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_READONLY))
            VoPathSetAttributes(to, VO_ATTR_READONLY);
    }
    SetError(ok ? 0 : error);
    return ok;
}

bool VoPathGetFreeSpace(const VOCHAR *path, uint64_t *freeBytes)
{
    if (freeBytes) *freeBytes = 0;
    NativePath native(path);
    if (!native.ok()) return false;
    struct statvfs vfs;
    if (statvfs(native.c_str(), &vfs) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return false;
    }
    if (freeBytes) *freeBytes = (uint64_t)vfs.f_bavail * (uint64_t)vfs.f_frsize;
    return true;
}

size_t VoPathGetFull(const VOCHAR *path, VOCHAR *out, size_t size)
{
    if (out && size > 0) out[0] = 0;
    if (!path || !path[0]) {
        SetError(path ? kErrInvalidName : kErrInvalidParameter);
        return 0;
    }
    // The combined text: the current folder in front of a relative path.
    VOCHAR *cwd = nullptr;
    size_t cwdLength = 0;
    if (path[0] != '/') {
        char native[PATH_MAX];
        if (!getcwd(native, sizeof native)) {
            SetError(FromErrno(errno));
            return 0;
        }
        cwdLength = VoUtf8ToUtf16(native, nullptr, 0);
        cwd = (VOCHAR *)VoMemAlloc((cwdLength + 1) * sizeof(VOCHAR));
        if (!cwd) {
            SetError(kErrNotEnoughMemory);
            return 0;
        }
        VoUtf8ToUtf16(native, cwd, cwdLength + 1);
    }
    size_t pathLength = VoStrLen(path);
    size_t capacity = cwdLength + pathLength + 3;
    VOCHAR *full = (VOCHAR *)VoMemAlloc(capacity * sizeof(VOCHAR));
    if (!full) {
        VoMemFree(cwd);
        SetError(kErrNotEnoughMemory);
        return 0;
    }
    // Walk the components of cwd and path in turn, folding "." and "..".
    size_t length = 0;
    full[length++] = '/';
    const VOCHAR *parts[2] = {cwd, path};
    for (const VOCHAR *part : parts) {
        if (!part) continue;
        const VOCHAR *p = part;
        while (*p) {
            while (*p == '/') ++p;
            const VOCHAR *start = p;
            while (*p && *p != '/') ++p;
            size_t n = (size_t)(p - start);
            if (n == 0 || (n == 1 && start[0] == '.')) continue;
            if (n == 2 && start[0] == '.' && start[1] == '.') {
                // Drop the last component; the root stays.
                if (length > 1) {
                    --length;  // its trailing "/"
                    while (length > 1 && full[length - 1] != '/') --length;
                }
                continue;
            }
            for (size_t i = 0; i < n; ++i) full[length++] = start[i];
            full[length++] = '/';
        }
    }
    // A trailing separator stays only when the path itself ended in one.
    if (length > 1 && path[pathLength - 1] != '/') --length;
    full[length] = 0;
    VoStrCopyN(out, full, size);
    VoMemFree(full);
    VoMemFree(cwd);
    return length;
}

size_t VoPathGetFileSystemName(const VOCHAR *path, VOCHAR *out, size_t size)
{
    if (out && size > 0) out[0] = 0;
    NativePath native(path);
    if (!native.ok()) return 0;
    const char *name = "unknown";
#ifdef __linux__
    struct statfs fs;
    if (statfs(native.c_str(), &fs) != 0) {
        SetErrorFromErrno(errno, native.c_str());
        return 0;
    }
    for (const FileSystemType &type : kFileSystems)
        if ((unsigned long)(uint32_t)fs.f_type == type.magic) name = type.name;
#else
    (void)kFileSystems;
#endif
    size_t length = strlen(name);
    if (length >= size) {
        SetError(kErrInvalidParameter);
        return 0;
    }
    return VoAsciiToText(out, name, size);
}

uint32_t VoPathGetTempFolder(VOCHAR *out, uint32_t size)
{
    const char *folder = getenv("TMPDIR");
    if (!folder || folder[0] != '/') folder = "/tmp";
    size_t length = VoUtf8ToUtf16(folder, nullptr, 0);
    bool slash = folder[strlen(folder) - 1] != '/';
    size_t needed = length + (slash ? 1 : 0);
    if (!out || needed + 1 > size) return (uint32_t)(needed + 1);
    VoUtf8ToUtf16(folder, out, size);
    if (slash) {
        out[length] = '/';
        out[length + 1] = 0;
    }
    return (uint32_t)needed;
}

size_t VoPathGetModuleFile(HVOMODULE module, VOCHAR *out, size_t size)
{
    if (out && size > 0) out[0] = 0;
    if (module) {
        SetError(kErrInvalidHandle);
        return 0;
    }
    char native[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", native, sizeof native - 1);
    if (n <= 0) {
        SetError(n < 0 ? FromErrno(errno) : kErrFileNotFound);
        return 0;
    }
    native[n] = 0;
    return VoUtf8ToUtf16(native, out, size);
}

// ---------------------------------------------------------------------------
// Errors and times.

uint32_t VoGetLastError() { return t_lastError; }

void VoSetLastError(uint32_t error) { t_lastError = error; }

VOFILETIME VoGetSystemTimeAsFileTime()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return ToFileTime(now);
}

VOFILETIME VoFileTimeToLocal(VOFILETIME utc)
{
    time_t seconds = FromFileTime(utc).tv_sec;
    struct tm local;
    if (!localtime_r(&seconds, &local)) return utc;
    int64_t offset = (int64_t)local.tm_gmtoff * (int64_t)kUnitsPerSecond;
    if (offset < 0 && (uint64_t)-offset > utc) return 0;
    return (VOFILETIME)((int64_t)utc + offset);
}

// ---------------------------------------------------------------------------
// Folder listing.

HVOFIND VoFindFirst(const VOCHAR *folder, tVOFINDDATA *data, const VOCHAR *pattern)
{
    NativePath native(folder);
    if (!native.ok()) return nullptr;
    if (pattern && VoStrLen(pattern) >= VO_MAX_PATH) {
        SetError(kErrFilenameTooLong);
        return nullptr;
    }
    HVOFIND find = new (std::nothrow) tVOFIND;
    if (!find) {
        SetError(kErrNotEnoughMemory);
        return nullptr;
    }
    static const VOCHAR kAll[] = {'*', '.', '*', 0};
    find->everything = !pattern || VoStrCmpI(pattern, kAll) == 0 ||
                       (pattern[0] == '*' && pattern[1] == 0);
    VoStrCopyN(find->pattern, pattern, VO_MAX_PATH);
    find->dir = opendir(native.c_str());
    if (!find->dir) {
        SetErrorFromErrno(errno, native.c_str());
        delete find;
        return nullptr;
    }
    if (!ReadNames(find) || !ReadEntry(find, data)) {
        uint32_t error = VoGetLastError();
        VoFindClose(find);
        SetError(error == kErrNoMoreFiles ? kErrFileNotFound : error);
        return nullptr;
    }
    return find;
}

bool VoFindNext(HVOFIND find, tVOFINDDATA *data)
{
    if (!find) {
        SetError(kErrInvalidHandle);
        return false;
    }
    return ReadEntry(find, data);
}

void VoFindClose(HVOFIND find)
{
    if (!find) return;
    if (find->dir) closedir(find->dir);
    delete find;
}

#endif  // !_WIN32
