// OpenBLAS, which the solvers link, starts its threads as soon as it is
// loaded: the death tests of this program re-run it instead of forking a
// process that has threads.

#include <gtest/gtest.h>

namespace {

class ThreadsafeDeathTests : public testing::Environment {
public:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

[[maybe_unused]] testing::Environment* const kRegistered = testing::AddGlobalTestEnvironment(new ThreadsafeDeathTests);

}  // namespace
