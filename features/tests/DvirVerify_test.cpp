#include "features/DvirVerify.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

#include "features/tests/DvirBytes.h"

namespace {

using namespace ovix::test;

const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::string verdict(const Bytes& bytes) {
    try {
        dvirVerify(DvirView(bytes));
        return "ok";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

TEST(DvirVerify, WellFormedVectorsPass) {
    EXPECT_EQ(verdict({}), "ok");
    EXPECT_EQ(verdict(pack({{1, 0.5f}, {2, 1.0f}, {3, 100000.0f}, {~0ull, 1e-30f}})), "ok");
    Bytes trailing = pack({{1, 2.0f}});
    trailing.resize(23, 0xFF);  // the partial entry is never read
    EXPECT_EQ(verdict(trailing), "ok");
}

TEST(DvirVerify, EachFaultHasItsMessage) {
    EXPECT_EQ(verdict(pack({{1, 1.0f}, {1, 1.0f}})), "fids are not ascending");
    EXPECT_EQ(verdict(pack({{2, 1.0f}, {1, 1.0f}})), "fids are not ascending");
    EXPECT_EQ(verdict(pack({{1, kNan}})), "weight is nan");
    EXPECT_EQ(verdict(pack({{1, -0.5f}})), "weight is negative");
    EXPECT_EQ(verdict(pack({{1, 0.0f}})), "weight is negative");
    EXPECT_EQ(verdict(pack({{1, -kInf}})), "weight is negative");
    EXPECT_EQ(verdict(pack({{1, 100000.5f}})), "weight is too large");
    EXPECT_EQ(verdict(pack({{1, kInf}})), "weight is too large");
    EXPECT_EQ(verdict(pack({{1, 1.5f}})), "weight is greater than 1.0 and not an integer");
    EXPECT_EQ(verdict(pack({{1, 1.0000001f}})), "weight is greater than 1.0 and not an integer");
}

TEST(DvirVerify, ChecksEntriesInBufferOrderAndEachEntryInItsOrder) {
    // The first faulty entry decides, whatever comes after it.
    EXPECT_EQ(verdict(pack({{1, 1.5f}, {1, kNan}})), "weight is greater than 1.0 and not an integer");
    EXPECT_EQ(verdict(pack({{1, 1.0f}, {0, kNan}})), "fids are not ascending");
    // Within an entry: order, then nan, negative, too large, not integral.
    EXPECT_EQ(verdict(pack({{1, 1.0f}, {2, kNan}, {3, -1.0f}})), "weight is nan");
    EXPECT_EQ(verdict(pack({{1, 1.0f}, {2, -2.5f}})), "weight is negative");
    EXPECT_EQ(verdict(pack({{1, 200000.5f}})), "weight is too large");
    // The first entry has no predecessor: its own weight decides.
    EXPECT_EQ(verdict(pack({{~0ull, 0.0f}})), "weight is negative");
}

}  // namespace
