#include "base/FormatText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

TEST(FormatTextTest, MatchesPrintfForTheLogsConversions) {
    char expected[256];
    std::snprintf(expected, sizeof expected, "%6.2f|%5lld: %d-nn %dx%d %s%%", 1.005, 123LL, 7, 20, 20, "normalized ");
    EXPECT_EQ(ovix::formatText("%6.2f|%5lld: %d-nn %dx%d %s%%", 1.005, 123LL, 7, 20, 20, "normalized "), expected);

    for (const double value : {0.0, -0.0, 2.5, -1234.56789, 1e-7, 3e12, double(INFINITY), double(NAN)}) {
        std::snprintf(expected, sizeof expected, "[%f] [%.0f] [%4.2f] [%lf]", value, value, value, value);
        EXPECT_EQ(ovix::formatText("[%f] [%.0f] [%4.2f] [%lf]", value, value, value, value), expected) << value;
    }
    std::snprintf(expected, sizeof expected, "%5lld %d %ld", 5LL << 32, INT_MIN, LONG_MAX);
    EXPECT_EQ(ovix::formatText("%5lld %d %ld", 5LL << 32, INT_MIN, LONG_MAX), expected);
}

TEST(FormatTextTest, AFormatThatDoesNotFitItsArgumentsIsRefused) {
    EXPECT_THROW(ovix::formatText("%d %d", 1), std::logic_error);
    EXPECT_THROW(ovix::formatText("%d", 1, 2), std::logic_error);
    EXPECT_THROW(ovix::formatText("%d", 1.5), std::logic_error);
    EXPECT_THROW(ovix::formatText("%f", 1), std::logic_error);
    EXPECT_THROW(ovix::formatText("%s", 1), std::logic_error);
    EXPECT_THROW(ovix::formatText("%x", 1), std::logic_error);
    EXPECT_THROW(ovix::formatText("trailing %"), std::logic_error);
}

}  // namespace
