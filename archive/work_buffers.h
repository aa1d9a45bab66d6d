// Inside the engine: the buffers and zlib states an open archive reuses
// from one entry to the next. Each is made at its first use and all are
// freed at Close, so that an entry costs no allocation and no fresh pages
// however small it is; they stay under 2 MiB together.
#pragma once

#include <zlib.h>

#include "archive/deflate_stream.h"

class CArcWorkBuffers {
public:
    CArcWorkBuffers();
    ~CArcWorkBuffers();
    CArcWorkBuffers(const CArcWorkBuffers &) = delete;
    CArcWorkBuffers &operator=(const CArcWorkBuffers &) = delete;

    // ARC_CHUNK_SIZE + 4 bytes for reading and copying; null when out of
    // memory.
    uint8_t *Chunk();
    // ARC_INFLATE_OUT_SIZE bytes of inflate output; null when out of memory.
    uint8_t *InflateOutput();
    // ARC_CHUNK_SIZE bytes where output waits to be written; null when out
    // of memory.
    uint8_t *Pending();
    // A raw inflate state (window bits -15) ready for a new stream; null
    // when out of memory.
    z_stream *Inflater();
    CArcDeflater &Deflater() { return m_deflater; }

private:
    uint8_t *m_chunk = nullptr;
    uint8_t *m_inflateOutput = nullptr;
    uint8_t *m_pending = nullptr;
    z_stream m_inflate;
    bool m_inflating = false;
    CArcDeflater m_deflater;
};
