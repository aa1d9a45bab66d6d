// CArchive2: self-extracting archives. A self-extracting archive is a stub
// executable followed by an archive whose end record gives the stub's length
// as start offset. CreateSEA puts a stub in front of an archive, SplitSEA
// takes one apart into "Seastub.exe" and a plain archive, and Close copies
// the volumes of a split archive beside either result. Entries are copied
// as raw bytes, never recompressed; their archive offsets do not change.
#include "archive/archive.h"

#include "files/files.h"
#include "format/format.h"

// The full form of path in out (ARC_TEXT_UNITS units); false when there is
// none or it is longer than a path may be.
static bool FullPath(const VOCHAR *path, VOCHAR *out)
{
    out[0] = 0;
    if (!path || !path[0]) return false;
    size_t length = VoPathGetFull(path, out, ARC_TEXT_UNITS);
    return length > 0 && length < ARC_TEXT_UNITS;
}

bool CArchive2::IsSamePath(const VOCHAR *a, const VOCHAR *b)
{
    VOCHAR fullA[ARC_TEXT_UNITS], fullB[ARC_TEXT_UNITS];
    if (!FullPath(a, fullA) || !FullPath(b, fullB)) return false;
    return VoStrCmpI(fullA, fullB) == 0;
}

bool CArchive2::ComposeNumberedPath(const VOCHAR *folder, const VOCHAR *nameSource, uint32_t n, VOCHAR *out)
{
    const VOCHAR *name = VoGetFileNamePtrW(nameSource ? nameSource : VOTEXT(""));
    VOCHAR title[ARC_TEXT_UNITS];
    VoGetFileNameWithoutPathOrExtension(name, title, ARC_TEXT_UNITS);
    VoPrintF(out, VOTEXT("%s%s%d%s"), folder, title, (int)n, VoGetFileNameExtensionPtrW(name));
    return VoStrLen(out) < ARC_TEXT_UNITS;
}

bool CArchive2::PartPath(const VOCHAR *path, VOCHAR *out)
{
    VoPrintFN(out, (int)kNumberedPathUnits, VOTEXT("%s.part"), path);
    return VoStrLen(out) < ARC_TEXT_UNITS;
}

HRESULT CArchive2::MayWriteOutput(const VOCHAR *path, uint32_t flags)
{
    // Without a progress object nobody can be asked, and an unanswered
    // question means "replace".
    if ((flags & ARC_OVERWRITE) || !m_progress || !VoDoesFileExist(path)) return S_OK;
    HRESULT answer = AskOverwrite(path);
    if (answer == S_OK || FAILED(answer)) return answer;
    return S_FALSE;
}

HRESULT CArchive2::CopyStub()
{
    if (m_progress) {
        m_progress->SetText(VOTEXT("SEA Stub File"));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    HRESULT hr = BlockCopy(m_readFile, 0, m_startOffset, m_outputFile, 0);
    if (SUCCEEDED(hr) && m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return hr;
}

HRESULT CArchive2::GetSizeCreateSEA(const VOCHAR *stub, uint64_t *size)
{
    if (size) *size = 0;
    HVOFILE file = stub && stub[0] ? VoFileOpen(stub, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING) : nullptr;
    if (!file) {
        ReportError(ARC_ERR_OPEN, "CreateSEA", stub);
        return VO_E_OPENFILE;
    }
    int64_t stubSize = VoFileGetSize(file);
    VoFileClose(file);
    int64_t archiveSize = GetArchiveSize();
    if (size) *size = (uint64_t)(stubSize > 0 ? stubSize : 0) + (uint64_t)(archiveSize > 0 ? archiveSize : 0);
    return S_OK;
}

HRESULT CArchive2::IsSpaceForCreateSEA(const VOCHAR *output, const VOCHAR *stub)
{
    if (m_mode != ARC_OPEN_SEA) return E_FAIL;
    VOCHAR full[ARC_TEXT_UNITS], folder[ARC_TEXT_UNITS];
    folder[0] = 0;
    if (FullPath(output, full)) VoGetPathNameFromFilePath(full, folder, ARC_TEXT_UNITS);
    if (!folder[0] || !VoPathIsFolder(folder)) {
        ReportError(ARC_ERR_NOFILE, "IsSpaceForSEA", folder[0] ? folder : output);
        return VO_E_NOTFOUND;
    }
    uint64_t needed = 0;
    HRESULT hr = GetSizeCreateSEA(stub, &needed);
    if (FAILED(hr)) return hr;
    return needed / 1024 > FreeKilobytes(folder, true) ? S_FALSE : S_OK;
}

HRESULT CArchive2::CreateSEA(const VOCHAR *output, const VOCHAR *stub, uint32_t flags)
{
    const char *operation = "CreateSEA";
    if (m_mode != ARC_OPEN_SEA || !m_readFile) return E_FAIL;
    // One output per Open: Close finishes exactly one.
    if (m_outputFile) {
        ReportError(ARC_ERR_BADSTATE, operation);
        return E_FAIL;
    }
    if (IsSpaceForCreateSEA(output, stub) != S_OK) {
        ReportError(ARC_ERR_DISKSPACE, operation);
        return VO_E_DISKFULL;
    }
    VOCHAR outputPath[ARC_TEXT_UNITS];
    FullPath(output, outputPath);  // IsSpaceForCreateSEA has made sure it has one

    HVOFILE stubFile = nullptr;
    int64_t stubSize = 0;
    HRESULT opened = OpenSourceFile(stub, VO_SHARE_NONE, operation, &stubFile, &stubSize);
    if (FAILED(opened)) return opened;
    // Creating the output always empties it first: over the archive or the
    // stub it would destroy the very bytes about to be copied.
    if (IsSamePath(outputPath, m_archivePath) || IsSamePath(outputPath, stub)) {
        VoFileClose(stubFile);
        ReportError(ARC_ERR_CREATE, operation, outputPath);
        return VO_E_OPENFILE;
    }
    m_outputFile = VoFileOpen(outputPath, VO_ACCESS_READ | VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    if (!m_outputFile) {
        VoFileClose(stubFile);
        ReportError(ARC_ERR_CREATE, operation, outputPath);
        return VO_E_OPENFILE;
    }
    VoStrCopyN(m_outputPath, outputPath, ARC_TEXT_UNITS);

    if (m_progress) {
        m_progress->Begin(VOTEXT("Stub Executable"), ArcLow((uint64_t)stubSize), ArcHigh((uint64_t)stubSize));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    HRESULT hr = BlockCopy(stubFile, 0, (uint64_t)stubSize, m_outputFile, 0);
    VoFileClose(stubFile);
    if (FAILED(hr)) {
        if (hr == VO_E_CANCEL) return hr;
        ReportError(ARC_ERR_WRITE, operation, outputPath);
        return VO_E_WRITE;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);

    // The archive from its own start (an old stub is left behind): entries
    // and central directory, unchanged.
    uint64_t directoryOffset = m_endRecord.directoryOffset;
    uint64_t directoryEnd = directoryOffset + m_endRecord.directorySize;
    if (m_progress) {
        m_progress->Begin(VOTEXT("Archive Entries"), ArcLow(directoryOffset), ArcHigh(directoryOffset));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    hr = BlockCopy(m_readFile, (int64_t)m_startOffset, directoryEnd, m_outputFile, stubSize);
    if (FAILED(hr)) return hr;
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);

    // The base name records the archive the stub was put in front of. The
    // volumes of a split archive are named after its base name, so that one
    // is kept: the new file must find the same volumes.
    // ARC_SEA_NAME_ONLY keeps the folder out: it is the maker's, and means
    // nothing where the file is run.
    if (m_volumeCount <= 1 || !m_baseName[0]) {
        const VOCHAR *name = (flags & ARC_SEA_NAME_ONLY) ? VoGetFileNamePtrW(m_archivePath) : m_archivePath;
        VoStrCopyN(m_baseName, name, ARC_TEXT_UNITS);
    }
    m_startOffset = (uint64_t)stubSize;
    m_outputPosition = directoryEnd;
    if (!VoFileSeek(m_outputFile, (int64_t)(m_startOffset + directoryEnd))) {
        ReportError(ARC_ERR_WRITE, operation, outputPath);
        return VO_E_WRITE;
    }
    hr = AddEndOfCentralDir(directoryOffset);
    if (SUCCEEDED(hr)) m_changed = 1;
    return hr;
}

HRESULT CArchive2::SplitSEA(const VOCHAR *destination, uint32_t flags)
{
    HRESULT hr = SplitSEAParts(destination, flags);
    if (FAILED(hr)) {
        // A failed split leaves no part behind (closed first: Windows does
        // not delete an open file).
        if (m_outputFile) VoFileClose(m_outputFile);
        m_outputFile = nullptr;
        DropPendingOutput();
        NameFinishedOutputs(hr);
    }
    return hr;
}

HRESULT CArchive2::SplitSEAParts(const VOCHAR *destination, uint32_t flags)
{
    const char *operation = "SplitSEA";
    if (m_mode != ARC_OPEN_SEA || !m_readFile) return E_FAIL;
    if (m_outputFile) {
        ReportError(ARC_ERR_BADSTATE, operation);
        return E_FAIL;
    }
    if (m_startOffset == 0) {
        ReportError(ARC_ERR_OPEN, operation, m_archivePath);
        return VO_E_NOTSEA;
    }
    VOCHAR folder[ARC_TEXT_UNITS];
    if (!FullPath(destination, folder) || VoAddSlashToPathName(folder, ARC_TEXT_UNITS) == 0) {
        ReportError(ARC_ERR_INVALIDARG, operation, destination);
        return E_INVALIDARG;
    }
    int64_t fileSize = VoFileGetSize(m_readFile);
    uint64_t needed = fileSize > 0 ? (uint64_t)fileSize / 1024 : 0;
    if (needed > VoGetDiskFreeSpace(folder, 1024)) {
        VOCHAR root[128];
        VoGetRootPathFromFilePath(folder, root, 128);
        ReportError(ARC_ERR_DISKSPACE, operation, root);
        return VO_E_DISKFULL;
    }

    // The stub: the first start-offset bytes of the file.
    VOCHAR stubPath[kNumberedPathUnits];
    VoPrintF(stubPath, VOTEXT("%s%s"), folder, VOTEXT("Seastub.exe"));
    if (VoStrLen(stubPath) >= ARC_TEXT_UNITS || IsSamePath(stubPath, m_archivePath)) {
        ReportError(ARC_ERR_CREATE, operation, stubPath);
        return VO_E_OPENFILE;
    }
    HRESULT hr = MayWriteOutput(stubPath, flags);
    if (FAILED(hr)) return hr;
    if (hr == S_OK) {
        hr = WriteStubCopy(stubPath, operation);
        if (FAILED(hr)) return hr;
    }

    // The plain archive, named after the archive the self-extracting archive
    // was made from: a file name within the folder, never "." or "..".
    VOCHAR archivePath[kNumberedPathUnits];
    const VOCHAR *baseName = VoGetFileNamePtrW(m_baseName);
    VoPrintF(archivePath, VOTEXT("%s%s"), folder, baseName);
    bool dots = !baseName[0] || (baseName[0] == '.' && (!baseName[1] || (baseName[1] == '.' && !baseName[2])));
    if (dots || VoStrLen(archivePath) >= ARC_TEXT_UNITS || IsSamePath(archivePath, m_archivePath)) {
        ReportError(ARC_ERR_CREATE, operation, archivePath);
        return VO_E_OPENFILE;
    }
    hr = MayWriteOutput(archivePath, flags);
    if (FAILED(hr)) return hr;
    bool kept = hr == S_FALSE;
    uint64_t directoryOffset = m_endRecord.directoryOffset;
    uint64_t directoryEnd = directoryOffset + m_endRecord.directorySize;
    HRESULT result = S_OK;
    if (!kept) {
        // Written as NAME.part; Close gives it its name when it is whole.
        VOCHAR partPath[kNumberedPathUnits];
        if (PartPath(archivePath, partPath))
            m_outputFile = VoFileOpen(partPath, VO_ACCESS_READ | VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
        if (!m_outputFile) {
            ReportError(ARC_ERR_CREATE, operation, archivePath);
            result = VO_E_OPENFILE;
        } else {
            VoStrCopyN(m_outputPath, partPath, ARC_TEXT_UNITS);
            VoStrCopyN(m_finalOutputPath, archivePath, ARC_TEXT_UNITS);
            result = BlockCopy(m_readFile, (int64_t)m_startOffset, directoryEnd, m_outputFile, 0);
        }
    }

    m_startOffset = 0;
    m_outputPosition = directoryEnd;
    // A single file needs no base name. A split one keeps only the file
    // name, as every main file with volumes does: its volumes are found
    // beside it under that name.
    if (m_volumeCount <= 1) {
        m_baseName[0] = 0;
    } else {
        VOCHAR name[ARC_TEXT_UNITS];
        VoStrCopyN(name, VoGetFileNamePtrW(m_baseName), ARC_TEXT_UNITS);
        VoStrCopyN(m_baseName, name, ARC_TEXT_UNITS);
    }
    if (FAILED(result) || kept) return result;
    if (!VoFileSeek(m_outputFile, (int64_t)directoryEnd)) {
        ReportError(ARC_ERR_WRITE, operation, archivePath);
        return VO_E_WRITE;
    }
    result = AddEndOfCentralDir(directoryOffset);
    if (SUCCEEDED(result)) m_changed = 1;
    return result;
}

// The stub, the first start-offset bytes of the file, written to
// path.part; Close renames it over path with the archive, so that a
// failure or a kill never leaves half of the pair, nor writes into a file
// linked to path from elsewhere.
HRESULT CArchive2::WriteStubCopy(const VOCHAR *path, const char *operation)
{
    VOCHAR partPath[kNumberedPathUnits];
    HVOFILE file = PartPath(path, partPath) ? VoFileOpen(partPath, VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS)
                                            : nullptr;
    if (!file) {
        ReportError(ARC_ERR_CREATE, operation, path);
        return VO_E_OPENFILE;
    }
    HRESULT hr = BlockCopy(m_readFile, 0, m_startOffset, file, 0);
    if (!VoFileFlush(file) && SUCCEEDED(hr)) hr = ReportWriteFailure(operation, partPath);
    VoFileClose(file);
    if (FAILED(hr)) {
        VoPathDeleteFile(partPath);
        return hr;
    }
    VoStrCopyN(m_finalStubPath, path, ARC_TEXT_UNITS);
    return S_OK;
}

// At Close: the outputs written as NAME.part take their names (the stub
// first) when all went well, and are deleted when not.
HRESULT CArchive2::NameFinishedOutputs(HRESULT result)
{
    const VOCHAR *finals[2] = {m_finalStubPath, m_finalOutputPath};
    for (const VOCHAR *final : finals) {
        VOCHAR part[kNumberedPathUnits];
        if (!final[0] || !PartPath(final, part)) continue;
        if (SUCCEEDED(result) && !VoPathRename(part, final)) {
            ReportError(ARC_ERR_CREATE, "Close", final);
            result = VO_E_WRITE;
        }
        if (FAILED(result)) VoPathDeleteFile(part);
    }
    if (m_finalOutputPath[0]) VoStrCopyN(m_outputPath, m_finalOutputPath, ARC_TEXT_UNITS);
    m_finalStubPath[0] = m_finalOutputPath[0] = 0;
    return result;
}

// Runs at Close after CreateSEA or SplitSEA: the volumes of a split archive
// go beside the file just written, under the base name's title and
// extension. Volumes already there are left alone (the output may sit in
// the archive's own folder).
HRESULT CArchive2::CopySEAMultiFiles()
{
    const char *operation = "CopySEAMultiFiles";
    // Only a complete output gets its volumes; after a failure there is
    // nothing they could belong to.
    if (m_volumeCount < 1 || !m_changed) return S_OK;
    VOCHAR folder[ARC_TEXT_UNITS];
    folder[0] = 0;
    VoGetPathNameFromFilePath(m_outputPath, folder, ARC_TEXT_UNITS);
    if (m_progress) {
        m_progress->Begin(VOTEXT("Entries"), ArcLow(m_totalUncompressed), ArcHigh(m_totalUncompressed));
        m_progress->OnStatus(ARC_STAT_COPY);
    }
    HRESULT result = S_OK;
    for (uint32_t n = 2; n <= m_volumeCount; ++n) {
        VOCHAR target[kNumberedPathUnits], source[kNumberedPathUnits];
        if (!ComposeNumberedPath(folder, m_baseName, n, target)) {
            ReportError(ARC_ERR_CREATE, operation, target);
            if (SUCCEEDED(result)) result = VO_E_OPENFILE;
            continue;
        }
        if (VoDoesFileExist(target)) continue;
        GetVolumeName(VoGetFileNamePtrW(m_baseName), (int)n, source);
        if (!VoDoesFileExist(source)) {
            ReportError(ARC_ERR_VOLUME, operation, source);
            result = VO_E_NOFILE;
            break;
        }
        if (m_progress) {
            m_progress->SetText(VoGetFileNamePtrW(source));
            m_progress->OnStatus(ARC_STAT_COPY);
        }
        // A volume that failed to copy does not stop the others, but its
        // failure is what Close reports.
        HRESULT hr = FileCopy(source, target);
        if (hr == VO_E_CANCEL) {
            result = hr;
            break;
        }
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    if (m_progress) m_progress->OnStatus(ARC_STAT_DONE);
    return result;
}
