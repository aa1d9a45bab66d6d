// The engine's deflate loop, shared by the engine's own add and by the
// worker threads of the deflate pool (deflate_pool.h), so that both store
// exactly the same bytes for a file.
#pragma once

#include <cstdint>
#include <zlib.h>

#include "fileio.h"
#include "platform.h"

// Where the loop's results go.
class IArcDeflateSink {
public:
    virtual ~IArcDeflateSink() = default;
    // One chunk of the file was read (before it is deflated); a failure,
    // such as a cancel, ends the loop with that result.
    virtual HRESULT OnInput(uint32_t bytes) = 0;
    // Deflated bytes, in order; a failure ends the loop with that result.
    virtual HRESULT OnOutput(const uint8_t *bytes, uint32_t size) = 0;
};

struct ArcDeflateResult {
    HRESULT hr = S_OK;
    // The engine's diagnostic for a failure of the loop itself (read,
    // memory, deflate); 0 when the result came from the sink, which has
    // reported it already.
    uint32_t diagnostic = 0;
    uint32_t dataCrc = 0;     // of the deflated bytes
    uint32_t contentCrc = 0;  // of the file's bytes
    uint64_t stored = 0;      // deflated bytes produced
};

// Deflates files one after another with one deflate state and one pair of
// buffers, reset between files, so that a small file costs no allocation
// and no fresh pages. The buffers and state (under 1 MiB) are allocated at
// the first file and freed with the object.
class CArcDeflater {
public:
    CArcDeflater();
    ~CArcDeflater();
    CArcDeflater(const CArcDeflater &) = delete;
    CArcDeflater &operator=(const CArcDeflater &) = delete;

    // Deflates the next size bytes of file in ARC_CHUNK_SIZE chunks: raw
    // deflate, window bits -15, memory level 8, default strategy. An empty
    // file gives no bytes and CRCs of 0. The bytes are the same as from a
    // fresh deflate state.
    ArcDeflateResult DeflateFile(HVOFILE file, uint64_t size, int level, IArcDeflateSink &sink);

private:
    // A state ready for a new stream at level; false when out of memory.
    bool Prepare(int level);
    HRESULT FlushOutput(IArcDeflateSink &sink, ArcDeflateResult &r);

    z_stream m_stream;
    bool m_started = false;
    int m_level = 0;
    uint8_t *m_input = nullptr;
    uint8_t *m_output = nullptr;
};
