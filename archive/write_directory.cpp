// CArchive2: the central directory written at Close, the entries carried
// over from the old archive when appending, and comments.
#include <cstring>

#include "archive/archive.h"
#include "archive/entry_item.h"
#include "archive/name_index.h"

namespace {

void EncodeText(const VOCHAR *text, uint32_t length, uint8_t *bytes)
{
    for (uint32_t i = 0; i < length; ++i) {
        bytes[2 * i] = (uint8_t)text[i];
        bytes[2 * i + 1] = (uint8_t)(text[i] >> 8);
    }
}

// The directory record of a written entry: the header's fields, the name
// and the local header's offset.
void MakeDirectoryRecord(const ArcEntryItem *item, ArcDirectoryRecord *record)
{
    const ArcLocalHeader &h = item->header;
    memset(record, 0, sizeof *record);
    record->signature = ARC_DIRECTORY_SIGNATURE;
    record->reserved1 = h.reserved1;
    record->reserved2 = h.reserved2;
    record->method = h.method;
    record->level = h.level;
    record->fileTime = h.fileTime;
    record->dataCrc = h.dataCrc;
    record->contentCrc = h.contentCrc;
    record->compressedSize = h.compressedSize;
    record->uncompressedSize = h.uncompressedSize;
    record->nameLength = h.nameLength;
    record->secondLength = h.secondLength;
    record->attributes = h.attributes;
    record->localHeaderOffset = item->headerOffset;
}

}  // namespace

HRESULT CArchive2::CopyExistingEntries()
{
    const char *operation = "CopyExistingEntries";
    // What is carried over: every old entry not replaced by a new one (the
    // items written since Open, the list so far, indexed by name).
    CArcNameIndex added;
    for (int i = 0; i < m_entryList->count; ++i)
        added.Add(((const ArcEntryItem *)VoList_GetItem(m_entryList, i))->name, i);
    added.Sort();
    auto replaced = [&](const VOCHAR *name) { return added.Find(name) >= 0; };
    ArcDirectoryEntry entry;
    if (m_progress) {
        uint64_t total = 0;
        for (HRESULT hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry))
            if (!replaced(entry.name)) total += entry.record.compressedSize;
        m_progress->Begin(VOTEXT("Entries"), ArcLow(total), ArcHigh(total));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    HRESULT result = S_OK;
    HRESULT hr;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK && SUCCEEDED(result); hr = FindNextCentralDirectory(&entry)) {
        if (replaced(entry.name)) continue;
        const ArcDirectoryRecord &r = entry.record;
        ArcEntryItem item;
        memset(&item, 0, sizeof item);
        item.header.reserved1 = r.reserved1;
        item.header.method = r.method;
        item.header.level = r.level;
        item.header.fileTime = r.fileTime;
        item.header.dataCrc = r.dataCrc;
        item.header.contentCrc = r.contentCrc;
        item.header.compressedSize = r.compressedSize;
        item.header.uncompressedSize = r.uncompressedSize;
        item.header.attributes = r.attributes;
        VoStrCopyN(item.name, entry.name, ARC_TEXT_UNITS);
        result = WriteEntryHeader(&item, operation);
        if (FAILED(result)) break;
        result = CopyIntoOutput(m_readFile, (int64_t)(m_startOffset + ArcEntryDataOffset(&r)), r.compressedSize);
        if (FAILED(result)) break;
        result = InsertEntryItem(&item);
    }
    if (SUCCEEDED(result) && FAILED(hr)) result = hr;
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return result;
}

HRESULT CArchive2::AddCentralDirectory()
{
    const char *operation = "AddCentralDirectory";
    if (m_mode != ARC_OPEN_CREATE && m_mode != ARC_OPEN_APPEND) return E_FAIL;
    if (!m_entryList) {
        ReportError(ARC_ERR_NOMEMORY, operation);
        return E_OUTOFMEMORY;
    }
    if (m_mode == ARC_OPEN_APPEND && m_endRecord.entryCount > 0 && m_entryList->count > 0) {
        HRESULT hr = CopyExistingEntries();
        if (FAILED(hr)) return hr;
    }
    uint64_t directoryStart = m_outputPosition;
    int count = m_entryList->count;
    if (count > 0) m_changed = 1;
    for (int i = 0; i < count; ++i) {
        const ArcEntryItem *item = (const ArcEntryItem *)VoList_GetItem(m_entryList, i);
        ArcDirectoryRecord record;
        MakeDirectoryRecord(item, &record);
        uint8_t bytes[ARC_DIRECTORY_RECORD_SIZE + 2 * ARC_TEXT_UNITS];
        ArcEncodeDirectoryRecord(&record, bytes);
        EncodeText(item->name, record.nameLength, bytes + ARC_DIRECTORY_RECORD_SIZE);
        HRESULT hr = WriteOutput(bytes, ARC_DIRECTORY_RECORD_SIZE + 2 * record.nameLength, operation);
        if (FAILED(hr)) return hr;
    }
    if (!m_changed) return S_OK;
    return AddEndOfCentralDir(directoryStart);
}

void CArchive2::AddVolumeComment(const VOCHAR *text)
{
    if (m_mode == ARC_OPEN_READ) return;
    VoStrCopyN(m_volumeComment, text, ARC_MAX_COMMENT + 1);
}

HRESULT CArchive2::Annotate(const VOCHAR *archivePath, const VOCHAR *comment)
{
    const char *operation = "Annotate";
    if (!MakeFullPath(archivePath, m_archivePath)) return E_INVALIDARG;
    HVOFILE file = VoFileOpen(m_archivePath, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!file) {
        ReportError(ARC_ERR_OPEN, operation, m_archivePath);
        return VO_E_OPENFILE;
    }
    if (!VoFileLockForRewrite(file, m_archivePath)) {
        ReportError(ARC_ERR_OPEN, operation, m_archivePath);
        VoFileClose(file);
        return VO_E_SHARING;
    }
    m_mode = ARC_OPEN_APPEND;
    HRESULT hr = LoadArchive(file);  // closes the file when it fails
    if (FAILED(hr)) {
        m_mode = ARC_OPEN_CREATE;
        ReportError(ARC_ERR_SIGNATURE, operation, m_archivePath);
        return hr == VO_E_BADDATA ? hr : VO_E_BADSIGNATURE;
    }
    m_readFile = file;
    hr = WriteAnnotatedCopy(comment, operation);
    // Like every rewrite: the copy replaces the archive with one rename only
    // when it is whole, so a failure (a full disk) leaves the archive as it was.
    hr = CloseOutputFile(hr, true, operation);
    // The archive is held (and locked) until the copy has replaced it.
    if (SUCCEEDED(hr) && !VoPathRenameOverHeld(&m_readFile, m_outputPath, m_archivePath)) {
        ReportError(ARC_ERR_CREATE, operation, m_archivePath);
        hr = VO_E_WRITE;
    }
    if (m_readFile) VoFileClose(m_readFile);
    m_readFile = nullptr;
    if (FAILED(hr) && m_outputPath[0]) VoPathDeleteFile(m_outputPath);
    m_outputPath[0] = 0;
    m_mode = ARC_OPEN_CREATE;
    return hr;
}

// The archive up to the end of its directory copied to "~name", then the
// end record with the new comment.
HRESULT CArchive2::WriteAnnotatedCopy(const VOCHAR *comment, const char *operation)
{
    HRESULT hr = CreateTemporaryFile(operation);
    if (FAILED(hr)) return hr;
    VoStrCopyN(m_volumeComment, comment, ARC_MAX_COMMENT + 1);
    m_entriesWritten = m_endRecord.entryCount;
    uint64_t directoryEnd = m_endRecord.directoryOffset + m_endRecord.directorySize;
    hr = BlockCopy(m_readFile, 0, m_startOffset + directoryEnd, m_outputFile, 0);
    if (FAILED(hr)) return hr;
    m_outputPosition = directoryEnd;
    return AddEndOfCentralDir(m_endRecord.directoryOffset);
}
