#include "base/RunOnOwnStack.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Uses about 1 KiB of stack a level.
int descend(int levels) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(levels);
    return levels == 0 ? frame[0] : descend(levels - 1) + 1;
}

TEST(RunOnOwnStack, WorkRecursesBeyondAnOrdinaryStack) {
    constexpr int kLevels = 32 * 1024;  // about 32 MiB of frames, four times a main thread's stack
    int reached = 0;
    ovix::runOnOwnStack(std::size_t{512} << 20, [&] { reached = descend(kLevels); });
    EXPECT_EQ(reached, kLevels);
}

TEST(RunOnOwnStack, AFailureOfTheWorkIsThrownToTheCaller) {
    EXPECT_THROW(ovix::runOnOwnStack(1 << 20, [] { throw std::runtime_error("failed"); }), std::runtime_error);
}

}  // namespace
