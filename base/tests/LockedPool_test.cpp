#include "base/LockedPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constinit ovix::LockedPool g_sharedPool;
constinit ovix::LockedPool g_sizedPool;

TEST(LockedPool, TakesItsNodeSizeFromTheFirstAllocationAndKeepsIt) {
    EXPECT_EQ(g_sizedPool.nodeSize(), 0u);
    EXPECT_EQ(g_sizedPool.chunkCount(), 0u);
    void* node = g_sizedPool.alloc(40);
    EXPECT_EQ(g_sizedPool.nodeSize(), 40u);
    EXPECT_EQ(g_sizedPool.chunkCount(), 1u);
    EXPECT_THROW(g_sizedPool.alloc(48), std::logic_error);
    EXPECT_EQ(g_sizedPool.chunkCount(), 1u);
    g_sizedPool.free(nullptr);
    g_sizedPool.free(node);
    EXPECT_EQ(g_sizedPool.chunkCount(), 1u);  // the empty chunk kept in reserve
    EXPECT_EQ(g_sizedPool.nodeSize(), 40u);
}

// Each thread keeps its own nodes, stamped with its number and the node's
// serial, and frees and takes them in random order; a node handed to two
// threads at once, or a link written into a live node, breaks a stamp.
TEST(LockedPool, FourThreadsAllocateAndReleaseAtOnce) {
    constexpr std::size_t kNodeSize = 48;
    struct Stamp {
        std::uint64_t thread, serial;
    };
    auto work = [](unsigned thread, bool* intact) {
        std::mt19937 random(thread);
        std::vector<std::pair<char*, std::uint64_t>> live;
        std::uint64_t serial = 0;
        *intact = true;
        auto check = [&](const std::pair<char*, std::uint64_t>& node) {
            Stamp stamp;
            std::memcpy(&stamp, node.first + kNodeSize - sizeof stamp, sizeof stamp);
            if (stamp.thread != thread || stamp.serial != node.second || node.first[0] != static_cast<char>(thread))
                *intact = false;
        };
        for (int round = 0; round < 200000; ++round) {
            if (live.empty() || random() % 5 < 3) {
                auto* node = static_cast<char*>(g_sharedPool.alloc(kNodeSize));
                const Stamp stamp{thread, ++serial};
                std::memset(node, static_cast<int>(thread), kNodeSize);
                std::memcpy(node + kNodeSize - sizeof stamp, &stamp, sizeof stamp);
                live.emplace_back(node, serial);
            } else {
                const std::size_t i = random() % live.size();
                check(live[i]);
                g_sharedPool.free(live[i].first);
                live[i] = live.back();
                live.pop_back();
            }
        }
        for (const auto& node : live) {
            check(node);
            g_sharedPool.free(node.first);
        }
    };
    bool intact[4];
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back(work, t + 1, &intact[t]);
    for (auto& thread : threads)
        thread.join();
    for (bool ok : intact)
        EXPECT_TRUE(ok);
    EXPECT_EQ(g_sharedPool.chunkCount(), 1u);  // idle: the reserve alone
}

}  // namespace
