// Deflating on worker threads while the engine writes: the pool deflates
// the files of planned adds ahead of the engine, in the engine's order, and
// hands the engine each file's deflated bytes when it reaches that file. The
// engine still writes every header, record and progress report itself, so
// the archive is the same byte for byte whatever the number of threads.
//
// Memory is bounded: deflated bytes waiting for the engine are held to a
// cap, beyond which workers wait (the file the engine is writing may hold a
// further ARC_POOL_HEAD_BYTES, so the pool never stalls). Each worker also
// holds its read and deflate buffers, under 1 MiB, kept from one file to
// the next.
//
// Files of ARC_POOL_EARLY_BYTES and more start first, largest first, when
// their whole output fits in what the cap leaves (that room is reserved for
// them, so they never wait): a large file late in the order would otherwise
// keep one worker busy alone at the end.
//
//   CArcDeflatePool pool(threads, cap);
//   pool.Plan(archive, path, flags, level);   // for each path to add
//   pool.Start();
//   archive.SetCompressedSupplier(&pool);
//   archive.AddEntryToArchive(path, ARC_METHOD_DEFLATE, level, flags, ...);
//   archive.SetCompressedSupplier(nullptr);   // before the pool goes
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"

class CArcDeflater;

// Deflated bytes waiting for the engine, by default, in MiB.
#define ARC_POOL_DEFAULT_CAP_MIB 64
// What the file being written may hold beyond the cap.
#define ARC_POOL_HEAD_BYTES (8u << 20)
// Files this large may start ahead of their turn.
#define ARC_POOL_EARLY_BYTES (1u << 20)

class CArcDeflatePool : public IArcCompressedSupplier {
public:
    CArcDeflatePool(unsigned threads, uint64_t capBytes);
    ~CArcDeflatePool() override;
    CArcDeflatePool(const CArcDeflatePool &) = delete;
    CArcDeflatePool &operator=(const CArcDeflatePool &) = delete;

    // Queues the files an add of path with flags would take, to be deflated
    // at level. Call before Start.
    void Plan(CArchive2 &archive, const VOCHAR *path, uint32_t flags, uint32_t level);
    void Start();
    // Files planned so far, and their bytes.
    uint64_t PlannedFiles() const { return m_plannedFiles; }  // empty ones too
    uint64_t PlannedBytes() const { return m_plannedBytes; }
    // Files whose deflated bytes the engine took from the pool.
    size_t SuppliedFiles() const { return m_supplied; }

    HRESULT BeginFile(const VOCHAR *path, uint32_t level, uint64_t size) override;
    HRESULT NextPiece(const uint8_t **bytes, uint32_t *size, uint32_t *consumed, uint32_t *contentCrc) override;

private:
    struct Piece {
        std::vector<uint8_t> bytes;
        uint32_t consumed = 0;
    };
    struct Job {
        std::basic_string<VOCHAR> path;
        uint64_t size = 0;
        uint32_t level = 0;
        std::deque<std::unique_ptr<Piece>> pieces;
        uint64_t held = 0;  // bytes in pieces
        bool started = false;
        bool done = false;
        bool dropped = false;  // skipped by the engine: the worker stops
        uint64_t reserved = 0;  // room reserved for a file started early
        HRESULT hr = S_OK;
        uint32_t contentCrc = 0;
    };
    class WorkerSink;

    void Work();
    // Chooses the next file for a worker (with the lock held); false when
    // none may start now.
    bool PickJob(size_t *index);
    bool AllStarted();
    void DeflateJob(size_t index, CArcDeflater &deflater);
    void Release(Job &job);
    // Worker side: waits for room, then queues one piece of a job; false
    // when the job was dropped or the pool stops.
    bool Deliver(size_t index, const uint8_t *bytes, uint32_t size, uint32_t consumed);
    bool HasRoom(size_t index, uint32_t size) const;
    void Drop(size_t index);
    std::unique_ptr<Piece> TakeFreePiece();

    unsigned m_threadCount;
    uint64_t m_cap;
    std::deque<Job> m_jobs;  // never moved: workers hold references
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_nextJob = 0;   // the next job a worker starts
    size_t m_cursor = 0;    // the first job the engine has not finished
    size_t m_current = SIZE_MAX;  // the job the engine is reading
    uint64_t m_held = 0;      // bytes in the pieces of files started in turn
    uint64_t m_reserved = 0;  // room reserved for files started early
    std::vector<size_t> m_early;  // large files, largest first
    bool m_stopping = false;
    size_t m_supplied = 0;
    uint64_t m_plannedBytes = 0;
    uint64_t m_plannedFiles = 0;
    std::unique_ptr<Piece> m_handed;  // the piece the engine holds
    std::vector<std::unique_ptr<Piece>> m_free;
};
