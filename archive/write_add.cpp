// CArchive2: adding files, folders and patterns, stored or deflated.
#include <cstring>
#include <zlib.h>

#include "archive/archive.h"
#include "archive/deflate_stream.h"
#include "archive/entry_item.h"
#include "archive/names.h"
#include "archive/work_buffers.h"
#include "files/files.h"

// What an add takes, summed while the source is walked: bytes of files and
// the number of entries, with an optional visit of each file.
struct ArcAddTally {
    uint64_t size = 0;
    uint32_t count = 0;
    ArcAddVisitor visit = nullptr;
    void *context = nullptr;
};

namespace {

// The archive name of a file-system path: the path without its base part,
// with "\" as separator, below the archive folder prefix when one is given.
void MakeEntryName(const VOCHAR *path, size_t baseLength, VOCHAR *name, const VOCHAR *prefix = nullptr)
{
    size_t length = VoStrLen(path);
    const VOCHAR *relative = baseLength <= length ? path + baseLength : path + length;
    size_t n = 0;
    for (; prefix && prefix[n] && n < ARC_MAX_NAME; ++n) name[n] = prefix[n];
    if (n > 0 && n < ARC_MAX_NAME) name[n++] = '\\';
    for (size_t i = 0; relative[i] && n < ARC_MAX_NAME; ++i, ++n)
        name[n] = relative[i] == VO_PATH_SEPARATOR ? (VOCHAR)'\\' : relative[i];
    name[n] = 0;
}

bool IsFolder(uint32_t attributes)
{
    return attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_DIRECTORY) && !(attributes & VO_ATTR_REPARSE);
}

bool IsPlainFile(uint32_t attributes)
{
    return attributes != VO_INVALID_ATTRIBUTES &&
           !(attributes & (VO_ATTR_DIRECTORY | VO_ATTR_DEVICE | VO_ATTR_REPARSE));
}

bool HasStar(const VOCHAR *text)
{
    for (; *text; ++text)
        if (*text == '*') return true;
    return false;
}

// Joins folder and name with one separator; false when it does not fit.
bool JoinPath(const VOCHAR *folder, const VOCHAR *name, VOCHAR *out)
{
    size_t n = VoStrCopyN(out, folder, ARC_TEXT_UNITS);
    if (n > 0 && out[n - 1] != VO_PATH_SEPARATOR) {
        if (n + 1 >= ARC_TEXT_UNITS) return false;
        out[n++] = VO_PATH_SEPARATOR;
        out[n] = 0;
    }
    size_t m = VoStrLen(name);
    if (n + m >= ARC_TEXT_UNITS) return false;
    VoStrCopyN(out + n, name, ARC_TEXT_UNITS - n);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry items

HRESULT CArchive2::WriteEntryHeader(ArcEntryItem *item, const char *operation)
{
    item->header.signature = ARC_LOCAL_SIGNATURE;
    item->header.nameLength = (uint32_t)VoStrLen(item->name);
    item->headerOffset = m_outputPosition;
    uint8_t bytes[ARC_LOCAL_HEADER_SIZE + 2 * ARC_TEXT_UNITS];
    ArcEncodeLocalHeader(&item->header, bytes);
    for (uint32_t i = 0; i < item->header.nameLength; ++i) {
        bytes[ARC_LOCAL_HEADER_SIZE + 2 * i] = (uint8_t)item->name[i];
        bytes[ARC_LOCAL_HEADER_SIZE + 2 * i + 1] = (uint8_t)(item->name[i] >> 8);
    }
    return WriteOutput(bytes, ARC_LOCAL_HEADER_SIZE + 2 * item->header.nameLength, operation);
}

HRESULT CArchive2::InsertEntryItem(const ArcEntryItem *item)
{
    HRESULT hr = VoList_AllocAndInsertItem(m_entryList, item, (int)ArcEntryItemSize(item), -1, nullptr);
    if (FAILED(hr)) return hr;
    ++m_entriesWritten;
    return S_OK;
}

// True when the file or folder at path is what the entry holds: a folder
// for a folder entry, else a file of the entry's size and time.
bool CArchive2::IsSameAsEntry(const VOCHAR *path, const ArcDirectoryRecord &record) const
{
    if (record.attributes & ARC_ATTR_FOLDER) return IsFolder(VoPathGetAttributes(path));
    HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!file) return false;
    VOFILETIME time = 0;
    int64_t size = VoFileGetSize(file);
    bool timed = VoFileGetTimes(file, nullptr, nullptr, &time);
    VoFileClose(file);
    if (m_latestTime && time > m_latestTime) time = m_latestTime;
    return timed && size >= 0 && (uint64_t)size == record.uncompressedSize && time == record.fileTime;
}

// In append mode an entry of the same name already in the archive is
// asked about; *keepOld tells that the user chose to keep it (or, under
// ARC_ADD_SKIPSAME, that the file is the same as the entry).
HRESULT CArchive2::AskReplaceEntry(const VOCHAR *name, const VOCHAR *path, bool *keepOld)
{
    *keepOld = false;
    bool skipSame = (m_addFlags & ARC_ADD_SKIPSAME) != 0;
    bool ask = !(m_addFlags & ARC_ADD_REPLACE) && m_progress;
    if (m_mode != ARC_OPEN_APPEND || (!skipSame && !ask)) return S_OK;
    ArcDirectoryEntry existing;
    if (FindEntryByName(name, &existing) != S_OK) return S_OK;
    *keepOld = skipSame && IsSameAsEntry(path, existing.record);
    if (*keepOld || !ask) return S_OK;
    HRESULT answer = AskOverwrite(name);
    if (answer == 1) *keepOld = true;
    return answer < 0 ? answer : S_OK;
}

// Under ARC_ADD_WINDOWSNAMES: true (after reporting it) when the entry name
// is one Windows cannot hold, or one added before but for letter case.
bool CArchive2::RefuseAddName(const VOCHAR *name, const VOCHAR *path, const char *operation)
{
    if (!(m_addFlags & ARC_ADD_WINDOWSNAMES)) return false;
    uint32_t diagnostic = 0;
    bool posixName = VO_PATH_SEPARATOR != '\\' && ArcFileNameProblem(VoGetFileNamePtrW(path));
    if (ArcWindowsNameProblem(name) || posixName) diagnostic = ARC_ERR_BADNAME;
    else if (!m_addedNames.insert(name).second) diagnostic = ARC_ERR_DUPLICATE;
    if (!diagnostic) return false;
    ++m_refusedNames;
    ReportError(diagnostic, operation, path);
    return true;
}

// ---------------------------------------------------------------------------
// Files

// Opens a file to add and reads its size and time into the item's header.
HRESULT CArchive2::OpenAddFile(const VOCHAR *path, ArcEntryItem *item, HVOFILE *file, const char *operation)
{
    *file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!*file) {
        ReportError(ARC_ERR_OPEN, operation, path);
        return VO_E_OPENFILE;
    }
    int64_t size = VoFileGetSize(*file);
    item->header.uncompressedSize = size > 0 ? (uint64_t)size : 0;
    if (!VoFileGetTimes(*file, nullptr, nullptr, &item->header.fileTime)) {
        VoFileClose(*file);
        *file = nullptr;
        ReportError(ARC_ERR_FILETIME, operation, path);
        return VO_E_BADDATA;
    }
    return S_OK;
}

// Whether the supplier has the file's deflated bytes ready to copy.
bool CArchive2::TakeSupplied(const VOCHAR *path, uint64_t size)
{
    return m_supplier && m_addMethod == ARC_METHOD_DEFLATE && m_supplier->BeginFile(path, m_addLevel, size) == S_OK;
}

// attributes: the file's, as the caller's walk or check just read them;
// found: the walk's entry for the file, or null when there was no walk.
HRESULT CArchive2::AddFile(const VOCHAR *path, size_t baseLength, const VOCHAR *folder, uint32_t attributes,
                           const tVOFINDDATA *found)
{
    const char *operation = "AddFile";
    ArcEntryItem item;
    memset(&item, 0, sizeof item);
    if (folder && *folder) {
        VOCHAR relative[ARC_TEXT_UNITS];
        if (!JoinPath(folder, VoGetFileNamePtrW(path), relative)) {
            ReportError(ARC_ERR_BUFFER, operation, path);
            return VO_E_SMALLBUFFER;
        }
        MakeEntryName(relative, 0, item.name);
    } else {
        MakeEntryName(path, baseLength, item.name, m_treeFolder);
    }
    if (!item.name[0] || RefuseAddName(item.name, path, operation)) return S_OK;
    bool keepOld = false;
    HRESULT hr = AskReplaceEntry(item.name, path, &keepOld);
    if (FAILED(hr)) return hr;
    if (keepOld) return S_OK;

    if (m_addFlags & ARC_ADD_CLEARREADONLY) attributes &= ~VO_ATTR_READONLY;
    item.header.method = m_addMethod;
    item.header.level = m_addLevel;
    item.header.attributes = attributes & ~(VO_ATTR_DEVICE | VO_ATTR_REPARSE);
    // A file a worker deflated is not opened here: the walk's size and time
    // serve, as the worker's plan took the size from the same walk.
    bool supplied = found && TakeSupplied(path, found->size);
    HVOFILE file = nullptr;
    if (supplied) {
        item.header.uncompressedSize = found->size;
        item.header.fileTime = found->writeTime;
    } else {
        hr = OpenAddFile(path, &item, &file, operation);
        if (FAILED(hr)) return hr;
        supplied = !found && TakeSupplied(path, item.header.uncompressedSize);
    }
    if (m_latestTime && item.header.fileTime > m_latestTime) item.header.fileTime = m_latestTime;
    hr = WriteEntryHeader(&item, operation);
    if (SUCCEEDED(hr)) {
        if (supplied) hr = CopyCompressedFile(&item, path);
        else if (m_addMethod == ARC_METHOD_STORE) hr = NoCompressFile(file, &item);
        else if (m_addMethod != ARC_METHOD_DEFLATE) hr = E_NOTIMPL;
        else hr = CompressZipFile(file, &item);
        if (SUCCEEDED(hr) && (m_addFlags & ARC_ADD_STOREGROWN) && m_addMethod == ARC_METHOD_DEFLATE &&
            item.header.uncompressedSize > 0 && item.header.compressedSize >= item.header.uncompressedSize) {
            if (!file) file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
            if (file) {
                hr = StoreInstead(file, &item, operation);
            } else {
                ReportError(ARC_ERR_OPEN, operation, path);
                hr = VO_E_OPENFILE;
            }
        }
    }
    if (file) VoFileClose(file);
    if (FAILED(hr)) return hr;

    // The header describes the bytes actually stored: sizes, CRCs, method.
    uint8_t patch[ARC_LOCAL_HEADER_SIZE];
    ArcEncodeLocalHeader(&item.header, patch);
    hr = PatchOutput(item.headerOffset, patch, sizeof patch, operation, path);
    if (FAILED(hr)) return hr;
    HRESULT inserted = InsertEntryItem(&item);
    return FAILED(inserted) ? inserted : hr;
}

// Replaces the entry's deflated data, no smaller than the file, by the file
// stored, from the same place (the stored form is never longer). Deflated
// bytes still pending are dropped; those already in the file are written
// over, and the file is cut after the stored bytes. The file's bytes were
// counted for the progress once already, so this pass reports none.
HRESULT CArchive2::StoreInstead(HVOFILE file, ArcEntryItem *item, const char *operation)
{
    if (!VoFileSeek(file, 0)) {
        ReportError(ARC_ERR_READ, operation, item->name);
        return VO_E_READ;
    }
    uint64_t dataStart = item->headerOffset + ARC_LOCAL_HEADER_SIZE + 2 * (uint64_t)item->header.nameLength;
    uint64_t pendingStart = m_outputPosition - m_pendingSize;
    bool cutFile = dataStart < pendingStart;
    m_pendingSize = cutFile ? 0 : m_pendingSize - (uint32_t)(m_outputPosition - dataStart);
    m_outputPosition = dataStart;
    if (cutFile && !VoFileSeek(m_outputFile, (int64_t)(m_startOffset + dataStart))) {
        ReportError(ARC_ERR_WRITE, operation, item->name);
        return VO_E_WRITE;
    }
    item->header.method = ARC_METHOD_STORE;
    CVoArchiveProgress *progress = m_progress;
    m_progress = nullptr;
    HRESULT hr = NoCompressFile(file, item);
    m_progress = progress;
    if (SUCCEEDED(hr) && cutFile) hr = FlushOutput(operation);
    if (SUCCEEDED(hr) && cutFile && !VoFileTruncate(m_outputFile)) {
        ReportError(ARC_ERR_WRITE, operation, item->name);
        hr = VO_E_WRITE;
    }
    return hr;
}

// Reports a chunk and takes the pending answer; a cancel, or a negative
// result of the progress object, ends the add.
static HRESULT ChunkDone(CVoArchiveProgress *progress, uint32_t bytes)
{
    if (!progress) return S_OK;
    if (progress->GetAnswer() == VO_E_CANCEL) return VO_E_CANCEL;
    int result = progress->OnProgress(bytes, 0);
    return result < 0 ? (HRESULT)result : S_OK;
}

HRESULT CArchive2::NoCompressFile(HVOFILE file, ArcEntryItem *item)
{
    const char *operation = "NoCompressFile";
    if (m_progress) {
        m_progress->SetText(item->name);
        m_progress->OnStatus(ARC_STAT_ADD);
    }
    uint8_t *buffer = ChunkBuffer(operation);
    if (!buffer) return E_OUTOFMEMORY;
    uint32_t dataCrc = (uint32_t)crc32(0, nullptr, 0), contentCrc = dataCrc;
    uint64_t remaining = item->header.uncompressedSize, stored = 0;
    HRESULT result = S_OK;
    while (remaining > 0) {
        uint32_t chunk = remaining < ARC_CHUNK_SIZE ? (uint32_t)remaining : ARC_CHUNK_SIZE;
        uint32_t got = 0;
        if (!VoFileRead(file, buffer, chunk, &got) || got != chunk) {
            ReportError(ARC_ERR_READ, operation, item->name);
            result = VO_E_READ;
            break;
        }
        contentCrc = (uint32_t)crc32(contentCrc, buffer, got);
        result = WriteOutput(buffer, got, operation);
        if (FAILED(result)) break;
        dataCrc = (uint32_t)crc32(dataCrc, buffer, got);
        stored += got;
        remaining -= got;
        result = ChunkDone(m_progress, got);
        if (FAILED(result)) break;
    }
    item->header.compressedSize = stored;
    item->header.contentCrc = contentCrc;
    item->header.dataCrc = dataCrc;
    if (m_progress) m_progress->OnStatus(ARC_STAT_ITEMDONE);
    return result;
}

namespace {

// The engine's own deflate: read chunks are reported to the progress
// object, deflated bytes go to the archive.
class EngineSink : public IArcDeflateSink {
public:
    EngineSink(CVoArchiveProgress *progress, HRESULT (*write)(void *, const uint8_t *, uint32_t), void *context)
        : m_progress(progress), m_write(write), m_context(context) {}
    HRESULT OnInput(uint32_t bytes) override { return ChunkDone(m_progress, bytes); }
    HRESULT OnOutput(const uint8_t *bytes, uint32_t size) override { return m_write(m_context, bytes, size); }

private:
    CVoArchiveProgress *m_progress;
    HRESULT (*m_write)(void *, const uint8_t *, uint32_t);
    void *m_context;
};

}  // namespace

HRESULT CArchive2::CompressZipFile(HVOFILE file, ArcEntryItem *item)
{
    const char *operation = "CompressZipFile";
    if (m_progress) {
        m_progress->SetText(item->name);
        m_progress->OnStatus(ARC_STAT_ADD);
    }
    auto write = [](void *self, const uint8_t *bytes, uint32_t size) {
        return ((CArchive2 *)self)->WriteOutput(bytes, size, "CompressZipFile");
    };
    EngineSink sink(m_progress, write, this);
    CArcWorkBuffers *work = WorkBuffers();
    ArcDeflateResult r;
    if (work) {
        r = work->Deflater().DeflateFile(file, item->header.uncompressedSize, (int)m_addLevel, sink);
    } else {
        r.hr = E_OUTOFMEMORY;
        r.diagnostic = ARC_ERR_NOMEMORY;
    }
    if (r.diagnostic) ReportError(r.diagnostic, operation, item->name);
    if (SUCCEEDED(r.hr)) {
        item->header.compressedSize = r.stored;
        item->header.contentCrc = r.contentCrc;
        item->header.dataCrc = r.dataCrc;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_ITEMDONE);
    return r.hr;
}

// Writes the deflated bytes the supplier prepared for the file begun, with
// the same progress reports as the engine's own deflate.
HRESULT CArchive2::CopyCompressedFile(ArcEntryItem *item, const VOCHAR *path)
{
    const char *operation = "CompressZipFile";
    if (m_progress) {
        m_progress->SetText(item->name);
        m_progress->OnStatus(ARC_STAT_ADD);
    }
    uint32_t dataCrc = (uint32_t)crc32(0, nullptr, 0), contentCrc = 0;
    uint64_t stored = 0;
    HRESULT result = S_OK;
    for (;;) {
        const uint8_t *bytes = nullptr;
        uint32_t size = 0, consumed = 0;
        result = m_supplier->NextPiece(&bytes, &size, &consumed, &contentCrc);
        if (FAILED(result)) {
            uint32_t code = result == VO_E_READ ? ARC_ERR_READ : result == E_OUTOFMEMORY ? ARC_ERR_NOMEMORY : ARC_ERR_WRITE;
            // A file its worker could not open is reported as the engine's
            // own open would report it.
            if (result == VO_E_OPENFILE) ReportError(ARC_ERR_OPEN, "AddFile", path);
            else if (result != VO_E_CANCEL) ReportError(code, operation, item->name);
            break;
        }
        if (consumed) result = ChunkDone(m_progress, consumed);
        if (FAILED(result) || size == 0) break;
        result = WriteOutput(bytes, size, operation);
        if (FAILED(result)) break;
        dataCrc = (uint32_t)crc32(dataCrc, bytes, size);
        stored += size;
    }
    if (SUCCEEDED(result)) {
        item->header.compressedSize = stored;
        item->header.contentCrc = contentCrc;
        item->header.dataCrc = stored ? dataCrc : 0;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_ITEMDONE);
    return result;
}

// ---------------------------------------------------------------------------
// Folders and patterns

bool CArchive2::ExcludeFromAdd(const VOCHAR *path)
{
    for (VOCHAR *slot : m_addExclusions) {
        if (slot[0]) continue;
        return path && path[0] && VoStrCopyN(slot, path, ARC_TEXT_UNITS) < ARC_TEXT_UNITS;
    }
    return false;
}

// An add never takes the archive being written (a source folder may hold
// it) nor what ExcludeFromAdd named (full paths). Full paths are compared only
// when the file names agree, so the walk pays next to nothing for this.
bool CArchive2::IsExcludedFromAdd(const VOCHAR *path) const
{
    const VOCHAR *name = VoGetFileNamePtrW(path);
    VOCHAR full[ARC_TEXT_UNITS];
    full[0] = 0;
    auto names = [&](const VOCHAR *excluded) {
        if (!excluded[0] || !VoPathNamesEqual(VoGetFileNamePtrW(excluded), name)) return false;
        if (!full[0] && !MakeFullPath(path, full)) return false;
        return VoPathNamesEqual(full, excluded);
    };
    if (m_mode == ARC_OPEN_READ) return false;
    if (m_addFilter && m_addFilter(m_addFilterContext, path)) return true;
    if (names(m_archivePath) || names(m_outputPath)) return true;
    for (const VOCHAR *excluded : m_addExclusions)
        if (names(excluded)) return true;
    return false;
}

HRESULT CArchive2::AddDirectory(const VOCHAR *path, size_t baseLength)
{
    const char *operation = "AddDirectory";
    ArcEntryItem item;
    memset(&item, 0, sizeof item);
    MakeEntryName(path, baseLength, item.name, m_treeFolder);
    size_t n = VoStrLen(item.name);
    if (n == 0 || n >= ARC_MAX_NAME) {
        ReportError(ARC_ERR_INVALIDARG, operation, path);
        return S_FALSE;
    }
    if (item.name[n - 1] != '\\') item.name[n++] = '\\', item.name[n] = 0;
    if (RefuseAddName(item.name, path, operation)) return S_OK;
    bool keepOld = false;
    HRESULT hr = AskReplaceEntry(item.name, path, &keepOld);
    if (FAILED(hr) || keepOld) return hr;
    item.header.method = m_addMethod;
    item.header.level = m_addLevel;
    uint32_t attributes = VoPathGetAttributes(path);
    item.header.attributes = (attributes == VO_INVALID_ATTRIBUTES ? 0 : attributes & ~VO_ATTR_REPARSE) | ARC_ATTR_FOLDER;
    item.header.fileTime = m_latestTime ? m_latestTime : VoGetSystemTimeAsFileTime();
    hr = WriteEntryHeader(&item, operation);
    if (FAILED(hr)) return hr;
    return InsertEntryItem(&item);
}

// Links and devices are never followed or stored: only plain folders and
// plain files are added.
HRESULT CArchive2::AddDirectoryTree(const VOCHAR *path, size_t baseLength)
{
    uint32_t refused = m_refusedNames;
    HRESULT hr = AddDirectory(path, baseLength);
    if (FAILED(hr) || m_refusedNames != refused) return hr;
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(path, &data);
    for (bool more = find != nullptr; more && SUCCEEDED(hr); more = VoFindNext(find, &data)) {
        VOCHAR child[ARC_TEXT_UNITS];
        if (!JoinPath(path, data.name, child)) {
            ReportError(ARC_ERR_BUFFER, "AddDirectory", data.name);
            hr = VO_E_SMALLBUFFER;
            break;
        }
        if (IsExcludedFromAdd(child)) continue;
        if (IsFolder(data.attributes)) hr = AddDirectoryTree(child, baseLength);
        else if (IsPlainFile(data.attributes)) hr = AddFile(child, baseLength, nullptr, data.attributes, &data);
    }
    if (find) VoFindClose(find);
    return hr;
}

HRESULT CArchive2::AddWildcard(const VOCHAR *path, size_t baseLength)
{
    ArcPattern pattern;
    HRESULT hr = CheckForWildcards(VoGetFileNamePtrW(path), &pattern);
    if (FAILED(hr)) return hr;
    if (pattern.kind == 0) {
        ReportError(ARC_ERR_NOWILDCARD, "AddWildcard", path);
        return S_FALSE;
    }
    VOCHAR base[ARC_TEXT_UNITS];
    VoStrCopyN(base, path, baseLength + 1 < ARC_TEXT_UNITS ? baseLength + 1 : ARC_TEXT_UNITS);
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(base[0] ? base : VOTEXT("."), &data);
    hr = S_OK;
    for (bool more = find != nullptr; more && SUCCEEDED(hr); more = VoFindNext(find, &data)) {
        if (!MatchEntryName(&pattern, data.name)) continue;
        VOCHAR child[ARC_TEXT_UNITS];
        if (!JoinPath(base, data.name, child) || IsExcludedFromAdd(child)) continue;
        if (IsFolder(data.attributes)) {
            if (m_addFlags & ARC_ADD_RECURSE) hr = AddDirectoryTree(child, baseLength);
        } else if (IsPlainFile(data.attributes)) {
            hr = AddFile(child, baseLength, nullptr, data.attributes, &data);
        }
    }
    if (find) VoFindClose(find);
    return hr;
}

HRESULT CArchive2::AddEntryToArchive(const VOCHAR *path, uint32_t method, uint32_t level, uint32_t flags,
                                     const VOCHAR *folder)
{
    const char *operation = "AddEntryToArchive";
    m_addFlags = flags;
    if (m_mode == ARC_OPEN_READ || m_mode == ARC_OPEN_DELETE || !m_outputFile) {
        ReportError(ARC_ERR_BADSTATE, operation);
        return E_FAIL;
    }
    if (!path || !*path) {
        ReportError(ARC_ERR_INVALIDARG, operation);
        return E_INVALIDARG;
    }
    if (IsExcludedFromAdd(path)) return S_OK;
    uint32_t attributes = VoPathGetAttributes(path);
    // A plain path that does not exist is a missing file, not a pattern.
    if (attributes == VO_INVALID_ATTRIBUTES && !HasStar(VoGetFileNamePtrW(path))) {
        ReportError(ARC_ERR_NOFILE, operation, path);
        return VO_E_NOFILE;
    }
    // One quiet walk serves the room check and the progress total: a refused
    // pattern is reported once, by the add itself.
    ArcAddTally tally;
    HRESULT measured = MeasureAdd(path, flags, tally, false);
    if (FAILED(measured) || !HasRoomForAdd(tally.size)) {
        ReportError(ARC_ERR_DISKSPACE, operation);
        return VO_E_DISKFULL;
    }
    HRESULT result = S_OK;
    if (m_progress) {
        if (flags & ARC_ADD_NOTOTAL) {
            m_progress->SetText(path);
        } else {
            m_progress->Begin(path, ArcLow(tally.size), ArcHigh(tally.size));
            result = measured;
        }
    }
    m_addMethod = method;
    m_addLevel = level;
    VOCHAR base[ARC_TEXT_UNITS];
    base[0] = 0;
    VoGetPathNameFromFilePath(path, base, ARC_TEXT_UNITS);
    size_t baseLength = VoStrLen(base);
    // A folder with an archive folder goes in whole below it.
    VoStrCopyN(m_treeFolder, IsFolder(attributes) && folder ? folder : VOTEXT(""), ARC_TEXT_UNITS);
    if (IsFolder(attributes)) result = AddDirectoryTree(path, baseLength);
    else if (IsPlainFile(attributes)) result = AddFile(path, baseLength, folder, attributes, nullptr);
    else if (!(folder && *folder)) result = AddWildcard(path, baseLength);
    m_treeFolder[0] = 0;
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return result;
}

// ---------------------------------------------------------------------------
// Estimates

// Walks what an add of path would store, in the order the add takes it.
HRESULT CArchive2::WalkAddSource(const VOCHAR *path, size_t baseLength, const ArcPattern *pattern, bool recurse,
                                 ArcAddTally &tally)
{
    VOCHAR folder[ARC_TEXT_UNITS];
    if (pattern) VoStrCopyN(folder, path, baseLength + 1 < ARC_TEXT_UNITS ? baseLength + 1 : ARC_TEXT_UNITS);
    else VoStrCopyN(folder, path, ARC_TEXT_UNITS);
    if (!pattern) ++tally.count;  // the folder itself
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(folder[0] ? folder : VOTEXT("."), &data);
    for (bool more = find != nullptr; more; more = VoFindNext(find, &data)) {
        if (pattern && !MatchEntryName(pattern, data.name)) continue;
        VOCHAR child[ARC_TEXT_UNITS];
        if (!JoinPath(folder, data.name, child) || IsExcludedFromAdd(child)) continue;
        if (IsFolder(data.attributes)) {
            if (!pattern || recurse) WalkAddSource(child, 0, nullptr, true, tally);
        } else if (IsPlainFile(data.attributes)) {
            tally.size += data.size;
            ++tally.count;
            if (tally.visit) tally.visit(tally.context, child, data.size);
        }
    }
    if (find) VoFindClose(find);
    return S_OK;
}

// What an add of path would store: the bytes of its files and its number
// of entries; 1 when path is a pattern without a usable "*".
HRESULT CArchive2::MeasureAdd(const VOCHAR *path, uint32_t flags, ArcAddTally &tally, bool report)
{
    if (IsExcludedFromAdd(path)) return S_OK;
    uint32_t attributes = VoPathGetAttributes(path);
    if (IsPlainFile(attributes)) {
        VoGetFileSizeByName(path, &tally.size);
        tally.count = 1;
        if (tally.visit) tally.visit(tally.context, path, tally.size);
        return S_OK;
    }
    if (IsFolder(attributes)) return WalkAddSource(path, 0, nullptr, true, tally);
    ArcPattern pattern;
    CVoArchiveProgress *progress = m_progress;
    if (!report) m_progress = nullptr;
    HRESULT prepared = CheckForWildcards(VoGetFileNamePtrW(path), &pattern);
    m_progress = progress;
    if (FAILED(prepared) || pattern.kind == 0) {
        if (report) ReportError(ARC_ERR_NOWILDCARD, "GetSizeAddEntry", path);
        return S_FALSE;
    }
    VOCHAR base[ARC_TEXT_UNITS];
    base[0] = 0;
    VoGetPathNameFromFilePath(path, base, ARC_TEXT_UNITS);
    return WalkAddSource(path, VoStrLen(base), &pattern, (flags & ARC_ADD_RECURSE) != 0, tally);
}

HRESULT CArchive2::GetSizeAddEntry(const VOCHAR *path, uint64_t *size, uint32_t flags)
{
    ArcAddTally tally;
    HRESULT hr = MeasureAdd(path, flags, tally, true);
    *size = tally.size;
    return hr;
}

HRESULT CArchive2::GetCountAddEntry(const VOCHAR *path, uint32_t *count, uint32_t flags)
{
    ArcAddTally tally;
    HRESULT hr = MeasureAdd(path, flags, tally, true);
    *count = tally.count;
    return hr;
}

HRESULT CArchive2::EnumerateAddEntry(const VOCHAR *path, uint32_t flags, ArcAddVisitor visit, void *context)
{
    ArcAddTally tally;
    tally.visit = visit;
    tally.context = context;
    return MeasureAdd(path, flags, tally, false);
}

HRESULT CArchive2::IsSpaceForAddEntry(const VOCHAR *path, uint32_t flags)
{
    if (m_mode != ARC_OPEN_CREATE && m_mode != ARC_OPEN_APPEND) return E_FAIL;
    ArcAddTally tally;
    HRESULT hr = MeasureAdd(path, flags, tally, false);
    if (FAILED(hr)) return hr;
    return HasRoomForAdd(tally.size) ? S_OK : S_FALSE;
}

// Room for size bytes more (in append mode, and for the copy of the archive).
bool CArchive2::HasRoomForAdd(uint64_t size)
{
    uint64_t needed = size;
    if (m_mode == ARC_OPEN_APPEND) {
        int64_t archiveSize = GetArchiveSize();
        if (archiveSize > 0) needed += (uint64_t)archiveSize;
    }
    VOCHAR root[ARC_TEXT_UNITS];
    if (!VoGetRootPathFromFilePath(m_archivePath, root, ARC_TEXT_UNITS)) VoStrCopyN(root, m_archivePath, ARC_TEXT_UNITS);
    return needed / 1024 <= FreeKilobytes(root, true);
}
