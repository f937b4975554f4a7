#include "sgt/FormatFixed.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

std::string fixed(double value, int precision, int width = 0) {
    std::string out;
    ovix::appendFixed(out, value, precision, width);
    return out;
}

std::string printed(double value, int precision, int width) {
    char text[512];
    std::snprintf(text, sizeof text, "%*.*f", width, precision, value);
    return text;
}

TEST(FormatFixedTest, MatchesPrintfInTheCLocale) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-12, 40);
    for (int n = 0; n < 20000; ++n) {
        const double value = std::ldexp(mantissa(random), exponent(random));
        for (const int precision : {2, 4, 6})
            for (const int width : {0, 6, 8})
                ASSERT_EQ(fixed(value, precision, width), printed(value, precision, width)) << value;
    }
    for (const double value : {0.0, -0.0, 0.125, 0.375, 2.5e-5, 0.99999995, 1e300, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN})
        for (const int precision : {0, 2, 4, 6})
            EXPECT_EQ(fixed(value, precision, 8), printed(value, precision, 8)) << value;
}

TEST(FormatFixedTest, SpecialValuesReadAsPrintfWritesThem) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(fixed(inf, 4, 8), "     inf");
    EXPECT_EQ(fixed(-inf, 6), "-inf");
    EXPECT_EQ(fixed(nan, 4, 8), printed(nan, 4, 8));
    EXPECT_EQ(fixed(-nan, 6), printed(-nan, 6, 0));
}

TEST(FormatFixedTest, IntegersArePaddedOnTheLeft) {
    for (const int value : {0, 7, -7, 1234, 12345, INT_MAX, INT_MIN})
        for (const int width : {0, 2, 4, 12}) {
            std::string out = "x";
            ovix::appendInt(out, value, width);
            char text[32];
            std::snprintf(text, sizeof text, "x%*d", width, value);
            EXPECT_EQ(out, text);
        }
}

}  // namespace
