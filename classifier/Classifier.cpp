// The classifier's driver: its graph, the decomposition of the graph's
// Laplacian, and the files of both. The prediction is in ClaPredict.cpp.

#include "classifier/Classifier.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace ovix {

Classifier::Classifier(ClassifierLog log) : m_log(std::move(log)) {}

Classifier::~Classifier() {
    m_log.line(1, "cleaned up Classifier\n");
}

int Classifier::buildKnnGraph(int k, int n, bool normalize, bool symmetric, double dupThreshold, const _dVec* docs) {
    if (n < 0 || (n > 0 && !docs))
        throw std::runtime_error(formatText("no document table of %d rows", n));
    m_graph.reset();
    m_graphDecomposed = false;
    auto built = std::make_unique<LaPlacian<float>>(normalize, symmetric, normalize);
    const int kPrime = built->createKnnGraph(docs, n, k, m_log.verbosity(), m_log.stream(), dupThreshold);
    m_graph = std::move(built);
    m_log.dump(4, "", *m_graph);
    m_log.line(1, "finished creating %d-nn %dx%d graph (requested %d)\n", kPrime, n, m_graph->rowCount(), k);
    return kPrime;
}

void Classifier::setGraphFile(std::string path, int format, int normalize, int symmetric) {
    m_graphFile = std::move(path);
    m_graphFormat = format;
    m_sumEdges = normalize;
    m_normalized = normalize;
    m_symmetric = symmetric;
}

void Classifier::writeGraphFile() const {
    if (!m_graph)
        throw std::runtime_error("no graph to write");
    if (m_graphFormat == 2)
        m_graph->writeGraphText(m_graphFile.c_str());
    else
        m_graph->writeGraphDocVec(m_graphFile.c_str(), m_graphFormat, m_rowLabels);
}

int Classifier::readGraphFile() {
    m_graph.reset();
    m_graphDecomposed = false;
    auto read = std::make_unique<LaPlacian<float>>(m_sumEdges, m_symmetric, m_normalized);
    if (m_graphFormat == 2) {
        read->readGraphText(m_graphFile.c_str());
    } else {
        m_rowLabels.clear();
        std::vector<int> labels;
        read->readGraphDocVec(m_graphFile.c_str(), m_graphFormat, &labels);
        m_rowLabels = std::move(labels);
    }
    m_graph = std::move(read);
    return m_graph->rowCount();
}

int Classifier::decomposeLaplacian(int nEigen) {
    if (!m_graph)
        throw std::runtime_error("no graph to decompose: build or read one first");
    const int n = m_graph->colCount();
    if (n <= 2)
        throw std::runtime_error(formatText("a graph of %d documents cannot be decomposed: 3 or more are needed", n));
    if (nEigen < 2)
        throw std::runtime_error(formatText("requested %d eigenvalues: 2 or more are needed", nEigen));
    m_log.dump(4, "", *m_graph);
    if (nEigen > n - 1) {
        m_log.line(1, "requested %d eigenvalues, reset to %d\n", nEigen, n - 1);
        nEigen = n - 1;
    }

    m_graphDecomposed = false;
    m_graph->buildLaplacian(0);
    m_log.line(1, "created %s%sLaplacian of size %dx%d\n", m_graph->isNormalized() ? "normalized " : "",
               m_graph->isSymmetric() ? "symmetric " : "", n, n);
    m_log.dump(4, "", *m_graph);

    int converged;
    if (4 * nEigen < n && m_graph->isNormalized()) {
        m_log.line(1, "solving using ARPACK (symmetric=%d)\n", m_graph->isSymmetric() ? 1 : 0);
        converged = m_graph->decomposeArpack(nEigen, *m_graph, m_graph->isSymmetric(), 1);
        if (converged <= 0)
            throw std::runtime_error("ARPACK did not converge");
    } else if (m_graph->isSymmetric()) {
        m_log.line(1, "solving using symmetric LAPACK\n");
        converged = m_graph->decomposeSpev(nEigen, *m_graph, 1);
    } else {
        m_log.line(1, "solving using LAPACK\n");
        converged = m_graph->decomposeGeev(nEigen, *m_graph, 1);
    }
    m_log.line(1, "requested %d eigenvalues, %d converged\n", nEigen, converged);
    // The eigenvectors are taken from rank 1 on: fewer than 2 pairs leave none.
    if (converged < 2)
        throw std::runtime_error(formatText("ARPACK converged on %d eigenvalue: 2 or more are needed", converged));
    m_graphDecomposed = true;

    if (m_log.at(2)) {
        const auto values = m_graph->eigenvalues(0);
        std::string line = m_log.prefix() + "           ";
        for (int r = 0; r < std::min(values->rowCount(), nEigen); ++r)
            line += formatText("%f ", values->getAt(r));
        m_log.write(line + "\n");
    }

    m_eigenvectors.reset();
    m_eigenvectors = m_graph->eigenvectors(1, 1);
    m_log.dump(4, "", *m_eigenvectors);
    m_log.line(1, "decomposition finished; %d eigenvectors of dimension %d\n", m_eigenvectors->colCount(),
               m_eigenvectors->rowCount());
    return n;
}

void Classifier::setDecompositionFile(std::string path, int format) {
    m_decompositionFile = std::move(path);
    m_decompositionFormat = format;
}

void Classifier::writeDecompositionFile() const {
    if (!m_eigenvectors)
        throw std::runtime_error("no decomposition to write");
    m_eigenvectors->writeFile(m_decompositionFile.c_str(), m_decompositionFormat);
}

int Classifier::readDecompositionFile() {
    if (m_eigenvectors) {
        m_eigenvectors->readFile(m_decompositionFile.c_str(), m_decompositionFormat);
    } else {
        auto read = std::make_unique<LaDenseMatrix<float>>(0, 0);
        read->readFile(m_decompositionFile.c_str(), m_decompositionFormat);
        m_eigenvectors = std::move(read);
    }
    return m_eigenvectors->rowCount();
}

}  // namespace ovix
