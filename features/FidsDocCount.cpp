#include "features/FidsDocCount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "features/Arithmetic.h"

namespace ovix {

namespace {

std::uint32_t readBigEndian(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

// A compressed count: v encodes (nDocs + 1) / (count + 1) on a logarithmic
// scale of 65535 steps. A negative nDocs gives no finite count; it counts as 0.
int decompressCount(std::uint32_t v, int nDocs) {
    const double docs = static_cast<double>(nDocs) + 1.0;
    const double ratio = std::exp(v * std::log(docs) / 65535.0);
    return saturatingToInt(std::trunc(docs / ratio) - 1.0);
}

}  // namespace

FidsDocCount::FidsDocCount(Fids* fids) : m_fids(fids) {}

FidsDocCount::~FidsDocCount() {
    std::lock_guard iteration(m_iteration);
    if (m_iterating)
        m_fids->lock().unlockFor(m_iterationThread);
}

template <class Work>
void FidsDocCount::inLockedBatches(size_t n, Work work) const {
    for (size_t first = 0; first < n; first += FidsLock::kBatch) {
        const FidsLock::Section hold(m_fids->lock());
        work(first, std::min(n, first + FidsLock::kBatch));
    }
}

void FidsDocCount::addFidCounts(std::span<const unsigned char> records, int nDocs, bool compressed) {
    const size_t recordSize = compressed ? 10 : 12;
    {
        const FidsLock::Section hold(m_fids->lock());
        if (nDocs > m_max)
            m_max = nDocs;
    }
    inLockedBatches(records.size() / recordSize, [&](size_t first, size_t end) {
        int lowest = m_min;
        for (size_t i = first; i < end; ++i) {
            const unsigned char* record = records.data() + i * recordSize;
            const Fid fid(std::string_view(reinterpret_cast<const char*>(record), FID_LEN));
            int count = compressed ? decompressCount(readBigEndian(record + FID_LEN, 2), nDocs)
                                   : static_cast<int>(readBigEndian(record + FID_LEN, 4));
            if (count <= 0)
                count = 1;
            m_counts.insert_or_assign(fid, count);
            lowest = std::min(lowest, count);
        }
        m_min = lowest;
    });
}

int FidsDocCount::getDocCount(const Fid& fid) const {
    int count;
    getDocCounts({&fid, 1}, {&count, 1});
    return count;
}

void FidsDocCount::incrDocCount(const Fid& fid) {
    const FidsLock::Section hold(m_fids->lock());
    increment(fid);
}

void FidsDocCount::decrDocCount(const Fid& fid) {
    const FidsLock::Section hold(m_fids->lock());
    decrement(fid);
}

void FidsDocCount::getDocCounts(std::span<const Fid> fids, std::span<int> counts) const {
    inLockedBatches(fids.size(), [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i) {
            const auto it = m_counts.find(fids[i]);
            counts[i] = it == m_counts.end() ? 0 : it->second;
        }
    });
}

void FidsDocCount::incrDocCounts(std::span<const Fid> fids) {
    inLockedBatches(fids.size(), [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i)
            increment(fids[i]);
    });
}

void FidsDocCount::decrDocCounts(std::span<const Fid> fids) {
    inLockedBatches(fids.size(), [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i)
            decrement(fids[i]);
    });
}

void FidsDocCount::increment(const Fid& fid) {
    int& count = m_counts[fid];
    count = wrapAdd(count, 1);
    if (count > m_max)
        m_max = count;
}

void FidsDocCount::decrement(const Fid& fid) {
    int& count = m_counts[fid];
    count = std::max(wrapAdd(count, -1), 0);
    if (count > 0 && count < m_min)
        m_min = count;
}

void FidsDocCount::clearFidCounts() {
    const FidsLock::Section hold(m_fids->lock());
    m_counts.clear();
    m_max = 0;
    m_min = INT_MAX;
}

size_t FidsDocCount::size() const {
    const FidsLock::Section hold(m_fids->lock());
    return m_counts.size();
}

std::string FidsDocCount::repr() const {
    const size_t n = size();
    char text[80];
    std::snprintf(text, sizeof text, "num fids %d doccounts min %d max %d", static_cast<int>(n), getMinDocCount(),
                  getMaxDocCount());
    return text;
}

std::vector<FidsDocCount::Entry> FidsDocCount::getFirst(int n) {
    // Checked before waiting for the lock, so a second iteration fails at once.
    if (m_iterating.exchange(true))
        throw std::runtime_error("Iteration already in progress");
    m_fids->lock().lock();
    std::lock_guard iteration(m_iteration);
    try {
        m_snapshot.assign(m_counts.begin(), m_counts.end());
    } catch (...) {
        m_iterating = false;
        m_fids->lock().unlock();
        throw;
    }
    m_iterationThread = std::this_thread::get_id();
    m_position = 0;
    return nextBatch(n);
}

std::vector<FidsDocCount::Entry> FidsDocCount::getNext(int n) {
    std::lock_guard iteration(m_iteration);
    if (!m_iterating)
        throw std::runtime_error("Iteration not started");
    if (m_iterationThread != std::this_thread::get_id())
        throw std::runtime_error("Iteration belongs to another thread");
    return nextBatch(n);
}

void FidsDocCount::getNextFinish() {
    std::lock_guard iteration(m_iteration);
    if (!m_iterating)
        return;
    if (m_iterationThread != std::this_thread::get_id())
        throw std::runtime_error("Iteration belongs to another thread");
    m_snapshot = {};
    m_position = 0;
    m_iterating = false;
    m_fids->lock().unlock();
}

std::vector<FidsDocCount::Entry> FidsDocCount::nextBatch(int n) {
    const size_t remaining = m_snapshot.size() - m_position;
    const size_t take = n > 0 ? std::min<size_t>(remaining, static_cast<size_t>(n)) : 0;
    auto first = m_snapshot.begin() + static_cast<std::ptrdiff_t>(m_position);
    m_position += take;
    return {first, first + static_cast<std::ptrdiff_t>(take)};
}

}  // namespace ovix
