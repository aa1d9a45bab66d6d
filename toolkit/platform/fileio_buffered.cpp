// Open files with a read buffer: small reads (the archive directory's
// 84-byte records and their names, the data of small entries) are served
// from two 64 KB blocks, each read at once; a new block replaces the one
// used less recently. So a walk that alternates directory records and the
// data of small entries keeps one block on each. Large reads (the engine's
// data chunks) go straight to the system and leave the blocks alone. Seeks
// only move the caller's position; the system's position follows when the
// system is next read or written. A write drops the blocks.
//
// Like the block, the size of a file opened for reading only is taken not
// to change while it is open: the system is asked for it once (the archive
// directory's walk asks for each record).
#include "fileio_raw.h"

#include <cstring>

namespace {

const uint32_t kBufferBytes = 64 * 1024;

struct Block {
    uint8_t *bytes;   // allocated on first use
    int64_t start;    // file offset of bytes[0]
    uint32_t length;  // bytes held
    bool held;        // bytes holds the file's bytes [start, start + length)
};

}  // namespace

struct tVOFILE {
    HVORAWFILE raw;
    Block blocks[2];
    int recent;           // the block used last
    int64_t position;     // the caller's position; -1 while not known
    int64_t rawPosition;  // the system's position; -1 while not known
    bool readOnly;        // opened without write access
    int64_t size;         // a read-only file's size once known, else -1
};

namespace {

// The caller's position, asked of the system when not known.
int64_t Position(HVOFILE file)
{
    if (file->position < 0) file->position = file->rawPosition = VoRawFileTell(file->raw);
    return file->position;
}

// Puts the system's position where the caller's is.
bool Settle(HVOFILE file)
{
    int64_t position = Position(file);
    if (position < 0) return false;
    if (file->rawPosition == position) return true;
    file->rawPosition = -1;
    if (!VoRawFileSeek(file->raw, position)) return false;
    file->rawPosition = position;
    return true;
}

// The block holding the caller's position, or null.
Block *BlockAhead(HVOFILE file)
{
    for (int i = 0; i < 2; ++i) {
        Block &b = file->blocks[i];
        if (b.held && file->position >= b.start && file->position < b.start + b.length) {
            file->recent = i;
            return &b;
        }
    }
    return nullptr;
}

void DropBlocks(HVOFILE file)
{
    file->blocks[0].held = file->blocks[1].held = false;
}

// Reads from the system at the caller's position, into the caller's memory
// or the buffer.
bool ReadRaw(HVOFILE file, void *buffer, uint32_t size, uint32_t *got)
{
    *got = 0;
    if (!Settle(file)) return false;
    if (!VoRawFileRead(file->raw, buffer, size, got)) {
        file->position = file->rawPosition = -1;
        return false;
    }
    file->rawPosition += *got;
    return true;
}

// Reads the block at the caller's position into the block used less
// recently.
Block *Refill(HVOFILE file)
{
    file->recent = 1 - file->recent;
    Block &b = file->blocks[file->recent];
    if (!b.bytes) {
        b.bytes = (uint8_t *)VoMemAlloc(kBufferBytes);
        if (!b.bytes) return nullptr;
    }
    b.held = false;
    int64_t position = Position(file);
    uint32_t got = 0;
    if (position < 0 || !ReadRaw(file, b.bytes, kBufferBytes, &got)) return nullptr;
    b.start = position;
    b.length = got;
    b.held = true;
    return &b;
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
    memset(file, 0, sizeof *file);
    file->raw = raw;
    file->position = file->rawPosition = 0;  // a file opens at its start
    file->readOnly = !(access & VO_ACCESS_WRITE);
    file->size = -1;
    return file;
}

void VoFileClose(HVOFILE file)
{
    if (!file) return;
    VoRawFileClose(file->raw);
    VoMemFree(file->blocks[0].bytes);
    VoMemFree(file->blocks[1].bytes);
    VoMemFree(file);
}

bool VoFileRead(HVOFILE file, void *buffer, uint32_t size, uint32_t *done)
{
    if (done) *done = 0;
    if (!file) return VoRawFileRead(nullptr, buffer, size, done);
    if (Position(file) < 0) return false;
    uint32_t total = 0;
    bool ok = true;
    while (total < size) {
        Block *b = BlockAhead(file);
        if (b) {
            uint32_t n = (uint32_t)(b->start + b->length - file->position);
            if (n > size - total) n = size - total;
            memcpy((uint8_t *)buffer + total, b->bytes + (file->position - b->start), n);
            file->position += n;
            total += n;
            continue;
        }
        if (size - total >= kBufferBytes / 2) {
            // A large rest comes straight from the system.
            uint32_t got = 0;
            ok = ReadRaw(file, (uint8_t *)buffer + total, size - total, &got);
            if (ok) file->position += got;
            total += got;
            break;
        }
        b = Refill(file);
        if (!b) {
            ok = false;
            break;
        }
        if (b->length == 0) break;  // the end of the file
    }
    if (done) *done = total;
    return ok;
}

bool VoFileWrite(HVOFILE file, const void *buffer, uint32_t size)
{
    if (!file) return VoRawFileWrite(nullptr, buffer, size);
    DropBlocks(file);
    file->size = -1;
    if (!Settle(file)) return false;
    if (!VoRawFileWrite(file->raw, buffer, size)) {
        file->position = file->rawPosition = -1;
        return false;
    }
    file->position = file->rawPosition = file->position + size;
    return true;
}

bool VoFileSeek(HVOFILE file, int64_t position)
{
    if (!file) return VoRawFileSeek(nullptr, position);
    if (position < 0) return false;
    file->position = position;
    return true;
}

int64_t VoFileTell(HVOFILE file)
{
    return file ? Position(file) : VoRawFileTell(nullptr);
}

int64_t VoFileGetSize(HVOFILE file)
{
    if (!file || !file->readOnly) return VoRawFileGetSize(file ? file->raw : nullptr);
    if (file->size < 0) file->size = VoRawFileGetSize(file->raw);
    return file->size;
}

bool VoFileLockForRewrite(HVOFILE file, const VOCHAR *path)
{
    return file && VoRawFileLockForRewrite(file->raw, path);
}

bool VoFileTruncate(HVOFILE file)
{
    if (!file) return VoRawFileTruncate(nullptr);
    DropBlocks(file);
    file->size = -1;
    return Settle(file) && VoRawFileTruncate(file->raw);
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

bool VoFileSetAttributes(HVOFILE file, uint32_t attributes)
{
    return VoRawFileSetAttributes(file ? file->raw : nullptr, attributes);
}
