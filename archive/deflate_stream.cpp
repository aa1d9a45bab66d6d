// The engine's deflate loop.
#include "archive/deflate_stream.h"

#include <cstring>
#include <zlib.h>

#include "archive/archive.h"

namespace {

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

}  // namespace

CArcDeflater::CArcDeflater()
{
    memset(&m_stream, 0, sizeof m_stream);
}

CArcDeflater::~CArcDeflater()
{
    if (m_started) deflateEnd(&m_stream);
    VoMemFree(m_input);
    VoMemFree(m_output);
}

// deflateReset gives the same stream as a new deflateInit2 with the level
// the state was made for; another level takes a new state.
bool CArcDeflater::Prepare(int level)
{
    if (!m_input) m_input = (uint8_t *)VoMemAlloc(ARC_CHUNK_SIZE);
    if (!m_output) m_output = (uint8_t *)VoMemAlloc(ARC_DEFLATE_OUT_SIZE);
    if (!m_input || !m_output) return false;
    if (m_started && m_level == level && deflateReset(&m_stream) == Z_OK) return true;
    if (m_started) deflateEnd(&m_stream);
    memset(&m_stream, 0, sizeof m_stream);
    m_started = deflateInit2(&m_stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    m_level = level;
    return m_started;
}

// Hands whatever deflate produced to the sink and resets the output buffer.
HRESULT CArcDeflater::FlushOutput(IArcDeflateSink &sink, ArcDeflateResult &r)
{
    uint32_t produced = ARC_DEFLATE_OUT_SIZE - m_stream.avail_out;
    if (produced) {
        HRESULT hr = sink.OnOutput(m_output, produced);
        if (FAILED(hr)) return hr;
        r.dataCrc = (uint32_t)crc32(r.dataCrc, m_output, produced);
        r.stored += produced;
    }
    m_stream.next_out = m_output;
    m_stream.avail_out = ARC_DEFLATE_OUT_SIZE;
    return S_OK;
}

ArcDeflateResult CArcDeflater::DeflateFile(HVOFILE file, uint64_t size, int level, IArcDeflateSink &sink)
{
    ArcDeflateResult r;
    if (size == 0) return r;
    if (!Prepare(level)) return Failed(E_OUTOFMEMORY, ARC_ERR_NOMEMORY);
    m_stream.next_out = m_output;
    m_stream.avail_out = ARC_DEFLATE_OUT_SIZE;
    r.dataCrc = r.contentCrc = (uint32_t)crc32(0, nullptr, 0);
    for (uint64_t remaining = size; remaining > 0;) {
        uint32_t chunk = remaining < ARC_CHUNK_SIZE ? (uint32_t)remaining : ARC_CHUNK_SIZE;
        uint32_t got = 0;
        if (!VoFileRead(file, m_input, chunk, &got) || got != chunk) return Failed(VO_E_READ, ARC_ERR_READ);
        HRESULT hr = sink.OnInput(got);
        if (FAILED(hr)) return Failed(hr, 0);
        r.contentCrc = (uint32_t)crc32(r.contentCrc, m_input, got);
        remaining -= got;
        m_stream.next_in = m_input;
        m_stream.avail_in = got;
        while (m_stream.avail_in > 0) {
            int status = deflate(&m_stream, Z_NO_FLUSH);
            if (status != Z_OK) return FromStatus(status);
            if (m_stream.avail_out == 0 || m_stream.avail_in == 0) {
                hr = FlushOutput(sink, r);
                if (FAILED(hr)) return Failed(hr, 0);
            }
        }
    }
    // Ends the stream after the last chunk.
    for (;;) {
        int status = deflate(&m_stream, Z_FINISH);
        if (status != Z_OK && status != Z_STREAM_END) return Failed(VO_E_WRITE, ARC_ERR_WRITE);
        HRESULT hr = FlushOutput(sink, r);
        if (FAILED(hr)) return Failed(hr, 0);
        if (status == Z_STREAM_END) return r;
    }
}
