// Folders on disk: existence, creating a chain, deleting by pattern or
// whole trees, emptiness, tree sizes and unique folder names.
//
// The walks build each entry's path in a 260-unit buffer; an entry whose
// path would not fit counts as a failure (deletion) or is left out (size)
// rather than being cut. Folders that are links (reparse points on Windows;
// symbolic links on POSIX, which the listing reports as devices) are never
// walked into: a tree walk stays inside the tree it was given.
#include "files/files_internal.h"

using vofiles::IsSeparator;
using vofiles::JoinPath;

namespace {

const VOCHAR kAllNames[] = {'*', '.', '*', 0};

// A folder that the walks may enter: a real folder, not a link to one.
bool IsWalkableFolder(uint32_t attributes)
{
    return (attributes & VO_ATTR_DIRECTORY) && !(attributes & VO_ATTR_REPARSE);
}

// Appends text to buffer at *length; false when it would not fit.
bool Append(VOCHAR *buffer, int *length, const VOCHAR *text, size_t count)
{
    if ((size_t)*length + count + 1 > VO_MAX_PATH) return false;
    for (size_t i = 0; i < count; ++i) buffer[(*length)++] = text[i];
    buffer[*length] = 0;
    return true;
}

}  // namespace

int VoIsFileAttributes(uint32_t attributes)
{
    const uint32_t kNotAFile = VO_ATTR_DIRECTORY | VO_ATTR_HIDDEN | VO_ATTR_DEVICE;
    return attributes != VO_INVALID_ATTRIBUTES && !(attributes & kNotAFile);
}

int VoDoesFileExist(const VOCHAR *path)
{
    return VoIsFileAttributes(VoPathGetAttributes(path));
}

// Walks the path from its root, component by component, creating each
// folder that does not exist yet. Nothing is created above the root, which
// must exist. An empty component (two separators in a row, or the end of
// the path) ends the walk with what exists so far.
int VoCreateDirectory(const VOCHAR *path, void *security)
{
    VOCHAR buffer[VO_MAX_PATH];
    int length = VoGetRootPathFromFilePath(path, buffer, VO_MAX_PATH);
#ifdef _WIN32
    if (length < 3) return 0;  // no root, or a bare "\"
#else
    if (length < 1) return 0;
#endif
    if (!VoPathIsFolder(buffer)) return 0;
    const VOCHAR *p = path + length;
    for (;;) {
        const VOCHAR *start = p;
        while (*p && !IsSeparator(*p)) ++p;
        if (p == start) break;
        if (!Append(buffer, &length, start, (size_t)(p - start))) {
            VoSetLastError(206);  // ERROR_FILENAME_EXCED_RANGE
            return 0;
        }
        if (!VoPathIsFolder(buffer) && !VoPathCreateFolder(buffer, security)) {
            // Another thread or process may just have made it.
            uint32_t error = VoGetLastError();
            if (!VoPathIsFolder(buffer)) {
                VoSetLastError(error);
                return 0;
            }
        }
        if (!*p) break;
        const VOCHAR separator[1] = {VO_PATH_SEPARATOR};
        if (!Append(buffer, &length, separator, 1)) {
            VoSetLastError(206);
            return 0;
        }
        ++p;
    }
    return 1;
}

int VoDeleteFiles(const VOCHAR *folder, const VOCHAR *pattern, int recurse)
{
    if (!folder) return 0;
    int ok = 1;
    tVOFINDDATA data;
    VOCHAR path[VO_MAX_PATH];
    HVOFIND find = VoFindFirst(folder, &data, pattern ? pattern : kAllNames);
    if (find) {
        do {
            if (data.attributes & VO_ATTR_DIRECTORY) continue;
            if (!JoinPath(path, VO_MAX_PATH, folder, data.name)) {
                ok = 0;
                continue;
            }
            if (data.attributes & VO_ATTR_READONLY)
                VoPathSetAttributes(path, data.attributes & ~VO_ATTR_READONLY);
            if (!VoPathDeleteFile(path)) ok = 0;
        } while (VoFindNext(find, &data));
        VoFindClose(find);
    }
    if (recurse) {
        find = VoFindFirst(folder, &data, kAllNames);
        if (find) {
            do {
                if (!IsWalkableFolder(data.attributes)) continue;
                if (!JoinPath(path, VO_MAX_PATH, folder, data.name) || !VoDeleteFiles(path, pattern, 1))
                    ok = 0;
            } while (VoFindNext(find, &data));
            VoFindClose(find);
        }
    }
    return ok;
}

int VoDeleteDirectoryTree(const VOCHAR *folder, int removeFolder)
{
    if (!folder) return 0;
    int ok = 1;
    tVOFINDDATA data;
    VOCHAR path[VO_MAX_PATH];
    HVOFIND find = VoFindFirst(folder, &data, kAllNames);
    if (find) {
        do {
            if (!JoinPath(path, VO_MAX_PATH, folder, data.name)) {
                ok = 0;
                continue;
            }
            if (data.attributes & VO_ATTR_READONLY) VoPathSetAttributes(path, 0);
            bool done;
            if (IsWalkableFolder(data.attributes))
                done = VoDeleteDirectoryTree(path, 1) != 0;
            else if (data.attributes & VO_ATTR_DIRECTORY)
                done = VoPathRemoveFolder(path);  // a link to a folder: only the link goes
            else
                done = VoPathDeleteFile(path);
            if (!done) ok = 0;
        } while (VoFindNext(find, &data));
        VoFindClose(find);
    }
    if (removeFolder) {
        uint32_t attributes = VoPathGetAttributes(folder);
        if (attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_READONLY))
            VoPathSetAttributes(folder, 0);
        if (!VoPathRemoveFolder(folder)) ok = 0;
    }
    return ok;
}

int VoIsDirectoryEmpty(const VOCHAR *folder)
{
    if (vofiles::BoundedLength(folder, VO_MAX_PATH) < 0) return 0;
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(folder, &data, kAllNames);
    if (!find) return 1;
    VoFindClose(find);
    return 0;
}

HRESULT VoGetDirectorySize(const VOCHAR *folder, uint64_t *size)
{
    if (!size) return E_INVALIDARG;
    *size = 0;
    if (!folder) return S_OK;
    tVOFINDDATA data;
    VOCHAR path[VO_MAX_PATH];
    HVOFIND find = VoFindFirst(folder, &data, kAllNames);
    if (!find) return S_OK;
    HRESULT result = S_OK;
    do {
        if (IsWalkableFolder(data.attributes)) {
            uint64_t below = 0;
            if (!JoinPath(path, VO_MAX_PATH, folder, data.name)) continue;
            result = VoGetDirectorySize(path, &below);
            if (FAILED(result)) break;
            *size += below;
        } else if (!(data.attributes & VO_ATTR_DIRECTORY)) {
            *size += data.size;
        }
    } while (VoFindNext(find, &data));
    VoFindClose(find);
    return result;
}

// Candidates are composed in a 260-unit buffer; a candidate that would be
// longer than 259 units is refused (E_FAIL) instead of being cut to a name
// the caller did not ask for.
HRESULT VoGetUniqueSubFolder(const VOCHAR *parent, const VOCHAR *name, VOCHAR *out, int outChars)
{
    if (!parent || !name || !out || outChars < VO_MAX_PATH) return E_INVALIDARG;
    out[0] = 0;
    VOCHAR base[VO_MAX_PATH];
    VoStrCopyN(base, parent, VO_MAX_PATH);
    int baseLength = VoAddSlashToPathName(base, VO_MAX_PATH);
    if (baseLength == 0) baseLength = (int)VoStrLen(base);
    if (baseLength == 0 || !IsSeparator(base[baseLength - 1])) return E_FAIL;
    if (!Append(base, &baseLength, name, VoStrLen(name))) return E_FAIL;

    VOCHAR candidate[VO_MAX_PATH];
    VoStrCopyN(candidate, base, VO_MAX_PATH);
    for (uint32_t n = 1; VoPathIsFolder(candidate); ++n) {
        if (n >= 65536) return E_FAIL;
        VOCHAR digits[12];
        int count = 0;
        for (uint32_t v = n; v; v /= 10) digits[11 - count++] = (VOCHAR)('0' + v % 10);
        int length = baseLength;
        VoStrCopyN(candidate, base, VO_MAX_PATH);
        if (!Append(candidate, &length, digits + 12 - count, (size_t)count)) return E_FAIL;
    }
    VoStrCopyN(out, candidate, (size_t)outChars);
    return S_OK;
}
