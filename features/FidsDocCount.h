#pragma once
// Document counts of a collection: per feature id, the number of documents
// that contain it. Every operation holds the lock of the Fids the table was
// built on, but getMaxDocCount and getMinDocCount, which read without it.
// Operations on many ids (addFidCounts and the batch forms) take the lock
// once per FidsLock::kBatch ids, never longer: another thread waits at most
// one batch, and may see a call's ids counted up to the end of a batch.
// Members may be called from any thread; an iteration belongs to the thread
// that started it.

#include <atomic>
#include <climits>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "features/Fids.h"

namespace ovix {

class FidsDocCount {
public:
    using Entry = std::pair<Fid, int>;
    static constexpr int kDefaultBatch = 1000;

    // Borrows `fids`, which must outlive the table.
    explicit FidsDocCount(Fids* fids);
    // Ends a running iteration, from whichever thread destroys the table.
    ~FidsDocCount();
    FidsDocCount(const FidsDocCount&) = delete;
    FidsDocCount& operator=(const FidsDocCount&) = delete;

    // Loads the counts of a collection of nDocs documents from packed records:
    // 12 bytes (id, big-endian unsigned 32-bit count) or, compressed, 10 bytes
    // (id, big-endian 16-bit logarithmic code). Bytes past the last whole
    // record are ignored.
    void addFidCounts(std::span<const unsigned char> records, int nDocs, bool compressed);

    int getDocCount(const Fid& fid) const;
    void incrDocCount(const Fid& fid);
    void decrDocCount(const Fid& fid);
    // The batch forms: counts[i] = getDocCount(fids[i]) (counts holds as many
    // ints as fids ids); incrDocCount or decrDocCount of each id in order.
    void getDocCounts(std::span<const Fid> fids, std::span<int> counts) const;
    void incrDocCounts(std::span<const Fid> fids);
    void decrDocCounts(std::span<const Fid> fids);
    void clearFidCounts();
    int getMaxDocCount() const { return m_max.load(std::memory_order_relaxed); }
    int getMinDocCount() const { return m_min.load(std::memory_order_relaxed); }
    size_t size() const;
    // "num fids %d doccounts min %d max %d"
    std::string repr() const;

    // Iteration: getFirst takes a snapshot of the table and keeps the Fids
    // lock held by the calling thread until getNextFinish, so changes made
    // meanwhile do not disturb it. Each call hands out the next n entries.
    std::vector<Entry> getFirst(int n = kDefaultBatch);
    std::vector<Entry> getNext(int n = kDefaultBatch);
    void getNextFinish();

    Fids& fids() { return *m_fids; }

private:
    std::vector<Entry> nextBatch(int n);  // with m_iteration held
    // Calls work(first, end) for consecutive ranges of at most
    // FidsLock::kBatch of n items, each under the Fids lock.
    template <class Work>
    void inLockedBatches(size_t n, Work work) const;
    // With the Fids lock held.
    void increment(const Fid& fid);
    void decrement(const Fid& fid);

    Fids* const m_fids;
    std::unordered_map<Fid, int, FidHash> m_counts;
    std::atomic<int> m_max{0};
    std::atomic<int> m_min{INT_MAX};

    std::atomic<bool> m_iterating{false};
    std::mutex m_iteration;  // guards the three members below
    std::thread::id m_iterationThread;
    std::vector<Entry> m_snapshot;
    size_t m_position = 0;
};

}  // namespace ovix
