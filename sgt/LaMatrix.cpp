#include "sgt/LaMatrix.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "base/FormatFixed.h"
#include "sgt/Invariant.h"
#include "sgt/KeyOrder.h"
#include "sgt/MappedArray.h"

namespace ovix {

namespace {

enum class LaMatrixCheck {
    productRows = 211,               // setProduct: rows != A.rows
    productCols = 212,               // setProduct: cols != B.cols
    productInner = 213,              // setProduct: A.cols != B.rows
    productWithTransposeRows = 236,  // setProductWithTranspose: rows != A.rows
    productWithTransposeCols = 237,  // setProductWithTranspose: cols != A.rows
};

constexpr const char* checkSource(LaMatrixCheck) {
    return "sgt/LaMatrix.h";
}

bool writeAll(std::FILE* f, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

}  // namespace

template <class T>
std::size_t LaMatrix<T>::elementCount(int rows, int cols) {
    if (rows < 0 || cols < 0)
        throw std::length_error("matrix of negative size " + std::to_string(rows) + " x " + std::to_string(cols));
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
}

template <class T>
void LaMatrix<T>::multiply(const double* x, double* y) const {
    const int n = dimension();
    for (int i = 0; i < n; ++i) {
        double sum = 0;
        for (int j = 0; j < n; ++j)
            sum += get(i, j) * x[j];
        y[i] = sum;
    }
}

template <class T>
void LaMatrix<T>::fill(T v) {
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j)
            set(i, j, v);
}

template <class T>
void LaMatrix<T>::scale(T v) {
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j)
            set(i, j, v * get(i, j));
}

template <class T>
void LaMatrix<T>::addScalar(T v) {
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j)
            set(i, j, v + get(i, j));
}

template <class T>
void LaMatrix<T>::rescale(T low, T high) {
    if (m_rows == 0 || m_cols == 0)
        return;
    T least = get(0, 0);
    T most = least;
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j) {
            least = std::min(least, get(i, j));
            most = std::max(most, get(i, j));
        }
    const double range = static_cast<double>(most) - least;
    const double factor = range > 0 ? (static_cast<double>(high) - low) / range : 0;
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j)
            set(i, j, static_cast<T>(low + (get(i, j) - static_cast<double>(least)) * factor));
}

template <class T>
void LaMatrix<T>::setProductWithTranspose(const LaMatrix& A) {
    checkInvariant(m_rows == A.m_rows, LaMatrixCheck::productWithTransposeRows, m_rows);
    checkInvariant(m_cols == A.m_rows, LaMatrixCheck::productWithTransposeCols, m_cols);
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j <= i; ++j) {
            T sum = 0;
            for (int k = 0; k < A.m_cols; ++k)
                sum += A.get(j, k) * A.get(i, k);
            set(i, j, sum);
            if (i != j)
                set(j, i, sum);
        }
}

template <class T>
void LaMatrix<T>::setProduct(const LaMatrix& A, const LaMatrix& B) {
    checkInvariant(m_rows == A.m_rows, LaMatrixCheck::productRows, m_rows);
    checkInvariant(m_cols == B.m_cols, LaMatrixCheck::productCols, m_cols);
    checkInvariant(A.m_cols == B.m_rows, LaMatrixCheck::productInner, A.m_cols);
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j) {
            T sum = 0;
            for (int k = 0; k < A.m_cols; ++k)
                sum += A.get(i, k) * B.get(k, j);
            set(i, j, sum);
        }
}

template <class T>
void LaMatrix<T>::sortRows(T* keys, std::int32_t* companion1, std::int32_t* companion2) {
    if (!keys)
        return;
    // p(i): the old row that becomes row i.
    std::vector<int> p(static_cast<std::size_t>(m_rows));
    std::iota(p.begin(), p.end(), 0);
    std::sort(p.begin(), p.end(), [keys](int a, int b) { return keyLess(keys[a], keys[b]); });

    const bool square = m_rows == m_cols;
    const auto width = static_cast<std::size_t>(m_cols);
    MappedArray<T> copy(elementCount(m_rows, m_cols));
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j)
            copy[i * width + j] = get(p[i], square ? p[j] : j);

    const auto permute = [&p](auto* values) {
        if (!values)
            return;
        std::vector<std::remove_pointer_t<decltype(values)>> old(values, values + p.size());
        for (std::size_t i = 0; i < p.size(); ++i)
            values[i] = old[p[i]];
    };
    permute(keys);
    permute(companion1);
    permute(companion2);

    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j)
            set(i, j, copy[i * width + j]);
}

template <class T>
void LaMatrix<T>::print(std::FILE* f) const {
    if (!f)
        f = stderr;
    std::string line = "  ";
    for (int j = 0; j < m_cols; ++j) {
        line += "     ";
        appendInt(line, j, 4);
    }
    writeAll(f, line);
    for (int i = 0; i < m_rows; ++i) {
        line = "\n";
        appendInt(line, i, 2);
        line += ':';
        for (int j = 0; j < m_cols; ++j) {
            line += ' ';
            appendFixed(line, get(i, j), 4, 8);
        }
        writeAll(f, line);
    }
    writeAll(f, "\n");
}

template <class T>
int LaMatrix<T>::writeText(const char* path) const {
    std::FILE* f = path ? std::fopen(path, "w") : nullptr;
    if (!f)
        return EOF;
    bool written = true;
    std::string line;
    for (int i = 0; i < m_rows && written; ++i) {
        line.clear();
        for (int j = 0; j < m_cols; ++j) {
            line += ' ';
            appendFixed(line, get(i, j), 6);
        }
        line += '\n';
        written = writeAll(f, line);
    }
    const int closed = std::fclose(f);
    return written ? closed : EOF;
}

template class LaMatrix<float>;
template class LaMatrix<double>;

}  // namespace ovix
