// The file-system face of the platform layer on Windows: thin wrappers of
// the Win32 calls of the same meaning. An HVORAWFILE is the file's HANDLE.
#include "fileio_raw.h"

struct tVOFIND {
    HANDLE handle;
};

namespace {

HANDLE HandleOf(HVORAWFILE file) { return file ? (HANDLE)file : INVALID_HANDLE_VALUE; }

FILETIME ToFileTime(VOFILETIME time)
{
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)time;
    ft.dwHighDateTime = (DWORD)(time >> 32);
    return ft;
}

VOFILETIME FromFileTime(const FILETIME &ft)
{
    return ((VOFILETIME)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

bool IsDotEntry(const wchar_t *name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

void CopyFindData(const WIN32_FIND_DATAW &found, tVOFINDDATA *data)
{
    if (!data) return;
    VoStrCopyN(data->name, found.cFileName, VO_MAX_PATH);
    data->attributes = found.dwFileAttributes;
    data->size = ((uint64_t)found.nFileSizeHigh << 32) | found.nFileSizeLow;
    data->writeTime = FromFileTime(found.ftLastWriteTime);
}

// Finds the next entry that is not "." or "..".
bool SkipDotEntries(HANDLE handle, WIN32_FIND_DATAW *found)
{
    while (IsDotEntry(found->cFileName))
        if (!FindNextFileW(handle, found)) return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Open files.

HVORAWFILE VoRawFileOpen(const VOCHAR *path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t *error)
{
    DWORD desired = ((access & VO_ACCESS_READ) ? GENERIC_READ : 0) |
                    ((access & VO_ACCESS_WRITE) ? GENERIC_WRITE : 0);
    DWORD sharing = ((share & VO_SHARE_READ) ? FILE_SHARE_READ : 0) |
                    ((share & VO_SHARE_WRITE) ? FILE_SHARE_WRITE : 0) |
                    ((share & VO_SHARE_DELETE) ? FILE_SHARE_DELETE : 0);
    DWORD creation = 0;
    switch (disposition) {
    case VO_OPEN_EXISTING: creation = OPEN_EXISTING; break;
    case VO_CREATE_ALWAYS: creation = CREATE_ALWAYS; break;
    case VO_OPEN_ALWAYS: creation = OPEN_ALWAYS; break;
    case VO_CREATE_NEW: creation = CREATE_NEW; break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        if (error) *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    HANDLE handle = CreateFileW(path, desired, sharing, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return nullptr;
    }
    if (error) *error = 0;
    return (HVORAWFILE)handle;
}

void VoRawFileClose(HVORAWFILE file)
{
    if (file) CloseHandle(HandleOf(file));
}

bool VoRawFileRead(HVORAWFILE file, void *buffer, uint32_t size, uint32_t *done)
{
    DWORD n = 0;
    BOOL ok = ReadFile(HandleOf(file), buffer, size, &n, nullptr);
    if (done) *done = ok ? n : 0;
    return ok != FALSE;
}

bool VoRawFileWrite(HVORAWFILE file, const void *buffer, uint32_t size)
{
    const char *p = (const char *)buffer;
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(HandleOf(file), p, size, &n, nullptr)) return false;
        if (n == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

bool VoRawFileSeek(HVORAWFILE file, int64_t position)
{
    LARGE_INTEGER distance;
    distance.QuadPart = position;
    return SetFilePointerEx(HandleOf(file), distance, nullptr, FILE_BEGIN) != FALSE;
}

int64_t VoRawFileTell(HVORAWFILE file)
{
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(HandleOf(file), zero, &position, FILE_CURRENT)) return -1;
    return position.QuadPart;
}

int64_t VoRawFileGetSize(HVORAWFILE file)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(HandleOf(file), &size)) return -1;
    return size.QuadPart;
}

bool VoRawFileLockForRewrite(HVORAWFILE file, const VOCHAR *) { return file != nullptr; }

bool VoRawFileTruncate(HVORAWFILE file)
{
    return SetEndOfFile(HandleOf(file)) != FALSE;
}

bool VoRawFileFlush(HVORAWFILE file)
{
    return FlushFileBuffers(HandleOf(file)) != FALSE;
}

bool VoRawFileGetTimes(HVORAWFILE file, VOFILETIME *creation, VOFILETIME *access, VOFILETIME *write)
{
    FILETIME c, a, w;
    if (!GetFileTime(HandleOf(file), &c, &a, &w)) return false;
    if (creation) *creation = FromFileTime(c);
    if (access) *access = FromFileTime(a);
    if (write) *write = FromFileTime(w);
    return true;
}

bool VoRawFileSetTimes(HVORAWFILE file, const VOFILETIME *creation, const VOFILETIME *access,
                    const VOFILETIME *write)
{
    FILETIME c, a, w;
    if (creation) c = ToFileTime(*creation);
    if (access) a = ToFileTime(*access);
    if (write) w = ToFileTime(*write);
    return SetFileTime(HandleOf(file), creation ? &c : nullptr, access ? &a : nullptr,
                       write ? &w : nullptr) != FALSE;
}

bool VoRawFileSetAttributes(HVORAWFILE file, uint32_t attributes)
{
    // What SetFileAttributesW does after opening the path: zero times are
    // left alone, and the normal bit keeps zero attributes from meaning "no
    // change".
    FILE_BASIC_INFO info = {};
    info.FileAttributes = attributes | FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(HandleOf(file), FileBasicInfo, &info, sizeof info) != FALSE;
}

// ---------------------------------------------------------------------------
// Paths.

uint32_t VoPathGetAttributes(const VOCHAR *path)
{
    return GetFileAttributesW(path);
}

bool VoPathSetAttributes(const VOCHAR *path, uint32_t attributes)
{
    return SetFileAttributesW(path, attributes) != FALSE;
}

bool VoPathSetTimes(const VOCHAR *path, const VOFILETIME *creation, const VOFILETIME *access,
                    const VOFILETIME *write)
{
    // Backup semantics open folders too; a link is changed, not its target.
    HANDLE handle = CreateFileW(path, FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = VoRawFileSetTimes((HVORAWFILE)handle, creation, access, write);
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok) SetLastError(error);
    return ok;
}

bool VoPathIsFolder(const VOCHAR *path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool VoPathCreateFolder(const VOCHAR *path, void *security)
{
    return CreateDirectoryW(path, (LPSECURITY_ATTRIBUTES)security) != FALSE;
}

bool VoPathRemoveFolder(const VOCHAR *path)
{
    return RemoveDirectoryW(path) != FALSE;
}

bool VoPathDeleteFile(const VOCHAR *path)
{
    return DeleteFileW(path) != FALSE;
}

bool VoPathRename(const VOCHAR *from, const VOCHAR *to)
{
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool VoPathNamesEqual(const VOCHAR *a, const VOCHAR *b)
{
    return VoStrCmpI(a, b) == 0;
}

bool VoPathRenameOverHeld(HVOFILE *held, const VOCHAR *from, const VOCHAR *to)
{
    VoFileClose(*held);
    *held = nullptr;
    return VoPathRename(from, to);
}

bool VoPathCopyFile(const VOCHAR *from, const VOCHAR *to, bool failIfExists)
{
    return CopyFileW(from, to, failIfExists ? TRUE : FALSE) != FALSE;
}

bool VoPathGetFreeSpace(const VOCHAR *path, uint64_t *freeBytes)
{
    ULARGE_INTEGER available;
    if (freeBytes) *freeBytes = 0;
    if (!GetDiskFreeSpaceExW(path, &available, nullptr, nullptr)) return false;
    if (freeBytes) *freeBytes = available.QuadPart;
    return true;
}

size_t VoPathGetFull(const VOCHAR *path, VOCHAR *out, size_t size)
{
    if (out && size > 0) out[0] = 0;
    DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) return 0;
    wchar_t *full = (wchar_t *)VoMemAlloc((size_t)needed * sizeof(wchar_t));
    if (!full) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    DWORD length = GetFullPathNameW(path, needed, full, nullptr);
    if (length == 0 || length >= needed) {
        VoMemFree(full);
        return 0;
    }
    VoStrCopyN(out, full, size);
    VoMemFree(full);
    return length;
}

size_t VoPathGetFileSystemName(const VOCHAR *path, VOCHAR *out, size_t size)
{
    if (out && size > 0) out[0] = 0;
    wchar_t root[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (!GetVolumePathNameW(path, root, MAX_PATH + 1)) return 0;
    if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)) return 0;
    size_t length = VoStrLen(name);
    if (length >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return VoStrCopyN(out, name, size);
}

uint32_t VoPathGetTempFolder(VOCHAR *out, uint32_t size)
{
    return GetTempPathW(size, out);
}

size_t VoPathGetModuleFile(HVOMODULE module, VOCHAR *out, size_t size)
{
    if (out && size > 0) out[0] = 0;
    // GetModuleFileNameW cuts without saying how long the name is: grow the
    // buffer until the name fits, up to the longest path Windows knows.
    for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 2) {
        wchar_t *name = (wchar_t *)VoMemAlloc(capacity * sizeof(wchar_t));
        if (!name) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        DWORD length = GetModuleFileNameW(module, name, capacity);
        if (length > 0 && length < capacity) {
            VoStrCopyN(out, name, size);
            VoMemFree(name);
            return length;
        }
        VoMemFree(name);
        if (length == 0) return 0;
    }
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
}

// ---------------------------------------------------------------------------
// Errors and times.

uint32_t VoGetLastError() { return GetLastError(); }

void VoSetLastError(uint32_t error) { SetLastError(error); }

VOFILETIME VoGetSystemTimeAsFileTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return FromFileTime(now);
}

VOFILETIME VoFileTimeToLocal(VOFILETIME utc)
{
    FILETIME in = ToFileTime(utc), local;
    if (!FileTimeToLocalFileTime(&in, &local)) return utc;
    return FromFileTime(local);
}

// ---------------------------------------------------------------------------
// Folder listing.

HVOFIND VoFindFirst(const VOCHAR *folder, tVOFINDDATA *data, const VOCHAR *pattern)
{
    if (!folder) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!pattern) pattern = L"*";
    size_t folderLength = VoStrLen(folder), patternLength = VoStrLen(pattern);
    bool slash = folderLength > 0 && folder[folderLength - 1] != '\\' && folder[folderLength - 1] != '/';
    size_t total = folderLength + (slash ? 1 : 0) + patternLength + 1;
    wchar_t *search = (wchar_t *)VoMemAlloc(total * sizeof(wchar_t));
    HVOFIND find = (HVOFIND)VoMemAlloc(sizeof(tVOFIND));
    if (!search || !find) {
        VoMemFree(search);
        VoMemFree(find);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t n = VoStrCopyN(search, folder, total);
    if (slash) search[n++] = '\\';
    VoStrCopyN(search + n, pattern, total - n);
    WIN32_FIND_DATAW found;
    find->handle = FindFirstFileW(search, &found);
    VoMemFree(search);
    if (find->handle == INVALID_HANDLE_VALUE) {
        VoMemFree(find);
        return nullptr;
    }
    if (!SkipDotEntries(find->handle, &found)) {
        FindClose(find->handle);
        VoMemFree(find);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    CopyFindData(found, data);
    return find;
}

bool VoFindNext(HVOFIND find, tVOFINDDATA *data)
{
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    WIN32_FIND_DATAW found;
    if (!FindNextFileW(find->handle, &found) || !SkipDotEntries(find->handle, &found)) return false;
    CopyFindData(found, data);
    return true;
}

void VoFindClose(HVOFIND find)
{
    if (!find) return;
    FindClose(find->handle);
    VoMemFree(find);
}
