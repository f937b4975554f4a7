#include "python/Numbers.h"

#include <gtest/gtest.h>

#include "EmbeddedPython.h"

namespace {

using ovix::py::UnsignedLongRule;

template <class T, class Check>
bool converts(const char* expression, Check check, T* out = nullptr) {
    const bool ok = check(eval(expression).get(), out);
    EXPECT_FALSE(PyErr_Occurred()) << expression;
    return ok;
}

TEST(Numbers, IntTakesIntsAndBoolsThatFit32Bits) {
    int v = 0;
    EXPECT_TRUE(converts("-2**31", ovix::py::asInt, &v));
    EXPECT_EQ(v, INT_MIN);
    EXPECT_TRUE(converts("2**31 - 1", ovix::py::asInt, &v));
    EXPECT_EQ(v, INT_MAX);
    EXPECT_TRUE(converts("True", ovix::py::asInt, &v));
    EXPECT_EQ(v, 1);
    for (const char* bad : {"2**31", "-2**31 - 1", "2**80", "2.0", "'1'", "None", "b'1'"})
        EXPECT_FALSE(converts<int>(bad, ovix::py::asInt)) << bad;
}

TEST(Numbers, BoolTakesWhatIntTakes) {
    bool b = false;
    EXPECT_TRUE(converts("7", ovix::py::asBool, &b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(converts("False", ovix::py::asBool, &b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(converts("0", ovix::py::asBool, &b));
    EXPECT_FALSE(b);
    for (const char* bad : {"'x'", "1.0", "2**31", "None"})
        EXPECT_FALSE(converts<bool>(bad, ovix::py::asBool)) << bad;
}

TEST(Numbers, DoubleTakesFloatsAndInts) {
    double d = 0;
    EXPECT_TRUE(converts("3", ovix::py::asDouble, &d));
    EXPECT_EQ(d, 3.0);
    EXPECT_TRUE(converts("2**80", ovix::py::asDouble, &d));
    EXPECT_EQ(d, 1208925819614629174706176.0);
    EXPECT_TRUE(converts("float('nan')", ovix::py::asDouble, &d));
    EXPECT_TRUE(std::isnan(d));
    for (const char* bad : {"10**400", "'1.5'", "None", "1j"})
        EXPECT_FALSE(converts<double>(bad, ovix::py::asDouble)) << bad;
}

TEST(Numbers, UnsignedLongOverflowsOnNegativeIntsOnly) {
    auto rule = [](const char* expression, unsigned long* out = nullptr) {
        return ovix::py::asUnsignedLong(eval(expression).get(), out);
    };
    unsigned long v = 0;
    EXPECT_EQ(rule("4294967295", &v), UnsignedLongRule::ok);
    EXPECT_EQ(v, 4294967295ul);
    EXPECT_EQ(rule("0", &v), UnsignedLongRule::ok);
    EXPECT_EQ(rule("-1"), UnsignedLongRule::negative);
    EXPECT_EQ(rule("-2**31"), UnsignedLongRule::negative);
    EXPECT_EQ(rule("-2**31 - 1"), UnsignedLongRule::invalid);
    EXPECT_EQ(rule("2**32"), UnsignedLongRule::invalid);
    EXPECT_EQ(rule("1.0"), UnsignedLongRule::invalid);
    EXPECT_EQ(rule("'1'"), UnsignedLongRule::invalid);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new EmbeddedPython);
    return RUN_ALL_TESTS();
}
