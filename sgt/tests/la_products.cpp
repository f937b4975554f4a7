// Computes one product of the matrix family for test_products_numpy.py:
//   la_products OPERATION float|double < operands > result
// Each matrix travels as little-endian int32 rows, int32 cols, then its
// float64 elements row by row; vectors are n x 1. Operations:
//   product A B (A B), gram A (A A^T), multiply A x (A x),
//   block G B x ([[G, -I], [B, G]] x), vtkv V k (V^T diag(k) V),
//   vtkg V k g (V^T diag(k) g).

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sgt/LaOperations.h"
#include "sgt/LaPredictMatrix.h"

using namespace ovix;

namespace {

// The next matrix of standard input, its elements converted to T and back.
template <class T>
std::unique_ptr<LaDenseMatrix<T>> readMatrix() {
    std::int32_t shape[2];
    if (std::fread(shape, 4, 2, stdin) != 2 || shape[0] < 0 || shape[1] < 0)
        throw std::runtime_error("bad shape");
    auto m = std::make_unique<LaDenseMatrix<T>>(shape[0], shape[1]);
    for (int i = 0; i < shape[0]; ++i)
        for (int j = 0; j < shape[1]; ++j) {
            double v;
            if (std::fread(&v, sizeof v, 1, stdin) != 1)
                throw std::runtime_error("input ends early");
            m->set(i, j, static_cast<T>(v));
        }
    return m;
}

template <class T, class Target>
std::unique_ptr<Target> firstColumnAs(const LaDenseMatrix<T>& m) {
    auto target = std::make_unique<Target>(m.rowCount());
    for (int i = 0; i < m.rowCount(); ++i)
        target->setAt(i, m.get(i, 0));
    return target;
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

// y = M x with x read as the solvers hand it over: doubles holding values of T.
template <class T>
void writeProduct(const LaMatrix<T>& M) {
    const auto x = readMatrix<T>();
    std::vector<double> in, out(static_cast<std::size_t>(x->rowCount()));
    for (int i = 0; i < x->rowCount(); ++i)
        in.push_back(x->get(i, 0));
    M.multiply(in.data(), out.data());
    LaDenseMatrix<double> y(x->rowCount(), 1);
    for (int i = 0; i < x->rowCount(); ++i)
        y.set(i, 0, out[i]);
    writeMatrix(y);
}

template <class T>
void run(const std::string& operation) {
    const auto A = readMatrix<T>();
    if (operation == "product") {
        const auto B = readMatrix<T>();
        LaDenseMatrix<T> C(A->rowCount(), B->colCount());
        C.setProduct(*A, *B);
        writeMatrix(C);
    } else if (operation == "gram") {
        LaDenseMatrix<T> C(A->rowCount(), A->rowCount());
        C.setProductWithTranspose(*A);
        writeMatrix(C);
    } else if (operation == "multiply") {
        writeProduct(*A);
    } else if (operation == "block") {
        writeProduct(LaPredictMatrix<T>(*A, *readMatrix<T>()));
    } else if (operation == "vtkv" || operation == "vtkg") {
        const auto K = firstColumnAs<T, LaDiagonalMatrix<T>>(*readMatrix<T>());
        if (operation == "vtkv")
            writeMatrix(*laTransposeDiagProduct(*A, *K));
        else
            writeMatrix(*laTransposeDiagVector(*A, *K, *firstColumnAs<T, LaVector<T>>(*readMatrix<T>())));
    } else {
        throw std::runtime_error("unknown operation " + operation);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string type = argc == 3 ? argv[2] : "";
        if (type == "float")
            run<float>(argv[1]);
        else if (type == "double")
            run<double>(argv[1]);
        else
            throw std::runtime_error("usage: la_products OPERATION float|double");
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "la_products: %s\n", e.what());
        return 2;
    }
}
