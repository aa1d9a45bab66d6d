// The engine's deflate loop, shared by the engine's own add and by the
// worker threads of the deflate pool (deflate_pool.h), so that both store
// exactly the same bytes for a file.
#pragma once

#include <cstdint>

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

// Deflates the next size bytes of file in ARC_CHUNK_SIZE chunks: raw
// deflate, window bits -15, memory level 8, default strategy. An empty file
// gives no bytes and CRCs of 0. The input and output buffers are allocated
// once per file.
ArcDeflateResult ArcDeflateFile(HVOFILE file, uint64_t size, int level, IArcDeflateSink &sink);
