#include "base/MappedPool.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <new>
#include <set>
#include <stdexcept>
#include <vector>

namespace ovix {

namespace {

constexpr std::size_t kChunk = MappedPool::chunkSize;

std::uintptr_t address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

// Whether the page holding p is mapped.
bool pageMapped(const void* p) {
    unsigned char residency;
    return mincore(reinterpret_cast<void*>(address(p) & ~std::uintptr_t{4095}), 1, &residency) == 0;
}

class MappedPoolTest : public ::testing::TestWithParam<MappedPool::Mode> {};

INSTANTIATE_TEST_SUITE_P(BothModes, MappedPoolTest,
                         ::testing::Values(MappedPool::Mode::heap, MappedPool::Mode::mapping),
                         [](const auto& instance) {
                             return instance.param == MappedPool::Mode::heap ? "Heap" : "Mapping";
                         });

TEST_P(MappedPoolTest, ChunkHoldsAsManyNodesAsFitAfterItsHeader) {
    EXPECT_EQ(MappedPool(28, GetParam()).nodesPerChunk(), 37448u);
    for (const std::size_t size : {std::size_t{8}, std::size_t{24}, std::size_t{40}, std::size_t{48}, std::size_t{1000},
                                   kChunk - MappedPool::chunkHeaderSize}) {
        MappedPool pool(size, GetParam());
        EXPECT_EQ(pool.nodeSize(), size);
        EXPECT_EQ(pool.nodesPerChunk(), (kChunk - MappedPool::chunkHeaderSize) / size) << size;
    }
    EXPECT_EQ(MappedPool(kChunk - MappedPool::chunkHeaderSize, GetParam()).nodesPerChunk(), 1u);
    for (const std::size_t size : {std::size_t{0}, sizeof(void*) - 1, kChunk - MappedPool::chunkHeaderSize + 1})
        EXPECT_THROW(MappedPool(size, GetParam()), std::invalid_argument) << size;
}

TEST_P(MappedPoolTest, FillingAChunkMovesItToTheFullListAndTheNextNodeOpensAnother) {
    MappedPool pool(28, GetParam());
    EXPECT_EQ(pool.chunksWithFreeNodes() + pool.fullChunks(), 0u);
    std::vector<char*> nodes;
    for (std::size_t i = 0; i < pool.nodesPerChunk(); ++i) {
        nodes.push_back(static_cast<char*>(pool.alloc()));
        EXPECT_EQ(pool.chunksWithFreeNodes(), i + 1 < pool.nodesPerChunk() ? 1u : 0u);
    }
    EXPECT_EQ(pool.fullChunks(), 1u);
    // Contiguous nodes, all inside one chunk, each usable over its whole size.
    const std::uintptr_t chunk = address(nodes[0]) & ~std::uintptr_t{kChunk - 1};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(address(nodes[i]), address(nodes[0]) + i * 28);
        std::memset(nodes[i], static_cast<int>(i), 28);
    }
    EXPECT_LE(address(nodes.back()) + 28, chunk + kChunk);
    for (std::size_t i = 0; i < nodes.size(); i += 997)
        EXPECT_EQ(nodes[i][27], static_cast<char>(i)) << i;

    char* next = static_cast<char*>(pool.alloc());
    EXPECT_EQ(pool.chunksWithFreeNodes(), 1u);
    EXPECT_EQ(pool.fullChunks(), 1u);
    EXPECT_NE(address(next) & ~std::uintptr_t{kChunk - 1}, chunk);
    pool.free(next);
    for (char* node : nodes)
        pool.free(node);
}

TEST_P(MappedPoolTest, ReleasedNodeOfAFullChunkIsTheNextOneHandedOut) {
    MappedPool pool(40, GetParam());
    std::vector<void*> nodes;
    for (std::size_t i = 0; i < pool.nodesPerChunk(); ++i)
        nodes.push_back(pool.alloc());
    pool.free(nodes[1234]);
    EXPECT_EQ(pool.fullChunks(), 0u);
    EXPECT_EQ(pool.chunksWithFreeNodes(), 1u);
    EXPECT_EQ(pool.alloc(), nodes[1234]);
    EXPECT_EQ(pool.fullChunks(), 1u);
    // Returned nodes come back last in, first out, before any fresh one.
    pool.free(nodes[5]);
    pool.free(nodes[9]);
    EXPECT_EQ(pool.alloc(), nodes[9]);
    EXPECT_EQ(pool.alloc(), nodes[5]);
    pool.free(nullptr);
    EXPECT_EQ(pool.fullChunks(), 1u);
    for (void* node : nodes)
        pool.free(node);
    EXPECT_EQ(pool.chunksWithFreeNodes() + pool.fullChunks(), 0u);
}

// A pool that goes idle keeps one empty chunk in reserve and gives back every
// other; the next chunk needed is the reserve, handing out its nodes from its
// start again, so that a map made and dropped per document maps nothing.
TEST_P(MappedPoolTest, EmptyChunkStaysInReserveAndOnlyOne) {
    std::vector<void*> first, second;
    {
        MappedPool pool(64, GetParam());
        for (std::size_t i = 0; i < pool.nodesPerChunk(); ++i)
            first.push_back(pool.alloc());
        for (int i = 0; i < 10; ++i)
            second.push_back(pool.alloc());
        // Releasing the first chunk's nodes, the oldest last.
        for (std::size_t i = first.size(); i-- > 1;)
            pool.free(first[i]);
        EXPECT_EQ(pool.chunksWithFreeNodes(), 2u);
        pool.free(first[0]);
        EXPECT_EQ(pool.chunksWithFreeNodes(), 1u);
        EXPECT_EQ(pool.reserveChunks(), 1u);
        // The other chunk still hands out its own nodes; the reserve waits.
        void* node = pool.alloc();
        EXPECT_EQ(address(node) & ~std::uintptr_t{kChunk - 1}, address(second[0]) & ~std::uintptr_t{kChunk - 1});
        pool.free(node);
        for (void* n : second)
            pool.free(n);
        EXPECT_EQ(pool.chunksWithFreeNodes() + pool.fullChunks(), 0u);
        EXPECT_EQ(pool.reserveChunks(), 1u);
        if (GetParam() == MappedPool::Mode::mapping) {
            EXPECT_TRUE(pageMapped(first[0]));
            EXPECT_FALSE(pageMapped(second[0]));
        }
        // Made and dropped many times over, as one map per document: always the
        // reserve, from its first node on.
        for (int round = 0; round < 1000; ++round) {
            std::vector<void*> nodes;
            for (int i = 0; i < 100 + round; ++i)
                nodes.push_back(pool.alloc());
            ASSERT_EQ(nodes[0], first[0]) << round;
            ASSERT_EQ(address(nodes.back()), address(first[0]) + nodes.size() * 64 - 64) << round;
            for (void* n : nodes)
                pool.free(n);
            ASSERT_EQ(pool.chunksWithFreeNodes() + pool.fullChunks() + pool.reserveChunks(), 1u) << round;
        }
    }
    // Destruction gives the reserve back too.
    if (GetParam() == MappedPool::Mode::mapping) {
        EXPECT_FALSE(pageMapped(first[0]));
    }
}

TEST_P(MappedPoolTest, DestructionGivesBackChunksStillInUse) {
    void* node;
    {
        MappedPool pool(48, GetParam());
        node = pool.alloc();
        for (int i = 0; i < 100000; ++i)
            pool.alloc();
        EXPECT_EQ(pool.chunksWithFreeNodes() + pool.fullChunks(), 5u);
        pool.free(node);
        EXPECT_EQ(pool.reserveChunks(), 0u);  // the chunk of the others' nodes is not empty
    }
    // For the heap mode the leak check of the sanitizer build watches.
    if (GetParam() == MappedPool::Mode::mapping) {
        EXPECT_FALSE(pageMapped(node));
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
TEST(MappedPool, NoChunkToBeHadIsAnAllocationFailureThatChangesNothing) {
    GTEST_SKIP() << "an address-space limit starves the sanitizer runtime itself";
}
#else
// The process's current address-space size.
rlim_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// With chunks from mappings, as the module's pools take them. (The heap keeps
// what earlier tests freed, so it cannot be starved this way.)
TEST(MappedPool, NoChunkToBeHadIsAnAllocationFailureThatChangesNothing) {
    MappedPool pool(32, MappedPool::Mode::mapping);
    std::vector<void*> nodes;
    for (std::size_t i = 0; i < pool.nodesPerChunk() - 1; ++i)
        nodes.push_back(pool.alloc());

    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit starved = saved;
    starved.rlim_cur = addressSpaceInUse() + (256 << 10);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &starved), 0);
    nodes.push_back(pool.alloc());  // the last node of the chunk needs no memory
    bool failed = false;
    try {
        pool.alloc();
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);

    EXPECT_TRUE(failed);
    EXPECT_EQ(pool.fullChunks(), 1u);
    EXPECT_EQ(pool.chunksWithFreeNodes(), 0u);
    void* node = pool.alloc();
    EXPECT_EQ(pool.chunksWithFreeNodes(), 1u);
    pool.free(node);
    for (void* n : nodes)
        pool.free(n);
}
#endif

}  // namespace

}  // namespace ovix
