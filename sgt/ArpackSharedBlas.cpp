#include "sgt/ArpackBasisProducts.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// BLAS dgemv as gfortran calls it: the length of `trans` comes last.
using Gemv = void (*)(const char* trans, const int* m, const int* n, const double* alpha, const double* a,
                      const int* lda, const double* x, const int* incx, const double* beta, double* y, const int* incy,
                      std::size_t transLength);

// The BLAS library's dgemv, behind this one.
Gemv libraryGemv() {
    static const Gemv gemv = [] {
        auto found = reinterpret_cast<Gemv>(dlsym(RTLD_NEXT, "dgemv_"));
        if (!found) {
            std::fputs("ArpackBasisProducts: the BLAS library has no dgemv_\n", stderr);
            std::abort();  // ARPACK is linked with BLAS: the build is broken
        }
        return found;
    }();
    return gemv;
}

std::atomic<ovix::WorkTeam*> g_team{nullptr};

constexpr long long kLeastRowsPerBlock = 1024;

void sharedGemv(const char* trans, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
                const double* x, const int* incx, const double* beta, double* y, const int* incy) {
    const Gemv gemv = libraryGemv();
    ovix::WorkTeam* team = g_team.load(std::memory_order_acquire);
    const long long rows = *m, columns = *n;
    const long long rowsPerBlock =
        std::max(kLeastRowsPerBlock, ovix::ArpackBasisProducts::kElementsPerBlock / std::max(columns, 1LL));
    const long long blocks = rows > 0 ? (rows + rowsPerBlock - 1) / rowsPerBlock : 0;
    const bool plain = *trans == 'N' || *trans == 'n';
    const bool transposed = *trans == 'T' || *trans == 't' || *trans == 'C' || *trans == 'c';
    if (!team || team->helpers() == 0 || blocks < 2 || columns <= 0 || *incx != 1 || *incy != 1 || *alpha == 0 ||
        !(plain || transposed)) {
        gemv(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, 1);
        return;
    }
    const auto block = [&](std::size_t b, int& blockRows) {
        const long long first = static_cast<long long>(b) * rowsPerBlock;
        blockRows = static_cast<int>(std::min(rowsPerBlock, rows - first));
        return static_cast<std::size_t>(first);
    };
    if (plain) {
        // Rows of y from rows of A: the blocks write apart.
        team->run(static_cast<std::size_t>(blocks), [&](std::size_t b) {
            int blockRows;
            const std::size_t first = block(b, blockRows);
            gemv("N", &blockRows, n, alpha, a + first, lda, x, incx, beta, y + first, incy, 1);
        });
        return;
    }
    // y (n) = alpha A^T x + beta y: each block sums its rows into a part of
    // its own, and the parts are added in block order.
    const auto width = static_cast<std::size_t>(columns);
    std::vector<double> parts(static_cast<std::size_t>(blocks) * width);
    const double one = 1.0, zero = 0.0;
    const int step = 1;
    team->run(static_cast<std::size_t>(blocks), [&](std::size_t b) {
        int blockRows;
        const std::size_t first = block(b, blockRows);
        gemv("T", &blockRows, n, &one, a + first, lda, x + first, &step, &zero, parts.data() + b * width, &step, 1);
    });
    for (std::size_t j = 0; j < width; ++j) {
        double sum = 0.0;
        for (std::size_t b = 0; b < static_cast<std::size_t>(blocks); ++b)
            sum += parts[b * width + j];
        // With beta 0, y is written without being read, as BLAS does.
        y[j] = (*beta == 0.0 ? 0.0 : *beta * y[j]) + *alpha * sum;
    }
}

}  // namespace

// ARPACK's dgemv (it is linked statically): hidden, so that the BLAS library
// and everything else keep their own.
extern "C" __attribute__((visibility("hidden"))) void dgemv_(const char* trans, const int* m, const int* n,
                                                             const double* alpha, const double* a, const int* lda,
                                                             const double* x, const int* incx, const double* beta,
                                                             double* y, const int* incy, std::size_t) {
    sharedGemv(trans, m, n, alpha, a, lda, x, incx, beta, y, incy);
}

namespace ovix {

ArpackBasisProducts::ArpackBasisProducts(WorkTeam& team) {
    g_team.store(&team, std::memory_order_release);
}

ArpackBasisProducts::~ArpackBasisProducts() {
    g_team.store(nullptr, std::memory_order_release);
}

}  // namespace ovix
