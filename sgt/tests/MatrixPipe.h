#pragma once
// The pipe of the programs that compute products of the matrix family for the
// numpy peer tests: operands come on standard input, the result goes to
// standard output, each matrix as little-endian int32 rows, int32 cols, then
// its float64 elements row by row; vectors are n x 1.
//
//   PROGRAM OPERATION float|double < operands > result

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sgt/LaDenseMatrix.h"
#include "sgt/LaMatrix.h"

namespace ovix::testing {

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

// The program's main: runs the operation in the element type named, the
// exit status 0 once the result is written, 1 when it cannot be, 2 with a
// line on standard error for a failure.
inline int runMatrixPipe(int argc, char** argv, const char* program, void (*runFloat)(const std::string&),
                         void (*runDouble)(const std::string&)) {
    try {
        const std::string type = argc == 3 ? argv[2] : "";
        if (type == "float")
            runFloat(argv[1]);
        else if (type == "double")
            runDouble(argv[1]);
        else
            throw std::runtime_error(std::string("usage: ") + program + " OPERATION float|double");
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 2;
    }
}

}  // namespace ovix::testing
