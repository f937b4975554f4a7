#include "base/LeadingInt.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

TEST(LeadingInt, ReadsAsAtoiWithoutOverflow) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"640", 640},           {" \t\n\v\f\r640", 640}, {"+12px", 12},    {"-7", -7},
        {"12 34", 12},          {"0x10", 0},             {"", 0},          {"abc", 0},
        {"- 5", 0},             {"--5", 0},              {"2147483647", kMax}, {"2147483648", kMax},
        {"-2147483648", kMin},  {"-2147483649", kMin},   {"99999999999999999999999", kMax},
        {"-000000000000000000000042", -42},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ovix::leadingInt(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
