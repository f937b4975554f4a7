// The classifier's driver: its graph, the decomposition of the graph's
// Laplacian, and the files of both. The prediction is in ClaPredict.cpp.

#include "sgt/Classifier.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

Classifier::Classifier(ovix::ClassifierLog log) : m_log(std::move(log)) {}

Classifier::~Classifier() {
    m_log.line(1, "cleaned up Classifier\n");
}

int Classifier::buildKnnGraph(int k, int n, bool normalize, bool symmetric, double dupThreshold, const _dVec* docs) {
    if (n < 0 || (n > 0 && !docs))
        throw std::runtime_error(ovix::formatText("no document table of %d rows", n));
    graph.reset();
    graphDecomposed = false;
    auto built = std::make_unique<LaPlacian<float>>(normalize, symmetric, normalize);
    const int kPrime = built->createKnnGraph(docs, n, k, m_log.verbosity(), m_log.stream(), dupThreshold);
    graph = std::move(built);
    m_log.dump(4, "", *graph);
    m_log.line(1, "finished creating %d-nn %dx%d graph (requested %d)\n", kPrime, n, graph->rowCount(), k);
    return kPrime;
}

void Classifier::setGraphFile(std::string path, int format, int normalize, int symmetric) {
    graphFile = std::move(path);
    graphFormat = format;
    sumEdges = normalize;
    normalized = normalize;
    this->symmetric = symmetric;
}

void Classifier::writeGraphFile() const {
    if (!graph)
        throw std::runtime_error("no graph to write");
    if (graphFormat == 2)
        graph->writeGraphText(graphFile.c_str());
    else
        graph->writeGraphDocVec(graphFile.c_str(), graphFormat, rowLabels);
}

int Classifier::readGraphFile() {
    graph.reset();
    graphDecomposed = false;
    auto read = std::make_unique<LaPlacian<float>>(sumEdges, symmetric, normalized);
    if (graphFormat == 2) {
        read->readGraphText(graphFile.c_str());
    } else {
        rowLabels.clear();
        std::vector<int> labels;
        read->readGraphDocVec(graphFile.c_str(), graphFormat, &labels);
        rowLabels = std::move(labels);
    }
    graph = std::move(read);
    return graph->rowCount();
}

int Classifier::decomposeLaplacian(int nEigen) {
    if (!graph)
        throw std::runtime_error("no graph to decompose: build or read one first");
    const int n = graph->colCount();
    if (n <= 2)
        throw std::runtime_error(
            ovix::formatText("a graph of %d documents cannot be decomposed: 3 or more are needed", n));
    if (nEigen < 2)
        throw std::runtime_error(ovix::formatText("requested %d eigenvalues: 2 or more are needed", nEigen));
    m_log.dump(4, "", *graph);
    if (nEigen > n - 1) {
        m_log.line(1, "requested %d eigenvalues, reset to %d\n", nEigen, n - 1);
        nEigen = n - 1;
    }

    graphDecomposed = false;
    graph->buildLaplacian(0);
    m_log.line(1, "created %s%sLaplacian of size %dx%d\n", graph->isNormalized() ? "normalized " : "",
               graph->isSymmetric() ? "symmetric " : "", n, n);
    m_log.dump(4, "", *graph);

    int converged;
    if (4 * nEigen < n && graph->isNormalized()) {
        m_log.line(1, "solving using ARPACK (symmetric=%d)\n", graph->isSymmetric() ? 1 : 0);
        converged = graph->decomposeArpack(nEigen, *graph, graph->isSymmetric(), 1);
        if (converged <= 0)
            throw std::runtime_error("ARPACK did not converge");
    } else if (graph->isSymmetric()) {
        m_log.line(1, "solving using symmetric LAPACK\n");
        converged = graph->decomposeSpev(nEigen, *graph, 1);
    } else {
        m_log.line(1, "solving using LAPACK\n");
        converged = graph->decomposeGeev(nEigen, *graph, 1);
    }
    m_log.line(1, "requested %d eigenvalues, %d converged\n", nEigen, converged);
    // The eigenvectors are taken from rank 1 on: fewer than 2 pairs leave none.
    if (converged < 2)
        throw std::runtime_error(
            ovix::formatText("ARPACK converged on %d eigenvalue: 2 or more are needed", converged));
    graphDecomposed = true;

    if (m_log.at(2)) {
        const auto values = graph->eigenvalues(0);
        std::string line = m_log.prefix() + "           ";
        for (int r = 0; r < std::min(values->rowCount(), nEigen); ++r)
            line += ovix::formatText("%f ", values->getAt(r));
        m_log.write(line + "\n");
    }

    eigenvectors.reset();
    eigenvectors = graph->eigenvectors(1, 1);
    m_log.dump(4, "", *eigenvectors);
    m_log.line(1, "decomposition finished; %d eigenvectors of dimension %d\n", eigenvectors->colCount(),
               eigenvectors->rowCount());
    return n;
}

void Classifier::setDecompositionFile(std::string path, int format) {
    decompositionFile = std::move(path);
    decompositionFormat = format;
}

void Classifier::writeDecompositionFile() const {
    if (!eigenvectors)
        throw std::runtime_error("no decomposition to write");
    eigenvectors->writeFile(decompositionFile.c_str(), decompositionFormat);
}

int Classifier::readDecompositionFile() {
    if (eigenvectors) {
        eigenvectors->readFile(decompositionFile.c_str(), decompositionFormat);
    } else {
        auto read = std::make_unique<LaDenseMatrix<float>>(0, 0);
        read->readFile(decompositionFile.c_str(), decompositionFormat);
        eigenvectors = std::move(read);
    }
    return eigenvectors->rowCount();
}
