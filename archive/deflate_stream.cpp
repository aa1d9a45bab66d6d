// The engine's deflate loop.
#include "archive/deflate_stream.h"

#include <cstring>
#include <zlib.h>

#include "archive/archive.h"

namespace {

struct Deflater {
    z_stream stream;
    bool started = false;
    uint8_t *input = nullptr;
    uint8_t *output = nullptr;
    Deflater() { memset(&stream, 0, sizeof stream); }
    ~Deflater()
    {
        if (started) deflateEnd(&stream);
        VoMemFree(input);
        VoMemFree(output);
    }
};

ArcDeflateResult Failed(HRESULT hr, uint32_t diagnostic)
{
    ArcDeflateResult r;
    r.hr = hr;
    r.diagnostic = diagnostic;
    return r;
}

ArcDeflateResult FromStatus(int status)
{
    if (status == Z_MEM_ERROR) return Failed(E_OUTOFMEMORY, ARC_ERR_NOMEMORY);
    if (status == Z_BUF_ERROR) return Failed(VO_E_SMALLBUFFER, ARC_ERR_BUFFER);
    return Failed(VO_E_WRITE, ARC_ERR_WRITE);
}

// Hands whatever deflate produced to the sink and resets the output buffer.
HRESULT FlushOutput(Deflater &z, IArcDeflateSink &sink, ArcDeflateResult &r)
{
    uint32_t produced = ARC_DEFLATE_OUT_SIZE - z.stream.avail_out;
    if (produced) {
        HRESULT hr = sink.OnOutput(z.output, produced);
        if (FAILED(hr)) return hr;
        r.dataCrc = (uint32_t)crc32(r.dataCrc, z.output, produced);
        r.stored += produced;
    }
    z.stream.next_out = z.output;
    z.stream.avail_out = ARC_DEFLATE_OUT_SIZE;
    return S_OK;
}

}  // namespace

ArcDeflateResult ArcDeflateFile(HVOFILE file, uint64_t size, int level, IArcDeflateSink &sink)
{
    ArcDeflateResult r;
    if (size == 0) return r;
    Deflater z;
    z.input = (uint8_t *)VoMemAlloc(ARC_CHUNK_SIZE);
    z.output = z.input ? (uint8_t *)VoMemAlloc(ARC_DEFLATE_OUT_SIZE) : nullptr;
    if (!z.output || deflateInit2(&z.stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return Failed(E_OUTOFMEMORY, ARC_ERR_NOMEMORY);
    z.started = true;
    z.stream.next_out = z.output;
    z.stream.avail_out = ARC_DEFLATE_OUT_SIZE;
    r.dataCrc = r.contentCrc = (uint32_t)crc32(0, nullptr, 0);
    for (uint64_t remaining = size; remaining > 0;) {
        uint32_t chunk = remaining < ARC_CHUNK_SIZE ? (uint32_t)remaining : ARC_CHUNK_SIZE;
        uint32_t got = 0;
        if (!VoFileRead(file, z.input, chunk, &got) || got != chunk) return Failed(VO_E_READ, ARC_ERR_READ);
        HRESULT hr = sink.OnInput(got);
        if (FAILED(hr)) return Failed(hr, 0);
        r.contentCrc = (uint32_t)crc32(r.contentCrc, z.input, got);
        remaining -= got;
        z.stream.next_in = z.input;
        z.stream.avail_in = got;
        while (z.stream.avail_in > 0) {
            int status = deflate(&z.stream, Z_NO_FLUSH);
            if (status != Z_OK) return FromStatus(status);
            if (z.stream.avail_out == 0 || z.stream.avail_in == 0) {
                hr = FlushOutput(z, sink, r);
                if (FAILED(hr)) return Failed(hr, 0);
            }
        }
    }
    // Ends the stream after the last chunk.
    for (;;) {
        int status = deflate(&z.stream, Z_FINISH);
        if (status != Z_OK && status != Z_STREAM_END) return Failed(VO_E_WRITE, ARC_ERR_WRITE);
        HRESULT hr = FlushOutput(z, sink, r);
        if (FAILED(hr)) return Failed(hr, 0);
        if (status == Z_STREAM_END) return r;
    }
}
