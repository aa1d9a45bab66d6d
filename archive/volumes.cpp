// CArchive2: splitting an archive into volumes and merging them again.
//
// The data part of an archive (local headers, names and data) is one byte
// stream. A split archive keeps the first part of that stream in its main
// file, followed by the central directory and the end record; volumes 2..N
// hold the rest as raw slices. Both operations run in ARC_OPEN_VOLUMES mode:
// the new main file is written to the "~name" temporary file beside the
// archive, which replaces the archive only when the whole operation has
// succeeded. Until then the archive and its volumes stay as they were.
#include "archive/archive.h"

#include <cstring>

#include "files/files.h"
#include "format/format.h"

namespace {
// No split makes more files than this (NAME9999.ext is the last volume).
const uint64_t kMaxSplitFiles = 9999;
}  // namespace

// Volumes are named after the archive, or, behind a stub, after the
// archive the self-extracting archive was made from.
const VOCHAR *CArchive2::SplitNameSource() const
{
    return m_startOffset > 0 && m_baseName[0] ? m_baseName : m_archivePath;
}

// What the main file holds besides its share of the data: the stub, the
// directory and the end record with the comment and the new base name.
uint64_t CArchive2::SplitOverhead() const
{
    uint64_t texts = (uint64_t)m_endRecord.commentLength + VoStrLen(VoGetFileNamePtrW(SplitNameSource()));
    return 2 * texts + m_startOffset + m_endRecord.directorySize + ARC_END_RECORD_SIZE;
}

HRESULT CArchive2::PlanSplit(int64_t volumeSize, uint32_t *files, uint64_t *minimum) const
{
    if (!m_readFile || volumeSize <= 0) return E_INVALIDARG;
    uint64_t size = (uint64_t)volumeSize, data = m_endRecord.directoryOffset, overhead = SplitOverhead();
    uint64_t fewest = (data + overhead + kMaxSplitFiles - 1) / kMaxSplitFiles;
    if (minimum) *minimum = fewest > overhead + 1 ? fewest : overhead + 1;
    uint64_t first = size > overhead ? size - overhead : 0;
    uint64_t count = data > first ? 1 + (data - first + size - 1) / size : 1;
    if (files) *files = count > kMaxSplitFiles + 1 ? (uint32_t)kMaxSplitFiles + 1 : (uint32_t)count;
    return S_OK;
}

// Volume n of the split under way: its own name, or with "part" the name
// it is written under until the split replaces the archive.
bool CArchive2::SplitVolumePath(uint32_t n, bool part, VOCHAR *out) const
{
    VOCHAR folder[ARC_TEXT_UNITS];
    folder[0] = 0;
    VoGetPathNameFromFilePath(m_archivePath, folder, ARC_TEXT_UNITS);
    VOCHAR volume[kNumberedPathUnits];
    if (!ComposeNumberedPath(folder, m_splitNameSource, n, part ? volume : out)) return false;
    return !part || PartPath(volume, out);
}

// True when the file at path holds exactly the length bytes of the data
// stream from offset: a volume an earlier split of this very archive left
// (it was stopped before the archive was replaced).
bool CArchive2::HoldsDataSlice(const VOCHAR *path, uint64_t offset, uint64_t length)
{
    HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    const uint32_t chunk = 65536;
    uint8_t *mine = (uint8_t *)VoMemAlloc(chunk), *theirs = (uint8_t *)VoMemAlloc(chunk);
    bool same = file && mine && theirs && VoFileGetSize(file) == (int64_t)length &&
                VoFileSeek(m_readFile, (int64_t)(m_startOffset + offset));
    for (uint64_t done = 0; same && done < length;) {
        uint32_t want = length - done < chunk ? (uint32_t)(length - done) : chunk, a = 0, b = 0;
        same = VoFileRead(m_readFile, mine, want, &a) && VoFileRead(file, theirs, want, &b) && a == want &&
               b == want && memcmp(mine, theirs, want) == 0;
        done += want;
    }
    VoMemFree(mine);
    VoMemFree(theirs);
    if (file) VoFileClose(file);
    return same;
}

// A split's volumes are new files: an existing file of a volume's name is
// replaced only with ARC_OVERWRITE, or when it already holds that volume's
// bytes (left by a split of this archive that was stopped).
HRESULT CArchive2::CheckVolumeNames(uint32_t files, uint64_t first, uint64_t size, uint32_t flags,
                                    const char *operation)
{
    uint64_t dataLength = m_endRecord.directoryOffset;
    for (uint32_t n = 2; n <= files; ++n) {
        VOCHAR volume[kNumberedPathUnits], part[kNumberedPathUnits];
        bool named = SplitVolumePath(n, false, volume) && SplitVolumePath(n, true, part);
        if (!named || IsSamePath(volume, m_archivePath) || IsSamePath(volume, m_outputPath)) {
            ReportError(ARC_ERR_CREATE, operation, volume);
            return VO_E_OPENFILE;
        }
        uint64_t start = first + (uint64_t)(n - 2) * size;
        uint64_t length = dataLength - start < size ? dataLength - start : size;
        if (!(flags & ARC_OVERWRITE) && VoPathGetAttributes(volume) != VO_INVALID_ATTRIBUTES &&
            !HoldsDataSlice(volume, start, length)) {
            ReportError(ARC_ERR_EXISTS, operation, volume);
            return VO_E_ALREADYEXISTS;
        }
    }
    return S_OK;
}

HRESULT CArchive2::SplitArchive(int64_t volumeSize, uint32_t flags)
{
    const char *operation = "SplitArchive";
    if (m_mode != ARC_OPEN_VOLUMES || !m_outputFile || m_volumeCount > 1) {
        ReportError(ARC_ERR_BADSTATE, operation);
        return E_FAIL;
    }
    if (volumeSize <= 0) {
        ReportError(ARC_ERR_INVALIDARG, operation);
        return E_INVALIDARG;
    }
    uint64_t size = (uint64_t)volumeSize;
    uint64_t dataLength = m_endRecord.directoryOffset;
    if ((int64_t)dataLength <= 0) return S_OK;  // no data: nothing to split
    if (dataLength / 1024 > VoGetDiskFreeSpace(m_archivePath, 1024)) {
        ReportError(ARC_ERR_DISKSPACE, operation);
        return VO_E_DISKFULL;
    }
    // Data smaller than one volume is not split, nor into more files than
    // anyone could handle.
    uint32_t files = 0;
    PlanSplit(volumeSize, &files, nullptr);
    if (dataLength < size || files > kMaxSplitFiles) {
        ReportError(ARC_ERR_INVALIDARG, operation);
        return E_INVALIDARG;
    }
    // The main file's share of the data: what is left of one volume after
    // the stub, the directory and the end record with its texts; none when
    // they alone come to a volume.
    uint64_t overhead = SplitOverhead(), first = size > overhead ? size - overhead : 0;
    VoStrCopyN(m_splitNameSource, SplitNameSource(), ARC_TEXT_UNITS);
    HRESULT hr = CheckVolumeNames(files, first, size, flags, operation);
    if (FAILED(hr)) return hr;
    bool quiet = (flags & ARC_QUIET) != 0;
    if (m_progress) {
        if (quiet)
            m_progress->SetText(m_archivePath);
        else
            m_progress->Begin(m_archivePath, ArcLow(size), ArcHigh(size));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    if (first > 0) {
        hr = BlockCopy(m_readFile, (int64_t)m_startOffset, first, m_outputFile, (int64_t)m_startOffset);
        if (FAILED(hr)) return hr;
        if (m_progress && !quiet) m_progress->OnStatus(ARC_STAT_DONE);
    }
    hr = WriteVolumes(first, size, quiet, operation);
    if (FAILED(hr)) {
        DeleteSplitVolumes();
        return hr;
    }
    uint64_t directorySize = m_endRecord.directorySize;
    hr = BlockCopy(m_readFile, (int64_t)(m_startOffset + dataLength), directorySize, m_outputFile,
                   (int64_t)(m_startOffset + first));
    if (SUCCEEDED(hr)) {
        m_volumeCount = m_splitVolumes;
        m_outputPosition = first + directorySize;
        VoStrCopyN(m_baseName, VoGetFileNamePtrW(m_splitNameSource), ARC_TEXT_UNITS);
        hr = AddEndOfCentralDir(first);
    }
    if (FAILED(hr)) DeleteSplitVolumes();
    if (SUCCEEDED(hr)) m_changed = 1;
    return hr;
}

// The data after the main file's share, in volumes 2, 3, ... of at most
// size bytes, each written under its ".part" name (Close gives them their
// own names just before the archive is replaced). m_splitVolumes counts
// the files made so far, the main one included.
HRESULT CArchive2::WriteVolumes(uint64_t position, uint64_t size, bool quiet, const char *operation)
{
    uint64_t dataLength = m_endRecord.directoryOffset;
    m_splitVolumes = 1;
    m_splitNamed = 1;
    while (position < dataLength) {
        VOCHAR volume[kNumberedPathUnits];
        SplitVolumePath(m_splitVolumes + 1, true, volume);  // CheckVolumeNames made sure it fits
        HVOFILE file = VoFileOpen(volume, VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
        if (!file) {
            ReportError(ARC_ERR_CREATE, operation, volume);
            return VO_E_OPENFILE;
        }
        ++m_splitVolumes;
        uint64_t n = dataLength - position < size ? dataLength - position : size;
        if (m_progress) {
            if (quiet)
                m_progress->SetText(volume);
            else
                m_progress->Begin(volume, ArcLow(n), ArcHigh(n));
            m_progress->OnStatus(ARC_STAT_COPY);
        }
        HRESULT hr = BlockCopy(m_readFile, (int64_t)(m_startOffset + position), n, file, 0);
        if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
        position += n;
        VoFileClose(file);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Gives a finished split's volumes their own names (replacing files of
// those names only where ARC_OVERWRITE allowed it); false, reported, when
// one cannot take it.
bool CArchive2::NameSplitVolumes()
{
    for (uint32_t n = 2; n <= m_splitVolumes; ++n) {
        VOCHAR part[kNumberedPathUnits], volume[kNumberedPathUnits];
        if (!SplitVolumePath(n, true, part) || !SplitVolumePath(n, false, volume) || !VoPathRename(part, volume)) {
            ReportError(ARC_ERR_CREATE, "Close", volume);
            return false;
        }
        m_splitNamed = n;
    }
    return true;
}

// Removes the volumes of a split that did not replace the archive: those
// NameSplitVolumes reached under their own names, the rest as ".part".
void CArchive2::DeleteSplitVolumes()
{
    for (uint32_t n = 2; n <= m_splitVolumes; ++n) {
        VOCHAR volume[kNumberedPathUnits];
        if (SplitVolumePath(n, n > m_splitNamed, volume)) VoPathDeleteFile(volume);
    }
    m_splitVolumes = m_splitNamed = 0;
}

HRESULT CArchive2::MergeArchive(uint32_t flags)
{
    const char *operation = "MergeArchive";
    if (m_mode != ARC_OPEN_VOLUMES || !m_outputFile) {
        ReportError(ARC_ERR_BADSTATE, operation);
        return E_FAIL;
    }
    if (m_volumeCount < 2) {
        ReportError(ARC_ERR_NOTOPEN, operation);
        return E_FAIL;
    }
    if (IsSpaceForMerge() != S_OK) {
        ReportError(ARC_ERR_DISKSPACE, operation);
        return VO_E_DISKFULL;
    }
    bool quiet = (flags & ARC_QUIET) != 0;
    uint64_t dataLength = m_endRecord.directoryOffset;
    uint64_t directorySize = m_endRecord.directorySize;
    if (m_progress) {
        if (quiet)
            m_progress->SetText(m_archivePath);
        else
            m_progress->Begin(m_archivePath, ArcLow(dataLength), ArcHigh(dataLength));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    HRESULT hr = BlockCopy(m_readFile, (int64_t)m_startOffset, dataLength, m_outputFile, (int64_t)m_startOffset);
    if (FAILED(hr)) return hr;
    if (m_progress && !quiet) m_progress->OnStatus(ARC_STAT_DONE);

    // Volumes are found by the file name of the base name (a self-extracting
    // archive may carry a whole path there).
    VOCHAR volumeBase[ARC_TEXT_UNITS];
    VoStrCopyN(volumeBase, VoGetFileNamePtrW(m_baseName), ARC_TEXT_UNITS);
    uint32_t volumes = m_volumeCount;
    uint64_t position = dataLength;
    for (uint32_t n = 2; n <= volumes; ++n) {
        VOCHAR path[kNumberedPathUnits];
        GetVolumeName(volumeBase, (int)n, path);
        HVOFILE volume = nullptr;
        int64_t size = 0;
        hr = OpenSourceFile(path, VO_SHARE_READ, operation, &volume, &size);
        if (FAILED(hr)) return hr;
        if (m_progress) {
            if (quiet)
                m_progress->SetText(path);
            else
                m_progress->Begin(path, ArcLow((uint64_t)size), ArcHigh((uint64_t)size));
            m_progress->OnStatus(ARC_STAT_COPY);
        }
        hr = BlockCopy(volume, 0, (uint64_t)size, m_outputFile, (int64_t)(m_startOffset + position));
        VoFileClose(volume);
        // The merged file would be useless without this volume's bytes:
        // stop at once (a cancel included).
        if (FAILED(hr)) return hr;
        if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
        position += (uint64_t)size;
    }

    hr = BlockCopy(m_readFile, (int64_t)(m_startOffset + dataLength), directorySize, m_outputFile,
                   (int64_t)(m_startOffset + position));
    if (FAILED(hr)) return hr;
    m_volumeCount = 1;
    m_outputPosition = position + directorySize;
    if (m_startOffset == 0) m_baseName[0] = 0;
    hr = AddEndOfCentralDir(position);
    if (FAILED(hr)) return hr;
    m_changed = 1;

    // The volumes may go only once the merged file has replaced the main
    // file: Close deletes them right after that replacement succeeded.
    m_mergedVolumes = volumes;
    VoStrCopyN(m_mergedVolumeBase, volumeBase, ARC_TEXT_UNITS);
    return S_OK;
}

// After a merge has replaced the main file: its volumes are now part of it.
void CArchive2::DeleteMergedVolumes()
{
    for (uint32_t n = 2; n <= m_mergedVolumes; ++n) {
        VOCHAR path[kNumberedPathUnits];
        GetVolumeName(m_mergedVolumeBase, (int)n, path);
        if (!IsSamePath(path, m_archivePath)) VoPathDeleteFile(path);
    }
    m_mergedVolumes = 0;
}

HRESULT CArchive2::GetSizeMerge(uint64_t *size)
{
    int64_t total = GetArchiveSize();
    if (size) *size = total > 0 ? (uint64_t)total : 0;
    return S_OK;
}

HRESULT CArchive2::IsSpaceForMerge()
{
    if (m_mode != ARC_OPEN_VOLUMES) return E_FAIL;
    int64_t total = GetArchiveSize();
    uint64_t needed = total > 0 ? (uint64_t)total / 1024 : 0;
    VOCHAR folder[ARC_TEXT_UNITS];
    folder[0] = 0;
    VoGetPathNameFromFilePath(m_archivePath, folder, ARC_TEXT_UNITS);
    return needed > FreeKilobytes(folder, true) ? S_FALSE : S_OK;
}

HRESULT CArchive2::FileCopy(const VOCHAR *source, const VOCHAR *target)
{
    const char *operation = "FileCopy";
    uint32_t attributes = VoPathGetAttributes(source);
    HVOFILE in = VoFileOpen(source, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!in) {
        ReportError(ARC_ERR_OPEN, operation, source);
        return VO_E_OPENFILE;
    }
    VOFILETIME times[3];
    bool haveTimes = VoFileGetTimes(in, &times[0], &times[1], &times[2]);
    // An empty volume is no volume; checked before the target exists, so
    // that no empty file is left to pass for a copy.
    int64_t size = VoFileGetSize(in);
    if (size <= 0) {
        VoFileClose(in);
        ReportError(ARC_ERR_BLOCK, operation, source);
        return VO_E_BADDATA;
    }
    HVOFILE out = VoFileOpen(target, VO_ACCESS_WRITE, VO_SHARE_READ | VO_SHARE_WRITE, VO_CREATE_ALWAYS);
    if (!out) {
        VoFileClose(in);
        ReportError(ARC_ERR_CREATE, operation, target);
        return VO_E_OPENFILE;
    }
    HRESULT hr = BlockCopy(in, 0, (uint64_t)size, out, 0);
    if (SUCCEEDED(hr) && haveTimes) VoFileSetTimes(out, &times[0], &times[1], &times[2]);
    VoFileClose(out);
    VoFileClose(in);
    if (FAILED(hr)) {
        // A partial copy would later be taken for the volume, since existing
        // targets are skipped.
        VoPathDeleteFile(target);
    } else if (attributes != VO_INVALID_ATTRIBUTES) {
        VoPathSetAttributes(target, attributes);
    }
    return hr;
}
