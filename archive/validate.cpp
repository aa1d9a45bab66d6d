// CArchive2: validation without writing, overwrite questions, and the size
// and room estimates made before extracting.
#include "archive/archive.h"

#include <zlib.h>

#include "archive/data_source.h"
#include "files/files.h"

// ---------------------------------------------------------------------------
// Overwrite questions

HRESULT CArchive2::AskOverwrite(const VOCHAR *path)
{
    return Ask(path, ARC_STAT_ASK, m_replaceAll, m_rememberedAnswer);
}

HRESULT CArchive2::AskOverwriteReadOnly(const VOCHAR *path)
{
    return Ask(path, ARC_STAT_ASKREADONLY, m_replaceAllReadOnly, m_rememberedAnswerReadOnly);
}

// Returns 0 to replace, 1 to keep, or a negative answer such as VO_E_CANCEL.
// An answer "for all" is remembered until the archive is closed.
HRESULT CArchive2::Ask(const VOCHAR *path, uint32_t question, int32_t &replaceAll, HRESULT &remembered)
{
    if (replaceAll) {
        m_progress->SetText(path);
        m_progress->OnStatus(remembered == 0 ? ARC_STAT_REPLACE : ARC_STAT_SKIP);
        return remembered;
    }
    m_progress->SetText(path);
    m_progress->OnStatus(question);
    HRESULT answer = m_progress->GetAnswer();
    HRESULT value = answer;
    if (answer == ARC_ANSWER_YES || answer == ARC_ANSWER_YESALL) {
        if (answer == ARC_ANSWER_YESALL) replaceAll = 1;
        m_progress->SetText(path);
        m_progress->OnStatus(ARC_STAT_REPLACE);
        value = 0;
    } else if (answer == ARC_ANSWER_NO || answer == ARC_ANSWER_NOALL) {
        if (answer == ARC_ANSWER_NOALL) replaceAll = 1;
        m_progress->SetText(path);
        m_progress->OnStatus(ARC_STAT_SKIP);
        value = 1;
    }
    remembered = value;
    return value;
}

// ---------------------------------------------------------------------------
// Validation

HRESULT CArchive2::ValidateEntryData(const ArcDirectoryEntry *entry)
{
    const char *operation = "ValidateEntryData";
    uint8_t *buffer = ChunkBuffer(operation);
    if (!buffer) return E_OUTOFMEMORY;
    if (m_progress) {
        m_progress->SetText(entry->name);
        m_progress->OnStatus(ARC_STAT_VALIDATE);
    }
    // Validation follows the data across volumes as extraction does.
    ArcDataSource source;
    HRESULT result = OpenDataSource(entry, source, operation);
    uint32_t crc = (uint32_t)crc32(0, nullptr, 0);
    uint64_t remaining = entry->record.compressedSize;
    while (SUCCEEDED(result) && remaining > 0) {
        uint32_t want = remaining < ARC_CHUNK_SIZE ? (uint32_t)remaining : ARC_CHUNK_SIZE;
        uint32_t got = 0;
        result = ReadEntryData(source, buffer, want, &got);
        if (FAILED(result)) {
            ReportError(result == VO_E_NOTFOUND ? ARC_ERR_VOLUME : ARC_ERR_READ, operation, entry->name);
            break;
        }
        crc = (uint32_t)crc32(crc, buffer, got);
        remaining -= got;
        if (m_progress) {
            m_progress->OnProgress(got, 0);
            if (m_progress->GetAnswer() == VO_E_CANCEL) result = VO_E_CANCEL;
        }
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_ITEMDONE);
    if (SUCCEEDED(result) && crc != entry->record.dataCrc) {
        ReportError(ARC_ERR_CRC, operation, entry->name);
        result = VO_E_BADDATA;
    }
    return result;
}

HRESULT CArchive2::ValidateEntry(const VOCHAR *pattern)
{
    if (!IsOpen() || m_mode == ARC_OPEN_VOLUMES) return E_FAIL;
    ArcPattern prepared;
    HRESULT hr = CheckForWildcards(pattern, &prepared);
    if (FAILED(hr)) return hr;
    if (m_progress) {
        uint64_t size = 0;
        GetSizeExtractEntry(pattern, &size, 0);
        m_progress->Begin(pattern, ArcLow(size), ArcHigh(size));
    }
    ArcDirectoryEntry entry;
    HRESULT result = FindFirstCentralDirectory(&entry);
    while (result == S_OK) {
        if (MatchEntryName(&prepared, entry.name)) {
            result = ValidateEntryData(&entry);
            if (FAILED(result) || prepared.kind == 0) break;
        }
        result = FindNextCentralDirectory(&entry);
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return result;
}

HRESULT CArchive2::ValidateEntry(int index)
{
    if (!IsOpen() || m_mode == ARC_OPEN_VOLUMES || index < 0 || index >= GetArchiveCount()) return S_OK;
    ArcDirectoryEntry entry;
    if (!GetDirectoryRecord(index, &entry) || entry.record.signature != ARC_DIRECTORY_SIGNATURE) return S_OK;
    if (m_progress) {
        uint64_t size = entry.record.uncompressedSize;
        m_progress->Begin(entry.name, ArcLow(size), ArcHigh(size));
    }
    HRESULT result = ValidateEntryData(&entry);
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return result;
}

// ---------------------------------------------------------------------------
// Sizes and room

HRESULT CArchive2::GetSizeExtractAll(uint64_t *size)
{
    HRESULT result = S_OK;
    if (m_totalUncompressed == 0) {
        if (!IsOpen()) {
            ReportError(ARC_ERR_BADSTATE, "GetSizeExtractAll");
            return E_FAIL;
        }
        uint64_t total = 0;
        ArcDirectoryEntry entry;
        HRESULT hr;
        for (hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry)) {
            uint64_t size = entry.record.uncompressedSize;
            total = size > UINT64_MAX - total ? UINT64_MAX : total + size;  // a lie saturates, never wraps
        }
        if (FAILED(hr)) result = S_FALSE;
        m_totalUncompressed = total;
    }
    if (size) *size = m_totalUncompressed;
    return result;
}

HRESULT CArchive2::GetSizeExtractEntry(const VOCHAR *pattern, uint64_t *size, uint32_t)
{
    *size = 0;
    if (!IsOpen()) return E_FAIL;
    ArcPattern prepared;
    HRESULT hr = CheckForWildcards(pattern, &prepared);
    if (FAILED(hr)) return hr;
    ArcDirectoryEntry entry;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry)) {
        if (!MatchEntryName(&prepared, entry.name)) continue;
        *size += entry.record.uncompressedSize;
        if (prepared.kind == 0) break;
    }
    return S_OK;
}

HRESULT CArchive2::GetSizeExtractEntry(int first, const int *count, uint64_t *size, uint32_t)
{
    *size = 0;
    if (!IsOpen()) return E_FAIL;
    int last = LastOfRun(first, count);
    bool counted = false;
    int index = 0;
    ArcDirectoryEntry entry;
    for (HRESULT hr = FindFirstCentralDirectory(&entry); hr == S_OK && index <= last;
         hr = FindNextCentralDirectory(&entry), ++index) {
        if (index < first || index >= GetArchiveCount()) continue;
        *size += entry.record.uncompressedSize;
        counted = true;
    }
    return counted ? S_OK : S_FALSE;
}

// 0 when dest has room for size bytes, 1 when not.
HRESULT CArchive2::CheckRoom(uint64_t size, const VOCHAR *dest, const char *operation, bool notFoundIsInvalid)
{
    uint32_t attributes = dest ? VoPathGetAttributes(dest) : VO_INVALID_ATTRIBUTES;
    if (attributes == VO_INVALID_ATTRIBUTES || !(attributes & VO_ATTR_DIRECTORY)) {
        if (notFoundIsInvalid) {
            ReportError(ARC_ERR_INVALIDARG, operation);
            return E_INVALIDARG;
        }
        VOCHAR root[64];
        root[0] = 0;
        if (dest) VoGetRootPathFromFilePath(dest, root, 64);
        ReportError(ARC_ERR_DISKSPACE, operation, root);
        return VO_E_NOTFOUND;
    }
    uint64_t needed = size / 1024;
    uint64_t available = VoGetDiskFreeSpace(dest, 1024);
    return needed > available ? S_FALSE : S_OK;
}

HRESULT CArchive2::IsSpaceForExtractAll(const VOCHAR *dest, uint32_t)
{
    if (!IsOpen()) return E_FAIL;
    uint64_t size = 0;
    GetSizeExtractAll(&size);
    return CheckRoom(size, dest, "IsSpaceForExtractAll", false);
}

HRESULT CArchive2::IsSpaceForExtractEntry(const VOCHAR *pattern, const VOCHAR *dest, uint32_t flags)
{
    if (!IsOpen()) return E_FAIL;
    uint64_t size = 0;
    HRESULT hr = GetSizeExtractEntry(pattern, &size, flags);
    if (FAILED(hr)) return hr;
    return CheckRoom(size, dest, "IsSpaceForExtractEntry", true);
}

HRESULT CArchive2::IsSpaceForExtractEntry(int first, const int *count, const VOCHAR *dest, uint32_t flags)
{
    if (!IsOpen()) return E_FAIL;
    uint64_t size = 0;
    GetSizeExtractEntry(first, count, &size, flags);
    return CheckRoom(size, dest, "IsSpaceForExtractEntry", true);
}
