// libFuzzer target: the decomposition file reader over a file made of the
// input, in the document-vector format that the first byte picks (mod 3).
// Every input must be read or refused with a std::runtime_error; a matrix
// read never has more columns than rows, but for the one column of a matrix
// without entries.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "features/fuzz/FuzzFile.h"
#include "sgt/LaDenseMatrix.h"

using namespace ovix;
using namespace ovix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::uint8_t selector;
    if (!writeInput(data, size, selector))
        return 0;
    LaDenseMatrix<float> matrix(0, 0);
    try {
        matrix.readFile(inputPath().c_str(), selector % 3);
    } catch (const std::runtime_error&) {
        return 0;  // refused, as a bad file must be
    }
    if (matrix.colCount() > std::max(matrix.rowCount(), 1))
        std::abort();
    return 0;
}
