#include "sgt/ArpackBasisProducts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <random>
#include <vector>

// The engine's own dgemv, which ARPACK calls (hidden: visible inside this
// program only).
extern "C" void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a,
                       const int* lda, const double* x, const int* incx, const double* beta, double* y, const int* incy,
                       std::size_t transLength);

namespace ovix {

namespace {

// y = alpha op(A) x + beta y in long double, A column-major with leading
// dimension lda; y is not read when beta is 0.
std::vector<double> reference(bool transposed, int rows, int columns, double alpha, const std::vector<double>& a,
                              int lda, const std::vector<double>& x, double beta, std::vector<double> y) {
    for (int i = 0; i < static_cast<int>(y.size()); ++i) {
        long double sum = 0;
        const int length = transposed ? rows : columns;
        for (int k = 0; k < length; ++k)
            sum += static_cast<long double>(transposed ? a[i * lda + k] : a[k * lda + i]) * x[k];
        y[i] = static_cast<double>(alpha * sum + (beta == 0 ? 0 : beta * y[i]));
    }
    return y;
}

// Products on either side of the size where blocks are shared out, with and
// without a team lent, give BLAS's results.
TEST(ArpackBasisProducts, SharedProductsAreThoseOfBlas) {
    std::mt19937 draw(5);
    std::uniform_real_distribution<double> value(-1, 1);
    WorkTeam team(3);
    for (const bool lent : {false, true}) {
        std::optional<ArpackBasisProducts> shared;
        if (lent)
            shared.emplace(team);
        for (const int rows : {700, 1024 * 9 + 3, 40000}) {
            for (const int columns : {1, 7, 81}) {
                const int lda = rows + 3;
                std::vector<double> a(static_cast<std::size_t>(lda) * columns);
                for (double& e : a)
                    e = value(draw);
                for (const char trans : {'N', 'T'}) {
                    const bool transposed = trans == 'T';
                    std::vector<double> x(transposed ? rows : columns);
                    for (double& e : x)
                        e = value(draw);
                    for (const auto& [alpha, beta] : {std::pair{1.0, 0.0}, {-0.5, 1.0}, {2.0, -3.0}, {0.0, 2.0}}) {
                        std::vector<double> y(transposed ? columns : rows);
                        for (double& e : y)
                            e = beta == 0 ? std::numeric_limits<double>::quiet_NaN() : value(draw);
                        const auto expected = reference(transposed, rows, columns, alpha, a, lda, x, beta, y);
                        const int one = 1;
                        dgemv_(&trans, &rows, &columns, &alpha, a.data(), &lda, x.data(), &one, &beta, y.data(), &one,
                               1);
                        for (std::size_t i = 0; i < y.size(); ++i)
                            ASSERT_NEAR(y[i], expected[i], 1e-12 * (1 + std::fabs(expected[i])))
                                << (lent ? "lent " : "") << trans << " " << rows << " x " << columns << " alpha "
                                << alpha << " beta " << beta << " at " << i;
                    }
                }
            }
        }
    }
}

}  // namespace

}  // namespace ovix
