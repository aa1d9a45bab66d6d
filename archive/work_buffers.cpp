// The buffers an open archive reuses from one entry to the next.
#include "archive/work_buffers.h"

#include <cstring>
#include <new>

#include "archive/archive.h"

CArcWorkBuffers::CArcWorkBuffers()
{
    memset(&m_inflate, 0, sizeof m_inflate);
}

CArcWorkBuffers::~CArcWorkBuffers()
{
    if (m_inflating) inflateEnd(&m_inflate);
    VoMemFree(m_chunk);
    VoMemFree(m_inflateOutput);
    VoMemFree(m_pending);
}

uint8_t *CArcWorkBuffers::Chunk()
{
    if (!m_chunk) m_chunk = (uint8_t *)VoMemAlloc(ARC_CHUNK_SIZE + 4);
    return m_chunk;
}

uint8_t *CArcWorkBuffers::InflateOutput()
{
    if (!m_inflateOutput) m_inflateOutput = (uint8_t *)VoMemAlloc(ARC_INFLATE_OUT_SIZE);
    return m_inflateOutput;
}

uint8_t *CArcWorkBuffers::Pending()
{
    if (!m_pending) m_pending = (uint8_t *)VoMemAlloc(ARC_CHUNK_SIZE);
    return m_pending;
}

// inflateReset makes the state as new, whatever the last stream left; the
// input a damaged stream left unread is dropped too.
z_stream *CArcWorkBuffers::Inflater()
{
    if (!m_inflating) {
        memset(&m_inflate, 0, sizeof m_inflate);
        m_inflating = inflateInit2(&m_inflate, -15) == Z_OK;
    } else if (inflateReset(&m_inflate) != Z_OK) {
        return nullptr;
    }
    m_inflate.next_in = nullptr;
    m_inflate.avail_in = 0;
    return m_inflating ? &m_inflate : nullptr;
}

// The object itself is small; what it holds comes at first use.
CArcWorkBuffers *CArchive2::WorkBuffers()
{
    if (!m_work) m_work = new (std::nothrow) CArcWorkBuffers;
    return m_work;
}

// Output still waiting is dropped: Close has written it before.
void CArchive2::ReleaseWorkBuffers()
{
    delete m_work;
    m_work = nullptr;
    m_pending = nullptr;
    m_pendingSize = 0;
}

uint8_t *CArchive2::ChunkBuffer(const char *operation)
{
    CArcWorkBuffers *work = WorkBuffers();
    uint8_t *chunk = work ? work->Chunk() : nullptr;
    if (!chunk) ReportError(ARC_ERR_NOMEMORY, operation);
    return chunk;
}
