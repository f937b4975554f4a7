// LaPlacian::createKnnGraph: the weighted k-nearest-neighbour graph of a set
// of documents, or a graph of random partners.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/FormatFixed.h"
#include "features/DvecRow.h"
#include "sgt/LaPlacian.h"
#include "sgt/NearestNeighbours.h"
#include "sgt/Rand15.h"

namespace ovix {

namespace {

void write(std::FILE* log, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), log);
}

}  // namespace

template <class T>
int LaPlacian<T>::createKnnGraph(const _dVec* docs, int n, int k, int verbosity, std::FILE* log,
                                 double dupThreshold) {
    makeRows(n);
    m_duplicates = std::make_unique<DuplicateRecord[]>(static_cast<std::size_t>(n));

    std::vector<DocEntries> entries(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (docs[i].entries && docs[i].nEntries > 0)
            entries[i] = DocEntries(docs[i].entries, static_cast<std::size_t>(docs[i].nEntries));

    const int kPrime = static_cast<int>(std::clamp(std::llabs(static_cast<long long>(k)), 0LL, std::max(n - 1LL, 0LL)));
    if (k < 0)
        randomGraph(entries, kPrime);
    else
        neighbourGraph(entries, kPrime, verbosity, log ? log : stderr, dupThreshold);
    return kPrime;
}

// kPrime partners per document drawn at random, set both ways with their
// similarity (a draw may repeat or hit the document itself; the later write
// wins), then every row divided by its sum, or zeroed when the sum is 0.
template <class T>
void LaPlacian<T>::randomGraph(std::span<const DocEntries> docs, int kPrime) {
    const int n = static_cast<int>(docs.size());
    Rand15& random = threadRand15();
    for (int i = 0; i < n; ++i) {
        for (int partner = 0; partner < kPrime; ++partner) {
            // In double: n times a draw passes 32 bits. The largest draw
            // would give n itself.
            const double draw = random.next();
            const int r = std::min(static_cast<int>(n * draw / Rand15::max), n - 1);
            const T w =
                static_cast<T>(sparseDotProduct(docs[static_cast<std::size_t>(i)], docs[static_cast<std::size_t>(r)]));
            set(i, r, w);
            set(r, i, w);
        }
    }
    for (int i = 0; i < n; ++i) {
        Row& r = m_rowMaps[static_cast<std::size_t>(i)];
        T sum = 0;
        for (const auto& [j, w] : r)
            sum += w;
        for (auto& [j, w] : r)
            w = sum != 0 ? w / sum : w * 0;
    }
}

// Row i keeps its kPrime most similar other documents. A document whose
// nearest neighbour reaches dupThreshold (when not 0) is marked a duplicate of
// the representative of the earlier of the two.
template <class T>
void LaPlacian<T>::neighbourGraph(std::span<const DocEntries> docs, int kPrime, int verbosity, std::FILE* log,
                                  double dupThreshold) {
    const int n = static_cast<int>(docs.size());
    const bool marking = dupThreshold != 0;
    const int shown = verbosity > 3 ? 5 : 0;
    const int keep = std::min(std::max({kPrime, shown, marking ? 1 : 0}), std::max(n - 1, 0));
    const std::vector<SimilarityPair> best = nearestNeighbours(docs, keep);

    std::string line;
    if (verbosity > 1)
        write(log, "           ");
    for (int i = 0; i < n; ++i) {
        const SimilarityPair* pairs = best.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(keep);

        if (marking && keep > 0 && static_cast<T>(pairs[0].similarity) >= dupThreshold) {
            int g = std::min(pairs[0].index, i);
            if (m_duplicates[static_cast<std::size_t>(g)].duplicateOf != -1)
                g = m_duplicates[static_cast<std::size_t>(g)].duplicateOf;
            m_duplicates[static_cast<std::size_t>(i)].duplicateOf = g;
            if (g != i)
                m_duplicates[static_cast<std::size_t>(i)].similarity = static_cast<T>(pairs[0].similarity);
        }

        T factor = 0;
        if (m_sumEdges) {
            T sum = 0;
            for (int p = 0; p < kPrime; ++p)
                sum += static_cast<T>(pairs[p].similarity);
            factor = sum != 0 ? T(1) / sum : T(0);
            for (int p = 0; p < kPrime; ++p)
                set(i, pairs[p].index, factor * static_cast<T>(pairs[p].similarity));
        } else {
            for (int p = 0; p < kPrime; ++p)
                set(i, pairs[p].index, static_cast<T>(pairs[p].similarity));
        }

        if (verbosity > 3) {
            line.clear();
            appendInt(line, i + 1, 4);
            line += ' ';
            appendFixed(line, factor, 6);
            line += ' ';
            for (int p = 0; p < std::min(keep, shown); ++p) {
                line += '(';
                appendInt(line, pairs[p].index + 1);
                line += ", ";
                appendFixed(line, get(i, pairs[p].index), 6);
                line += ") ";
            }
            line += '\n';
            write(log, line);
        } else if (verbosity > 1 && i % 100 == 0) {
            line = "...";
            appendInt(line, i);
            write(log, line);
            std::fflush(stderr);
        }
    }
    if (verbosity > 1)
        write(log, "\n");
}

template int LaPlacian<float>::createKnnGraph(const _dVec*, int, int, int, std::FILE*, double);
template int LaPlacian<double>::createKnnGraph(const _dVec*, int, int, int, std::FILE*, double);
template void LaPlacian<float>::randomGraph(std::span<const DocEntries>, int);
template void LaPlacian<double>::randomGraph(std::span<const DocEntries>, int);
template void LaPlacian<float>::neighbourGraph(std::span<const DocEntries>, int, int, std::FILE*, double);
template void LaPlacian<double>::neighbourGraph(std::span<const DocEntries>, int, int, std::FILE*, double);

}  // namespace ovix
