// Computes one product of the matrix family for test_products_numpy.py, over
// the pipe of MatrixPipe.h:
//   la_products OPERATION float|double < operands > result
// Operations: product A B (A B), gram A (A A^T), multiply A x (A x),
// vtkv V k (V^T diag(k) V), vtkg V k g (V^T diag(k) g).

#include <memory>
#include <stdexcept>
#include <string>

#include "sgt/LaOperations.h"
#include "sgt/tests/MatrixPipe.h"

using namespace ovix;
using namespace ovix::testing;

namespace {

template <class T, class Target>
std::unique_ptr<Target> firstColumnAs(const LaDenseMatrix<T>& m) {
    auto target = std::make_unique<Target>(m.rowCount());
    for (int i = 0; i < m.rowCount(); ++i)
        target->setAt(i, m.get(i, 0));
    return target;
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
    return runMatrixPipe(argc, argv, "la_products", run<float>, run<double>);
}
