// CArchive2: queries about the archive and its entries.
#include "archive/archive.h"

#include <cstring>

#include "files/files.h"
#include "format/format.h"

int32_t CArchive2::GetArchiveCount()
{
    // An open that failed keeps the end record it read (for its error
    // line) but no file: there is nothing to count then.
    if (!IsOpen() || !HasEndRecord() || !m_readFile) return -1;
    return (int32_t)m_endRecord.entryCount;
}

// Reads an entry's record by position: 1 when read, 0 when the index is out
// of range or the read failed (the record is then zeroed).
int32_t CArchive2::QueryByIndex(int index, ArcDirectoryEntry *entry)
{
    if (index < 0 || index >= GetArchiveCount()) return -1;
    return GetDirectoryRecord(index, entry) ? 1 : 0;
}

// 0 when an entry of that name was found, 1 when not, E_FAIL when nothing
// is open.
int32_t CArchive2::QueryByName(const VOCHAR *name, ArcDirectoryEntry *entry)
{
    if (!IsOpen()) return E_FAIL;
    if (!name) return 1;
    return FindEntryByName(name, entry) == S_OK ? 0 : 1;
}

int32_t CArchive2::GetEntryRecord(int index, ArcDirectoryEntry *entry)
{
    int32_t r = QueryByIndex(index, entry);
    return r < 0 ? 0 : r;
}

int32_t CArchive2::GetEntryName(int index, VOCHAR *buffer, unsigned size)
{
    if (buffer && size) buffer[0] = 0;
    ArcDirectoryEntry entry;
    int32_t r = QueryByIndex(index, &entry);
    if (r < 0) return 0;
    if (r && buffer && size) VoStrCopyN(buffer, entry.name, size);
    return r;
}

// The by-index and by-name forms of each field query differ only in the
// field they copy out; one macro writes both.

#define ARC_FIELD_QUERIES(Method, Type, expression)                                          \
    int32_t CArchive2::Method(int index, Type *out)                                         \
    {                                                                                        \
        ArcDirectoryEntry entry;                                                             \
        int32_t r = QueryByIndex(index, &entry);                                             \
        if (r < 0) return 0;                                                                 \
        const ArcDirectoryRecord &rec = entry.record;                                        \
        if (out) *out = (Type)(expression);                                                  \
        return r;                                                                            \
    }                                                                                        \
    int32_t CArchive2::Method(const VOCHAR *name, Type *out)                                \
    {                                                                                        \
        ArcDirectoryEntry entry;                                                             \
        int32_t r = QueryByName(name, &entry);                                               \
        const ArcDirectoryRecord &rec = entry.record;                                        \
        if (r == 0 && out) *out = (Type)(expression);                                        \
        return r;                                                                            \
    }

ARC_FIELD_QUERIES(GetEntryUncompressedSize, uint64_t, rec.uncompressedSize)
ARC_FIELD_QUERIES(GetEntryCompressedSize, uint64_t, rec.compressedSize)
ARC_FIELD_QUERIES(GetEntryCompressionType, int, rec.method)
ARC_FIELD_QUERIES(GetEntryCRC32, int, rec.contentCrc)
ARC_FIELD_QUERIES(GetEntryFileAttributes, int, rec.attributes)
ARC_FIELD_QUERIES(GetEntryFileTime, VOFILETIME, rec.fileTime)

int CArchive2::IsEntryInArchive(const VOCHAR *name)
{
    ArcDirectoryEntry entry;
    return IsOpen() && name && FindEntryByName(name, &entry) == S_OK ? 1 : 0;
}

int CArchive2::GetArchiveSEAStatus()
{
    return m_endRecord.startOffset > 0 ? 1 : 0;
}

int CArchive2::GetMultiVolumeStatus()
{
    return (int)m_endRecord.volumeCount;
}

int32_t CArchive2::GetCreateTime(VOFILETIME *time)
{
    if (IsOpen() && m_readFile && time) VoFileGetTimes(m_readFile, time, nullptr, nullptr);
    return 0;
}

int32_t CArchive2::GetModifyTime(VOFILETIME *time)
{
    if (IsOpen() && m_readFile && time) VoFileGetTimes(m_readFile, nullptr, nullptr, time);
    return 0;
}

int64_t CArchive2::GetArchiveSize()
{
    if (!IsOpen()) return -1;
    int64_t total = m_readFile ? VoFileGetSize(m_readFile) : -1;
    for (uint32_t n = 2; n <= m_volumeCount; ++n) {
        VOCHAR path[kNumberedPathUnits];
        GetVolumeName(m_baseName, (int)n, path);
        HVOFILE volume = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
        if (!volume) {
            ReportError(ARC_ERR_VOLUME, "GetArchiveSize", path);
            return total;
        }
        total += VoFileGetSize(volume);
        VoFileClose(volume);
    }
    return total;
}

HRESULT CArchive2::GetVolumeComment(VOCHAR *buffer, unsigned size)
{
    if (!m_readFile) {
        ReportError(ARC_ERR_NOTOPEN, "GetVolumeComment");
        return E_FAIL;
    }
    if (!HasEndRecord()) {
        ReportError(ARC_ERR_SIGNATURE, "GetVolumeComment");
        return VO_E_BADSIGNATURE;
    }
    size_t length = VoStrLen(m_volumeComment);
    if (!buffer || size <= length) {
        ReportError(ARC_ERR_BUFFER, "GetVolumeComment");
        return VO_E_SMALLBUFFER;
    }
    VoStrCopyN(buffer, m_volumeComment, size);
    return S_OK;
}

// ---------------------------------------------------------------------------
// Volumes

void CArchive2::GetVolumeName(const VOCHAR *baseName, int n, VOCHAR *out)
{
    VOCHAR folder[ARC_TEXT_UNITS];
    VOCHAR title[ARC_TEXT_UNITS];
    folder[0] = 0;
    VoGetPathNameFromFilePath(m_archivePath, folder, ARC_TEXT_UNITS);
    // A base name may be a full path (an archive made into a self-extracting
    // one): volumes lie beside the opened file and take its file name only.
    VoStrCopyN(title, baseName ? VoGetFileNamePtrW(baseName) : VOTEXT(""), ARC_TEXT_UNITS);
    VOCHAR *extension = VoGetFileNameExtensionPtrW(title);
    VOCHAR extensionText[ARC_TEXT_UNITS];
    VoStrCopyN(extensionText, extension, ARC_TEXT_UNITS);
    *extension = 0;
    VoPrintF(out, VOTEXT("%s%s%d%s"), folder, title, n, extensionText);
}

HRESULT CArchive2::ValidateMultiVolume()
{
    if (m_volumeCount < 2) return S_FALSE;
    for (uint32_t n = 2; n <= m_volumeCount; ++n) {
        VOCHAR path[kNumberedPathUnits];
        GetVolumeName(m_baseName, (int)n, path);
        if (!VoDoesFileExist(path)) {
            ReportError(ARC_ERR_VOLUME, "ValidateMultiVolume", path);
            return VO_E_NOTFOUND;
        }
    }
    return S_OK;
}
