// The deflate pool: workers deflate planned files ahead of the engine.
#include "archive/deflate_pool.h"

#include <algorithm>
#include <cstring>

#include "archive/deflate_stream.h"

// A worker's sink: each output becomes a piece of the job, carrying the
// file bytes read since the previous piece.
class CArcDeflatePool::WorkerSink : public IArcDeflateSink {
public:
    WorkerSink(CArcDeflatePool &pool, size_t index) : m_pool(pool), m_index(index) {}
    HRESULT OnInput(uint32_t bytes) override
    {
        m_consumed += bytes;
        return S_OK;
    }
    HRESULT OnOutput(const uint8_t *bytes, uint32_t size) override
    {
        uint32_t consumed = m_consumed;
        m_consumed = 0;
        return m_pool.Deliver(m_index, bytes, size, consumed) ? S_OK : VO_E_CANCEL;
    }

private:
    CArcDeflatePool &m_pool;
    size_t m_index;
    uint32_t m_consumed = 0;
};

CArcDeflatePool::CArcDeflatePool(unsigned threads, uint64_t capBytes)
    : m_threadCount(threads ? threads : 1), m_cap(capBytes)
{
}

CArcDeflatePool::~CArcDeflatePool()
{
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread &t : m_threads) t.join();
}

void CArcDeflatePool::Plan(CArchive2 &archive, const VOCHAR *path, uint32_t flags, uint32_t level)
{
    struct Context {
        std::deque<Job> *jobs;
        uint32_t level;
        uint64_t *files;
    } context = {&m_jobs, level, &m_plannedFiles};
    auto visit = [](void *c, const VOCHAR *file, uint64_t size) {
        Context *ctx = (Context *)c;
        ++*ctx->files;
        if (size == 0) return;  // nothing to deflate
        ctx->jobs->emplace_back();
        ctx->jobs->back().path = file;
        ctx->jobs->back().size = size;
        ctx->jobs->back().level = ctx->level;
    };
    size_t first = m_jobs.size();
    archive.EnumerateAddEntry(path, flags, visit, &context);
    for (size_t i = first; i < m_jobs.size(); ++i) m_plannedBytes += m_jobs[i].size;
}

namespace {

// The most deflate can make of size bytes (as zlib's deflateBound, with a
// margin).
uint64_t DeflateBound(uint64_t size)
{
    return size + (size >> 12) + (size >> 14) + 64;
}

}  // namespace

void CArcDeflatePool::Start()
{
    for (size_t i = 0; i < m_jobs.size(); ++i)
        if (m_jobs[i].size >= ARC_POOL_EARLY_BYTES) m_early.push_back(i);
    std::stable_sort(m_early.begin(), m_early.end(),
                     [&](size_t a, size_t b) { return m_jobs[a].size > m_jobs[b].size; });
    unsigned count = m_jobs.size() < m_threadCount ? (unsigned)m_jobs.size() : m_threadCount;
    for (unsigned i = 0; i < count; ++i) m_threads.emplace_back(&CArcDeflatePool::Work, this);
}

bool CArcDeflatePool::AllStarted()
{
    while (m_nextJob < m_jobs.size() && (m_jobs[m_nextJob].started || m_jobs[m_nextJob].dropped)) ++m_nextJob;
    return m_nextJob >= m_jobs.size();
}

bool CArcDeflatePool::PickJob(size_t *index)
{
    if (AllStarted()) return false;
    // The file the engine waits for comes first.
    bool headWaits = m_nextJob <= m_cursor;
    if (!headWaits) {
        for (size_t candidate : m_early) {
            Job &job = m_jobs[candidate];
            if (job.started || job.dropped || candidate <= m_cursor) continue;
            uint64_t bound = DeflateBound(job.size);
            if (m_held + m_reserved + bound > m_cap) continue;
            job.started = true;
            job.reserved = bound;
            m_reserved += bound;
            *index = candidate;
            return true;
        }
    }
    // The next file in turn starts while the waiting bytes are under the
    // cap, or when the engine waits for exactly that file.
    if (!headWaits && m_held + m_reserved >= m_cap) return false;
    m_jobs[m_nextJob].started = true;
    *index = m_nextJob++;
    return true;
}

void CArcDeflatePool::Work()
{
    // One deflate state and one pair of buffers serve all of this worker's
    // files.
    CArcDeflater deflater;
    for (;;) {
        size_t index;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            for (;;) {
                if (m_stopping) return;
                if (PickJob(&index)) break;
                if (AllStarted()) return;
                m_changed.wait(lock);
            }
        }
        DeflateJob(index, deflater);
    }
}

void CArcDeflatePool::DeflateJob(size_t index, CArcDeflater &deflater)
{
    Job &job = m_jobs[index];
    ArcDeflateResult r;
    HVOFILE file = VoFileOpen(job.path.c_str(), VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!file) {
        r.hr = VO_E_OPENFILE;
    } else {
        WorkerSink sink(*this, index);
        r = deflater.DeflateFile(file, job.size, (int)job.level, sink);
        VoFileClose(file);
    }
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        job.done = true;
        job.hr = r.hr;
        job.contentCrc = r.contentCrc;
    }
    m_changed.notify_all();
}

bool CArcDeflatePool::HasRoom(size_t index, uint32_t size) const
{
    // A file started early has its whole output's room reserved.
    if (m_jobs[index].reserved) return true;
    if (m_held + m_reserved + size <= m_cap) return true;
    // The file the engine waits for is never held back by the others.
    return index == m_cursor && m_jobs[index].held + size <= ARC_POOL_HEAD_BYTES;
}

std::unique_ptr<CArcDeflatePool::Piece> CArcDeflatePool::TakeFreePiece()
{
    if (m_free.empty()) return std::unique_ptr<Piece>(new Piece);
    std::unique_ptr<Piece> piece = std::move(m_free.back());
    m_free.pop_back();
    return piece;
}

bool CArcDeflatePool::Deliver(size_t index, const uint8_t *bytes, uint32_t size, uint32_t consumed)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Job &job = m_jobs[index];
    m_changed.wait(lock, [&] { return m_stopping || job.dropped || HasRoom(index, size); });
    if (m_stopping || job.dropped) return false;
    std::unique_ptr<Piece> piece = TakeFreePiece();
    piece->bytes.assign(bytes, bytes + size);
    piece->consumed = consumed;
    job.pieces.push_back(std::move(piece));
    job.held += size;
    if (!job.reserved) m_held += size;
    lock.unlock();
    m_changed.notify_all();
    return true;
}

// Gives back the room a file started early had reserved, once the engine
// is past it. Called with the lock held.
void CArcDeflatePool::Release(Job &job)
{
    m_reserved -= job.reserved;
    job.reserved = 0;
}

// Frees a job's pieces and tells its worker to stop. Called with the lock
// held.
void CArcDeflatePool::Drop(size_t index)
{
    Job &job = m_jobs[index];
    job.dropped = true;
    for (std::unique_ptr<Piece> &piece : job.pieces) m_free.push_back(std::move(piece));
    job.pieces.clear();
    if (!job.reserved) m_held -= job.held;
    job.held = 0;
    Release(job);
}

HRESULT CArcDeflatePool::BeginFile(const VOCHAR *path, uint32_t level, uint64_t size)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_current = SIZE_MAX;
    size_t found = m_cursor;
    while (found < m_jobs.size() && m_jobs[found].path != path) ++found;
    if (found == m_jobs.size()) return S_FALSE;
    // Files planned before this one were skipped by the engine (kept
    // entries of an append, for example).
    for (size_t i = m_cursor; i < found; ++i) Drop(i);
    m_cursor = found;
    Job &job = m_jobs[found];
    if (job.size != size || job.level != level) {
        // The file changed since it was planned: the engine deflates it.
        Drop(found);
        m_cursor = found + 1;
        m_changed.notify_all();
        return S_FALSE;
    }
    m_current = found;
    ++m_supplied;
    m_changed.notify_all();
    return S_OK;
}

HRESULT CArcDeflatePool::NextPiece(const uint8_t **bytes, uint32_t *size, uint32_t *consumed, uint32_t *contentCrc)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_handed) m_free.push_back(std::move(m_handed));
    *bytes = nullptr;
    *size = *consumed = 0;
    if (m_current == SIZE_MAX) return E_FAIL;
    Job &job = m_jobs[m_current];
    m_changed.wait(lock, [&] { return !job.pieces.empty() || job.done; });
    if (!job.pieces.empty()) {
        m_handed = std::move(job.pieces.front());
        job.pieces.pop_front();
        job.held -= m_handed->bytes.size();
        if (!job.reserved) m_held -= m_handed->bytes.size();
        *bytes = m_handed->bytes.data();
        *size = (uint32_t)m_handed->bytes.size();
        *consumed = m_handed->consumed;
        lock.unlock();
        m_changed.notify_all();
        return S_OK;
    }
    // The file is complete, or its worker failed.
    *contentCrc = job.contentCrc;
    HRESULT hr = job.hr;
    Release(job);
    m_cursor = m_current + 1;
    m_current = SIZE_MAX;
    lock.unlock();
    m_changed.notify_all();
    return hr;
}
