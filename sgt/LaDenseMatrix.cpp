#include "sgt/LaDenseMatrix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "features/DocVec.h"
#include "sgt/Invariant.h"
#include "sgt/Lapack.h"
#include "sgt/MatrixFileColumns.h"
#include "sgt/SolverFailure.h"

namespace ovix {

namespace {

enum class LaDenseMatrixCheck {
    getRow = 27,  // row outside the matrix
    getCol = 28,  // column outside the matrix
    setRow = 33,
    setCol = 34,
    dgetrf = 103,       // invert: the factorisation failed, a singular matrix among others
    dgetriProbe = 113,  // invert: the workspace query failed
    dgetri = 125,       // invert: the inversion failed
};

constexpr const char* checkSource(LaDenseMatrixCheck) {
    return "sgt/LaDenseMatrix.h";
}

[[noreturn]] void badFile(const DocVec& file, const std::string& problem) {
    throw std::runtime_error("decomposition file " + file.path() + ": " + problem);
}

// Record i must carry the id i.
void checkRecordId(const DocVec& file, int i, const DocVecRecord& record) {
    if (record.id != i)
        badFile(file, "record " + std::to_string(i) + " has the id " + std::to_string(record.id));
}

// The rows and columns of the matrix in a decomposition file, after checking
// every record of it. A row per document and a column per eigenvector: there
// are never more columns than rows.
std::pair<int, int> fileShape(DocVec& file) {
    const int rows = file.nDocs();
    const auto refuse = [&](const std::string& problem) { badFile(file, problem); };
    int largest = 0;
    DocVecRecord record;
    for (int i = 0; i < rows; ++i) {
        file.readDoc(record);
        checkRecordId(file, i, record);
        for (const DocVecI& entry : record.entries)
            largest = std::max(largest, columnOf(entry, i, rows, refuse));
    }
    return {rows, largest + 1};
}

}  // namespace

template <class T>
LaDenseMatrix<T>::LaDenseMatrix(int rows, int cols)
    : LaMatrix<T>(rows, cols), m_data(LaMatrix<T>::elementCount(rows, cols)) {}

template <class T>
T LaDenseMatrix<T>::get(int i, int j) const {
    checkInvariant(i >= 0 && i < this->m_rows, LaDenseMatrixCheck::getRow, i);
    checkInvariant(j >= 0 && j < this->m_cols, LaDenseMatrixCheck::getCol, j);
    return static_cast<T>(m_data[static_cast<std::size_t>(i) * static_cast<std::size_t>(this->m_cols) + j]);
}

template <class T>
void LaDenseMatrix<T>::set(int i, int j, T v) {
    checkInvariant(i >= 0 && i < this->m_rows, LaDenseMatrixCheck::setRow, i);
    checkInvariant(j >= 0 && j < this->m_cols, LaDenseMatrixCheck::setCol, j);
    m_data[static_cast<std::size_t>(i) * static_cast<std::size_t>(this->m_cols) + j] = v;
}

template <class T>
void LaDenseMatrix<T>::invert() {
    const int n = this->m_rows;
    if (this->m_cols != n)
        throw std::runtime_error("cannot invert a " + std::to_string(n) + " x " + std::to_string(this->m_cols) +
                                 " matrix");
    // LAPACK reads the row-major elements as the transpose; the inverse of the
    // transpose, read back row-major, is the inverse. The factors go into a
    // copy, so that a singular matrix is kept.
    const auto count = LaMatrix<T>::elementCount(n, n);
    MappedArray<double> inverse(count);
    std::copy(m_data.data(), m_data.data() + count, inverse.data());
    const int leading = std::max(n, 1);
    std::vector<int> pivots(static_cast<std::size_t>(leading));
    int info = lapack::dgetrf(n, n, inverse.data(), leading, pivots.data());
    if (info != 0)
        throw solverFailure(LaDenseMatrixCheck::dgetrf, "dgetrf failed: " + std::to_string(info));
    double best = 0;
    info = lapack::dgetri(n, inverse.data(), leading, pivots.data(), &best, -1);
    if (info != 0)
        throw solverFailure(LaDenseMatrixCheck::dgetriProbe, "dgetri probe failed: " + std::to_string(info));
    const int lwork = std::max(static_cast<int>(best), leading);
    std::vector<double> work(static_cast<std::size_t>(lwork));
    info = lapack::dgetri(n, inverse.data(), leading, pivots.data(), work.data(), lwork);
    if (info != 0)
        throw solverFailure(LaDenseMatrixCheck::dgetri, "dgetri failed: " + std::to_string(info));
    m_data = std::move(inverse);
}

template <class T>
void LaDenseMatrix<T>::writeFile(const char* path, int format) const {
    if (!path)
        throw std::runtime_error("decomposition file without a name");
    DocVec file(path, static_cast<DocVecFormat>(format), true);
    if (!file.isOpen())
        throw std::runtime_error(std::string("cannot create decomposition file ") + path);
    std::vector<DocVecI> entries;
    const auto width = static_cast<std::size_t>(this->m_cols);
    for (int i = 0; i < this->m_rows; ++i) {
        entries.clear();
        for (int j = 0; j < this->m_cols; ++j) {
            const double value = m_data[static_cast<std::size_t>(i) * width + j];
            if (std::fabs(value) > 0)
                entries.push_back(DocVecI{fidOfColumn(static_cast<std::uint64_t>(j)), static_cast<float>(value)});
        }
        file.writeDoc(i, 0, entries);
    }
    file.close();
}

template <class T>
void LaDenseMatrix<T>::readFile(const char* path, int format) {
    if (!path)
        throw std::runtime_error("decomposition file without a name");
    DocVec file(path, static_cast<DocVecFormat>(format), false);
    if (!file.isOpen())
        throw std::runtime_error(std::string("cannot open decomposition file ") + path);
    const auto [rows, cols] = fileShape(file);
    MappedArray<double> elements(LaMatrix<T>::elementCount(rows, cols));
    const auto width = static_cast<std::size_t>(cols);
    if (file.readHeader() != rows)
        badFile(file, "changed while it was read");
    DocVecRecord record;
    for (int i = 0; i < rows; ++i) {
        file.readDoc(record);
        checkRecordId(file, i, record);
        for (const DocVecI& entry : record.entries) {
            const std::uint64_t column = entry.fid.asNumber();
            if (column >= width)  // the file changed since the first pass
                badFile(file, "changed while it was read");
            elements[static_cast<std::size_t>(i) * width + column] = entry.weight;
        }
    }
    m_data = std::move(elements);
    this->m_rows = rows;
    this->m_cols = cols;
}

template class LaDenseMatrix<float>;
template class LaDenseMatrix<double>;

}  // namespace ovix
