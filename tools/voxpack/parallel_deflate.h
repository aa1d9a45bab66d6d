// -j N: files are deflated on N worker threads while the engine writes the
// archive in order, so the archive is the same for every N.
#pragma once

#include <memory>

#include "archive/deflate_pool.h"
#include "cli.h"

class CParallelDeflate {
public:
    // With one thread, or a method other than deflate, nothing runs beside
    // the engine: it deflates by itself.
    CParallelDeflate(CArchive2 &archive, unsigned threads, uint32_t method);
    // Detaches from the archive and stops the workers.
    ~CParallelDeflate();
    CParallelDeflate(const CParallelDeflate &) = delete;
    CParallelDeflate &operator=(const CParallelDeflate &) = delete;

    // Plans the files of one add; call for every path, then Start.
    void Plan(const VoText &path, uint32_t flags, uint32_t level);
    void Start();
    // Whether workers run; then the bytes and number of the files planned.
    bool Running() const { return m_pool != nullptr; }
    uint64_t PlannedBytes() const { return m_pool ? m_pool->PlannedBytes() : 0; }
    uint64_t PlannedFiles() const { return m_pool ? m_pool->PlannedFiles() : 0; }

private:
    CArchive2 &m_archive;
    std::unique_ptr<CArcDeflatePool> m_pool;
};

// The thread count of "-j" (default: the number of cores); false (after
// printing why) when it is not a number from 1 to 64.
bool ReadThreads(const CommandLine &line, unsigned *threads);
