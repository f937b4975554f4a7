// The iterative solver (LaEigen::decomposeArpack) on a sparse matrix read
// from a file, for bench/arpack_eigs.py, which runs scipy's ARPACK on the same
// matrix with the same settings side by side.
//
//   arpack_eigs MATRIX NEIGEN SYMMETRIC REPEATS
//
// MATRIX holds, little-endian: n and nnz as int64, n + 1 row offsets as
// int64, nnz column indices as int32, nnz values as float64 (CSR). Prints
// "ms T1 T2 ..." (the time of each solve), "products P1 P2 ..." (the matrix
// products each made) and "eigenvalues L0 L1 ..." (real parts, by rank, of
// the last solve).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sgt/LaEigen.h"

using namespace ovix;

namespace {

// A CSR matrix as a member of the matrix family: the solver sees it only
// through element, dimension and multiply, as it sees the sparse Laplacian.
class CsrOperator : public LaEigen<double> {
public:
    explicit CsrOperator(const char* path) {
        std::ifstream in(path, std::ios::binary);
        std::int64_t n = 0, nnz = 0;
        in.read(reinterpret_cast<char*>(&n), sizeof n);
        in.read(reinterpret_cast<char*>(&nnz), sizeof nnz);
        m_offsets.resize(static_cast<std::size_t>(n) + 1);
        m_columns.resize(static_cast<std::size_t>(nnz));
        m_values.resize(static_cast<std::size_t>(nnz));
        in.read(reinterpret_cast<char*>(m_offsets.data()), static_cast<std::streamsize>(m_offsets.size() * 8));
        in.read(reinterpret_cast<char*>(m_columns.data()), static_cast<std::streamsize>(m_columns.size() * 4));
        in.read(reinterpret_cast<char*>(m_values.data()), static_cast<std::streamsize>(m_values.size() * 8));
        if (!in)
            throw std::runtime_error(std::string("cannot read the matrix ") + path);
        m_n = static_cast<int>(n);
    }

    double element(int i, int j) const override {
        const auto begin = m_columns.begin() + m_offsets[i];
        const auto end = m_columns.begin() + m_offsets[i + 1];
        const auto at = std::lower_bound(begin, end, j);
        return at != end && *at == j ? m_values[at - m_columns.begin()] : 0.0;
    }
    int dimension() const override { return m_n; }
    // Products made since the last call.
    long takeProducts() { return std::exchange(m_products, 0); }
    void multiply(const double* x, double* y) const override {
        ++m_products;
        for (int i = 0; i < m_n; ++i) {
            double sum = 0;
            for (std::int64_t k = m_offsets[i]; k < m_offsets[i + 1]; ++k)
                sum += m_values[k] * x[m_columns[k]];
            y[i] = sum;
        }
    }

private:
    int m_n = 0;
    std::vector<std::int64_t> m_offsets;
    std::vector<std::int32_t> m_columns;
    std::vector<double> m_values;
    mutable long m_products = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s MATRIX NEIGEN SYMMETRIC REPEATS\n", argv[0]);
        return 2;
    }
    try {
        CsrOperator A(argv[1]);
        const int wanted = std::atoi(argv[2]);
        const int symmetric = std::atoi(argv[3]);
        const int repeats = std::atoi(argv[4]);
        std::string times = "ms", products = "products";
        int held = 0;
        for (int run = 0; run < repeats; ++run) {
            const auto start = std::chrono::steady_clock::now();
            held = A.decomposeArpack(wanted, A, symmetric, 1);
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            times += " " + std::to_string(took.count());
            products += " " + std::to_string(A.takeProducts());
        }
        std::printf("%s\n%s\neigenvalues", times.c_str(), products.c_str());
        for (int r = 0; r < held; ++r)
            std::printf(" %.17g", A.eigenvalue(r));
        std::printf("\n");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
