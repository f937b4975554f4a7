#include "features/FidCountMap.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/MappedPool.h"
#include "base/tests/PooledMapWorkload.h"

namespace ovix {

namespace {

Fid fidOf(unsigned n) {
    Fid fid;
    // Spread the ids over the first byte too, so that memcmp order and the
    // order of n differ.
    fid.m_fid[0] = static_cast<char>(n * 37);
    fid.m_fid[1] = static_cast<char>(n >> 8);
    fid.m_fid[7] = static_cast<char>(0x80 | n);
    return fid;
}

TEST(FidCountMap, BehavesExactlyLikeAMapOverStdAllocator) {
    ovix::testing::runRandomWorkload<FidCountMap>(1, fidOf, 60000);
}

TEST(FidCountMap, DrawsFromItsOwnPoolSizedByItsNodes) {
    {
        FidCountMap counts;
        for (unsigned n = 0; n < 100000; ++n)
            counts[fidOf(n)] = 1;
        // A node is larger than its entry: the tree links come with it.
        EXPECT_GT(fidCountPool.nodeSize(), sizeof(std::pair<const Fid, int>) + 2 * sizeof(void*));
        const std::size_t fidNodes = counts.size(),
                          perChunk = (MappedPool::chunkSize - MappedPool::chunkHeaderSize) / fidCountPool.nodeSize();
        EXPECT_EQ(fidCountPool.chunkCount(), (fidNodes + perChunk - 1) / perChunk);
    }
    // The pool shrinks back to its one reserve chunk when its maps are gone.
    EXPECT_EQ(fidCountPool.chunkCount(), 1u);
}

}  // namespace

}  // namespace ovix
