// CArchive2: deleting entries. Entries are marked; Close copies the kept
// ones into the temporary file, which then replaces the archive.
#include <cstring>

#include "archive/archive.h"
#include "archive/entry_item.h"

namespace {

ArcDeleteItem *DeleteItem(tVOLIST *list, int index)
{
    return index < list->count ? (ArcDeleteItem *)VoList_GetItem(list, index) : nullptr;
}

}  // namespace

HRESULT CArchive2::DeleteEntryFromArchive(const VOCHAR *pattern, uint32_t flags)
{
    if (m_mode != ARC_OPEN_DELETE || !m_entryList) return E_FAIL;
    m_deleteFlags = flags;
    ArcPattern prepared;
    HRESULT hr = CheckForWildcards(pattern, &prepared);
    if (FAILED(hr)) return hr;
    ArcDirectoryEntry entry;
    int index = 0;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry), ++index) {
        bool match = MatchEntryName(&prepared, entry.name);
        ArcDeleteItem *item = DeleteItem(m_entryList, index);
        if (!item) {
            // The first call makes one item per entry, so it walks them all.
            ArcDeleteItem fresh = {match ? 1u : 0u, 0, 0};
            hr = VoList_AllocAndInsertItem(m_entryList, &fresh, sizeof fresh, -1, nullptr);
            if (FAILED(hr)) return hr;
        } else if (match) {
            item->deleteFlag = 1;
            if (prepared.kind == 0) break;
        }
    }
    return FAILED(hr) ? hr : S_OK;
}

void CArchive2::AbortDeletionProcess()
{
    if (m_mode == ARC_OPEN_DELETE && m_entryList) VoList_DeleteList(m_entryList, 0, -1, 0);
}

int CArchive2::IsDeleteRequested()
{
    if (m_mode != ARC_OPEN_DELETE || !m_entryList) return 0;
    for (int i = 0; i < m_entryList->count; ++i)
        if (DeleteItem(m_entryList, i)->deleteFlag) return 1;
    return 0;
}

int CArchive2::GetEntryDeleteStatus(int index)
{
    if (m_mode != ARC_OPEN_DELETE || !m_entryList || index < 0) return 0;
    ArcDeleteItem *item = DeleteItem(m_entryList, index);
    return item ? (int)item->deleteFlag : 0;
}

HRESULT CArchive2::SubmitDeleteList()
{
    if (m_mode != ARC_OPEN_DELETE) return E_FAIL;
    if (!IsDeleteRequested()) return S_OK;
    m_outputPosition = 0;
    bool deleted = false, copyAnnounced = false;
    ArcDirectoryEntry entry;
    HRESULT result = S_OK;
    int index = 0;
    HRESULT hr;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry), ++index) {
        ArcDeleteItem *item = DeleteItem(m_entryList, index);
        if (!item) break;
        const ArcDirectoryRecord &r = entry.record;
        if (item->deleteFlag) {
            if (m_progress) {
                m_progress->SetText(entry.name);
                m_progress->OnStatus(ARC_STAT_DELETE);
            }
            item->newOffset = -1;
            --m_entriesWritten;
            deleted = true;
            copyAnnounced = false;
            continue;
        }
        item->newOffset = (int64_t)m_outputPosition;
        if (!copyAnnounced && m_progress) {
            if (!(m_deleteFlags & ARC_QUIET)) m_progress->Begin(VOTEXT("Entries"), 0, 0);
            m_progress->OnStatus(ARC_STAT_COPY);
        }
        copyAnnounced = true;
        uint64_t span = ArcEntryDataOffset(&r) - r.localHeaderOffset + r.compressedSize;
        result = CopyIntoOutput(m_readFile, (int64_t)(m_startOffset + r.localHeaderOffset), span);
        if (FAILED(result)) break;
    }
    if (SUCCEEDED(result) && FAILED(hr)) result = hr;
    if (SUCCEEDED(result)) result = WriteKeptDirectory();
    if (m_progress) m_progress->OnStatus((uint32_t)result);
    if (SUCCEEDED(result) && deleted) m_changed = 1;
    return result;
}

HRESULT CArchive2::WriteKeptDirectory()
{
    uint64_t directoryStart = m_outputPosition;
    ArcDirectoryEntry entry;
    int index = 0;
    HRESULT hr;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry), ++index) {
        ArcDeleteItem *item = DeleteItem(m_entryList, index);
        if (!item || item->deleteFlag) continue;
        uint64_t at = m_outputPosition;
        HRESULT result = CopyIntoOutput(m_readFile, m_directoryCursor, ArcDirectoryRecordSpan(&entry.record));
        if (FAILED(result)) return result;
        // The copied record points at the entry's new place.
        uint8_t offset[8];
        ArcPut64(offset, (uint64_t)item->newOffset);
        result = PatchOutput(at + 76, offset, sizeof offset, "SubmitDeleteList", nullptr);
        if (FAILED(result)) return result;
    }
    if (FAILED(hr)) return hr;
    return AddEndOfCentralDir(directoryStart);
}
