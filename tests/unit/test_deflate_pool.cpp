// Deflating on worker threads: the archive must be the same byte for byte
// as the engine's own, whatever the thread count, the memory cap, or the
// files the engine skips or finds changed; a cancel must end cleanly.
#include <gtest/gtest.h>

#include "archive/deflate_pool.h"
#include "archive_builder.h"
#include "scratch.h"

namespace {

Bytes Pseudo(size_t size, uint32_t seed, bool compressible)
{
    Bytes b(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = compressible ? (uint8_t)("voxkit sample text "[(x >> 24) % 19]) : (uint8_t)(x >> 24);
    }
    return b;
}

// Files of many sizes: empty, tiny, several chunks, compressible and not,
// and large ones that may start ahead of their turn.
void MakeFiles(const ScratchFolder &s)
{
    WriteBytes(s / "flat" / "large1.dat", Pseudo(ARC_POOL_EARLY_BYTES + 5000, 91, true));
    WriteBytes(s / "flat" / "large2.dat", Pseudo(ARC_POOL_EARLY_BYTES * 2, 92, false));
    const size_t sizes[] = {0, 1, 5000, 262144, 262145, 700000, 17, 90000};
    for (int i = 0; i < 16; ++i)
        WriteBytes(s / "flat" / ("f" + std::to_string(i) + ".dat"), Pseudo(sizes[i % 8], (uint32_t)i, i % 3 != 0));
}

class CancellingProgress : public CVoArchiveProgress {
public:
    int chunks = 0;
    int OnProgress(uint32_t, uint32_t) override
    {
        if (++chunks == 5) SetAnswer(VO_E_CANCEL);
        return 0;
    }
};

// Creates an archive of paths; with threads > 0 the pool deflates ahead of
// the engine, with plan (default: paths) as its list of adds.
// *supplied: how many files the pool supplied.
HRESULT Create(const fs::path &archive, const std::vector<fs::path> &paths, unsigned threads, uint64_t cap,
               const std::vector<fs::path> *plan = nullptr, CVoArchiveProgress *progress = nullptr,
               size_t *supplied = nullptr)
{
    CArchive2 a;
    HRESULT hr = a.Open(ToVo(archive).c_str(), ARC_OPEN_CREATE, progress);
    if (FAILED(hr)) return hr;
    CArcDeflatePool pool(threads, cap);
    if (threads) {
        for (const fs::path &p : plan ? *plan : paths) pool.Plan(a, ToVo(p).c_str(), 0, 6);
        pool.Start();
        a.SetCompressedSupplier(&pool);
    }
    for (const fs::path &p : paths) {
        hr = a.AddEntryToArchive(ToVo(p).c_str(), ARC_METHOD_DEFLATE, 6, 0, nullptr);
        if (FAILED(hr)) break;
    }
    a.SetCompressedSupplier(nullptr);
    if (supplied) *supplied = pool.SuppliedFiles();
    HRESULT closed = a.Close();
    return FAILED(hr) ? hr : closed;
}

}  // namespace

TEST(DeflatePool, SameBytesForEveryThreadCountAndCap)
{
    ScratchFolder s;
    MakeFiles(s);
    // A pattern of files only: no folder entries, whose times are the
    // moment of the add.
    std::vector<fs::path> paths = {s / "flat" / "*.dat"};
    ASSERT_EQ(Create(s / "one.ach", paths, 0, 0), S_OK);
    Bytes expected = ReadBytes(s / "one.ach");
    ASSERT_GT(expected.size(), 1000000u);
    // A cap of one byte leaves only the file being written to proceed.
    for (unsigned threads : {2u, 4u}) {
        for (uint64_t cap : {(uint64_t)1, (uint64_t)300000, (uint64_t)64 << 20}) {
            fs::path archive = s / ("p" + std::to_string(threads) + "-" + std::to_string(cap) + ".ach");
            size_t supplied = 0;
            ASSERT_EQ(Create(archive, paths, threads, cap, nullptr, nullptr, &supplied), S_OK);
            EXPECT_TRUE(ReadBytes(archive) == expected) << threads << " threads, cap " << cap;
            EXPECT_EQ(supplied, 16u) << "every file but the two empty ones";
        }
    }
}

TEST(DeflatePool, FilesSkippedOrChangedAfterPlanningAreTheEnginesOwn)
{
    ScratchFolder s;
    MakeFiles(s);
    std::vector<fs::path> plan = {s / "flat" / "*.dat"};
    std::vector<fs::path> adds = {s / "flat" / "f6.dat", s / "flat" / "f3.dat", s / "flat" / "f1.dat",
                                  s / "flat" / "f7.dat"};
    // The engine's add order differs from the plan, and one file grows
    // after the plan was made.
    WriteBytes(s / "flat" / "f7.dat", Pseudo(123457, 7, true));
    ASSERT_EQ(Create(s / "seq.ach", adds, 0, 0), S_OK);
    size_t supplied = 0;
    ASSERT_EQ(Create(s / "par.ach", adds, 2, 300000, &plan, nullptr, &supplied), S_OK);
    EXPECT_TRUE(ReadBytes(s / "par.ach") == ReadBytes(s / "seq.ach"));
    EXPECT_GT(supplied, 0u);
    EXPECT_LT(supplied, adds.size());
}

TEST(DeflatePool, CancelEndsTheAddAndTheWorkers)
{
    ScratchFolder s;
    MakeFiles(s);
    CancellingProgress progress;
    HRESULT hr = Create(s / "c.ach", {s / "flat" / "*.dat"}, 3, 300000, nullptr, &progress);
    EXPECT_EQ(hr, VO_E_CANCEL);
    EXPECT_EQ(progress.chunks, 5);
}
