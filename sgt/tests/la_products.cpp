// Computes one product of the matrix family for the numpy comparison in
// test_products_numpy.py.
//
//   la_products OPERATION float|double < matrices > result
//
// Matrices travel as little-endian int32 rows, int32 cols, then rows x cols
// float64 elements, row-major. Column vectors are n x 1.
//   product A B      A B            (setProduct)
//   gram A           A A^T          (setProductWithTranspose)
//   multiply A x     A x            (multiply of a square dense matrix)
//   block G B x      [[G, -I], [B, G]] x   (multiply of LaPredictMatrix)
//   vtkv V k         V^T diag(k) V  (laTransposeDiagProduct)
//   vtkg V k g       V^T diag(k) g  (laTransposeDiagVector)

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sgt/LaOperations.h"
#include "sgt/LaPredictMatrix.h"

namespace {

struct Block {
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    std::vector<double> values;
};

void readExactly(void* into, std::size_t bytes) {
    if (std::fread(into, 1, bytes, stdin) != bytes)
        throw std::runtime_error("input ends early");
}

Block readBlock() {
    Block b;
    readExactly(&b.rows, 4);
    readExactly(&b.cols, 4);
    if (b.rows < 0 || b.cols < 0)
        throw std::runtime_error("negative shape");
    b.values.resize(static_cast<std::size_t>(b.rows) * static_cast<std::size_t>(b.cols));
    readExactly(b.values.data(), b.values.size() * sizeof(double));
    return b;
}

template <class T>
void writeMatrix(const LaMatrix<T>& m) {
    const std::int32_t shape[2] = {m.rowCount(), m.colCount()};
    std::fwrite(shape, 4, 2, stdout);
    for (int i = 0; i < m.rowCount(); ++i)
        for (int j = 0; j < m.colCount(); ++j) {
            const double v = m.get(i, j);
            std::fwrite(&v, sizeof v, 1, stdout);
        }
}

void writeValues(const std::vector<double>& y) {
    const std::int32_t shape[2] = {static_cast<std::int32_t>(y.size()), 1};
    std::fwrite(shape, 4, 2, stdout);
    std::fwrite(y.data(), sizeof(double), y.size(), stdout);
}

template <class T>
std::unique_ptr<LaDenseMatrix<T>> dense(const Block& b) {
    auto m = std::make_unique<LaDenseMatrix<T>>(b.rows, b.cols);
    for (int i = 0; i < b.rows; ++i)
        for (int j = 0; j < b.cols; ++j)
            m->set(i, j, static_cast<T>(b.values[static_cast<std::size_t>(i) * b.cols + j]));
    return m;
}

template <class T>
std::unique_ptr<LaDiagonalMatrix<T>> diagonal(const Block& b) {
    auto m = std::make_unique<LaDiagonalMatrix<T>>(b.rows);
    for (int i = 0; i < b.rows; ++i)
        m->setAt(i, static_cast<T>(b.values[i]));
    return m;
}

template <class T>
std::unique_ptr<LaVector<T>> column(const Block& b) {
    auto m = std::make_unique<LaVector<T>>(b.rows);
    for (int i = 0; i < b.rows; ++i)
        m->setAt(i, static_cast<T>(b.values[i]));
    return m;
}

// The operand x of a multiply as the solvers hand it over: doubles holding
// values of T.
template <class T>
std::vector<double> operand(const Block& b) {
    std::vector<double> x;
    for (const double v : b.values)
        x.push_back(static_cast<T>(v));
    return x;
}

template <class T>
void run(const std::string& operation) {
    if (operation == "product") {
        const auto A = dense<T>(readBlock());
        const auto B = dense<T>(readBlock());
        LaDenseMatrix<T> C(A->rowCount(), B->colCount());
        C.setProduct(*A, *B);
        writeMatrix(C);
    } else if (operation == "gram") {
        const auto A = dense<T>(readBlock());
        LaDenseMatrix<T> C(A->rowCount(), A->rowCount());
        C.setProductWithTranspose(*A);
        writeMatrix(C);
    } else if (operation == "multiply" || operation == "block") {
        const auto A = dense<T>(readBlock());
        std::unique_ptr<LaMatrix<T>> P;
        if (operation == "block")
            P = std::make_unique<LaPredictMatrix<T>>(*A, *dense<T>(readBlock()));
        const LaMatrix<T>& M = P ? *P : static_cast<const LaMatrix<T>&>(*A);
        const std::vector<double> x = operand<T>(readBlock());
        std::vector<double> y(x.size());
        M.multiply(x.data(), y.data());
        writeValues(y);
    } else if (operation == "vtkv") {
        const auto V = dense<T>(readBlock());
        const auto K = diagonal<T>(readBlock());
        writeMatrix(*laTransposeDiagProduct(*V, *K));
    } else if (operation == "vtkg") {
        const auto V = dense<T>(readBlock());
        const auto K = diagonal<T>(readBlock());
        const auto g = column<T>(readBlock());
        writeMatrix(*laTransposeDiagVector(*V, *K, *g));
    } else {
        throw std::runtime_error("unknown operation " + operation);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc != 3)
            throw std::runtime_error("usage: la_products OPERATION float|double");
        const std::string type = argv[2];
        if (type == "float")
            run<float>(argv[1]);
        else if (type == "double")
            run<double>(argv[1]);
        else
            throw std::runtime_error("unknown element type " + type);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "la_products: %s\n", e.what());
        return 2;
    }
}
