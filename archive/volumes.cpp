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

#include "files/files.h"
#include "format/format.h"

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
    uint64_t directorySize = m_endRecord.directorySize;
    if ((int64_t)dataLength <= 0) return S_OK;  // no data: nothing to split
    if (dataLength / 1024 > VoGetDiskFreeSpace(m_archivePath, 1024)) {
        ReportError(ARC_ERR_DISKSPACE, operation);
        return VO_E_DISKFULL;
    }
    if (dataLength < size) {
        ReportError(ARC_ERR_INVALIDARG, operation);
        return E_INVALIDARG;
    }
    bool quiet = (flags & ARC_QUIET) != 0;
    if (m_progress) {
        if (quiet)
            m_progress->SetText(m_archivePath);
        else
            m_progress->Begin(m_archivePath, ArcLow(size), ArcHigh(size));
        m_progress->OnStatus(ARC_STAT_COPY);
    }

    // The main file's share of the data: what is left of one volume after
    // the stub, the directory and the end record with its texts.
    uint64_t overhead = 2 * ((uint64_t)m_endRecord.commentLength + m_endRecord.baseNameLength +
                             m_endRecord.thirdLength) +
                        m_startOffset + directorySize + ARC_END_RECORD_SIZE;
    uint64_t first = size > overhead ? size - overhead : 0;
    HRESULT hr;
    if (first > 0) {
        hr = BlockCopy(m_readFile, (int64_t)m_startOffset, first, m_outputFile, (int64_t)m_startOffset);
        if (FAILED(hr)) return hr;
        if (m_progress && !quiet) m_progress->OnStatus(ARC_STAT_DONE);
    }

    // Volumes are named after the archive, or, behind a stub, after the
    // archive the self-extracting archive was made from.
    VOCHAR nameSource[ARC_TEXT_UNITS];
    VoStrCopyN(nameSource, m_startOffset > 0 && m_baseName[0] ? m_baseName : m_archivePath, ARC_TEXT_UNITS);
    VOCHAR folder[ARC_TEXT_UNITS];
    folder[0] = 0;
    VoGetPathNameFromFilePath(m_archivePath, folder, ARC_TEXT_UNITS);
    uint64_t position = first;
    uint32_t counter = 1;
    while (position < dataLength) {
        ++counter;
        VOCHAR volume[kNumberedPathUnits];
        // A volume is never created over the archive being split or the file
        // that is to replace it.
        HVOFILE file = nullptr;
        if (ComposeNumberedPath(folder, nameSource, counter, volume) && !IsSamePath(volume, m_archivePath) &&
            !IsSamePath(volume, m_outputPath))
            file = VoFileOpen(volume, VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
        if (!file) {
            ReportError(ARC_ERR_CREATE, operation, volume);
            return VO_E_OPENFILE;
        }
        uint64_t n = dataLength - position < size ? dataLength - position : size;
        if (m_progress) {
            if (quiet)
                m_progress->SetText(volume);
            else
                m_progress->Begin(volume, ArcLow(n), ArcHigh(n));
            m_progress->OnStatus(ARC_STAT_COPY);
        }
        hr = BlockCopy(m_readFile, (int64_t)(m_startOffset + position), n, file, 0);
        if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
        position += n;
        VoFileClose(file);
        if (FAILED(hr)) return hr;
    }

    hr = BlockCopy(m_readFile, (int64_t)(m_startOffset + dataLength), directorySize, m_outputFile,
                   (int64_t)(m_startOffset + first));
    if (FAILED(hr)) return hr;
    m_volumeCount = counter;
    m_outputPosition = first + directorySize;
    VoStrCopyN(m_baseName, VoGetFileNamePtrW(nameSource), ARC_TEXT_UNITS);
    hr = AddEndOfCentralDir(first);
    if (SUCCEEDED(hr)) m_changed = 1;
    return hr;
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
