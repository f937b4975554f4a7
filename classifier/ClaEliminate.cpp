// The classifier's negative elimination: a binary tree of groups of
// documents, numbered like a heap (the root 1, the children of x 2x and
// 2x + 1), grown where a group holds both kinds of labels; in a group where
// few unlabelled documents remain, the negative labels become 0.

#include <bit>
#include <stdexcept>
#include <vector>

#include "classifier/Classifier.h"

namespace ovix {

namespace {

// A group this deep is eliminated rather than split, so that the children
// 2x and 2x + 1 of every split group stay below 2^31.
constexpr int kDeepestLevel = 29;

// The depth of group `node` (>= 1) in the tree: the exact floor of log2.
int levelOf(int node) {
    return std::bit_width(static_cast<unsigned>(node)) - 1;
}

}  // namespace

void Classifier::eliminateNegatives(int elimMin, int elimSkip, int elimMaxLabelled, std::span<float> labels,
                                    bool byEigenvectors) {
    if (!m_graph)
        throw std::runtime_error("no graph to eliminate negatives on: build or read one first");
    const int n = m_graph->colCount();
    if (static_cast<long long>(labels.size()) != n)
        throw std::runtime_error(
            formatText("%d labels for a graph of %d documents", static_cast<long long>(labels.size()), n));
    if (byEigenvectors && !m_eigenvectors)
        throw std::runtime_error(
            "no eigenvectors to eliminate negatives by: decompose the Laplacian or read a decomposition first");
    if (byEigenvectors && m_eigenvectors->rowCount() != n)
        throw std::runtime_error(
            formatText("eigenvectors of %d documents for a graph of %d documents", m_eigenvectors->rowCount(), n));

    std::vector<int> ids(static_cast<std::size_t>(n), 1);
    m_log.line(1, "starting negative elimination min %d\n", elimMin);
    eliminateNegativesIn(elimMin, elimSkip, elimMaxLabelled, labels, 1, ids, byEigenvectors);
    m_log.line(1, "finished negative elimination\n");
}

void Classifier::eliminateNegativesIn(int elimMin, int elimSkip, int elimMaxLabelled, std::span<float> labels,
                                      int node, std::span<int> ids, bool byEigenvectors) {
    const int n = static_cast<int>(ids.size());
    // The left child is a nested call, the right one the next turn.
    for (;; node = 2 * node + 1) {
        int ntotal = 0, numpos = 0, numneg = 0;
        for (int i = 0; i < n; ++i) {
            if (ids[i] != node)
                continue;
            ++ntotal;
            numpos += labels[i] > 0;
            numneg += labels[i] < 0;
        }
        if (numneg == 0 || numpos == 0) {
            m_log.line(1, "cluster %d numpos %d numneg %d skipping\n", node, numpos, numneg);
            return;
        }
        const int labelled = numpos + numneg;
        const int unlabelled = ntotal - labelled;
        if (unlabelled < elimSkip) {
            m_log.line(1, "cluster %d ntotal %d<%d numpos %d numneg %d skipping\n", node, ntotal, elimSkip, numpos,
                       numneg);
            return;
        }
        const int level = levelOf(node);
        if ((unlabelled < elimMin && (elimMaxLabelled == 0 || labelled < elimMaxLabelled)) ||
            level >= kDeepestLevel) {
            m_log.line(1, "cluster %d ntotal %d numpos %d numneg %d eliminating %d negatives\n", node, ntotal,
                       numpos, numneg, numneg);
            for (int i = 0; i < n; ++i) {
                if (ids[i] == node && labels[i] < 0) {
                    m_log.line(1, "cluster %d eliminating idx %d\n", node, i);
                    labels[i] = 0;
                }
            }
            return;
        }

        m_log.line(1, "cluster %d ntotal %d numpos %d numneg %d going down\n", node, ntotal, numpos, numneg);
        const int left = 2 * node;
        if (byEigenvectors && level < m_eigenvectors->colCount()) {
            for (int i = 0; i < n; ++i)
                if (ids[i] == node)
                    ids[i] = m_eigenvectors->get(i, level) < 0 ? left : left + 1;
        } else {
            if (byEigenvectors) {
                m_log.write(formatText("cluster %d ran out of eigenvectors, using regular clustering\n", node));
                byEigenvectors = false;
            }
            int sizeLeft = 0, sizeRight = 0;
            m_graph->cluster(ids.data(), node, left, left + 1, sizeLeft, sizeRight, m_log.verbosity(), m_log.stream());
        }
        eliminateNegativesIn(elimMin, elimSkip, elimMaxLabelled, labels, left, ids, byEigenvectors);
    }
}

}  // namespace ovix
