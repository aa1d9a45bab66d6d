// -j N: deflating on worker threads.
#include "parallel_deflate.h"

#include <thread>

CParallelDeflate::CParallelDeflate(CArchive2 &archive, unsigned threads, uint32_t method) : m_archive(archive)
{
    if (threads > 1 && method == ARC_METHOD_DEFLATE)
        m_pool.reset(new CArcDeflatePool(threads, (uint64_t)ARC_POOL_DEFAULT_CAP_MIB << 20));
}

CParallelDeflate::~CParallelDeflate()
{
    if (m_pool) m_archive.SetCompressedSupplier(nullptr);
}

void CParallelDeflate::Plan(const VoText &path, uint32_t flags, uint32_t level)
{
    if (m_pool) m_pool->Plan(m_archive, path.c_str(), flags, level);
}

void CParallelDeflate::Start()
{
    if (!m_pool) return;
    m_pool->Start();
    m_archive.SetCompressedSupplier(m_pool.get());
}

bool ReadThreads(const CommandLine &line, unsigned *threads)
{
    unsigned cores = std::thread::hardware_concurrency();
    std::string text = line.Value("-j", std::to_string(cores ? cores : 1));
    char *end = nullptr;
    long n = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || n < 1 || n > 64) {
        PrintError("-j takes a number of threads from 1 to 64, not '" + text + "'");
        return false;
    }
    *threads = (unsigned)n;
    return true;
}
