// Open files with a read buffer: small reads (the archive directory's
// 84-byte records and their names) are served from one 64 KB block read at
// a time, and a seek inside that block costs no system call. Large reads
// (the engine's data chunks) go straight to the system. Every other
// operation first puts the system's position where the caller's is.
#include "fileio_raw.h"

#include <cstring>

namespace {

const uint32_t kBufferBytes = 64 * 1024;

}  // namespace

struct tVOFILE {
    HVORAWFILE raw;
    uint8_t *buffer;   // allocated on the first small read
    int64_t start;     // file offset of buffer[0]
    uint32_t length;   // bytes held
    uint32_t offset;   // the caller's position within them
    bool valid;        // the buffer holds the bytes at the caller's position
};

namespace {

// The system's position becomes the caller's; the buffer is dropped.
bool Settle(HVOFILE file)
{
    if (!file->valid) return true;
    file->valid = false;
    return VoRawFileSeek(file->raw, file->start + file->offset);
}

bool Refill(HVOFILE file)
{
    if (!file->buffer) {
        file->buffer = (uint8_t *)VoMemAlloc(kBufferBytes);
        if (!file->buffer) return false;
    }
    int64_t position = file->valid ? file->start + file->length : VoRawFileTell(file->raw);
    if (position < 0) return false;
    uint32_t got = 0;
    if (!VoRawFileRead(file->raw, file->buffer, kBufferBytes, &got)) {
        file->valid = false;
        return false;
    }
    file->start = position;
    file->length = got;
    file->offset = 0;
    file->valid = true;
    return true;
}

}  // namespace

HVOFILE VoFileOpen(const VOCHAR *path, uint32_t access, uint32_t share, uint32_t disposition, uint32_t *error)
{
    HVORAWFILE raw = VoRawFileOpen(path, access, share, disposition, error);
    if (!raw) return nullptr;
    HVOFILE file = (HVOFILE)VoMemAlloc(sizeof(tVOFILE));
    if (!file) {
        VoRawFileClose(raw);
        return nullptr;
    }
    file->raw = raw;
    return file;
}

void VoFileClose(HVOFILE file)
{
    if (!file) return;
    VoRawFileClose(file->raw);
    VoMemFree(file->buffer);
    VoMemFree(file);
}

bool VoFileRead(HVOFILE file, void *buffer, uint32_t size, uint32_t *done)
{
    if (done) *done = 0;
    if (!file) return VoRawFileRead(nullptr, buffer, size, done);
    if (size >= kBufferBytes / 2) {
        // Whatever the buffer still holds comes first, the rest directly.
        uint32_t held = file->valid ? file->length - file->offset : 0;
        if (held > size) held = size;
        if (held) memcpy(buffer, file->buffer + file->offset, held);
        file->offset += held;
        if (!Settle(file)) return false;
        uint32_t got = 0;
        bool ok = held == size || VoRawFileRead(file->raw, (uint8_t *)buffer + held, size - held, &got);
        if (done) *done = held + got;
        return ok;
    }
    uint32_t total = 0;
    while (total < size) {
        if (!file->valid || file->offset >= file->length) {
            if (!Refill(file)) return false;
            if (file->length == 0) break;  // the end of the file
        }
        uint32_t n = file->length - file->offset;
        if (n > size - total) n = size - total;
        memcpy((uint8_t *)buffer + total, file->buffer + file->offset, n);
        file->offset += n;
        total += n;
    }
    if (done) *done = total;
    return true;
}

bool VoFileWrite(HVOFILE file, const void *buffer, uint32_t size)
{
    if (file && !Settle(file)) return false;
    return VoRawFileWrite(file ? file->raw : nullptr, buffer, size);
}

bool VoFileSeek(HVOFILE file, int64_t position)
{
    if (!file) return VoRawFileSeek(nullptr, position);
    if (file->valid && position >= file->start && position <= file->start + file->length) {
        file->offset = (uint32_t)(position - file->start);
        return true;
    }
    file->valid = false;
    return VoRawFileSeek(file->raw, position);
}

int64_t VoFileTell(HVOFILE file)
{
    if (file && file->valid) return file->start + file->offset;
    return VoRawFileTell(file ? file->raw : nullptr);
}

int64_t VoFileGetSize(HVOFILE file) { return VoRawFileGetSize(file ? file->raw : nullptr); }

bool VoFileTruncate(HVOFILE file)
{
    if (file && !Settle(file)) return false;
    return VoRawFileTruncate(file ? file->raw : nullptr);
}

bool VoFileFlush(HVOFILE file) { return VoRawFileFlush(file ? file->raw : nullptr); }

bool VoFileGetTimes(HVOFILE file, VOFILETIME *creation, VOFILETIME *access, VOFILETIME *write)
{
    return VoRawFileGetTimes(file ? file->raw : nullptr, creation, access, write);
}

bool VoFileSetTimes(HVOFILE file, const VOFILETIME *creation, const VOFILETIME *access, const VOFILETIME *write)
{
    return VoRawFileSetTimes(file ? file->raw : nullptr, creation, access, write);
}
