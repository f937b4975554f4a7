#include "sgt/ArpackSharedBlas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sgt/SerialBlas.h"

// The engine's own entry points, which ARPACK calls (hidden: visible inside
// this program only).
extern "C" {
void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
            const double* x, const int* incx, const double* beta, double* y, const int* incy, std::size_t);
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);
void dscal_(const int* n, const double* alpha, double* x, const int* incx);
double dnrm2_(const int* n, const double* x, const int* incx);
void dorm2r_(const char* side, const char* trans, const int* m, const int* n, const int* k, double* a, const int* lda,
             const double* tau, double* c, const int* ldc, double* work, int* info, std::size_t, std::size_t);
}

namespace ovix {

namespace {

using Doubles = std::vector<double>;

// The steps without a team, and with teams of 0 to 7 helpers, all lent with
// the steps cut for kCutFor threads.
const std::optional<unsigned> kTeams[] = {std::nullopt, 0u, 1u, 3u, 7u};
constexpr unsigned kCutFor = 3;

// Runs `step` without a team lent and with each team of kTeams lent, and
// returns its result for each; the BLAS library on one thread, as in a solve.
// The teams are made once and serve every step, as a solve's team serves all
// of its steps, and every helper shares every task.
std::vector<Doubles> withEachTeam(const std::function<Doubles()>& step) {
    static const std::vector<std::unique_ptr<WorkTeam>> teams = [] {
        std::vector<std::unique_ptr<WorkTeam>> made;
        for (const auto& helpers : kTeams) {
            made.push_back(helpers ? std::make_unique<WorkTeam>(*helpers, WorkTeam::Options{.crowded = [] { return false; }})
                                   : nullptr);
        }
        return made;
    }();
    const SerialBlas serialBlas;
    std::vector<Doubles> results;
    for (const auto& team : teams) {
        std::optional<ArpackSharedBlas> lent;
        if (team)
            lent.emplace(*team, kCutFor);
        results.push_back(step());
    }
    return results;
}

// Each result near `expected`; with a team lent, the same doubles whatever
// the team.
void expectResults(const std::vector<Doubles>& results, const Doubles& expected, const std::string& what) {
    for (std::size_t t = 0; t < results.size(); ++t) {
        const std::string team = kTeams[t] ? std::to_string(*kTeams[t]) + " helpers" : "no team";
        ASSERT_EQ(results[t].size(), expected.size()) << what << ", " << team;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_NEAR(results[t][i], expected[i], 1e-12 * (1 + std::fabs(expected[i])))
                << what << ", " << team << ", at " << i;
        }
        if (t > 1) {
            EXPECT_EQ(results[t], results[1]) << what << ", " << team << " against a team of 0 helpers";
        }
    }
}

Doubles drawn(std::mt19937& draw, std::size_t count) {
    std::uniform_real_distribution<double> value(-1, 1);
    Doubles values(count);
    for (double& v : values)
        v = value(draw);
    return values;
}

// y = alpha op(A) x + beta y in long double, A column-major with leading
// dimension lda; y is not read when beta is 0.
Doubles referenceGemv(bool transposed, int rows, int columns, double alpha, const Doubles& a, int lda, const Doubles& x,
                      double beta, Doubles y) {
    for (int i = 0; i < static_cast<int>(y.size()); ++i) {
        long double sum = 0;
        const int length = transposed ? rows : columns;
        for (int k = 0; k < length; ++k)
            sum += static_cast<long double>(transposed ? a[i * lda + k] : a[k * lda + i]) * x[k];
        y[i] = static_cast<double>(alpha * sum + (beta == 0 ? 0 : beta * y[i]));
    }
    return y;
}

// Row counts on either side of the smallest that is shared out (half a
// block for each of kCutFor threads).
constexpr int kRows[] = {300, 3000, 1024 * 9 + 3, 40000};

// Products of every shape ARPACK makes: BLAS's results, and with a team the
// same doubles from every team, however many threads summed the blocks.
TEST(ArpackSharedBlas, ProductsAreThoseOfBlasWhateverTheTeam) {
    std::mt19937 draw(5);
    for (const int rows : kRows) {
        for (const int columns : {1, 7, 81}) {
            const int lda = rows + 3;
            const Doubles a = drawn(draw, static_cast<std::size_t>(lda) * columns);
            for (const char trans : {'N', 'T'}) {
                const bool transposed = trans == 'T';
                const Doubles x = drawn(draw, transposed ? rows : columns);
                for (const auto& [alpha, beta] : {std::pair{1.0, 0.0}, {-0.5, 1.0}, {2.0, -3.0}, {0.0, 2.0}}) {
                    Doubles y = drawn(draw, transposed ? columns : rows);
                    if (beta == 0)
                        y.assign(y.size(), std::numeric_limits<double>::quiet_NaN());
                    const auto results = withEachTeam([&, alpha = alpha, beta = beta] {
                        Doubles out = y;
                        const int one = 1;
                        dgemv_(&trans, &rows, &columns, &alpha, a.data(), &lda, x.data(), &one, &beta, out.data(), &one,
                               1);
                        return out;
                    });
                    expectResults(results, referenceGemv(transposed, rows, columns, alpha, a, lda, x, beta, y),
                                  std::string(1, trans) + " " + std::to_string(rows) + " x " + std::to_string(columns) +
                                      " alpha " + std::to_string(alpha) + " beta " + std::to_string(beta));
                }
            }
        }
    }
}

// Copies, scalings and norms of vectors: BLAS's results, the norm's partial
// sums added in one order whatever the team, and without overflow or loss
// where the squares of the elements leave the range of doubles.
TEST(ArpackSharedBlas, VectorStepsAreThoseOfBlasWhateverTheTeam) {
    std::mt19937 draw(6);
    const int one = 1;
    for (const int n : kRows) {
        const Doubles x = drawn(draw, static_cast<std::size_t>(n));
        const double alpha = -0.75;
        const auto copies = withEachTeam([&] {
            Doubles y(x.size(), 0.0);
            dcopy_(&n, x.data(), &one, y.data(), &one);
            return y;
        });
        expectResults(copies, x, "dcopy " + std::to_string(n));

        Doubles scaled = x;
        for (double& v : scaled)
            v *= alpha;
        const auto scalings = withEachTeam([&] {
            Doubles y = x;
            dscal_(&n, &alpha, y.data(), &one);
            return y;
        });
        expectResults(scalings, scaled, "dscal " + std::to_string(n));

        for (const double magnitude : {1.0, 1e300, 1e-300}) {
            Doubles v = x;
            long double squares = 0;
            for (double& e : v) {
                e *= magnitude;
                squares += static_cast<long double>(e / magnitude) * (e / magnitude);
            }
            const auto norms = withEachTeam([&] { return Doubles{dnrm2_(&n, v.data(), &one)}; });
            const double expected = static_cast<double>(std::sqrt(squares)) * magnitude;
            for (std::size_t t = 0; t < norms.size(); ++t)
                ASSERT_NEAR(norms[t][0] / magnitude, expected / magnitude, 1e-12 * (expected / magnitude))
                    << "dnrm2 " << n << " of magnitude " << magnitude << ", team " << t;
            for (std::size_t t = 2; t < norms.size(); ++t)
                EXPECT_EQ(norms[t], norms[1]) << "dnrm2 " << n << " of magnitude " << magnitude << ", team " << t;
        }
        for (const double odd : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
            Doubles v = x;
            v[static_cast<std::size_t>(n) * 2 / 3] = odd;
            for (const auto& norm : withEachTeam([&] { return Doubles{dnrm2_(&n, v.data(), &one)}; })) {
                if (std::isnan(odd))
                    EXPECT_TRUE(std::isnan(norm[0])) << "dnrm2 " << n << " with a NaN";
                else
                    EXPECT_EQ(norm[0], odd) << "dnrm2 " << n << " with an infinity";
            }
        }
        const Doubles zeros(x.size(), 0.0);
        for (const auto& norm : withEachTeam([&] { return Doubles{dnrm2_(&n, zeros.data(), &one)}; }))
            EXPECT_EQ(norm[0], 0.0) << "dnrm2 " << n << " of zeros";
    }
}

// C op(Q) for Q = H(1) ... H(k), H(i) = I - tau_i v_i v_i^T, in long double.
Doubles referenceReflectors(bool transposed, int rows, int order, int k, const Doubles& a, int lda, const Doubles& tau,
                            const Doubles& c, int ldc) {
    std::vector<long double> out(c.begin(), c.end());
    for (int step = 0; step < k; ++step) {
        const int i = transposed ? k - 1 - step : step;
        std::vector<long double> v(static_cast<std::size_t>(order), 0);
        v[i] = 1;
        for (int j = i + 1; j < order; ++j)
            v[j] = a[static_cast<std::size_t>(i) * lda + j];
        for (int r = 0; r < rows; ++r) {
            long double dot = 0;
            for (int j = 0; j < order; ++j)
                dot += out[static_cast<std::size_t>(j) * ldc + r] * v[j];
            for (int j = 0; j < order; ++j)
                out[static_cast<std::size_t>(j) * ldc + r] -= tau[i] * dot * v[j];
        }
    }
    return Doubles(out.begin(), out.end());
}

// The basis turned into Ritz vectors at the end of a solve: LAPACK's
// results, the same doubles from every team, and the reflectors left as they
// were, though the library marks each one's diagonal while it applies it.
TEST(ArpackSharedBlas, ReflectorsFromTheRightAreThoseOfLapackWhateverTheTeam) {
    std::mt19937 draw(7);
    const int order = 81, k = 40, lda = order + 2;
    const Doubles a = drawn(draw, static_cast<std::size_t>(lda) * k);
    // Householder reflectors, each orthogonal: tau = 2 / |v|^2.
    Doubles tau(k);
    for (int i = 0; i < k; ++i) {
        double squares = 1;
        for (int j = i + 1; j < order; ++j)
            squares += a[static_cast<std::size_t>(i) * lda + j] * a[static_cast<std::size_t>(i) * lda + j];
        tau[i] = 2 / squares;
    }
    for (const int rows : {300, 3000, 5000}) {
        const int ldc = rows + 1;
        const Doubles c = drawn(draw, static_cast<std::size_t>(ldc) * order);
        for (const char trans : {'N', 'T'}) {
            const auto results = withEachTeam([&] {
                Doubles reflectors = a, out = c, work(static_cast<std::size_t>(rows));
                int info = -99;
                dorm2r_("R", &trans, &rows, &order, &k, reflectors.data(), &lda, tau.data(), out.data(), &ldc,
                        work.data(), &info, 1, 1);
                EXPECT_EQ(info, 0);
                EXPECT_EQ(reflectors, a) << "reflectors changed";
                return out;
            });
            expectResults(results, referenceReflectors(trans == 'T', rows, order, k, a, lda, tau, c, ldc),
                          std::string("dorm2r ") + trans + " " + std::to_string(rows));
        }
    }
}

}  // namespace

}  // namespace ovix
