// Moving a folder tree to another place: renamed file by file on one
// volume, copied with progress and then deleted across volumes.
//
// Links to folders inside the source are never walked into (their targets
// lie outside the tree): on one volume the link itself is moved, across
// volumes it is not copied, which counts as a failure so that the source
// is kept.
#include "files/files_internal.h"

using vofiles::FoldCase;
using vofiles::JoinPath;

namespace {

const VOCHAR kAllNames[] = {'*', '.', '*', 0};
const uint64_t kMiB = 1024 * 1024;

struct MoveWalk {
    bool copy;             // across volumes: copy now, delete the source at the end
    uint64_t total;        // bytes of the tree, at least 1
    uint64_t done;         // bytes copied so far
    uint32_t count;        // files moved or copied
    PFNVOMOVEFOLDERPROGRESS callback;
    void *context;
};

bool IsWalkableFolder(uint32_t attributes)
{
    return (attributes & VO_ATTR_DIRECTORY) && !(attributes & VO_ATTR_REPARSE);
}

// Renames, replacing the target; where the system cannot rename across
// devices the file is copied and the original deleted.
bool MoveOneFile(const VOCHAR *from, const VOCHAR *to)
{
#ifdef _WIN32
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
#else
    if (VoPathRename(from, to)) return true;
    const uint32_t kErrorNotSameDevice = 17;
    return VoGetLastError() == kErrorNotSameDevice && VoPathCopyFile(from, to, false) && VoPathDeleteFile(from);
#endif
}

void Record(HRESULT *result, HRESULT failure)
{
    if (SUCCEEDED(*result)) *result = failure;
}

// Walks one source folder into its destination folder. Returns the first
// failure recorded, or VO_E_FILES_CANCEL at once when the callback stops.
HRESULT WalkFolder(const VOCHAR *source, const VOCHAR *destination, MoveWalk *walk)
{
    HRESULT result = S_OK;
    tVOFINDDATA data;
    VOCHAR from[VO_MAX_PATH], to[VO_MAX_PATH];
    HVOFIND find = VoFindFirst(source, &data, kAllNames);
    if (find) {
        do {
            if (!JoinPath(from, VO_MAX_PATH, source, data.name) || !JoinPath(to, VO_MAX_PATH, destination, data.name)) {
                Record(&result, VO_E_FILES_MOVE);
                continue;
            }
            if (IsWalkableFolder(data.attributes)) {
                if (VoAddSlashToPathName(from, VO_MAX_PATH) == 0 || VoAddSlashToPathName(to, VO_MAX_PATH) == 0 ||
                    !(VoPathIsFolder(to) || VoPathCreateFolder(to))) {
                    Record(&result, VO_E_FILES_MOVE);
                    continue;
                }
                HRESULT below = WalkFolder(from, to, walk);
                if (below == VO_E_FILES_CANCEL) {
                    result = below;
                    break;
                }
                if (FAILED(below)) Record(&result, below);
            } else if (!walk->copy) {
                if (MoveOneFile(from, to))
                    ++walk->count;
                else
                    Record(&result, VO_E_FILES_MOVE);
            } else if (data.attributes & (VO_ATTR_DIRECTORY | VO_ATTR_DEVICE)) {
                Record(&result, VO_E_FILES_MOVE);  // a link or device: not copied
            } else if (VoPathCopyFile(from, to, false)) {
                ++walk->count;
                if (walk->callback) {
                    walk->done += data.size;
                    double percent = (double)walk->done * 100.0 / (double)walk->total;
                    if (percent > 100.0) percent = 100.0;
                    if (walk->callback(walk->context, percent, from) < 0) {
                        result = VO_E_FILES_CANCEL;
                        break;
                    }
                }
            } else {
                Record(&result, VO_E_FILES_MOVE);
            }
        } while (VoFindNext(find, &data));
        VoFindClose(find);
    }
    if (!walk->copy && result != VO_E_FILES_CANCEL) VoPathRemoveFolder(source);  // emptied: may go
    return result;
}

// A copy folded to lower case, with a trailing separator; false when it
// does not fit.
bool FoldedFolder(const VOCHAR *path, VOCHAR *out)
{
    if (vofiles::BoundedLength(path, VO_MAX_PATH) < 0) return false;
    VoStrCopyN(out, path, VO_MAX_PATH);
    if (VoAddSlashToPathName(out, VO_MAX_PATH) == 0) return false;
    for (VOCHAR *p = out; *p; ++p) *p = FoldCase(*p);
    return true;
}

bool Contains(const VOCHAR *text, const VOCHAR *part)
{
    size_t textLength = VoStrLen(text), partLength = VoStrLen(part);
    for (size_t i = 0; i + partLength <= textLength; ++i) {
        size_t k = 0;
        while (k < partLength && text[i + k] == part[k]) ++k;
        if (k == partLength) return true;
    }
    return false;
}

HRESULT CheckFolder(const VOCHAR *folder)
{
    tVOFINDDATA data;
    VOCHAR path[VO_MAX_PATH];
    HVOFIND find = VoFindFirst(folder, &data, kAllNames);
    if (!find) return S_OK;
    HRESULT result = S_OK;
    do {
        if (!JoinPath(path, VO_MAX_PATH, folder, data.name)) {
            result = VO_E_FILES_INUSE;
        } else if (IsWalkableFolder(data.attributes)) {
            result = CheckFolder(path);
        } else if (!(data.attributes & (VO_ATTR_DIRECTORY | VO_ATTR_DEVICE))) {
            // Opening with delete-sharing only fails while anyone else has the file open.
            HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_DELETE, VO_OPEN_EXISTING);
            if (file)
                VoFileClose(file);
            else
                result = VO_E_FILES_INUSE;
        }
    } while (SUCCEEDED(result) && VoFindNext(find, &data));
    VoFindClose(find);
    return result;
}

}  // namespace

HRESULT VoCanMoveFolder(const VOCHAR *folder)
{
    if (!folder) return E_INVALIDARG;
    return CheckFolder(folder);
}

HRESULT VoMoveFolder(const VOCHAR *destination, const VOCHAR *source, uint32_t *outCount,
                     PFNVOMOVEFOLDERPROGRESS callback, void *context)
{
    if (outCount) *outCount = 0;
    if (!destination || !source) return E_INVALIDARG;
    if (VoStrCmpI(destination, source) == 0) return S_OK;

    VOCHAR target[VO_MAX_PATH], foldedTarget[VO_MAX_PATH], foldedSource[VO_MAX_PATH];
    if (vofiles::BoundedLength(destination, VO_MAX_PATH) < 0) return E_INVALIDARG;
    VoStrCopyN(target, destination, VO_MAX_PATH);
    if (VoAddSlashToPathName(target, VO_MAX_PATH) == 0) return E_INVALIDARG;
    if (!FoldedFolder(target, foldedTarget) || !FoldedFolder(source, foldedSource)) return E_INVALIDARG;
    if (Contains(foldedTarget, foldedSource)) return VO_E_FILES_INSIDE;

    VOCHAR targetRoot[VO_MAX_PATH], sourceRoot[VO_MAX_PATH];
    if (!VoGetRootPathFromFilePath(target, targetRoot, VO_MAX_PATH) ||
        !VoGetRootPathFromFilePath(source, sourceRoot, VO_MAX_PATH))
        return E_FAIL;
    if (!VoCreateDirectory(target, nullptr)) return VO_E_FILES_CREATE;

    MoveWalk walk = {false, 1, 0, 0, callback, context};
    walk.copy = VoStrCmpI(targetRoot, sourceRoot) != 0;
    if (walk.copy) {
        uint32_t free = VoGetDiskFreeSpace(target, (uint32_t)kMiB);
        uint64_t size = 0;
        HRESULT sized = VoGetDirectorySize(source, &size);
        if (FAILED(sized)) return sized;
        uint64_t needed = size / kMiB + 1;
        if ((double)needed * 1.05 > (double)free) return VO_E_FILES_NOSPACE;
        if (size > 0) walk.total = size;
    }
    if (!VoCreateDirectory(target, nullptr)) return VO_E_FILES_CREATE;
    if (!VoIsDirectoryWritable(target)) return VO_E_FILES_MOVE;
    if (walk.copy && callback) {
        HRESULT answer = callback(context, 0.0, nullptr);
        if (FAILED(answer)) return answer;
    }

    HRESULT result = WalkFolder(source, target, &walk);
    if (walk.copy) {
        if (FAILED(result))
            walk.count = 0;
        else
            VoDeleteDirectoryTree(source, 1);
    }
    if (outCount) *outCount = walk.count;
    return result;
}
