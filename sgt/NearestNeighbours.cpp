#include "sgt/NearestNeighbours.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstddef>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "sgt/InvertedIndex.h"

namespace ovix {
namespace {

constexpr std::size_t kRowsPerTask = 8;
constexpr std::size_t kRowsPerThread = 64;  // below this a thread costs more than it saves

// One thread's share of the work: rows taken in small tasks from a shared
// counter, each ranked with this searcher's own score and heap arrays.
class RowSearcher {
public:
    RowSearcher(std::span<const DocEntries> docs, const InvertedIndex& index, std::span<const int> unindexed, int keep)
        : m_docs(docs), m_index(index), m_unindexed(unindexed), m_keep(keep), m_scores(docs.size()) {
        m_best.reserve(static_cast<std::size_t>(keep));
    }

    // Writes the neighbours of row i to out[0..keep).
    void rank(int i, SimilarityPair* out) {
        score(i);
        selectBest(i);
        std::copy(m_best.begin(), m_best.end(), out);
    }

private:
    // m_scores[j] = the similarity of i and j for every j.
    void score(int i) {
        const DocEntries doc = m_docs[static_cast<std::size_t>(i)];
        std::fill(m_scores.begin(), m_scores.end(), 0.0f);
        if (m_index.indexed(i)) {
            m_index.accumulate(i, m_scores.data());
            for (const int j : m_unindexed)
                m_scores[static_cast<std::size_t>(j)] = sparseDotProduct(doc, m_docs[static_cast<std::size_t>(j)]);
        } else {
            for (std::size_t j = 0; j < m_docs.size(); ++j)
                m_scores[j] = sparseDotProduct(doc, m_docs[j]);
        }
    }

    // m_best = the keep best pairs (j, score) for j != i, best first. The
    // heap's front is the worst pair kept so far.
    void selectBest(int i) {
        m_best.clear();
        if (m_keep == 0)
            return;
        const int n = static_cast<int>(m_scores.size());
        // Once keep pairs are kept, a score below the worst of them cannot
        // enter (a NaN worst lets every score through to the full order).
        float worst = -std::numeric_limits<float>::infinity();
        for (int chunk = 0; chunk < n; chunk += kChunk) {
            const int end = std::min(n, chunk + kChunk);
            // Most chunks hold no score that can enter; the rest are taken
            // score by score, as though none had been skipped.
            if (end - chunk == kChunk && allBelow(m_scores.data() + chunk, worst))
                continue;
            for (int j = chunk; j < end; ++j) {
                if (j == i)
                    continue;
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
                    worst = m_best.front().similarity;
            }
        }
        std::sort_heap(m_best.begin(), m_best.end(), compareSimilarityDesc);
    }

    // Whether all kChunk scores from `scores` lie below `worst` (none is a
    // NaN), compared four at a time.
    static bool allBelow(const float* scores, float worst) {
        using Floats = float __attribute__((vector_size(16)));
        using Masks = int __attribute__((vector_size(16)));
        const Floats limit = Floats{} + worst;
        Masks below = ~Masks{};
        for (int k = 0; k < kChunk; k += 4) {
            Floats four;
            std::memcpy(&four, scores + k, sizeof four);
            below &= four < limit;
        }
        return (below[0] & below[1] & below[2] & below[3]) != 0;
    }

    static constexpr int kChunk = 64;

    std::span<const DocEntries> m_docs;
    const InvertedIndex& m_index;
    std::span<const int> m_unindexed;
    int m_keep;
    std::vector<float> m_scores;
    std::vector<SimilarityPair> m_best;
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

    std::atomic<std::size_t> nextRow{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&] {
        try {
            RowSearcher searcher(docs, index, unindexed, keep);
            for (;;) {
                const std::size_t first = nextRow.fetch_add(kRowsPerTask, std::memory_order_relaxed);
                if (first >= n)
                    break;
                const std::size_t last = std::min(first + kRowsPerTask, n);
                for (std::size_t i = first; i < last; ++i)
                    searcher.rank(static_cast<int>(i), result.data() + i * static_cast<std::size_t>(keep));
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
    return result;
}

}  // namespace ovix
