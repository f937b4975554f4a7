#pragma once
// The engine of the spectral graph transducer: it keeps, between calls, the
// k-nearest-neighbour graph of one batch of documents, the labels that came
// with a graph file, the eigenvectors of the graph's Laplacian and the
// settings of the graph and decomposition files, and it classifies the
// documents from those eigenvectors and a few labels.
//
// The calls come in order: a graph (buildKnnGraph, or setGraphFile and
// readGraphFile), its decomposition (decomposeLaplacian, or
// setDecompositionFile and readDecompositionFile), then predict, after an
// optional eliminateNegatives, and diversify as often as wanted. A call made
// out of order, or with input that does not fit the engine's state, throws
// std::runtime_error with a text and changes nothing.
// Progress goes to the engine's log (ClassifierLog).
//
// An engine is used by one thread at a time.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classifier/ClassifierLog.h"
#include "sgt/LaDenseMatrix.h"
#include "sgt/LaPlacian.h"
#include "sgt/LaVector.h"

namespace ovix {

struct _dVec;

class Classifier {
public:
    explicit Classifier(ClassifierLog log = {});
    // Writes "cleaned up Classifier" at verbosity 1 and above.
    ~Classifier();
    Classifier(const Classifier&) = delete;
    Classifier& operator=(const Classifier&) = delete;

    // Replaces the graph by the k-nearest-neighbour graph of docs[0] to
    // docs[n - 1] (k < 0: |k| random partners per document, see LaPlacian),
    // with sumEdges and normalized = normalize. Returns the neighbours used
    // per document. The labels and eigenvectors are kept.
    int buildKnnGraph(int k, int n, bool normalize, bool symmetric, double dupThreshold, const _dVec* docs);

    // The graph file: format 2 is a text file of triplets, any other a
    // document-vector file of that format; a graph read from it is built with
    // sumEdges and normalized = normalize. Nothing is read here.
    void setGraphFile(std::string path, int format, int normalize, int symmetric);
    // Writes the graph, with the labels read with it, to the graph file.
    void writeGraphFile() const;
    // Replaces the graph (and, for a document-vector file, the labels) by
    // those of the graph file; returns its row count. A failed read leaves no
    // graph. The eigenvectors are kept.
    int readGraphFile();

    // Turns the graph into its Laplacian and keeps the eigenvectors of its
    // nEigen smallest eigenvalues from rank 1 on (at most n - 1 eigenpairs);
    // returns n. The graph needs 3 or more documents and nEigen must be 2 or
    // more. A solver's failure is thrown as its text; the graph then holds
    // its Laplacian and the old eigenvectors stay.
    int decomposeLaplacian(int nEigen);

    void setDecompositionFile(std::string path, int format);
    // Writes the eigenvectors to the decomposition file.
    void writeDecompositionFile() const;
    // Replaces the eigenvectors by those of the decomposition file and returns
    // their row count; a failed read keeps the old ones. The graph is kept.
    int readDecompositionFile();

    // Classifies the documents. labels holds one label per document (above 0
    // positive, below 0 negative, 0 unlabelled) and gets the documents'
    // ranks (above 0: predicted positive), unless every document is labelled:
    // then nothing changes and 0 is returned. Returns the training error, the
    // labelled documents ranked on the wrong side of 0.
    //
    // c is the cost of the labelled documents; c < 0 tries 1, 10, 100, ...
    // until a cost leaves no training error or reaches |c|. p is the fraction
    // of positives: 0 takes that of the labels, 0 < p < 1 is used as it is,
    // -1 < p < 0 starts an estimation at |p|. minErrThreshold moves the ranks
    // so that 0 is the threshold of least training error.
    //
    // Throws for no eigenvectors, a label count other than the documents',
    // labels of one class only, p outside (-1, 1) and a c that is not
    // finite; throws a solver's text when the first solve of a cost fails,
    // with every label then set to 0.
    int predict(std::span<float> labels, float c, float p, bool minErrThreshold);

    // Turns negative labels into 0 (unlabelled) where few unlabelled
    // documents remain: the graph's documents are divided into a binary tree
    // of groups, by the signs of the eigenvectors (one per tree level) with
    // byEigenvectors, else by two-way splits of the graph (LaPlacian::cluster).
    // A group without both kinds of labels is left alone; one with fewer than
    // elimSkip unlabelled documents too. A group is eliminated when it has
    // fewer than elimMin unlabelled documents (and, when elimMaxLabelled is
    // not 0, fewer than elimMaxLabelled labelled ones) or lies 29 levels
    // deep; any other is split. labels holds one label per graph row.
    //
    // Throws for no graph, a label count other than the graph's, and, with
    // byEigenvectors, no eigenvectors or eigenvectors of another row count;
    // a split's failure is thrown as its text, the labels eliminated so far
    // staying 0.
    void eliminateNegatives(int elimMin, int elimSkip, int elimMaxLabelled, std::span<float> labels,
                            bool byEigenvectors);

    // Groups the documents whose rank reaches threshold into at most
    // `clusters` clusters by repeated two-way splits of the graph, always of
    // the largest cluster not yet tried, and refuses splits that leave a part
    // below a working minimum size; that size starts at the top documents'
    // share of a cluster and shrinks by a quarter whenever no cluster can be
    // split, down to minSize (at least 1). ids gets, per graph row, -2 for a
    // near-duplicate of an earlier document, -1 for a rank below threshold,
    // else the document's cluster. Returns the number of clusters made.
    //
    // Throws for no graph, clusters below 1, and ranks or ids of a count
    // other than the graph's; a split's failure is thrown as its text.
    int diversify(int clusters, int minSize, float threshold, std::span<const float> ranks, std::span<int> ids);

    const ClassifierLog& log() const { return m_log; }
    // The current graph (null for none), its Laplacian once decomposed.
    const LaPlacian<float>* currentGraph() const { return m_graph.get(); }
    // One label per graph row when the graph came from a document-vector
    // file, else empty.
    const std::vector<int>& graphLabels() const { return m_rowLabels; }
    // One row per document, one column per eigenvector; null for none.
    const LaDenseMatrix<float>* currentEigenvectors() const { return m_eigenvectors.get(); }

private:
    // One solve of the transducer for the fraction of positives p and the
    // cost c: ranks (n) from the eigenvectors V (n x m) and the labels.
    void predictCore(LaVector<float>& ranks, const LaDenseMatrix<float>& V, float p, float c, int n, int m,
                     std::span<const float> labels, int npos, int nneg, bool minErrThreshold) const;

    // Negative elimination in the group `node` and, depth first, its
    // subtree; ids holds each document's group.
    void eliminateNegativesIn(int elimMin, int elimSkip, int elimMaxLabelled, std::span<float> labels, int node,
                              std::span<int> ids, bool byEigenvectors);

    std::unique_ptr<LaPlacian<float>> m_graph;
    std::vector<int> m_rowLabels;
    std::unique_ptr<LaDenseMatrix<float>> m_eigenvectors;
    ClassifierLog m_log;
    // The graph holds the eigenpairs of its Laplacian (decomposeLaplacian
    // succeeded on it).
    bool m_graphDecomposed = false;

    std::string m_graphFile;
    int m_graphFormat = 0;
    int m_sumEdges = 1;
    int m_symmetric = 0;
    int m_normalized = 1;
    std::string m_decompositionFile;
    int m_decompositionFormat = 0;
};

}  // namespace ovix
