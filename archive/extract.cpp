// CArchive2: extraction, validation, and the size and room estimates.
#include "archive/archive.h"

#include <cstdint>
#include <cstring>
#include <zlib.h>

#include "archive/data_source.h"
#include "archive/names.h"
#include "archive/work_buffers.h"
#include "files/files.h"
#include "format/format.h"

namespace {

uint32_t Crc(uint32_t crc, const uint8_t *bytes, uint32_t size)
{
    return (uint32_t)crc32(crc, bytes, size);
}

}  // namespace

// ---------------------------------------------------------------------------
// Walking the entries

int CArchive2::RunLength(const int *count) const
{
    return count && *count > 0 ? *count : 1;
}

// The index of a run's last entry, without overflow: a run past the last
// index ends with the directory.
int CArchive2::LastOfRun(int first, const int *count) const
{
    int64_t last = (int64_t)first + RunLength(count) - 1;
    return last > INT32_MAX ? INT32_MAX : (int)last;
}

// A folder entry that claims data lies: its sizes would count in the room
// checks, so extraction and verification refuse it alike.
bool CArchive2::RefuseFolderWithData(const ArcDirectoryEntry *entry, const char *operation)
{
    const ArcDirectoryRecord &r = entry->record;
    if (!(r.attributes & ARC_ATTR_FOLDER) || (r.compressedSize == 0 && r.uncompressedSize == 0)) return false;
    ReportError(ARC_ERR_CRC, operation, entry->name);
    return true;
}

HRESULT CArchive2::ExtractOne(const ArcDirectoryEntry *entry, const VOCHAR *dest)
{
    if (RefuseFolderWithData(entry, "ExtractDirectoryEntry")) return VO_E_BADDATA;
    if (entry->record.attributes & ARC_ATTR_FOLDER) {
        if (m_extractFlags & ARC_EXTRACT_NOPATHS) return S_OK;
        return ExtractDirectoryEntry(entry, dest);
    }
    return ExtractCentralDirectoryFile(entry, dest);
}

HRESULT CArchive2::CheckVolumes(const char *operation)
{
    if (m_volumeCount > 1 && FAILED(ValidateMultiVolume())) {
        if (operation) ReportError(ARC_ERR_VOLUME, operation);
        return VO_E_BADDATA;
    }
    return S_OK;
}

// What ExtractEntry checks first: the room test's answer, then that every
// volume is there.
HRESULT CArchive2::ReadyToExtract(HRESULT space)
{
    if (FAILED(space)) return space;
    if (space != S_OK) {
        ReportError(ARC_ERR_DISKSPACE, "ExtractEntry");
        return VO_E_DISKFULL;
    }
    return CheckVolumes("ExtractEntry");
}

HRESULT CArchive2::ExtractAll(const VOCHAR *dest, uint32_t flags)
{
    if (!IsOpen()) return E_FAIL;
    if (IsSpaceForExtractAll(dest, flags) != S_OK) {
        ReportError(ARC_ERR_DISKSPACE, "ExtractAll");
        return VO_E_DISKFULL;
    }
    HRESULT hr = CheckVolumes(nullptr);
    if (FAILED(hr)) return hr;
    if (m_progress) m_progress->Begin(m_archivePath, ArcLow(m_totalUncompressed), ArcHigh(m_totalUncompressed));
    m_extractFlags = flags;
    m_checkedFolder[0] = 0;  // each extraction checks afresh
    m_refusedEntry = false;
    ArcDirectoryEntry entry;
    hr = FindFirstCentralDirectory(&entry);
    HRESULT result = S_OK;
    while (hr == S_OK) {
        HRESULT one = ExtractOne(&entry, dest);
        if (FAILED(one)) {
            result = one;
            break;
        }
        hr = FindNextCentralDirectory(&entry);
    }
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    // Entries refused for their names were skipped; the run as a whole is
    // then not a success.
    if (SUCCEEDED(result) && m_refusedEntry) result = VO_E_BADDATA;
    return result;
}

HRESULT CArchive2::ExtractEntry(const VOCHAR *pattern, const VOCHAR *dest, uint32_t flags)
{
    m_extractFlags = flags;
    m_checkedFolder[0] = 0;  // each extraction checks afresh
    if (!IsOpen()) return E_FAIL;
    HRESULT hr = ReadyToExtract(IsSpaceForExtractEntry(pattern, dest, flags));
    if (FAILED(hr)) return hr;
    if (m_progress) {
        if (flags & ARC_EXTRACT_NOTOTAL) {
            m_progress->SetText(pattern);
        } else {
            uint64_t size = 0;
            GetSizeExtractEntry(pattern, &size, flags);
            m_progress->Begin(pattern, ArcLow(size), ArcHigh(size));
        }
    }
    ArcPattern prepared;
    hr = CheckForWildcards(pattern, &prepared);
    if (FAILED(hr)) return hr;
    bool matched = false, cancelled = false;
    ArcDirectoryEntry entry;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK; hr = FindNextCentralDirectory(&entry)) {
        if (!MatchEntryName(&prepared, entry.name)) continue;
        matched = true;
        // A failed entry is reported and the next one tried; a cancel ends
        // the run.
        cancelled = ExtractOne(&entry, dest) == VO_E_CANCEL;
        if (cancelled || prepared.kind == 0) break;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    if (cancelled) return VO_E_CANCEL;
    return matched ? S_OK : S_FALSE;
}

HRESULT CArchive2::ExtractEntry(int first, const int *count, const VOCHAR *dest, uint32_t flags)
{
    if (!IsOpen()) return E_FAIL;
    HRESULT hr = ReadyToExtract(IsSpaceForExtractEntry(first, count, dest, flags));
    if (FAILED(hr)) return hr;
    if (m_progress) {
        uint64_t size = 0;
        GetSizeExtractEntry(first, count, &size, flags);
        m_progress->Begin(VOTEXT(""), ArcLow(size), ArcHigh(size));
    }
    m_extractFlags = flags;
    m_checkedFolder[0] = 0;  // each extraction checks afresh
    int last = LastOfRun(first, count);
    int index = 0;
    ArcDirectoryEntry entry;
    for (hr = FindFirstCentralDirectory(&entry); hr == S_OK && index <= last;
         hr = FindNextCentralDirectory(&entry), ++index) {
        if (index < first || index >= GetArchiveCount()) continue;
        hr = ExtractOne(&entry, dest);
        if (FAILED(hr)) break;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return hr == VO_E_CANCEL ? VO_E_CANCEL : S_FALSE;
}

// ---------------------------------------------------------------------------
// Folders and files

HRESULT CArchive2::ExtractDirectoryEntry(const ArcDirectoryEntry *entry, const VOCHAR *dest)
{
    VOCHAR path[ARC_TEXT_UNITS * 2];
    bool foldersExist;
    uint32_t attributes;
    if (!MakeTargetPath(dest, entry, path, &foldersExist, &attributes)) return S_FALSE;
    bool made = attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_DIRECTORY);
    // With every folder above it there, only this one is to be made.
    if (!made && foldersExist) made = VoPathCreateFolder(path) || VoPathIsFolder(path);
    if (!made) made = VoCreateDirectory(path, nullptr) == 1;
    if (made) RememberCheckedFolder(path);
    return S_OK;
}

// Names that could place a file outside the destination, or on a device,
// are refused; the rest of the archive still extracts.
bool CArchive2::RefuseUnsafeName(const ArcDirectoryEntry *entry)
{
    if (ArcIsSafeEntryName(entry->name)) return false;
    ReportError(ARC_ERR_INVALIDARG, "ExtractCentralDirectoryFile", entry->name);
    m_refusedEntry = true;
    return true;
}

// Remembers a folder that exists with every folder on its way checked (the
// folders below it were made by this extraction), with its separator.
void CArchive2::RememberCheckedFolder(const VOCHAR *folder)
{
    m_checkedFolder[0] = 0;
    if (VoStrLen(folder) + 2 > ARC_TEXT_UNITS * 2) return;  // never a cut, wrong prefix
    size_t n = VoStrCopyN(m_checkedFolder, folder, ARC_TEXT_UNITS * 2);
    if (n > 0 && m_checkedFolder[n - 1] != VO_PATH_SEPARATOR) {
        m_checkedFolder[n] = VO_PATH_SEPARATOR;
        m_checkedFolder[n + 1] = 0;
    }
}

// dest + separator + the entry name in the file system's form (or only its
// last part without paths). Refuses an unsafe name, and a target that would
// pass through a symbolic link or junction below dest. On success
// foldersExist and attributes tell what the link check found.
bool CArchive2::MakeTargetPath(const VOCHAR *dest, const ArcDirectoryEntry *entry, VOCHAR *target,
                               bool *foldersExist, uint32_t *attributes)
{
    *foldersExist = false;
    *attributes = VO_INVALID_ATTRIBUTES;
    if (RefuseUnsafeName(entry)) return false;
    const VOCHAR *name = entry->name;
    const VOCHAR *relative = (m_extractFlags & ARC_EXTRACT_NOPATHS) ? ArcEntryLastPart(name) : name;
    if (!ArcComposeTargetPath(dest, relative, target, ARC_TEXT_UNITS)) {
        ReportError(ARC_ERR_BUFFER, "ExtractCentralDirectoryFile", name);
        m_refusedEntry = true;
        return false;
    }
    size_t length = VoStrLen(target);
    size_t keep = length - VoStrLen(relative);
    size_t checked = VoStrLen(m_checkedFolder);
    if (checked > keep && checked <= length && memcmp(target, m_checkedFolder, checked * sizeof(VOCHAR)) == 0)
        keep = checked;
    // A folder entry's target is the folder itself, without the separator.
    if (length > keep + 1 && target[length - 1] == VO_PATH_SEPARATOR) target[length - 1] = 0;
    if (ArcPathCrossesLink(target, keep, foldersExist, attributes)) {
        ReportError(ARC_ERR_INVALIDARG, "ExtractCentralDirectoryFile", name);
        m_refusedEntry = true;
        return false;
    }
    return true;
}

HRESULT CArchive2::ExtractCentralDirectoryFile(const ArcDirectoryEntry *entry, const VOCHAR *dest)
{
    VOCHAR target[ARC_TEXT_UNITS * 2];
    bool foldersExist;
    uint32_t attributes;
    if (!MakeTargetPath(dest, entry, target, &foldersExist, &attributes)) return S_FALSE;

    // A hidden or read-only file exists as much as any other.
    bool exists = attributes != VO_INVALID_ATTRIBUTES && !(attributes & VO_ATTR_DIRECTORY);
    if (!(m_extractFlags & ARC_EXTRACT_OVERWRITE) && exists && m_progress) {
        bool readOnly = (attributes & VO_ATTR_READONLY) != 0;
        HRESULT answer = readOnly ? AskOverwriteReadOnly(target) : AskOverwrite(target);
        if (answer != 0) return answer;
    }
    VOCHAR folder[ARC_TEXT_UNITS * 2];
    if (VoGetPathNameFromFilePath(target, folder, ARC_TEXT_UNITS)) {
        bool made = foldersExist;
        if (!made) {
            uint32_t attributes = VoPathGetAttributes(folder);
            made = attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_DIRECTORY);
            if (!made) made = VoCreateDirectory(folder, nullptr) == 1;
        }
        if (made) RememberCheckedFolder(folder);
    }

    ArcDataSource source;
    HRESULT hr = OpenDataSource(entry, source, "ExtractCentralDirectoryFile");
    if (FAILED(hr)) return hr;
    if (entry->record.method != ARC_METHOD_STORE && entry->record.method != ARC_METHOD_DEFLATE) {
        ReportError(ARC_ERR_SIGNATURE, "ExtractCentralDirectoryFile", entry->name);  // names the entry
        return E_NOTIMPL;
    }
    // An existing file is replaced, never written into: the new one is made
    // beside it and renamed over it when whole. A file linked into the
    // destination from elsewhere keeps its bytes, and a failed entry leaves
    // the old file as it was.
    VOCHAR replacement[ARC_TEXT_UNITS * 2];
    HVOFILE out = nullptr;
    const char *operation = entry->record.method == ARC_METHOD_STORE ? "ExtractInternalNoCompression"
                                                                      : "ExtractInternalZipCompression";
    hr = exists ? CreateReplacement(target, replacement, &out, operation) : OpenTarget(target, &out, operation);
    if (FAILED(hr)) return hr;
    if (entry->record.method == ARC_METHOD_STORE)
        hr = ExtractInternalNoCompression(source, entry, out, target);
    else
        hr = ExtractInternalZipCompression(source, entry, out, target);
    if (!exists) return hr;
    if (SUCCEEDED(hr)) {
        VoPathSetAttributes(target, VO_ATTR_NORMAL);  // a read-only file is replaced too
        if (!VoPathRename(replacement, target)) {
            ReportError(ARC_ERR_CREATE, operation, target);
            hr = VO_E_OPENFILE;
        }
    }
    if (FAILED(hr)) VoPathDeleteFile(replacement);
    return hr;
}

// The file that replaces target, NAME.N.part beside it, created anew (a
// file of that name is never opened, so no link planted there is followed).
HRESULT CArchive2::CreateReplacement(const VOCHAR *target, VOCHAR *replacement, HVOFILE *out, const char *operation)
{
    *out = nullptr;
    for (int n = 1; n <= 99 && !*out; ++n) {
        int length = VoPrintFN(replacement, ARC_TEXT_UNITS * 2, VOTEXT("%s.%d.part"), target, n);
        if (length < 0 || length >= ARC_TEXT_UNITS * 2 - 1) break;
        *out = VoFileOpen(replacement, VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW);
    }
    if (*out) return S_OK;
    ReportError(ARC_ERR_CREATE, operation, target);
    return VO_E_OPENFILE;
}

// Finds the file holding the data-stream offset: null for the main file
// (volume 1), or the opened volume with the offset made relative to it. A
// missing volume gives null with its number.
HVOFILE CArchive2::FindVolumeForOffset(uint64_t *offset, int *volume)
{
    *volume = 1;
    if (*offset < m_endRecord.directoryOffset) return nullptr;
    *offset -= m_endRecord.directoryOffset;
    for (uint32_t n = 2;; ++n) {
        *volume = (int)n;
        if (n > m_volumeCount) return nullptr;
        VOCHAR path[kNumberedPathUnits];
        GetVolumeName(m_baseName, (int)n, path);
        HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
        if (!file) return nullptr;
        int64_t size = VoFileGetSize(file);
        if (size >= 0 && *offset < (uint64_t)size) return file;
        *offset -= size > 0 ? (uint64_t)size : 0;
        VoFileClose(file);
    }
}

// Positions a data source at the start of an entry's data: in the main
// file, or in the volume that holds it.
HRESULT CArchive2::OpenDataSource(const ArcDirectoryEntry *entry, ArcDataSource &source, const char *operation)
{
    uint64_t offset = ArcEntryDataOffset(&entry->record);
    // An entry without data may sit exactly at the end of the data part;
    // there is nothing to find in any volume for it.
    if (entry->record.compressedSize == 0) {
        source.file = m_readFile;
        source.bytesLeft = 0;
        return S_OK;
    }
    source.file = FindVolumeForOffset(&offset, &source.volume);
    if (!source.file && source.volume > 1) {
        ReportError(ARC_ERR_VOLUME, operation, source.volume);
        return VO_E_NOTFOUND;
    }
    if (source.file) {
        source.ownsFile = true;
        int64_t size = VoFileGetSize(source.file);
        source.bytesLeft = size > (int64_t)offset ? (uint64_t)size - offset : 0;
        VoFileSeek(source.file, (int64_t)offset);
    } else {
        source.file = m_readFile;
        uint64_t dataEnd = m_endRecord.directoryOffset;
        source.bytesLeft = dataEnd > offset ? dataEnd - offset : 0;
        VoFileSeek(source.file, (int64_t)(m_startOffset + offset));
    }
    return S_OK;
}

// Reads the next piece of the data stream, at most `want` bytes, moving on
// to the next volume where the current file's part ends. A stream that
// ends before the entry does is a read failure, so every loop over entry
// data ends.
HRESULT CArchive2::ReadEntryData(ArcDataSource &s, uint8_t *buffer, uint32_t want, uint32_t *got)
{
    *got = 0;
    while (s.bytesLeft == 0) {
        if ((uint32_t)s.volume >= m_volumeCount) return VO_E_READ;
        if (!OpenNextVolume(s)) return VO_E_NOTFOUND;
    }
    uint32_t chunk = want < s.bytesLeft ? want : (uint32_t)s.bytesLeft;
    if (!VoFileRead(s.file, buffer, chunk, got) || *got != chunk) return VO_E_READ;
    s.bytesLeft -= chunk;
    return S_OK;
}

bool CArchive2::OpenNextVolume(ArcDataSource &s)
{
    if (s.ownsFile) VoFileClose(s.file);
    s.file = nullptr;
    s.ownsFile = false;
    ++s.volume;
    VOCHAR path[kNumberedPathUnits];
    GetVolumeName(m_baseName, s.volume, path);
    s.file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!s.file) return false;
    s.ownsFile = true;
    int64_t size = VoFileGetSize(s.file);
    s.bytesLeft = size > 0 ? (uint64_t)size : 0;
    return true;
}

// Reads the next chunk of an entry's stored bytes (at most what remains),
// counting it off and into the data CRC.
HRESULT CArchive2::ReadChunk(ArcDataSource &source, uint8_t *buffer, uint64_t &remaining, uint32_t *got,
                             uint32_t &dataCrc, const char *operation)
{
    uint32_t want = remaining < ARC_CHUNK_SIZE ? (uint32_t)remaining : ARC_CHUNK_SIZE;
    HRESULT hr = ReadEntryData(source, buffer, want, got);
    if (FAILED(hr)) {
        ReportError(hr == VO_E_NOTFOUND ? ARC_ERR_OPEN : ARC_ERR_READ, operation);
        return hr;
    }
    dataCrc = Crc(dataCrc, buffer, *got);
    remaining -= *got;
    return S_OK;
}

// The file an entry extracts into, where none exists yet.
HRESULT CArchive2::OpenTarget(const VOCHAR *target, HVOFILE *out, const char *operation)
{
    *out = VoFileOpen(target, VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    if (*out) return S_OK;
    ReportError(ARC_ERR_CREATE, operation, target);
    return VO_E_OPENFILE;
}

HRESULT CArchive2::VerifyEntry(int index)
{
    if (!IsOpen() || m_mode == ARC_OPEN_VOLUMES || index < 0 || index >= GetArchiveCount()) return E_INVALIDARG;
    ArcDirectoryEntry entry;
    if (!GetDirectoryRecord(index, &entry)) {
        ReportError(ARC_ERR_SIGNATURE, "VerifyEntry", index);
        return VO_E_BADDATA;
    }
    uint64_t size = entry.record.uncompressedSize;
    if (m_progress) m_progress->Begin(entry.name, ArcLow(size), ArcHigh(size));
    HRESULT result = S_OK;
    if (RefuseUnsafeName(&entry) || RefuseFolderWithData(&entry, "VerifyEntry")) {
        result = VO_E_BADDATA;
    } else if (!(entry.record.attributes & ARC_ATTR_FOLDER)) {
        ArcDataSource source;
        result = OpenDataSource(&entry, source, "VerifyEntry");
        if (SUCCEEDED(result) && entry.record.method == ARC_METHOD_STORE)
            result = ExtractInternalNoCompression(source, &entry, nullptr, nullptr);
        else if (SUCCEEDED(result) && entry.record.method == ARC_METHOD_DEFLATE)
            result = ExtractInternalZipCompression(source, &entry, nullptr, nullptr);
        else if (SUCCEEDED(result)) {
            ReportError(ARC_ERR_SIGNATURE, "VerifyEntry", entry.name);
            result = E_NOTIMPL;
        }
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return result;
}

// Writes extracted bytes to the target, into the content CRC, and reports
// them; a cancel from the progress object ends the entry.
HRESULT CArchive2::WriteChunk(HVOFILE out, const uint8_t *bytes, uint32_t size, uint32_t &contentCrc,
                              const VOCHAR *target, const char *operation)
{
    if (out && !VoFileWrite(out, bytes, size)) {
        ReportError(ARC_ERR_WRITE, operation, target);
        return VO_E_WRITE;
    }
    contentCrc = Crc(contentCrc, bytes, size);
    if (m_progress) {
        m_progress->OnProgress(size, 0);
        if (m_progress->GetAnswer() == VO_E_CANCEL) return VO_E_CANCEL;
    }
    return S_OK;
}

HRESULT CArchive2::ExtractInternalNoCompression(ArcDataSource &source, const ArcDirectoryEntry *entry, HVOFILE out,
                                                const VOCHAR *target)
{
    const char *operation = "ExtractInternalNoCompression";
    uint8_t *buffer = ChunkBuffer(operation);
    if (!buffer) {
        if (out) VoFileClose(out);
        return E_OUTOFMEMORY;
    }
    if (m_progress) {
        m_progress->SetText(entry->name);
        m_progress->OnStatus(ARC_STAT_EXTRACT);
    }
    uint32_t dataCrc = Crc(0, nullptr, 0), contentCrc = dataCrc;
    uint64_t remaining = entry->record.uncompressedSize;
    HRESULT result = S_OK;
    while (remaining > 0) {
        uint32_t got = 0;
        result = ReadChunk(source, buffer, remaining, &got, dataCrc, operation);
        if (FAILED(result)) break;
        result = WriteChunk(out, buffer, got, contentCrc, target, operation);
        if (FAILED(result)) break;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_ITEMDONE);
    if (FAILED(result)) {
        if (out) VoFileClose(out);
        return result;
    }
    return FinishTarget(out, entry, dataCrc, contentCrc, operation);
}

HRESULT CArchive2::ExtractInternalZipCompression(ArcDataSource &source, const ArcDirectoryEntry *entry, HVOFILE out,
                                                 const VOCHAR *target)
{
    const char *operation = "ExtractInternalZipCompression";
    CArcWorkBuffers *work = WorkBuffers();
    uint8_t *input = work ? work->Chunk() : nullptr;
    uint8_t *output = input ? work->InflateOutput() : nullptr;
    if (!output) {
        ReportError(ARC_ERR_NOMEMORY, operation);
        if (out) VoFileClose(out);
        return E_OUTOFMEMORY;
    }
    uint32_t dataCrc = Crc(0, nullptr, 0), contentCrc = dataCrc;
    if (m_progress) {
        m_progress->SetText(entry->name);
        m_progress->OnStatus(ARC_STAT_EXTRACT);
    }
    const uint64_t size = entry->record.uncompressedSize;
    uint64_t remainingIn = entry->record.compressedSize;
    uint64_t written = 0;
    HRESULT result = S_OK;
    // Raw deflate (no header); the current zlib needs no extra byte to see
    // the end of such a stream.
    z_stream *z = remainingIn > 0 ? work->Inflater() : nullptr;
    if (remainingIn > 0 && !z) {
        ReportError(ARC_ERR_NOMEMORY, operation);
        if (out) VoFileClose(out);
        return E_OUTOFMEMORY;
    }
    while (z) {
        if (z->avail_in == 0 && remainingIn > 0) {
            uint32_t got = 0;
            result = ReadChunk(source, input, remainingIn, &got, dataCrc, operation);
            if (FAILED(result)) break;
            z->next_in = input;
            z->avail_in = got;
        }
        z->next_out = output;
        z->avail_out = ARC_INFLATE_OUT_SIZE;
        int status = inflate(z, Z_NO_FLUSH);
        uint32_t produced = ARC_INFLATE_OUT_SIZE - z->avail_out;
        if (status != Z_OK && status != Z_STREAM_END && !(status == Z_BUF_ERROR && produced)) {
            // Corrupt data, or a stream that has not ended when all its
            // stored bytes were offered.
            ReportError(ARC_ERR_WRITE, operation);
            result = VO_E_WRITE;
            break;
        }
        if (produced) {
            // More output than the entry declares is bad data, not more file.
            if (written + produced > size) {
                ReportError(ARC_ERR_CRC, operation, entry->name);
                result = VO_E_BADDATA;
                break;
            }
            result = WriteChunk(out, output, produced, contentCrc, target, operation);
            if (FAILED(result)) break;
            written += produced;
        }
        if (status == Z_STREAM_END) {
            // A stream that ends short of the declared size is bad data
            // too, not a shorter file.
            if (written < size) {
                ReportError(ARC_ERR_CRC, operation, entry->name);
                result = VO_E_BADDATA;
            }
            break;
        }
    }
    if (m_progress) {
        if (SUCCEEDED(result) && written < size) m_progress->OnProgress(ArcLow(size - written), ArcHigh(size - written));
        m_progress->OnStatus(ARC_STAT_ITEMDONE);
    }
    if (FAILED(result)) {
        if (out) VoFileClose(out);
        return result;
    }
    return FinishTarget(out, entry, dataCrc, contentCrc, operation);
}

// Gives a fully written target the entry's times and attributes, then
// compares both CRC values.
HRESULT CArchive2::FinishTarget(HVOFILE target, const ArcDirectoryEntry *entry,
                                uint32_t dataCrc, uint32_t contentCrc, const char *operation)
{
    const ArcDirectoryRecord &r = entry->record;
    if (target) {
        VoFileSetTimes(target, &r.fileTime, &r.fileTime, &r.fileTime);
        // Through the open handle: setting them by name would open the file
        // again, three more system round trips a file (Wine: server calls).
        VoFileSetAttributes(target, r.attributes ? r.attributes : VO_ATTR_NORMAL);
        VoFileClose(target);
    }
    if (contentCrc != r.contentCrc || dataCrc != r.dataCrc) {
        ReportError(ARC_ERR_CRC, operation, entry->name);
        return VO_E_BADDATA;
    }
    return S_OK;
}
