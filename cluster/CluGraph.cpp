// Cluster: the graph algorithm. The documents' k-nearest-neighbour graph is
// built once; clusters are then cut in two, recursively, by the spectral
// two-way split of its Laplacian.

#include <cstdio>
#include <stdexcept>

#include "base/FormatFixed.h"
#include "cluster/Cluster.h"
#include "features/DvecRow.h"
#include "sgt/LaPlacian.h"

namespace ovix {

void Cluster::runGraph(int k, int depth, double ncutThreshold, double dupThreshold) {
    startRun(CluGraphCheck::secondRun);
    m_workspace = SplitWorkspace(0);
    m_workspace.reset(2);
    buildGraph(k, dupThreshold);
    splitGraph(0, depth, ncutThreshold);
    closeOutput();
    m_graph.reset();
}

void Cluster::buildGraph(int k, double dupThreshold) {
    if (verbosity > 0)
        std::fprintf(stderr, "assembling docs for %dx%d Laplacian\n", m_nDocs, m_nDocs);
    // Every document's entries, one after the other.
    std::vector<DocVecI> entries;
    std::vector<std::size_t> starts(static_cast<std::size_t>(m_nDocs) + 1, 0);
    std::vector<_dVec> docs(static_cast<std::size_t>(m_nDocs));
    forEachDocument(CluGraphCheck::copyPass, 0, [&](int position, const DocVecRecord& record) {
        const auto p = static_cast<std::size_t>(position);
        docs[p].id = record.id;
        docs[p].label = record.label;
        entries.insert(entries.end(), record.entries.begin(), record.entries.end());
        starts[p + 1] = entries.size();
    });
    for (std::size_t i = 0; i < docs.size(); ++i) {
        docs[i].nEntries = static_cast<int>(starts[i + 1] - starts[i]);
        docs[i].entries = entries.data() + starts[i];
    }

    if (verbosity > 0)
        std::fprintf(stderr, "creating %d-nn graph\n", k);
    m_graph = std::make_unique<LaPlacian<double>>(1, 0, 1);
    m_graph->createKnnGraph(docs.data(), m_nDocs, k, verbosity, stderr, dupThreshold);
    m_graph->buildLaplacian(0);

    m_duplicates.assign(static_cast<std::size_t>(m_nDocs), DuplicateRecord{});
    if (const DuplicateRecord* found = m_graph->duplicateRecords())
        m_duplicates.assign(found, found + m_nDocs);
}

void Cluster::splitGraph(int c, int depth, double ncutThreshold) {
    if (depth == 0)
        throw CheckFailure(CluGraphCheck::depthZero, 0);
    m_current = c;
    if (verbosity > 0)
        sayHeader(c, 2);

    // 1 inside the cluster, -1 elsewhere; the split turns each 1 into part 0 or 1.
    std::vector<int> marks(static_cast<std::size_t>(m_nDocs));
    int n = 0;
    for (int i = 0; i < m_nDocs; ++i) {
        const bool inside = m_table.docCluster(i) == c;
        marks[static_cast<std::size_t>(i)] = inside ? 1 : -1;
        n += inside;
    }

    bool taken = false;
    double ncut = 0;
    int sizeA = 0, sizeB = 0;
    std::string refusal;
    if (n >= 2) {
        try {
            ncut = m_graph->cluster(marks.data(), sizeA, sizeB, verbosity, stderr);
            if (ncut > ncutThreshold) {
                refusal = "* ncut=";
                appendFixed(refusal, ncut, 6);
                refusal += " (>";
                appendFixed(refusal, ncutThreshold, 6);
                refusal += ") not splitting cluster\n";
            } else if (sizeA < minClusterSize || sizeB < minClusterSize) {
                refusal = "* cluster too small (" + std::to_string(sizeA) + "/" + std::to_string(sizeB) +
                          "), not splitting cluster\n";
            } else {
                taken = true;
            }
        } catch (const std::runtime_error& failure) {
            refusal = std::string("* clustering failed: ") + failure.what();
            if (refusal.back() != '\n')
                refusal += '\n';
        }
    } else {
        refusal = "* cannot cluster only one doc\n";
    }

    if (!taken) {
        if (verbosity > 0)
            sayFooter(refusal);
        if (c != 0)
            return;
        // The root is always split: every document goes to the first child.
        for (int& mark : marks)
            if (mark != -1)
                mark = 0;
        sizeA = n;
        sizeB = 0;
        ncut = 0;
    }
    cutGraph(c, marks, sizeA, sizeB, ncut);

    if (taken && depth >= 2) {
        const int first = m_table.record(c).firstChild;
        for (int child = first; child < first + 2; ++child) {
            const int size = m_table.record(child).size;
            if (size > minSplitSize && size >= 2)
                splitGraph(child, depth - 1, ncutThreshold);
        }
    }
}

void Cluster::cutGraph(int c, const std::vector<int>& marks, int sizeA, int sizeB, double ncut) {
    const int first = m_table.appendChildren(c, 2);
    int counts[2] = {0, 0};
    for (int i = 0; i < m_nDocs; ++i) {
        const int part = marks[static_cast<std::size_t>(i)];
        if (part == 0 || part == 1) {
            m_table.assignChild(i, c, part);
            ++counts[part];
        }
    }
    if (counts[0] != sizeA || counts[1] != sizeB)
        std::fprintf(stderr, "problems counting %d %d %d %d\n", counts[0], sizeA, counts[1], sizeB);

    m_workspace.clear();
    centroidPass(c, CluGraphCheck::centroidPass);
    m_workspace.normalise();

    if (verbosity > 0) {
        std::string line = "* ncut=";
        appendFixed(line, ncut, 6);
        line += ", new clusters " + std::to_string(first) + " (n=" + std::to_string(m_workspace.documents(0)) +
                ") and " + std::to_string(first + 1) + " (n=" + std::to_string(m_workspace.documents(1)) + ")\n";
        sayFooter(line);
    }
    storeChildren(c);
}

}  // namespace ovix
