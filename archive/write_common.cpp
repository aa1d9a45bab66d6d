// CArchive2: the pieces every writing operation shares: raw block copies,
// output writes, the end record, and free space.
#include <cstring>

#include "archive/archive.h"
#include "archive/entry_item.h"
#include "archive/work_buffers.h"
#include "files/files.h"

namespace {
const uint32_t kErrorDiskFull = 112, kErrorHandleDiskFull = 39;  // the Win32 numbers, also on POSIX
}  // namespace

// A write that failed, reported: a full disk is named as such.
HRESULT CArchive2::ReportWriteFailure(const char *operation, const VOCHAR *detail)
{
    uint32_t error = VoGetLastError();
    bool full = error == kErrorDiskFull || error == kErrorHandleDiskFull;
    ReportError(full ? ARC_ERR_DISKSPACE : ARC_ERR_WRITE, operation, detail);
    return full ? VO_E_DISKFULL : VO_E_WRITE;
}

// Output gathers in the pending buffer and goes to the file when the buffer
// is full, before the file is used directly (BlockCopy, a patch outside the
// buffer) and at Close, so that a small entry costs no system call of its
// own. Writes of a chunk or more go straight to the file.
HRESULT CArchive2::WriteOutput(const void *bytes, uint32_t size, const char *operation)
{
    if (size == 0) return S_OK;
    if (m_pendingSize + size > ARC_CHUNK_SIZE) {
        HRESULT hr = FlushOutput(operation);
        if (FAILED(hr)) return hr;
    }
    if (size >= ARC_CHUNK_SIZE || !PendingBuffer()) return WriteToFile(bytes, size, operation);
    memcpy(m_pending + m_pendingSize, bytes, size);
    m_pendingSize += size;
    m_outputPosition += size;
    return S_OK;
}

uint8_t *CArchive2::PendingBuffer()
{
    if (!m_pending) {
        CArcWorkBuffers *work = WorkBuffers();
        m_pending = work ? work->Pending() : nullptr;
    }
    return m_pending;
}

HRESULT CArchive2::WriteToFile(const void *bytes, uint32_t size, const char *operation)
{
    if (size && !VoFileWrite(m_outputFile, bytes, size)) {
        // Part of the bytes may have been written: the position follows
        // the file.
        HRESULT failure = ReportWriteFailure(operation, m_outputPath[0] ? m_outputPath : m_archivePath);
        int64_t position = VoFileTell(m_outputFile);
        if (position >= 0 && (uint64_t)position >= m_startOffset) m_outputPosition = (uint64_t)position - m_startOffset;
        return failure;
    }
    m_outputPosition += size;
    return S_OK;
}

HRESULT CArchive2::FlushOutput(const char *operation)
{
    uint32_t size = m_pendingSize;
    if (size == 0) return S_OK;
    m_pendingSize = 0;
    m_outputPosition -= size;
    return WriteToFile(m_pending, size, operation);
}

// Overwrites bytes written before at an archive offset: in the pending
// buffer while they are there, else in the file, which then returns to
// the output's end.
HRESULT CArchive2::PatchOutput(uint64_t offset, const uint8_t *bytes, uint32_t size, const char *operation,
                               const VOCHAR *detail)
{
    uint64_t pendingStart = m_outputPosition - m_pendingSize;
    if (offset >= pendingStart && offset + size <= m_outputPosition) {
        memcpy(m_pending + (offset - pendingStart), bytes, size);
        return S_OK;
    }
    HRESULT hr = FlushOutput(operation);
    if (FAILED(hr)) return hr;
    int64_t end = (int64_t)(m_startOffset + m_outputPosition);
    if (!VoFileSeek(m_outputFile, (int64_t)(m_startOffset + offset)) || !VoFileWrite(m_outputFile, bytes, size) ||
        !VoFileSeek(m_outputFile, end)) {
        ReportError(ARC_ERR_WRITE, operation, detail);
        return VO_E_WRITE;
    }
    return S_OK;
}

// Appends size bytes of source to the output, as BlockCopy would (same
// reports and progress); small blocks go through the pending buffer.
HRESULT CArchive2::CopyIntoOutput(HVOFILE source, int64_t sourcePosition, uint64_t size)
{
    const char *operation = "Block Copy";
    if (m_pendingSize + size > ARC_CHUNK_SIZE) {
        HRESULT hr = FlushOutput(operation);
        if (FAILED(hr)) return hr;
    }
    if (size > ARC_CHUNK_SIZE / 2 || !PendingBuffer()) {
        HRESULT hr = BlockCopy(source, sourcePosition, size, m_outputFile, (int64_t)(m_startOffset + m_outputPosition));
        if (SUCCEEDED(hr)) m_outputPosition += size;
        return hr;
    }
    if (size == 0) return S_OK;
    uint32_t got = 0;
    if (!VoFileSeek(source, sourcePosition) || !VoFileRead(source, m_pending + m_pendingSize, (uint32_t)size, &got) ||
        got != size) {
        ReportError(ARC_ERR_READ, operation);
        return VO_E_READ;
    }
    m_pendingSize += (uint32_t)size;
    m_outputPosition += size;
    if (!m_progress) return S_OK;
    m_progress->OnProgress((uint32_t)size, 0);
    return m_progress->GetAnswer() == VO_E_CANCEL ? VO_E_CANCEL : S_OK;
}

// Writes a text as UTF-16LE without terminator.
static HRESULT WriteText(CArchive2 *archive, HRESULT (CArchive2::*write)(const void *, uint32_t, const char *),
                         const VOCHAR *text, uint32_t length, const char *operation)
{
    uint8_t bytes[2 * (ARC_MAX_COMMENT + 1)];
    for (uint32_t i = 0; i < length; ++i) {
        bytes[2 * i] = (uint8_t)text[i];
        bytes[2 * i + 1] = (uint8_t)(text[i] >> 8);
    }
    return (archive->*write)(bytes, 2 * length, operation);
}

// Opens a file to copy from and learns its size; failures are reported
// with the file's path.
HRESULT CArchive2::OpenSourceFile(const VOCHAR *path, uint32_t share, const char *operation, HVOFILE *file,
                                  int64_t *size)
{
    *file = VoFileOpen(path, VO_ACCESS_READ, share, VO_OPEN_EXISTING);
    if (!*file) {
        ReportError(ARC_ERR_OPEN, operation, path);
        return VO_E_OPENFILE;
    }
    *size = VoFileGetSize(*file);
    if (*size < 0) {
        VoFileClose(*file);
        *file = nullptr;
        ReportError(ARC_ERR_READ, operation, path);
        return VO_E_READ;
    }
    return S_OK;
}

HRESULT CArchive2::BlockCopy(HVOFILE source, int64_t sourcePosition, uint64_t size, HVOFILE destination,
                             int64_t destinationPosition)
{
    const char *operation = "Block Copy";
    // Output still pending comes first, where it belongs.
    if (destination == m_outputFile) {
        HRESULT flushed = FlushOutput(operation);
        if (FAILED(flushed)) return flushed;
    }
    uint8_t *buffer = ChunkBuffer(operation);
    if (!buffer) return E_OUTOFMEMORY;
    HRESULT result = S_OK;
    if (!VoFileSeek(source, sourcePosition) || !VoFileSeek(destination, destinationPosition)) {
        ReportError(ARC_ERR_READ, operation);
        result = VO_E_READ;
    }
    uint64_t remaining = size, read = 0, written = 0;
    while (remaining > 0 && SUCCEEDED(result)) {
        uint32_t chunk = remaining < ARC_CHUNK_SIZE ? (uint32_t)remaining : ARC_CHUNK_SIZE;
        uint32_t got = 0;
        if (!VoFileRead(source, buffer, chunk, &got) || got != chunk) {
            ReportError(ARC_ERR_READ, operation);
            result = VO_E_READ;
            break;
        }
        read += got;
        if (!VoFileWrite(destination, buffer, got)) {
            result = ReportWriteFailure(operation, m_outputPath[0] ? m_outputPath : nullptr);
            break;
        }
        written += got;
        remaining -= got;
        if (m_progress) {
            m_progress->OnProgress(got, 0);
            if (m_progress->GetAnswer() == VO_E_CANCEL) result = VO_E_CANCEL;
        }
    }
    if (read != written && result != VO_E_DISKFULL && result != VO_E_WRITE) ReportError(ARC_ERR_BLOCK, operation);
    return result;
}

HRESULT CArchive2::AddEndOfCentralDir(uint64_t directoryStart)
{
    const char *operation = "AddEndOfCentralDir";
    ArcEndRecord end;
    memset(&end, 0, sizeof end);
    end.signature = ARC_END_SIGNATURE;
    end.volumeCount = m_volumeCount ? m_volumeCount : 1;
    end.entryCount1 = end.entryCount = m_entriesWritten;
    end.directorySize = m_outputPosition - directoryStart;
    end.directoryOffset = directoryStart;
    end.startOffset = m_startOffset;
    end.commentLength = (uint32_t)VoStrLen(m_volumeComment);
    end.baseNameLength = (uint32_t)VoStrLen(m_baseName);
    if (end.commentLength > ARC_MAX_COMMENT) end.commentLength = ARC_MAX_COMMENT;
    if (end.baseNameLength > ARC_MAX_NAME) end.baseNameLength = ARC_MAX_NAME;
    uint8_t bytes[ARC_END_RECORD_SIZE];
    ArcEncodeEndRecord(&end, bytes);
    HRESULT hr = WriteOutput(bytes, sizeof bytes, operation);
    if (SUCCEEDED(hr)) hr = WriteText(this, &CArchive2::WriteOutput, m_volumeComment, end.commentLength, operation);
    if (SUCCEEDED(hr)) hr = WriteText(this, &CArchive2::WriteOutput, m_baseName, end.baseNameLength, operation);
    if (SUCCEEDED(hr)) m_endRecord = end;
    return hr;
}

// Free space in KB on the volume holding folder. On FAT volumes a file
// cannot pass 4 GiB, so that figure stands in for the free space.
uint64_t CArchive2::FreeKilobytes(const VOCHAR *folder, bool fatRule)
{
    if (fatRule && (VoStrCmpI(m_fileSystemName, VOTEXT("FAT32")) == 0 || VoStrCmpI(m_fileSystemName, VOTEXT("FAT")) == 0))
        return 4194304;
    return VoGetDiskFreeSpace(folder, 1024);
}
