// The classifier's rank clustering: the documents ranked at or above a
// threshold, near-duplicates left out, cut into clusters by repeated two-way
// splits of the graph, so that a varied selection of the best-ranked
// documents can be shown.

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "classifier/Classifier.h"

namespace ovix {

int Classifier::diversify(int clusters, int minSize, float threshold, std::span<const float> ranks,
                          std::span<int> ids) {
    if (!m_graph)
        throw std::runtime_error("no graph to cluster: build or read one first");
    if (clusters < 1)
        throw std::runtime_error(formatText("%d clusters requested: 1 or more are needed", clusters));
    const int n = m_graph->colCount();
    if (static_cast<long long>(ranks.size()) != n)
        throw std::runtime_error(
            formatText("%d ranks for a graph of %d documents", static_cast<long long>(ranks.size()), n));
    if (ids.size() != ranks.size())
        throw std::runtime_error(formatText("%d cluster ids for %d ranks", static_cast<long long>(ids.size()),
                                            static_cast<long long>(ranks.size())));
    if (m_log.at(4)) {
        m_log.write("laplacian on entry to diversify\n");
        m_graph->print(m_log.stream());
    }

    const DuplicateRecord* duplicates = m_graph->duplicateRecords();
    const auto isDuplicate = [&](int i) {
        return duplicates && duplicates[i].duplicateOf != -1 && duplicates[i].duplicateOf != i;
    };
    int top = 0;
    for (int i = 0; i < n; ++i) {
        if (isDuplicate(i)) {
            ids[i] = -2;
        } else if (ranks[i] < threshold) {
            ids[i] = -1;
        } else {
            ids[i] = 0;
            ++top;
        }
    }

    // In 64 bits: minSize may be as large as an int goes, and twice it is
    // compared.
    const long long limit = std::max(minSize, 1);
    long long minsize = std::max<long long>(top / clusters, limit);
    m_log.line(1, "starting diversification on top %d documents into %d clusters (n>%d>%d)\n", top, clusters,
               minsize, limit);
    if (m_log.at(1))
        for (int i = 0; i < n; ++i)
            if (isDuplicate(i))
                m_log.text(1, "      eliminated document %d (similar to %d by %.3f)\n", i,
                           duplicates[i].duplicateOf, duplicates[i].similarity);

    // Per cluster made: its size, and whether a split of it was refused at
    // the current minimum size. Every cluster holds at least one document,
    // so there are never more than the top documents.
    std::vector<int> size{top};
    std::vector<bool> refused{false};
    int k = 1;
    while (k < clusters && minsize >= limit) {
        while (k < clusters) {
            // The largest cluster not refused yet, the highest number among
            // equals.
            int chosen = -1;
            for (int c = 0; c < k; ++c)
                if (!refused[c] && (chosen < 0 || size[c] >= size[chosen]))
                    chosen = c;
            if (chosen < 0 || size[chosen] < 2 * minsize)
                break;
            m_log.line(2, "  selected cluster %d (n=%d, minsize=%d) to split\n", chosen, size[chosen], minsize);

            int sizeA = 0, sizeB = 0;
            const double cut =
                m_graph->cluster(ids.data(), chosen, chosen, k, sizeA, sizeB, m_log.verbosity(), m_log.stream());
            // A cut of 0 parts disconnected documents, whatever their
            // numbers, but a part must not be empty.
            const bool stands = sizeA > 0 && sizeB > 0 && (cut == 0 || (sizeA >= minsize && sizeB >= minsize));
            if (stands) {
                size[chosen] = sizeA;
                refused[chosen] = false;
                size.push_back(sizeB);
                refused.push_back(false);
                m_log.line(2, "    split cluster %d (n=%d) into %d (n=%d) and %d (n=%d), ncut %4.2f\n", chosen,
                           sizeA + sizeB, chosen, sizeA, k, sizeB, cut);
                ++k;
            } else {
                for (int i = 0; i < n; ++i)
                    if (ids[i] == k)
                        ids[i] = chosen;
                refused[chosen] = true;
                m_log.line(2, "    did not split cluster %d (n=%d) (sizes %d/%d < %d), ncut = %4.2f\n", chosen,
                           size[chosen], sizeA, sizeB, minsize, cut);
            }
        }
        minsize = minsize * 3 / 4;
        // A refused cluster may be tried again at the smaller size.
        if (minsize >= limit)
            std::fill(refused.begin(), refused.end(), false);
        m_log.line(2, "  reduced working  minsize to %d (limit %d)\n", minsize, limit);
    }

    m_log.line(1, "split ranks > %4.2f into %d clusters (requested %d)\n", threshold, k, clusters);
    return k;
}

}  // namespace ovix
