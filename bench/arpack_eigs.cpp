// The iterative solver (LaEigen::decomposeArpack) on a sparse matrix read
// from a file, for bench/arpack_eigs.py, which runs scipy's ARPACK on the same
// matrix with the same settings side by side. The matrix is held as the
// engine's sparse Laplacian, so the solve runs the product that the road's
// decompositions run (packed rows shared over the solve's threads).
//
//   arpack_eigs MATRIX NEIGEN SYMMETRIC REPEATS
//
// MATRIX holds, little-endian: n and nnz as int64, n + 1 row offsets as
// int64, nnz column indices as int32, nnz values as float64 (CSR). Prints
// "ms T1 T2 ..." (the wall time of each solve), "cpu_ms C1 C2 ..." (the
// processor time, user and system, of all the process's threads during each
// solve), "caller_ms R1 W1 R2 W2 ..." (the time the solving thread ran on a
// processor and the time it was ready to run but waited for one, during each
// solve; "nan" where the system does not keep them), "products P1 P2 ..."
// (the matrix products each made) and "eigenvalues L0 L1 ..." (real parts,
// by rank, of the last solve), after one solve that is not counted.
//
// The solving thread runs ARPACK's steps one after another, so a solve takes
// at least its time on a processor: on a busy machine, where it waits for a
// processor as well, its share of the time it was ready bounds how fast the
// solve can be.

#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sgt/LaPlacian.h"

using namespace ovix;

namespace {

// The Laplacian's own solver product, counted.
class CountedLaplacian : public LaPlacian<double> {
public:
    explicit CountedLaplacian(int n) : LaPlacian<double>(n, n, 0, 1, 1) {}
    SolverProduct solverProduct(WorkTeam& team) const override {
        return [this, product = LaPlacian<double>::solverProduct(team)](const double* x, double* y) {
            ++m_products;
            product(x, y);
        };
    }
    // Products made since the last call.
    long takeProducts() { return std::exchange(m_products, 0); }

private:
    mutable long m_products = 0;
};

std::unique_ptr<CountedLaplacian> readCsr(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::int64_t n = 0, nnz = 0;
    in.read(reinterpret_cast<char*>(&n), sizeof n);
    in.read(reinterpret_cast<char*>(&nnz), sizeof nnz);
    std::vector<std::int64_t> offsets(static_cast<std::size_t>(n) + 1);
    std::vector<std::int32_t> columns(static_cast<std::size_t>(nnz));
    std::vector<double> values(static_cast<std::size_t>(nnz));
    in.read(reinterpret_cast<char*>(offsets.data()), static_cast<std::streamsize>(offsets.size() * 8));
    in.read(reinterpret_cast<char*>(columns.data()), static_cast<std::streamsize>(columns.size() * 4));
    in.read(reinterpret_cast<char*>(values.data()), static_cast<std::streamsize>(values.size() * 8));
    if (!in)
        throw std::runtime_error(std::string("cannot read the matrix ") + path);
    auto matrix = std::make_unique<CountedLaplacian>(static_cast<int>(n));
    for (int i = 0; i < n; ++i)
        for (std::int64_t k = offsets[i]; k < offsets[i + 1]; ++k)
            matrix->set(i, columns[k], values[k]);
    return matrix;
}

// User and system time of the whole process, in milliseconds.
double processorMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The calling thread's time on a processor and time ready to run without
// one, in milliseconds (the first two fields of the system's schedstat), or
// NaN where the system does not keep them.
std::array<double, 2> threadScheduleMs() {
    std::ifstream in("/proc/thread-self/schedstat");
    double running = NAN, ready = NAN;
    if (!(in >> running >> ready))
        return {NAN, NAN};
    return {running / 1e6, ready / 1e6};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s MATRIX NEIGEN SYMMETRIC REPEATS\n", argv[0]);
        return 2;
    }
    try {
        const std::unique_ptr<CountedLaplacian> matrix = readCsr(argv[1]);
        CountedLaplacian& A = *matrix;
        const int wanted = std::atoi(argv[2]);
        const int symmetric = std::atoi(argv[3]);
        const int repeats = std::atoi(argv[4]);
        std::string times = "ms", processor = "cpu_ms", caller = "caller_ms", products = "products";
        // The first solve of a process also pays for the BLAS library's
        // threads, which look for work for a while after they start (about
        // 100 ms each): an application that has been running does not, so
        // that solve is not counted.
        int held = A.decomposeArpack(wanted, A, symmetric, 1);
        A.takeProducts();
        for (int run = 0; run < repeats; ++run) {
            const double cpuStart = processorMs();
            const std::array<double, 2> scheduleStart = threadScheduleMs();
            const auto start = std::chrono::steady_clock::now();
            held = A.decomposeArpack(wanted, A, symmetric, 1);
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            times += " " + std::to_string(took.count());
            processor += " " + std::to_string(processorMs() - cpuStart);
            const std::array<double, 2> schedule = threadScheduleMs();
            caller += " " + std::to_string(schedule[0] - scheduleStart[0]) + " " +
                      std::to_string(schedule[1] - scheduleStart[1]);
            products += " " + std::to_string(A.takeProducts());
        }
        std::printf("%s\n%s\n%s\n%s\neigenvalues", times.c_str(), processor.c_str(), caller.c_str(),
                    products.c_str());
        for (int r = 0; r < held; ++r)
            std::printf(" %.17g", A.eigenvalue(r));
        std::printf("\n");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
