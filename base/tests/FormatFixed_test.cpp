#include "base/FormatFixed.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

TEST(FormatFixedTest, MatchesPrintfInTheCLocale) {
    const auto check = [](double value, int precision, int width) {
        std::string out;
        ovix::appendFixed(out, value, precision, width);
        char text[512];
        std::snprintf(text, sizeof text, "%*.*f", width, precision, value);
        ASSERT_EQ(out, text) << value;
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-12, 40);
    for (int n = 0; n < 20000; ++n)
        for (const int precision : {2, 4, 6})
            check(std::ldexp(mantissa(random), exponent(random)), precision, n % 3 * 4);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double value :
         {0.0, -0.0, 0.125, 0.375, 0.99999995, 1e300, -DBL_MAX, DBL_TRUE_MIN, inf, -inf, nan, -nan})
        for (const int precision : {0, 4, 6})
            check(value, precision, 8);

    for (const int value : {0, -7, 12345, INT_MAX, INT_MIN}) {
        std::string out;
        ovix::appendInt(out, value, 4);
        char text[32];
        std::snprintf(text, sizeof text, "%4d", value);
        EXPECT_EQ(out, text);
    }
}

}  // namespace
