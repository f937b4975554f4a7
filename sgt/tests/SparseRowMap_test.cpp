#include "sgt/SparseRowMap.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "base/tests/PooledMapWorkload.h"

namespace ovix {

namespace {

TEST(SparseRowMap, BehavesExactlyLikeAMapOverStdAllocator) {
    ovix::testing::runRandomWorkload<SparseRowMap<float>>(
        2, [](unsigned n) { return static_cast<int>(n) - 1000; }, 60000);
    ovix::testing::runRandomWorkload<SparseRowMap<double>>(
        3, [](unsigned n) { return static_cast<int>(n * 7919); }, 60000);
}

TEST(SparseRowMap, EachPrecisionDrawsFromItsOwnPoolSizedByItsNodes) {
    {
        SparseRowMap<float> floatRow;
        SparseRowMap<double> doubleRow;
        for (unsigned n = 0; n < 100000; ++n)
            floatRow[static_cast<int>(n)] = 1;
        doubleRow[1] = 1;
        // A node is larger than its entry: the tree links come with it.
        EXPECT_GT(floatRowPool.nodeSize(), sizeof(std::pair<const int, float>) + 2 * sizeof(void*));
        EXPECT_GT(doubleRowPool.nodeSize(), sizeof(std::pair<const int, double>) + 2 * sizeof(void*));
        EXPECT_EQ(doubleRowPool.chunkCount(), 1u);
    }
    // The pools shrink back to their one reserve chunk when their maps are gone.
    EXPECT_EQ(floatRowPool.chunkCount(), 1u);
    EXPECT_EQ(doubleRowPool.chunkCount(), 1u);
}

TEST(SparseRowMap, MapsOnSeveralThreadsShareAPool) {
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            ovix::testing::runRandomWorkload<SparseRowMap<double>>(
                10 + t, [](unsigned n) { return static_cast<int>(n); }, 40000);
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(doubleRowPool.chunkCount(), 1u);  // the reserve
}

}  // namespace

}  // namespace ovix
