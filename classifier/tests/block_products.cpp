// Computes the product of the classifier's block matrix for
// test_block_products_numpy.py, over the pipe of sgt/tests/MatrixPipe.h:
//   block_products block float|double < G B x > y
// with y = [[G, -I], [B, G]] x.

#include <stdexcept>
#include <string>

#include "classifier/LaPredictMatrix.h"
#include "sgt/tests/MatrixPipe.h"

using namespace ovix;
using namespace ovix::testing;

namespace {

template <class T>
void run(const std::string& operation) {
    if (operation != "block")
        throw std::runtime_error("unknown operation " + operation);
    const auto G = readMatrix<T>();
    writeProduct(LaPredictMatrix<T>(*G, *readMatrix<T>()));
}

}  // namespace

int main(int argc, char** argv) {
    return runMatrixPipe(argc, argv, "block_products", run<float>, run<double>);
}
