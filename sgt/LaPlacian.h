#pragma once
// The sparse square member of the matrix family: a weighted graph of n nodes
// (documents), one ordered map per row from column to weight, that is built
// as a k-nearest-neighbour graph or read from a graph file, turned in place
// into a graph Laplacian, decomposed by the solvers, and cut in two by its
// eigenvectors. An absent entry is a zero weight.
//
// The row maps take their nodes from the module's shared pools; otherwise an
// object is used by one thread at a time.

#include <concepts>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

#include "sgt/DuplicateRecord.h"
#include "sgt/LaDenseMatrix.h"
#include "sgt/LaMatrix.h"
#include "sgt/LaVector.h"
#include "sgt/SparseDotProduct.h"
#include "sgt/SparseRowMap.h"

namespace ovix {

struct _dVec;

template <class T>
class LaPlacian : public LaMatrix<T> {
public:
    using Row = SparseRowMap<T>;

    // n empty rows; rows must equal cols.
    LaPlacian(int rows, int cols, int sumEdges, int symmetric, int normalized);
    // 0 x 0 without rows: createKnnGraph or a graph-file reader makes them.
    LaPlacian(int sumEdges, int symmetric, int normalized);
    ~LaPlacian() override;

    // y = L x over the stored entries, in double.
    void multiply(const double* x, double* y) const override;
    // multiply over a packed copy of the rows (PackedRows.h), shared out over
    // the team.
    SolverProduct solverProduct(WorkTeam& team) const override;
    // v != 0 stores v at (i, j); v == 0 removes the entry. Indices are not
    // checked.
    void set(int i, int j, T v) override;
    // The stored weight, 0 when absent. Indices are not checked.
    T get(int i, int j) const override;

    // eigenvalue(from + i) for i below eigenCount() - from.
    virtual std::unique_ptr<LaVector<T>> eigenvalues(int from) const;
    virtual std::unique_ptr<LaVector<T>> eigenvaluesImag(int from) const;
    // n x (eigenCount() - from): column c is the eigenvector of rank from + c.
    // With divideByDegree, after the symmetric normalised Laplacian was built,
    // component j is divided by the degree of node j (when not 0) and each
    // column is then scaled to unit length; otherwise the flag does nothing.
    virtual std::unique_ptr<LaDenseMatrix<T>> eigenvectors(int from, int divideByDegree) const;

    // Replaces the rows and the duplicate records by the graph of the n
    // documents `docs`, and returns k', the neighbours used per row:
    // - k >= 0: row i holds its k' = min(k, n - 1) most similar other
    //   documents (each weighed by its similarity, or by its share of their
    //   sum with sumEdges); with dupThreshold != 0 near-duplicates are marked.
    // - k < 0: |k| random partners per document (draws of the calling
    //   thread's Rand15), both ways, each row then divided by its sum.
    // Progress goes to `log` (null: the standard error stream) by verbosity.
    int createKnnGraph(const _dVec* docs, int n, int k, int verbosity, std::FILE* log, double dupThreshold);

    // Turns the graph into its Laplacian by the flags, after making it
    // symmetric unless skipSymmetrise (sumEdges: W + W^T, else mirrored):
    // symmetric and normalized I - D^-1/2 W D^-1/2, symmetric D - W,
    // normalized I - D^-1 W, neither W itself.
    void buildLaplacian(int skipSymmetrise);

    // Graph files. Each returns 1, or n for readGraphDocVec, and throws
    // std::runtime_error when the file cannot be written or read, or is
    // malformed; a failed read leaves the object as it was. A reader never
    // waits on its file and refuses one that is not a regular file, and
    // every count and column before it allocates: a column must lie below n.
    //
    // Text: "n", "m", then m lines "row column weight", 1-based, in row and
    // column order.
    int writeGraphText(const char* path) const;
    // Stores the absolute value of each weight read. Refuses negative counts,
    // and more than 4096 rows when they outnumber the file's bytes.
    int readGraphText(const char* path);
    // A document-vector file of `format`, one record per row: id = the row,
    // label = labels[row] (0 for rows beyond `labels`), an entry per stored
    // weight with the column as its 64-bit id.
    int writeGraphDocVec(const char* path, int format, std::span<const int> labels = {}) const;
    // Record number i fills row i whatever its id; its label goes to
    // (*labels)[i] when labels is not null.
    int readGraphDocVec(const char* path, int format, std::vector<int>* labels = nullptr);

    // Splits the nodes whose mark is `key` in two by the eigenvector of the
    // second smallest eigenvalue of their sub-Laplacian: each gets mark a or
    // b, and sizeA and sizeB count them. Returns the normalised cut of the
    // two parts, or 0 for a trivial cut (the smallest eigenvector is near 0
    // on some node: those nodes go to a, the others to b). Throws
    // std::runtime_error when fewer than 2 nodes carry `key`, or the solver
    // fails or finds fewer than 2 eigenpairs; the marks are then unchanged.
    double cluster(int* marks, int key, int a, int b, int& sizeA, int& sizeB, int verbosity, std::FILE* log);
    double cluster(int* marks, int& sizeA, int& sizeB, int verbosity, std::FILE* log) requires std::same_as<T, double> {
        return cluster(marks, 1, 0, 1, sizeA, sizeB, verbosity, log);
    }

    // The normalised cut between the nodes marked a and those marked b, over
    // this matrix's entries; other marks take no part.
    double ncut(const int* marks, int a, int b) const;
    double ncut(const int* marks) const requires std::same_as<T, double> { return ncut(marks, 0, 1); }

    // Whether the rows exist (see the constructors).
    bool hasRows() const { return m_rowMaps != nullptr; }
    // The entries of row i, ascending by column.
    const Row& row(int i) const;
    // One per document after createKnnGraph, else null.
    const DuplicateRecord* duplicateRecords() const { return m_duplicates.get(); }
    // Square roots of the row sums after the symmetric normalised Laplacian
    // was built, else null.
    const T* degrees() const { return m_degree.get(); }
    bool isSymmetric() const { return m_symmetric != 0; }
    bool isNormalized() const { return m_normalized != 0; }

private:
    // Replaces the rows by n empty ones, the matrix becoming n x n.
    void makeRows(int n);
    void adoptRows(std::unique_ptr<Row[]> rows, int n);
    void randomGraph(std::span<const DocEntries> docs, int kPrime);
    void neighbourGraph(std::span<const DocEntries> docs, int kPrime, int verbosity, std::FILE* log,
                        double dupThreshold);
    void symmetriseSums();
    void symmetriseMirror();
    void laplacianSymmetricNormalized();
    void laplacianSymmetric();
    void laplacianNormalized();
    // The sub-graph of the nodes `parents` (ascending), ready for its own
    // buildLaplacian.
    std::unique_ptr<LaPlacian> subGraph(std::span<const int> parents) const;

    std::unique_ptr<Row[]> m_rowMaps;  // rows maps; null before any rows were made
    std::unique_ptr<DuplicateRecord[]> m_duplicates;
    std::unique_ptr<T[]> m_degree;
    int m_sumEdges;
    int m_symmetric;
    int m_normalized;
    bool m_laplacianBuilt = false;  // the rows hold the Laplacian, not the graph's weights
};

extern template class LaPlacian<float>;
extern template class LaPlacian<double>;

}  // namespace ovix
