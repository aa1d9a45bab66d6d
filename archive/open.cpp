// CArchive2: construction, Open and Close, the end record, the directory
// walk and the error path.
#include "archive/archive.h"
#include "archive/name_index.h"
#include "archive/signed_tail.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "files/files.h"
#include "format/format.h"

CArchive2::CArchive2()
{
    m_readFile = nullptr;
    m_outputFile = nullptr;
    m_entryList = nullptr;
    m_outputPosition = 0;
    m_progress = nullptr;
    m_mode = ARC_OPEN_CREATE;
    m_addMethod = 0;
    m_addLevel = 0;
    memset(&m_endRecord, 0, sizeof m_endRecord);
    m_volumeComment[0] = 0;
    m_baseName[0] = 0;
    m_thirdText[0] = 0;
    m_directoryCursor = -1;
    m_archivePath[0] = 0;
    m_outputPath[0] = 0;
    m_extractFlags = m_addFlags = m_deleteFlags = 0;
    m_startOffset = 0;
    m_volumeCount = 0;
    m_entriesWritten = 0;
    m_replaceAll = m_replaceAllReadOnly = 0;
    m_rememberedAnswer = m_rememberedAnswerReadOnly = 0;
    m_changed = 0;
    m_totalUncompressed = 0;
    m_directoryWalked = 0;
    m_fileSystemName[0] = 0;
    m_recordPositions = nullptr;
    m_recordPositionCount = 0;
    m_refusedEntry = false;
}

// An object destroyed without Close does no finishing work, but it lets go
// of everything it still holds, so nothing leaks and no handle stays open.
CArchive2::~CArchive2()
{
    VoMemFree(m_recordPositions);
    ForgetEntryNames();
    ReleaseWorkBuffers();
    if (m_outputFile && m_outputFile != m_readFile) VoFileClose(m_outputFile);
    if (m_readFile) VoFileClose(m_readFile);
    VoList_Destroy(m_entryList);
}

// ---------------------------------------------------------------------------
// Errors

void CArchive2::ReportError(uint32_t diagnostic, const char *operation, const VOCHAR *detail)
{
    if (!m_progress) return;
    VOCHAR text[ARC_TEXT_UNITS * 2];
    size_t n = VoAsciiToText(text, operation, ARC_TEXT_UNITS);
    if (detail) {
        text[n++] = '|';
        VoStrCopyN(text + n, detail, ARC_TEXT_UNITS);
    }
    m_progress->SetText(text);
    m_progress->OnError(diagnostic);
}

void CArchive2::ReportError(uint32_t diagnostic, const char *operation, int number)
{
    VOCHAR detail[16];
    VoPrintF(detail, VOTEXT("%d"), number);
    ReportError(diagnostic, operation, detail);
}

// ---------------------------------------------------------------------------
// Open and Close

// The archive's full path, whole: a path cut to fit would name another
// file, which create mode would overwrite.
bool CArchive2::MakeFullPath(const VOCHAR *path, VOCHAR *full)
{
    if (!path || !*path) return false;
    size_t length = VoPathGetFull(path, full, ARC_TEXT_UNITS);
    if (length > 0) return length < ARC_TEXT_UNITS;
    // No full form: the path as it stands, when it fits.
    if (VoStrLen(path) >= ARC_TEXT_UNITS) return false;
    VoStrCopyN(full, path, ARC_TEXT_UNITS);
    return true;
}

HRESULT CArchive2::Open(const VOCHAR *path, uint32_t mode, CVoArchiveProgress *progress)
{
    VOCHAR full[ARC_TEXT_UNITS];
    if (!MakeFullPath(path, full)) return E_INVALIDARG;
    VOCHAR root[ARC_TEXT_UNITS];
    m_fileSystemName[0] = 0;
    if (VoGetRootPathFromFilePath(full, root, ARC_TEXT_UNITS))
        VoPathGetFileSystemName(root, m_fileSystemName, 128);

    m_progress = progress;
    m_mode = mode;
    m_replaceAll = m_replaceAllReadOnly = 0;
    m_rememberedAnswer = m_rememberedAnswerReadOnly = 0;
    memset(&m_endRecord, 0, sizeof m_endRecord);
    m_volumeComment[0] = m_baseName[0] = m_thirdText[0] = 0;
    VoStrCopyN(m_archivePath, full, ARC_TEXT_UNITS);
    m_outputPath[0] = 0;
    m_totalUncompressed = 0;
    m_directoryWalked = 0;
    m_refusedEntry = false;
    // Nothing of an archive opened before by this object carries over: its
    // stub length or output position would misplace every record written.
    m_startOffset = 0;
    m_outputPosition = 0;
    m_volumeCount = 0;
    m_entriesWritten = 0;
    m_directoryCursor = -1;
    m_changed = 0;
    m_checkedFolder[0] = 0;
    DropPendingOutput();

    switch (mode) {
    case ARC_OPEN_CREATE: return OpenCreate();
    case ARC_OPEN_READ: return OpenRead();
    case ARC_OPEN_APPEND: return OpenAppendOrDelete("Open Append", false);
    case ARC_OPEN_DELETE: return OpenAppendOrDelete("Open Delete", true);
    case ARC_OPEN_SEA: return OpenSEA();
    case ARC_OPEN_VOLUMES: return OpenMultiVol();
    }
    m_mode = ARC_OPEN_CREATE;
    ReportError(ARC_ERR_BADSTATE, "Open Main");
    return E_NOTIMPL;
}

HRESULT CArchive2::OpenCreate()
{
    HVOFILE file = VoFileOpen(m_archivePath, VO_ACCESS_READ | VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    if (!file) {
        ReportError(ARC_ERR_CREATE, "OpenCreate", m_archivePath);
        return VO_E_OPENFILE;
    }
    m_readFile = m_outputFile = file;
    m_entriesWritten = 0;
    m_volumeCount = 1;
    m_changed = 1;
    return VoList_CreateExZ(&m_entryList, sizeof(void *), -1, -1, VOLIST_ANYTHREAD | VOLIST_HEAPITEMS, 0, 0, 0);
}

HRESULT CArchive2::OpenRead()
{
    if (!VoDoesFileExist(m_archivePath)) {
        ReportError(ARC_ERR_NOFILE, "open read");
        return VO_E_NOFILE;
    }
    HVOFILE file = VoFileOpen(m_archivePath, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!file) {
        ReportError(ARC_ERR_CREATE, "open read");
        return VO_E_OPENFILE;
    }
    HRESULT hr = LoadArchive(file);
    if (FAILED(hr)) {
        ReportError(ARC_ERR_SIGNATURE, "open read");
        return hr == VO_E_BADDATA ? hr : VO_E_BADSIGNATURE;
    }
    m_outputFile = m_readFile;
    m_entriesWritten = m_endRecord.entryCount;
    return S_OK;
}

// Opens the archive for the modes that rewrite it and loads its records.
HRESULT CArchive2::OpenExisting(const char *operation, bool forWriting)
{
    uint32_t access = forWriting ? (uint32_t)(VO_ACCESS_READ | VO_ACCESS_WRITE) : (uint32_t)VO_ACCESS_READ;
    HVOFILE file = VoFileOpen(m_archivePath, access, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!file) {
        ReportError(ARC_ERR_OPEN, operation);
        return VO_E_OPENFILE;
    }
    HRESULT hr = LoadArchive(file);
    if (FAILED(hr)) {
        ReportError(ARC_ERR_SIGNATURE, operation);
        return hr == VO_E_BADDATA ? hr : VO_E_BADSIGNATURE;
    }
    return S_OK;
}

// The temporary file "~name" beside the archive, which replaces it only
// after the whole rewrite succeeded.
HRESULT CArchive2::CreateTemporaryFile(const char *operation)
{
    VOCHAR folder[ARC_TEXT_UNITS];
    VoGetPathNameFromFilePath(m_archivePath, folder, ARC_TEXT_UNITS);
    VOCHAR name[3 * ARC_TEXT_UNITS];
    VoPrintF(name, VOTEXT("%s~%s"), folder, VoGetFileNamePtrW(m_archivePath));
    if (VoStrLen(name) >= ARC_TEXT_UNITS) {
        ReportError(ARC_ERR_CREATE, operation, name);
        return VO_E_OPENFILE;
    }
    VoStrCopyN(m_outputPath, name, ARC_TEXT_UNITS);
    m_outputFile = VoFileOpen(m_outputPath, VO_ACCESS_READ | VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    if (!m_outputFile) {
        ReportError(ARC_ERR_CREATE, operation, m_outputPath);
        return VO_E_OPENFILE;
    }
    m_outputPosition = 0;
    return S_OK;
}

// A rewrite holds the archive for its whole run, so that a second one is
// refused at once instead of both writing "~name" and one change being lost.
HRESULT CArchive2::LockForRewrite(const char *operation)
{
    if (VoFileLockForRewrite(m_readFile, m_archivePath)) return S_OK;
    ReportError(ARC_ERR_OPEN, operation, m_archivePath);
    VoFileClose(m_readFile);
    m_readFile = nullptr;
    return VO_E_SHARING;
}

HRESULT CArchive2::OpenAppendOrDelete(const char *operation, bool deleting)
{
    HRESULT hr = OpenExisting(operation, false);
    if (SUCCEEDED(hr)) hr = LockForRewrite(operation);
    if (FAILED(hr)) return hr;
    if (m_volumeCount > 1) {
        ReportError(ARC_ERR_BADSTATE, operation);
        return VO_E_BADSIGNATURE;
    }
    hr = CreateTemporaryFile(operation);
    if (FAILED(hr)) return hr;
    m_entriesWritten = deleting ? m_endRecord.entryCount : 0;
    if (m_startOffset != 0) {
        hr = CopyStub();
        if (FAILED(hr)) return hr;
    }
    return VoList_CreateExZ(&m_entryList, sizeof(void *), -1, -1, VOLIST_ANYTHREAD | VOLIST_HEAPITEMS, 0, 0, 0);
}

HRESULT CArchive2::OpenSEA()
{
    HRESULT hr = OpenExisting("Open SEA", false);
    if (FAILED(hr)) return hr;
    m_entriesWritten = m_endRecord.entryCount;
    m_outputPosition = 0;
    return S_OK;
}

HRESULT CArchive2::OpenMultiVol()
{
    HRESULT hr = OpenExisting("OpenMultiVol", true);
    if (SUCCEEDED(hr)) hr = LockForRewrite("OpenMultiVol");
    if (FAILED(hr)) return hr;
    hr = CreateTemporaryFile("OpenMultiVol");
    if (FAILED(hr)) return hr;
    m_entriesWritten = m_endRecord.entryCount;
    return m_startOffset != 0 ? CopyStub() : S_OK;
}

HRESULT CArchive2::LoadArchive(HVOFILE file)
{
    ForgetEntryNames();
    memset(&m_endRecord, 0, sizeof m_endRecord);
    HRESULT hr = LoadEndOfCentralDirectory(file);
    if (FAILED(hr)) {
        VoFileClose(file);
        return hr;
    }
    m_readFile = file;
    hr = WalkDirectory();
    if (FAILED(hr)) {
        VoFileClose(file);
        m_readFile = nullptr;
    }
    return hr;
}

// Walks the directory once, as the end record describes it: as many
// readable records as the entry count, one after the other, filling the
// directory's size exactly. Anything else is a damaged archive, refused
// here so that no operation takes a cut walk for the whole archive. The
// walk is bounded by the real records (each takes at least its fixed size),
// so a forged count costs nothing. The sizes are summed for the room checks,
// saturating.
HRESULT CArchive2::WalkDirectory()
{
    m_totalUncompressed = 0;
    m_directoryWalked = 0;
    const uint32_t count = m_endRecord.entryCount;
    const int64_t start = (int64_t)(m_startOffset + m_endRecord.directoryOffset);
    int64_t position = start;
    uint64_t total = 0;
    ArcDirectoryEntry entry;
    while (m_directoryWalked < count && ReadDirectoryRecord(position, &entry)) {
        uint64_t size = entry.record.uncompressedSize;
        total = size > UINT64_MAX - total ? UINT64_MAX : total + size;
        position += (int64_t)ArcDirectoryRecordSpan(&entry.record);
        ++m_directoryWalked;
    }
    m_totalUncompressed = total;
    if (m_directoryWalked == count && (uint64_t)(position - start) == m_endRecord.directorySize) return S_OK;
    return VO_E_BADDATA;
}

// The finishing work of the mode that was opened.
HRESULT CArchive2::FinishWriting()
{
    switch (m_mode) {
    case ARC_OPEN_CREATE:
    case ARC_OPEN_APPEND:
        return AddCentralDirectory();
    case ARC_OPEN_DELETE:
        return SubmitDeleteList();
    case ARC_OPEN_SEA:
        return CopySEAMultiFiles();
    }
    return S_OK;
}

// Closes the output file, flushed; a rewrite's copy first takes the times
// of the archive it replaces. A failed flush becomes the result when all
// else succeeded.
HRESULT CArchive2::CloseOutputFile(HRESULT result, bool rewrite, const char *operation)
{
    if (!m_outputFile) return result;
    if (SUCCEEDED(result)) {
        HRESULT flushed = FlushOutput(operation);
        if (FAILED(flushed)) result = flushed;
    }
    DropPendingOutput();
    VOFILETIME times[3];
    if (rewrite && m_readFile && VoFileGetTimes(m_readFile, &times[0], &times[1], &times[2]))
        VoFileSetTimes(m_outputFile, &times[0], &times[1], &times[2]);
    if (!VoFileFlush(m_outputFile) && SUCCEEDED(result) && m_mode != ARC_OPEN_READ) {
        ReportError(ARC_ERR_WRITE, operation, m_outputPath[0] ? m_outputPath : m_archivePath);
        result = VO_E_WRITE;
    }
    VoFileClose(m_outputFile);
    m_outputFile = nullptr;
    return result;
}

HRESULT CArchive2::Close()
{
    bool writing = m_outputFile && m_outputFile != m_readFile;
    bool created = m_mode == ARC_OPEN_CREATE && m_outputFile;
    HRESULT result = (writing || created) ? FinishWriting() : S_OK;
    bool rewrites = m_mode == ARC_OPEN_APPEND || m_mode == ARC_OPEN_DELETE || m_mode == ARC_OPEN_VOLUMES;
    // A rewrite holds the archive, and with it its lock, until the copy has
    // replaced it.
    if (m_readFile == m_outputFile) {
        m_readFile = nullptr;
    } else if (m_readFile && !rewrites) {
        VoFileClose(m_readFile);
        m_readFile = nullptr;
    }
    result = CloseOutputFile(result, rewrites, "Close");
    if (m_finalStubPath[0] || m_finalOutputPath[0]) result = NameFinishedOutputs(result);
    if (rewrites && m_outputPath[0] && SUCCEEDED(result)) {
        if (m_changed) {
            // One rename replaces the archive: at no moment is there neither
            // the old archive nor the new one. A split's volumes take their
            // names first, so that the new main file never lacks them.
            if (m_splitVolumes && !NameSplitVolumes()) {
                result = VO_E_WRITE;
            } else if (!VoPathRenameOverHeld(&m_readFile, m_outputPath, m_archivePath)) {
                ReportError(ARC_ERR_CREATE, "Close", m_archivePath);
                result = VO_E_WRITE;
            } else {
                m_splitVolumes = 0;  // they belong to the archive now
                if (m_mode == ARC_OPEN_VOLUMES && m_mergedVolumes) DeleteMergedVolumes();
            }
        } else {
            VoPathDeleteFile(m_outputPath);
            result = S_FALSE;
        }
    }
    if (m_readFile) VoFileClose(m_readFile);
    m_readFile = nullptr;
    // A split that did not replace the archive takes its volumes along.
    if (m_splitVolumes) DeleteSplitVolumes();
    // Only a failed rewrite leaves its temporary file behind.
    if (!(rewrites && FAILED(result))) m_outputPath[0] = 0;
    m_replaceAll = m_replaceAllReadOnly = 0;
    VoList_Destroy(m_entryList);
    m_entryList = nullptr;
    VoMemFree(m_recordPositions);
    m_recordPositions = nullptr;
    m_recordPositionCount = 0;
    ForgetEntryNames();
    ReleaseWorkBuffers();
    m_mode = ARC_OPEN_CREATE;
    m_directoryCursor = -1;
    m_changed = 0;
    m_mergedVolumes = 0;
    return result;
}

// The temporary file a failed rewrite left beside the archive ("" when
// there is none): the archive itself is untouched.
const VOCHAR *CArchive2::GetLeftoverTemporaryFile() const
{
    return m_outputPath;
}

// ---------------------------------------------------------------------------
// The end record

HRESULT CArchive2::FindEndOfCentralDirectory(HVOFILE file, int64_t *position)
{
    int64_t fileSize = VoFileGetSize(file);
    if (fileSize < 0) return VO_E_READ;
    // A signed package's signature follows the archive: search before it.
    int64_t size = ArcSignedDataEnd(file, fileSize);
    uint32_t window = size < ARC_END_SEARCH_WINDOW ? (uint32_t)size : ARC_END_SEARCH_WINDOW;
    uint8_t *tail = (uint8_t *)VoMemAlloc(window);
    if (!tail) return E_OUTOFMEMORY;
    uint32_t got = 0;
    bool read = VoFileSeek(file, size - window) && VoFileRead(file, tail, window, &got) && got == window;
    long hit = read ? ArcFindEndSignature(tail, window) : -1;
    VoMemFree(tail);
    if (!read) return VO_E_READ;
    if (hit < 0) return VO_E_BADSIGNATURE;
    *position = size - window + hit;
    return VoFileSeek(file, *position) ? S_OK : VO_E_READ;
}

// Reads a text of `length` units at the file's position, keeping at most
// `keep` units; the rest is skipped by seeking. Fails when the text would
// run past the end of the file.
static bool ReadText(HVOFILE file, uint32_t length, VOCHAR *out, uint32_t keep, int64_t fileSize)
{
    out[0] = 0;
    int64_t here = VoFileTell(file);
    if (here < 0 || (uint64_t)here + 2 * (uint64_t)length > (uint64_t)fileSize) return false;
    uint32_t kept = length < keep ? length : keep;
    uint8_t bytes[2 * (ARC_MAX_COMMENT + 1)];
    uint32_t got = 0;
    if (kept && (!VoFileRead(file, bytes, 2 * kept, &got) || got != 2 * kept)) return false;
    for (uint32_t i = 0; i < kept; ++i) out[i] = (VOCHAR)(bytes[2 * i] | bytes[2 * i + 1] << 8);
    out[kept] = 0;
    if (kept < length) return VoFileSeek(file, here + 2 * (int64_t)length);
    return true;
}

HRESULT CArchive2::LoadEndOfCentralDirectory(HVOFILE file)
{
    memset(&m_endRecord, 0, sizeof m_endRecord);
    m_volumeComment[0] = m_baseName[0] = m_thirdText[0] = 0;
    int64_t position = 0;
    HRESULT hr = FindEndOfCentralDirectory(file, &position);
    uint8_t bytes[ARC_END_RECORD_SIZE];
    uint32_t got = 0;
    if (SUCCEEDED(hr) && (!VoFileRead(file, bytes, sizeof bytes, &got) || got != sizeof bytes)) hr = VO_E_READ;
    if (FAILED(hr)) {
        memset(&m_endRecord, 0, sizeof m_endRecord);
        if (hr == VO_E_BADSIGNATURE) ReportError(ARC_ERR_SIGNATURE, "LoadEndOfCentralDirectory");
        if (hr == VO_E_READ) ReportError(ARC_ERR_READ, "LoadEndOfCentralDirectory");
        return hr;
    }
    ArcDecodeEndRecord(bytes, &m_endRecord);
    m_volumeCount = m_endRecord.volumeCount;
    m_startOffset = m_endRecord.startOffset;
    int64_t size = VoFileGetSize(file);
    if (ReadText(file, m_endRecord.commentLength, m_volumeComment, ARC_MAX_COMMENT, size) &&
        ReadText(file, m_endRecord.baseNameLength, m_baseName, ARC_MAX_NAME, size))
        ReadText(file, m_endRecord.thirdLength, m_thirdText, ARC_MAX_NAME, size);
    return S_OK;
}

// ---------------------------------------------------------------------------
// The directory walk

int CArchive2::ReadDirectoryRecord(int64_t position, ArcDirectoryEntry *entry)
{
    entry->name[0] = entry->second[0] = entry->third[0] = 0;
    uint8_t bytes[ARC_DIRECTORY_RECORD_SIZE];
    uint32_t got = 0;
    if (!m_readFile || position < 0 || !VoFileSeek(m_readFile, position) ||
        !VoFileRead(m_readFile, bytes, sizeof bytes, &got) || got != sizeof bytes) {
        memset(&entry->record, 0, sizeof entry->record);
        return 0;
    }
    ArcDecodeDirectoryRecord(bytes, &entry->record);
    if (entry->record.signature != ARC_DIRECTORY_SIGNATURE) return 0;
    int64_t size = VoFileGetSize(m_readFile);
    const ArcDirectoryRecord &r = entry->record;
    return ReadText(m_readFile, r.nameLength, entry->name, ARC_MAX_NAME, size) &&
           ReadText(m_readFile, r.secondLength, entry->second, ARC_MAX_NAME, size) &&
           ReadText(m_readFile, r.thirdLength, entry->third, ARC_MAX_NAME, size);
}

HRESULT CArchive2::FindFirstCentralDirectory(ArcDirectoryEntry *entry)
{
    m_directoryCursor = 0;
    if (!m_readFile) {
        ReportError(ARC_ERR_NOTOPEN, "FindFirstCentralDirectory");
        return E_FAIL;
    }
    if (!HasEndRecord()) {
        ReportError(ARC_ERR_SIGNATURE, "FindFirstCentralDirectory");
        return E_FAIL;
    }
    int64_t position = (int64_t)(m_startOffset + m_endRecord.directoryOffset);
    if (!ReadDirectoryRecord(position, entry)) return S_FALSE;
    m_directoryCursor = position;
    return S_OK;
}

HRESULT CArchive2::FindNextCentralDirectory(ArcDirectoryEntry *entry)
{
    if (!m_readFile || m_directoryCursor < 0) {
        ReportError(ARC_ERR_NOTOPEN, "FindNextCentralDirectory");
        return E_FAIL;
    }
    if (!ReadDirectoryRecord(m_directoryCursor, entry)) {
        ReportError(ARC_ERR_SIGNATURE, "FindNextCentralDirectory");
        return VO_E_BADSIGNATURE;
    }
    int64_t next = m_directoryCursor + (int64_t)ArcDirectoryRecordSpan(&entry->record);
    if (!ReadDirectoryRecord(next, entry)) return S_FALSE;
    m_directoryCursor = next;
    return S_OK;
}

// The first entry of that name in directory order. The names are indexed at
// the first lookup with one walk of the directory, so that an add asking
// about each of its files does not walk the directory for each one.
HRESULT CArchive2::FindEntryByName(const VOCHAR *name, ArcDirectoryEntry *entry)
{
    if (!m_nameIndex) {
        HRESULT hr = IndexEntryNames(entry);
        if (hr != S_OK) return hr;
    }
    int64_t position = m_nameIndex->Find(name);
    if (position < 0) return S_FALSE;
    if (!ReadDirectoryRecord(position, entry)) {
        ReportError(ARC_ERR_SIGNATURE, "FindNextCentralDirectory");
        return VO_E_BADSIGNATURE;
    }
    m_directoryCursor = position;
    return S_OK;
}

// A walk that fails leaves no index: the next lookup walks, and reports,
// again.
HRESULT CArchive2::IndexEntryNames(ArcDirectoryEntry *entry)
{
    CArcNameIndex *index = new (std::nothrow) CArcNameIndex;
    if (!index) return E_OUTOFMEMORY;
    HRESULT hr;
    for (hr = FindFirstCentralDirectory(entry); hr == S_OK; hr = FindNextCentralDirectory(entry))
        index->Add(entry->name, m_directoryCursor);
    if (FAILED(hr)) {
        delete index;
        return hr;
    }
    index->Sort();
    m_nameIndex = index;
    return S_OK;
}

void CArchive2::ForgetEntryNames()
{
    delete m_nameIndex;
    m_nameIndex = nullptr;
}

// The table of record positions. The count comes from the file, so it is
// bounded by what the directory could hold before anything is allocated.
HRESULT CArchive2::MapCentralDirectories(int count)
{
    if (count <= 0 || !m_readFile) return S_OK;
    int64_t fileSize = VoFileGetSize(m_readFile);
    int64_t most = fileSize / ARC_DIRECTORY_RECORD_SIZE + 1;
    if (count > most) count = (int)most;
    uint64_t bytes = sizeof(int64_t) * (uint64_t)count;  // 64-bit: no wrap on 32-bit systems
    m_recordPositions = bytes <= SIZE_MAX ? (int64_t *)VoMemAlloc((size_t)bytes) : nullptr;
    if (!m_recordPositions) {
        ReportError(ARC_ERR_NOMEMORY, "MapCentralDirectories");
        return E_OUTOFMEMORY;
    }
    m_recordPositionCount = count;
    ArcDirectoryEntry entry;
    int64_t position = (int64_t)(m_startOffset + m_endRecord.directoryOffset);
    for (int i = 0; i < count; ++i) {
        m_recordPositions[i] = position;
        if (ReadDirectoryRecord(position, &entry)) position += (int64_t)ArcDirectoryRecordSpan(&entry.record);
    }
    return S_OK;
}

int CArchive2::GetDirectoryRecord(int index, ArcDirectoryEntry *entry)
{
    if (!m_recordPositions) MapCentralDirectories((int)m_endRecord.entryCount);
    memset(entry, 0, sizeof *entry);
    if (m_recordPositions && index >= 0 && index < m_recordPositionCount &&
        (uint32_t)index < m_endRecord.entryCount)
        return ReadDirectoryRecord(m_recordPositions[index], entry);
    return 1;
}
