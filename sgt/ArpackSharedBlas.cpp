#include "sgt/ArpackSharedBlas.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The library's entry points as gfortran calls them: the lengths of
// character arguments come last.
using Gemv = void (*)(const char* trans, const int* m, const int* n, const double* alpha, const double* a,
                      const int* lda, const double* x, const int* incx, const double* beta, double* y, const int* incy,
                      std::size_t transLength);
using Copy = void (*)(const int* n, const double* x, const int* incx, double* y, const int* incy);
using Scale = void (*)(const int* n, const double* alpha, double* x, const int* incx);
using Norm = double (*)(const int* n, const double* x, const int* incx);
using ApplyReflectors = void (*)(const char* side, const char* trans, const int* m, const int* n, const int* k,
                                 double* a, const int* lda, const double* tau, double* c, const int* ldc, double* work,
                                 int* info, std::size_t sideLength, std::size_t transLength);

// The library's function behind the engine's one of that name.
template <class Function>
Function library(const char* name) {
    auto found = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
    if (!found) {
        std::fprintf(stderr, "ArpackSharedBlas: the BLAS and LAPACK libraries have no %s\n", name);
        std::abort();  // ARPACK is linked with them: the build is broken
    }
    return found;
}

// The team lent by the running solve, the threads its steps are cut for, and
// its scratch space (partial sums, copies), written by the solve's thread
// between tasks.
std::atomic<ovix::WorkTeam*> g_team{nullptr};
long long g_threads = 1;
std::vector<double> g_scratch;
// The direction of the last product over the basis (shareBasisBlocks).
bool g_backwards = false;

double* scratch(std::size_t doubles) {
    if (g_scratch.size() < doubles)
        g_scratch.resize(doubles);
    return g_scratch.data();
}

// The blocks of `rows` rows, by the row count and g_threads alone.
struct RowBlocks {
    explicit RowBlocks(long long rows) : m_rows(rows) {
        constexpr long long perBlock = ovix::ArpackSharedBlas::kRowsPerBlock;
        const long long each = (rows + g_threads * perBlock / 2) / (g_threads * perBlock);
        const long long count = std::max(1LL, each * g_threads);
        m_perBlock = ((rows + count - 1) / count + 7) / 8 * 8;
        m_count = rows > 0 ? static_cast<std::size_t>((rows + m_perBlock - 1) / m_perBlock) : 0;
    }
    std::size_t count() const { return m_count; }
    std::size_t first(std::size_t block) const { return block * static_cast<std::size_t>(m_perBlock); }
    int size(std::size_t block) const {
        return static_cast<int>(std::min<long long>(m_perBlock, m_rows - static_cast<long long>(first(block))));
    }

private:
    long long m_rows;
    long long m_perBlock;
    std::size_t m_count;
};

// The team to share a step on `rows` rows over, or null: none lent, or too
// few rows.
ovix::WorkTeam* sharingTeam(long long rows) {
    ovix::WorkTeam* team = g_team.load(std::memory_order_acquire);
    return team && RowBlocks(rows).count() >= 2 ? team : nullptr;
}

// Calls step(first row, rows, block) for every block of `rows` rows over the
// team, each thread's blocks in ascending or descending order.
template <class Step>
void shareBlocks(ovix::WorkTeam& team, long long rows, const Step& step, bool backwards = false) {
    const RowBlocks blocks(rows);
    team.run(
        blocks.count(), [&](std::size_t b) { step(blocks.first(b), blocks.size(b), b); }, backwards);
}

// shareBlocks for a product over the basis: each thread takes its blocks the
// other way from the product before, starting on the rows that the other
// left in its cache (a basis of 100,000 rows is twice the processor's last
// cache, so rows read in the same order again would all come from memory).
template <class Step>
void shareBasisBlocks(ovix::WorkTeam& team, long long rows, const Step& step) {
    g_backwards = !g_backwards;
    shareBlocks(team, rows, step, g_backwards);
}

bool isPlain(const char* trans) {
    return *trans == 'N' || *trans == 'n';
}

bool isTransposed(const char* trans) {
    return *trans == 'T' || *trans == 't' || *trans == 'C' || *trans == 'c';
}

void sharedGemv(const char* trans, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
                const double* x, const int* incx, const double* beta, double* y, const int* incy) {
    static const Gemv gemv = library<Gemv>("dgemv_");
    ovix::WorkTeam* team = sharingTeam(*m);
    if (!team || *n <= 0 || *incx != 1 || *incy != 1 || *alpha == 0 || !(isPlain(trans) || isTransposed(trans))) {
        gemv(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, 1);
        return;
    }
    if (isPlain(trans)) {
        // Rows of y from rows of A: the blocks write apart.
        shareBasisBlocks(*team, *m, [&](std::size_t first, int rows, std::size_t) {
            gemv("N", &rows, n, alpha, a + first, lda, x, incx, beta, y + first, incy, 1);
        });
        return;
    }
    // y (n) = alpha A^T x + beta y: each block sums its rows into a part of
    // its own, and the parts are added in block order.
    const auto width = static_cast<std::size_t>(*n);
    const std::size_t blocks = RowBlocks(*m).count();
    double* parts = scratch(blocks * width);
    const double one = 1.0, zero = 0.0;
    const int step = 1;
    shareBasisBlocks(*team, *m, [&](std::size_t first, int rows, std::size_t b) {
        gemv("T", &rows, n, &one, a + first, lda, x + first, &step, &zero, parts + b * width, &step, 1);
    });
    for (std::size_t j = 0; j < width; ++j) {
        double sum = 0.0;
        for (std::size_t b = 0; b < blocks; ++b)
            sum += parts[b * width + j];
        // With beta 0, y is written without being read, as BLAS does.
        y[j] = (*beta == 0.0 ? 0.0 : *beta * y[j]) + *alpha * sum;
    }
}

void sharedCopy(const int* n, const double* x, const int* incx, double* y, const int* incy) {
    static const Copy copy = library<Copy>("dcopy_");
    ovix::WorkTeam* team = sharingTeam(*n);
    if (!team || *incx != 1 || *incy != 1) {
        copy(n, x, incx, y, incy);
        return;
    }
    shareBlocks(*team, *n,
                [&](std::size_t first, int rows, std::size_t) { copy(&rows, x + first, incx, y + first, incy); });
}

void sharedScale(const int* n, const double* alpha, double* x, const int* incx) {
    static const Scale scale = library<Scale>("dscal_");
    ovix::WorkTeam* team = sharingTeam(*n);
    if (!team || *incx != 1) {
        scale(n, alpha, x, incx);
        return;
    }
    shareBlocks(*team, *n, [&](std::size_t first, int rows, std::size_t) { scale(&rows, alpha, x + first, incx); });
}

double sharedNorm(const int* n, const double* x, const int* incx) {
    static const Norm norm = library<Norm>("dnrm2_");
    ovix::WorkTeam* team = sharingTeam(*n);
    if (!team || *incx != 1)
        return norm(n, x, incx);
    // The blocks' norms, combined as the norm of that vector, scaled by the
    // largest so that no square overflows or vanishes.
    const std::size_t blocks = RowBlocks(*n).count();
    double* parts = scratch(blocks);
    shareBlocks(*team, *n,
                [&](std::size_t first, int rows, std::size_t b) { parts[b] = norm(&rows, x + first, incx); });
    double largest = 0.0;
    for (std::size_t b = 0; b < blocks; ++b) {
        if (std::isnan(parts[b]))
            return parts[b];
        largest = std::max(largest, parts[b]);
    }
    if (largest == 0.0 || std::isinf(largest))
        return largest;
    double squares = 0.0;
    for (std::size_t b = 0; b < blocks; ++b)
        squares += (parts[b] / largest) * (parts[b] / largest);
    return largest * std::sqrt(squares);
}

// C (m x n) = C op(Q), Q = H(1) ... H(k) of order n from the reflectors in A:
// each row of C on its own, so each block of rows is a call of its own. The
// library marks a reflector's diagonal in A while it applies it: each block
// works on a copy of A.
void sharedApplyReflectors(const char* side, const char* trans, const int* m, const int* n, const int* k, double* a,
                           const int* lda, const double* tau, double* c, const int* ldc, double* work, int* info) {
    static const ApplyReflectors apply = library<ApplyReflectors>("dorm2r_");
    ovix::WorkTeam* team = sharingTeam(*m);
    const bool right = *side == 'R' || *side == 'r';
    if (!team || !right || *n <= 0 || *k <= 0 || *k > *n || *lda < *n || *ldc < *m) {
        apply(side, trans, m, n, k, a, lda, tau, c, ldc, work, info, 1, 1);
        return;
    }
    const auto reflectors = static_cast<std::size_t>(*lda) * static_cast<std::size_t>(*k);
    const std::size_t blocks = RowBlocks(*m).count();
    double* copies = scratch(blocks * reflectors);
    std::vector<int> results(blocks, 0);
    shareBlocks(*team, *m, [&](std::size_t first, int rows, std::size_t b) {
        double* copy = copies + b * reflectors;
        std::memcpy(copy, a, reflectors * sizeof(double));
        apply(side, trans, &rows, n, k, copy, lda, tau, c + first, ldc, work + first, &results[b], 1, 1);
    });
    *info = 0;
    for (const int result : results)
        if (result != 0) {
            *info = result;
            break;
        }
}

}  // namespace

// ARPACK's BLAS and LAPACK entry points (it is linked statically): hidden, so
// that the libraries and everything else keep their own.
extern "C" {

__attribute__((visibility("hidden"))) void dgemv_(const char* trans, const int* m, const int* n, const double* alpha,
                                                  const double* a, const int* lda, const double* x, const int* incx,
                                                  const double* beta, double* y, const int* incy, std::size_t) {
    sharedGemv(trans, m, n, alpha, a, lda, x, incx, beta, y, incy);
}

__attribute__((visibility("hidden"))) void dcopy_(const int* n, const double* x, const int* incx, double* y,
                                                  const int* incy) {
    sharedCopy(n, x, incx, y, incy);
}

__attribute__((visibility("hidden"))) void dscal_(const int* n, const double* alpha, double* x, const int* incx) {
    sharedScale(n, alpha, x, incx);
}

__attribute__((visibility("hidden"))) double dnrm2_(const int* n, const double* x, const int* incx) {
    return sharedNorm(n, x, incx);
}

__attribute__((visibility("hidden"))) void dorm2r_(const char* side, const char* trans, const int* m, const int* n,
                                                   const int* k, double* a, const int* lda, const double* tau,
                                                   double* c, const int* ldc, double* work, int* info, std::size_t,
                                                   std::size_t) {
    sharedApplyReflectors(side, trans, m, n, k, a, lda, tau, c, ldc, work, info);
}

}  // extern "C"

namespace ovix {

ArpackSharedBlas::ArpackSharedBlas(WorkTeam& team, unsigned threads) {
    g_threads = std::max(1u, threads);
    g_team.store(&team, std::memory_order_release);
}

ArpackSharedBlas::~ArpackSharedBlas() {
    g_team.store(nullptr, std::memory_order_release);
    g_scratch = std::vector<double>();
}

}  // namespace ovix
