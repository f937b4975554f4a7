#include "sgt/LaPlacian.h"

#include <cmath>
#include <cstddef>
#include <memory>

#include "sgt/Invariant.h"
#include "sgt/PackedRows.h"

namespace ovix {

namespace {

enum class LaPlacianCheck {
    readWithoutRows = 98,  // get, row
    setWithoutRows = 115,
    multiplyWithoutRows = 193,
    buildWithoutRows = 216,  // buildLaplacian
    notSquare = 397,         // made with rows != cols
};

constexpr const char* checkSource(LaPlacianCheck) {
    return "sgt/LaPlacian.h";
}

}  // namespace

template <class T>
LaPlacian<T>::LaPlacian(int rows, int cols, int sumEdges, int symmetric, int normalized)
    : LaMatrix<T>(0, 0), m_sumEdges(sumEdges), m_symmetric(symmetric), m_normalized(normalized) {
    checkInvariant(rows == cols, LaPlacianCheck::notSquare, rows);
    makeRows(rows);
}

template <class T>
LaPlacian<T>::LaPlacian(int sumEdges, int symmetric, int normalized)
    : LaMatrix<T>(0, 0), m_sumEdges(sumEdges), m_symmetric(symmetric), m_normalized(normalized) {}

template <class T>
LaPlacian<T>::~LaPlacian() = default;

template <class T>
void LaPlacian<T>::makeRows(int n) {
    adoptRows(std::make_unique<Row[]>(LaMatrix<T>::elementCount(n, 1)), n);
}

template <class T>
void LaPlacian<T>::adoptRows(std::unique_ptr<Row[]> rows, int n) {
    m_rowMaps = std::move(rows);
    m_duplicates.reset();
    m_degree.reset();
    m_laplacianBuilt = false;
    this->m_rows = n;
    this->m_cols = n;
}

template <class T>
const typename LaPlacian<T>::Row& LaPlacian<T>::row(int i) const {
    checkInvariant(hasRows(), LaPlacianCheck::readWithoutRows, 0);
    return m_rowMaps[static_cast<std::size_t>(i)];
}

template <class T>
T LaPlacian<T>::get(int i, int j) const {
    checkInvariant(hasRows(), LaPlacianCheck::readWithoutRows, 0);
    const Row& r = m_rowMaps[static_cast<std::size_t>(i)];
    const auto found = r.find(j);
    return found == r.end() ? T(0) : found->second;
}

template <class T>
void LaPlacian<T>::set(int i, int j, T v) {
    checkInvariant(hasRows(), LaPlacianCheck::setWithoutRows, 0);
    Row& r = m_rowMaps[static_cast<std::size_t>(i)];
    if (v != 0)
        r.insert_or_assign(j, v);
    else
        r.erase(j);
}

template <class T>
void LaPlacian<T>::multiply(const double* x, double* y) const {
    checkInvariant(hasRows(), LaPlacianCheck::multiplyWithoutRows, 0);
    for (int i = 0; i < this->m_rows; ++i) {
        double sum = 0;
        for (const auto& [j, w] : m_rowMaps[static_cast<std::size_t>(i)])
            sum += w * x[j];
        y[i] = sum;
    }
}

template <class T>
SolverProduct LaPlacian<T>::solverProduct(WorkTeam& team) const {
    checkInvariant(hasRows(), LaPlacianCheck::multiplyWithoutRows, 0);
    auto rows = std::make_shared<const PackedRows<T>>(m_rowMaps.get(), this->m_rows);
    return [rows, &team](const double* x, double* y) { rows->multiply(x, y, team); };
}

template <class T>
std::unique_ptr<LaVector<T>> LaPlacian<T>::eigenvalues(int from) const {
    auto values = std::make_unique<LaVector<T>>(this->eigenCount() - from);
    for (int i = 0; i < values->rowCount(); ++i)
        values->setAt(i, this->eigenvalue(from + i));
    return values;
}

template <class T>
std::unique_ptr<LaVector<T>> LaPlacian<T>::eigenvaluesImag(int from) const {
    auto values = std::make_unique<LaVector<T>>(this->eigenCount() - from);
    for (int i = 0; i < values->rowCount(); ++i)
        values->setAt(i, this->eigenvalueImag(from + i));
    return values;
}

template <class T>
std::unique_ptr<LaDenseMatrix<T>> LaPlacian<T>::eigenvectors(int from, int divideByDegree) const {
    const int n = this->m_rows;
    auto vectors = std::make_unique<LaDenseMatrix<T>>(n, this->eigenCount() - from);
    const bool byDegree = divideByDegree && m_degree;
    for (int c = 0; c < vectors->colCount(); ++c) {
        for (int j = 0; j < n; ++j) {
            T v = this->eigenvector(from + c, j);
            if (byDegree && m_degree[j] != 0)
                v /= m_degree[j];
            vectors->set(j, c, v);
        }
        if (!byDegree)
            continue;
        T squares = 0;
        for (int j = 0; j < n; ++j)
            squares += vectors->get(j, c) * vectors->get(j, c);
        const T length = std::sqrt(squares);
        if (length != 0)  // a column of zeros has no direction to keep
            for (int j = 0; j < n; ++j)
                vectors->set(j, c, vectors->get(j, c) / length);
    }
    return vectors;
}

template <class T>
void LaPlacian<T>::buildLaplacian(int skipSymmetrise) {
    checkInvariant(hasRows(), LaPlacianCheck::buildWithoutRows, 0);
    if (!skipSymmetrise) {
        if (m_sumEdges)
            symmetriseSums();
        else
            symmetriseMirror();
    }
    if (m_symmetric && m_normalized)
        laplacianSymmetricNormalized();
    else if (m_symmetric)
        laplacianSymmetric();
    else if (m_normalized)
        laplacianNormalized();
    m_laplacianBuilt = true;
}

// W + W^T, visiting the rows in order: a pair present both ways is summed at
// its second row; an edge present one way is copied back when its reverse
// lies in an earlier row, and halved both ways when it lies in a later one,
// where the halves are summed again. Weights change in place, so a sum of 0
// stays stored.
template <class T>
void LaPlacian<T>::symmetriseSums() {
    for (int i = 0; i < this->m_rows; ++i) {
        for (auto& [j, w] : m_rowMaps[static_cast<std::size_t>(i)]) {
            if (j == i)
                continue;
            Row& reverseRow = m_rowMaps[static_cast<std::size_t>(j)];
            const auto reverse = reverseRow.find(i);
            if (j < i) {
                if (reverse != reverseRow.end()) {
                    w = w + reverse->second;
                    reverse->second = w;
                } else {
                    reverseRow.emplace(i, w);
                }
            } else if (reverse == reverseRow.end()) {
                w = w / 2;
                reverseRow.emplace(i, w);
            }
        }
    }
}

// Every edge present one way only is copied back; pairs keep their weights.
template <class T>
void LaPlacian<T>::symmetriseMirror() {
    for (int i = 0; i < this->m_rows; ++i)
        for (const auto& [j, w] : m_rowMaps[static_cast<std::size_t>(i)])
            if (j != i)
                m_rowMaps[static_cast<std::size_t>(j)].try_emplace(i, w);
}

// I - D^-1/2 W D^-1/2 with D the row sums; a node without weight keeps its
// entries and gets a diagonal of 0.
template <class T>
void LaPlacian<T>::laplacianSymmetricNormalized() {
    const auto n = static_cast<std::size_t>(this->m_rows);
    m_degree = std::make_unique<T[]>(n);
    for (std::size_t i = 0; i < n; ++i) {
        T sum = 0;
        for (const auto& [j, w] : m_rowMaps[i])
            sum += w;
        m_degree[i] = std::sqrt(sum);
    }
    for (std::size_t i = 0; i < n; ++i) {
        Row& r = m_rowMaps[i];
        if (m_degree[i] == 0) {
            r.insert_or_assign(static_cast<int>(i), T(0));
            continue;
        }
        for (auto& [j, w] : r)
            w = -w / (m_degree[static_cast<std::size_t>(j)] * m_degree[i]);
        r.insert_or_assign(static_cast<int>(i), T(1));
    }
}

// D - W: the entries negated, the row sum on the diagonal.
template <class T>
void LaPlacian<T>::laplacianSymmetric() {
    for (int i = 0; i < this->m_rows; ++i) {
        Row& r = m_rowMaps[static_cast<std::size_t>(i)];
        T sum = 0;
        for (auto& [j, w] : r) {
            sum += w;
            w = -w;
        }
        r.insert_or_assign(i, sum);
    }
}

// I - D^-1 W with D the sums of the off-diagonal entries; a row without such
// weight has its entries zeroed.
template <class T>
void LaPlacian<T>::laplacianNormalized() {
    for (int i = 0; i < this->m_rows; ++i) {
        Row& r = m_rowMaps[static_cast<std::size_t>(i)];
        T sum = 0;
        for (const auto& [j, w] : r)
            if (j != i)
                sum += w;
        const T factor = sum != 0 ? T(-1) / sum : T(0);
        for (auto& [j, w] : r)
            w *= factor;
        set(i, i, T(1));
    }
}

template class LaPlacian<float>;
template class LaPlacian<double>;

}  // namespace ovix
