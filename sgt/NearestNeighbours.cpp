#include "sgt/NearestNeighbours.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cstddef>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <type_traits>

#include "sgt/InvertedIndex.h"
#include "sgt/MappedArray.h"
#include "sgt/NeighbourHeaps.h"

namespace ovix {
namespace {

constexpr std::size_t kRowsPerTask = 8;
constexpr std::size_t kRowsPerThread = 64;  // below this a thread costs more than it saves
constexpr std::size_t kRowsPerRefresh = 64;

// One thread's share of the work: rows taken in small tasks from a shared
// counter, the last row first. Similarity is symmetric, bit for bit (both
// sides sum the same products in ascending id order), so row i scores only
// the documents after it: it offers the best of them to its own row of the
// heaps, and itself to each of them. Taken last first, a row holds the best
// of all the documents after it by the time those before it offer
// themselves, and few of those offers still enter (at 100,000 documents a
// quarter of the offers that rows taken first first make). A searcher
// turns an offer away without the lock where its copy of the row's worst
// similarity (refreshed every kRowsPerRefresh rows and by each offer) says
// it cannot enter.
class RowSearcher {
public:
    RowSearcher(std::span<const DocEntries> docs, const InvertedIndex& index, std::span<const int> unindexed,
                NeighbourHeaps& heaps, int keep)
        : m_docs(docs),
          m_index(index),
          m_unindexed(unindexed),
          m_heaps(heaps),
          m_keep(keep),
          m_scores(docs.size()),
          m_limits(docs.size()) {
        std::fill_n(m_limits.data(), docs.size(), -std::numeric_limits<float>::infinity());
        m_best.reserve(static_cast<std::size_t>(keep));
    }

    void search(int i) {
        if (m_searched++ % kRowsPerRefresh == 0)
            for (std::size_t j = static_cast<std::size_t>(i) + 1; j < m_docs.size(); ++j)
                m_limits[j] = m_heaps.worst(j);
        score(i);
        keepBest(i);
        offerToOthers(i);
    }

private:
    // m_scores[j] = the similarity of i and j for every j after i.
    void score(int i) {
        const auto first = static_cast<std::size_t>(i) + 1;
        const DocEntries doc = m_docs[static_cast<std::size_t>(i)];
        std::fill(m_scores.data() + first, m_scores.data() + m_docs.size(), 0.0f);
        if (m_index.indexed(i)) {
            m_index.accumulate(i, i + 1, m_scores.data());
            for (auto j = std::upper_bound(m_unindexed.begin(), m_unindexed.end(), i); j != m_unindexed.end(); ++j)
                m_scores[static_cast<std::size_t>(*j)] = sparseDotProduct(doc, m_docs[static_cast<std::size_t>(*j)]);
        } else {
            for (std::size_t j = first; j < m_docs.size(); ++j)
                m_scores[j] = sparseDotProduct(doc, m_docs[j]);
        }
    }

    // Offers row i the best keep pairs (j, score) of the documents after it.
    // m_best is a heap whose front is the worst pair kept so far.
    void keepBest(int i) {
        m_best.clear();
        const int n = static_cast<int>(m_docs.size());
        // A score below the worst that row i or m_best keeps cannot enter
        // (a NaN worst lets every score through to the full order).
        const float rowWorst = m_heaps.worst(static_cast<std::size_t>(i));
        float worst = rowWorst;
        for (int chunk = i + 1; chunk < n; chunk += kChunk) {
            const int end = std::min(n, chunk + kChunk);
            // Most chunks hold no score that can enter; the rest are taken
            // score by score, as though none had been skipped.
            if (end - chunk == kChunk && allBelow(m_scores.data() + chunk, Floats{} + worst))
                continue;
            for (int j = chunk; j < end; ++j) {
                const SimilarityPair pair{j, m_scores[static_cast<std::size_t>(j)]};
                if (pair.similarity < worst)
                    continue;  // the common case, decided without the full order
                if (m_best.size() < static_cast<std::size_t>(m_keep)) {
                    m_best.push_back(pair);
                    std::push_heap(m_best.begin(), m_best.end(), compareSimilarityDesc);
                } else if (compareSimilarityDesc(pair, m_best.front())) {
                    std::pop_heap(m_best.begin(), m_best.end(), compareSimilarityDesc);
                    m_best.back() = pair;
                    std::push_heap(m_best.begin(), m_best.end(), compareSimilarityDesc);
                }
                if (m_best.size() == static_cast<std::size_t>(m_keep))
                    worst = std::fmax(rowWorst, m_best.front().similarity);
            }
        }
        m_heaps.offer(static_cast<std::size_t>(i), m_best);
    }

    // Offers every document j after i the pair (i, score of j).
    void offerToOthers(int i) {
        const std::size_t n = m_docs.size();
        for (std::size_t chunk = static_cast<std::size_t>(i) + 1; chunk < n; chunk += kChunk) {
            const std::size_t end = std::min(n, chunk + kChunk);
            if (end - chunk == kChunk && allBelow(m_scores.data() + chunk, m_limits.data() + chunk))
                continue;
            for (std::size_t j = chunk; j < end; ++j) {
                const SimilarityPair pair{i, m_scores[j]};
                if (!(pair.similarity < m_limits[j]))
                    m_limits[j] = m_heaps.offer(j, std::span(&pair, 1));
            }
        }
    }

    using Floats = float __attribute__((vector_size(16)));

    // Whether all kChunk scores from `scores` lie below their limits (none
    // is a NaN), compared four at a time; `limits` is a vector of one limit
    // for all, or an array of one limit per score.
    template <class Limits>
    static bool allBelow(const float* scores, Limits limits) {
        using Masks = int __attribute__((vector_size(16)));
        Masks below = ~Masks{};
        for (int k = 0; k < kChunk; k += 4) {
            Floats four, limit;
            std::memcpy(&four, scores + k, sizeof four);
            if constexpr (std::is_pointer_v<Limits>)
                std::memcpy(&limit, limits + k, sizeof limit);
            else
                limit = limits;
            below &= four < limit;
        }
        return (below[0] & below[1] & below[2] & below[3]) != 0;
    }

    static constexpr int kChunk = 64;

    std::span<const DocEntries> m_docs;
    const InvertedIndex& m_index;
    std::span<const int> m_unindexed;
    NeighbourHeaps& m_heaps;
    int m_keep;
    // Per document, in mappings of their own: each thread's arrays go back
    // to the system when its search ends, not to a heap of the process.
    MappedArray<float> m_scores;
    MappedArray<float> m_limits;  // a worst() of the document's row
    std::vector<SimilarityPair> m_best;
    std::size_t m_searched = 0;
};

unsigned threadCount(unsigned asked, std::size_t rows) {
    unsigned threads = asked;
    if (threads == 0) {
        threads = std::max(1u, std::thread::hardware_concurrency());
        threads = static_cast<unsigned>(std::min<std::size_t>(threads, (rows + kRowsPerThread - 1) / kRowsPerThread));
    }
    return static_cast<unsigned>(std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(rows, 1)));
}

}  // namespace

std::vector<SimilarityPair> nearestNeighbours(std::span<const DocEntries> docs, int keep, unsigned threads) {
    const std::size_t n = docs.size();
    if (keep < 0 || (n > 0 && static_cast<std::size_t>(keep) > n - 1) || (n == 0 && keep != 0))
        throw std::invalid_argument("neighbours to keep must lie in 0..n-1");
    std::vector<SimilarityPair> result(n * static_cast<std::size_t>(keep));
    if (keep == 0)
        return result;

    const InvertedIndex index(docs);
    std::vector<int> unindexed;
    for (std::size_t i = 0; i < n; ++i)
        if (!index.indexed(static_cast<int>(i)))
            unindexed.push_back(static_cast<int>(i));

    NeighbourHeaps heaps(result, keep);
    std::atomic<std::size_t> nextRow{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&] {
        try {
            RowSearcher searcher(docs, index, unindexed, heaps, keep);
            for (;;) {
                const std::size_t first = nextRow.fetch_add(kRowsPerTask, std::memory_order_relaxed);
                if (first >= n)
                    break;
                const std::size_t last = std::min(first + kRowsPerTask, n);
                for (std::size_t taken = first; taken < last; ++taken)
                    searcher.search(static_cast<int>(n - 1 - taken));
            }
        } catch (...) {
            nextRow.store(n);  // the others stop at their next task
            const std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    };

    std::vector<std::thread> helpers;
    const unsigned count = threadCount(threads, n);
    helpers.reserve(count - 1);
    for (unsigned t = 1; t < count; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // the threads that did start share the rows
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
    heaps.sortRows();
    return result;
}

}  // namespace ovix
