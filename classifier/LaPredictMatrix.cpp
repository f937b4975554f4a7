#include "classifier/LaPredictMatrix.h"

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "sgt/Invariant.h"

namespace ovix {

namespace {

enum class LaPredictMatrixCheck {
    gNotSquare = 106,
    bRows = 107,  // B.rows != n
    bCols = 108,  // B.cols != n
};

// Failure reports name this source as part of the engine, "sgt/": callers see
// them.
constexpr const char* checkSource(LaPredictMatrixCheck) {
    return "sgt/LaPredictMatrix.h";
}

// G's order n, once G and B are known to fit together.
template <class T>
int blockOrder(const LaMatrix<T>& G, const LaDenseMatrix<T>& B) {
    const int n = G.rowCount();
    checkInvariant(G.colCount() == n, LaPredictMatrixCheck::gNotSquare, G.colCount());
    checkInvariant(B.rowCount() == n, LaPredictMatrixCheck::bRows, B.rowCount());
    checkInvariant(B.colCount() == n, LaPredictMatrixCheck::bCols, B.colCount());
    if (n > INT_MAX / 2)
        throw std::length_error("block matrix of order " + std::to_string(n) + " x 2");
    return n;
}

// Where (x, y) of a symmetric matrix lies in its packed lower triangle.
std::size_t packedIndex(int x, int y) {
    const auto lo = static_cast<std::size_t>(x < y ? x : y);
    const auto hi = static_cast<std::size_t>(x < y ? y : x);
    return lo + hi * (hi + 1) / 2;
}

}  // namespace

template <class T>
LaPredictMatrix<T>::LaPredictMatrix(const LaMatrix<T>& G, const LaDenseMatrix<T>& B)
    : LaPredictMatrix(G, B, blockOrder(G, B)) {}

template <class T>
LaPredictMatrix<T>::LaPredictMatrix(const LaMatrix<T>& G, const LaDenseMatrix<T>& B, int n)
    : LaMatrix<T>(2 * n, 2 * n), m_half(n) {
    const std::size_t packedSize = static_cast<std::size_t>(n) * (static_cast<std::size_t>(n) + 1) / 2;
    m_blockG = std::make_unique<T[]>(packedSize);
    m_blockB = std::make_unique<T[]>(packedSize);
    std::size_t next = 0;
    for (int i = 0; i < m_half; ++i)
        for (int k = 0; k <= i; ++k, ++next) {
            m_blockG[next] = G.get(i, k);
            m_blockB[next] = B.get(i, k);
        }
}

template <class T>
T* LaPredictMatrix<T>::cell(int a, int b) const {
    const int n = m_half;
    if (a < n)
        return b < n ? &m_blockG[packedIndex(a, b)] : nullptr;
    return b < n ? &m_blockB[packedIndex(a - n, b)] : &m_blockG[packedIndex(a - n, b - n)];
}

template <class T>
T LaPredictMatrix<T>::get(int a, int b) const {
    if (const T* element = cell(a, b))
        return *element;
    return a == b - m_half ? T{-1} : T{0};
}

template <class T>
void LaPredictMatrix<T>::set(int a, int b, T v) {
    if (T* element = cell(a, b))
        *element = v;
}

template <class T>
void LaPredictMatrix<T>::addRowProduct(const T* block, int r, const double* x, double& sum) const {
    // Row r of a symmetric block: (r, 0..r) lie side by side in the packed
    // triangle, (r, j) for j > r one triangle row further apart each.
    const T* row = block + packedIndex(0, r);
    for (int j = 0; j <= r; ++j)
        sum += row[j] * x[j];
    for (int j = r + 1; j < m_half; ++j)
        sum += block[packedIndex(r, j)] * x[j];
}

template <class T>
void LaPredictMatrix<T>::multiply(const double* x, double* y) const {
    const int n = m_half;
    for (int a = 0; a < n; ++a) {
        double sum = 0;
        addRowProduct(m_blockG.get(), a, x, sum);
        sum += -1.0 * x[a + n];
        y[a] = sum;
    }
    for (int a = 0; a < n; ++a) {
        double sum = 0;
        addRowProduct(m_blockB.get(), a, x, sum);
        addRowProduct(m_blockG.get(), a, x + n, sum);
        y[a + n] = sum;
    }
}

template class LaPredictMatrix<float>;
template class LaPredictMatrix<double>;

}  // namespace ovix
