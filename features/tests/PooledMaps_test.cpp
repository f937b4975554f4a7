#include "base/PooledMaps.h"
#include "features/FidCountMap.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace ovix {

namespace {

template <class Pooled, class Plain>
void expectSameContents(const Pooled& pooled, const Plain& plain) {
    ASSERT_EQ(pooled.size(), plain.size());
    auto p = plain.begin();
    for (const auto& [key, value] : pooled) {
        ASSERT_TRUE(key == p->first && value == p->second);
        ++p;
    }
}

// Runs the same random sequence of map operations on a map over a pool and a
// map over std::allocator, and checks after every operation that both answer
// and hold alike.
template <class Pooled, class MakeKey>
void runRandomWorkload(unsigned seed, MakeKey makeKey, int rounds) {
    using Key = typename Pooled::key_type;
    using Value = typename Pooled::mapped_type;
    using Compare = typename Pooled::key_compare;
    using Plain = std::map<Key, Value, Compare>;
    std::mt19937 random(seed);
    Pooled pooled, spare;
    Plain plain, plainSpare;
    for (int round = 0; round < rounds; ++round) {
        const Key key = makeKey(random() % 2000);
        const auto value = static_cast<Value>(random() % 1000) / 4;
        switch (random() % 100) {
            case 0: {  // copy, then keep working on the copy
                Pooled copy(pooled);
                pooled = std::move(copy);
                break;
            }
            case 1:
                spare = pooled;
                plainSpare = plain;
                break;
            case 2:
                pooled.swap(spare);
                plain.swap(plainSpare);
                break;
            case 3:
                if (random() % 4 == 0) {
                    pooled.clear();
                    plain.clear();
                }
                break;
            case 4: {  // erase a range
                const Key other = makeKey(random() % 2000);
                const auto [low, high] = Compare()(key, other) ? std::pair(key, other) : std::pair(other, key);
                pooled.erase(pooled.lower_bound(low), pooled.upper_bound(high));
                plain.erase(plain.lower_bound(low), plain.upper_bound(high));
                break;
            }
            default:
                if (random() % 3 == 0) {
                    ASSERT_EQ(pooled.erase(key), plain.erase(key));
                } else if (random() % 2 == 0) {
                    ASSERT_EQ(pooled.insert_or_assign(key, value).second, plain.insert_or_assign(key, value).second);
                } else {
                    pooled[key] += value;
                    plain[key] += value;
                }
                const auto found = pooled.lower_bound(key);
                const auto expected = plain.lower_bound(key);
                ASSERT_EQ(found == pooled.end(), expected == plain.end());
                if (found != pooled.end()) {
                    ASSERT_TRUE(found->first == expected->first && found->second == expected->second);
                }
        }
        if (round % 64 == 0 || round == rounds - 1) {
            expectSameContents(pooled, plain);
            expectSameContents(spare, plainSpare);
        }
    }
}

Fid fidOf(unsigned n) {
    Fid fid;
    // Spread the ids over the first byte too, so that memcmp order and the
    // order of n differ.
    fid.m_fid[0] = static_cast<char>(n * 37);
    fid.m_fid[1] = static_cast<char>(n >> 8);
    fid.m_fid[7] = static_cast<char>(0x80 | n);
    return fid;
}

TEST(PooledMaps, BehaveExactlyLikeMapsOverStdAllocator) {
    runRandomWorkload<ovix::FidCountMap>(1, fidOf, 60000);
    runRandomWorkload<ovix::SparseRowMap<float>>(
        2, [](unsigned n) { return static_cast<int>(n) - 1000; }, 60000);
    runRandomWorkload<ovix::SparseRowMap<double>>(
        3, [](unsigned n) { return static_cast<int>(n * 7919); }, 60000);
}

TEST(PooledMaps, EachMapKindDrawsFromItsOwnPoolSizedByItsNodes) {
    {
        ovix::FidCountMap counts;
        ovix::SparseRowMap<float> floatRow;
        ovix::SparseRowMap<double> doubleRow;
        for (unsigned n = 0; n < 100000; ++n) {
            counts[fidOf(n)] = 1;
            floatRow[static_cast<int>(n)] = 1;
        }
        doubleRow[1] = 1;
        // A node is larger than its entry: the tree links come with it.
        EXPECT_GT(ovix::fidCountPool.nodeSize(), sizeof(std::pair<const Fid, int>) + 2 * sizeof(void*));
        EXPECT_GT(ovix::floatRowPool.nodeSize(), sizeof(std::pair<const int, float>) + 2 * sizeof(void*));
        EXPECT_GT(ovix::doubleRowPool.nodeSize(), sizeof(std::pair<const int, double>) + 2 * sizeof(void*));
        const std::size_t fidNodes = counts.size(), perChunk = (MappedPool::chunkSize - MappedPool::chunkHeaderSize) /
                                                               ovix::fidCountPool.nodeSize();
        EXPECT_EQ(ovix::fidCountPool.chunkCount(), (fidNodes + perChunk - 1) / perChunk);
        EXPECT_EQ(ovix::doubleRowPool.chunkCount(), 1u);
    }
    // The pools shrink back to their one reserve chunk when their maps are gone.
    EXPECT_EQ(ovix::fidCountPool.chunkCount(), 1u);
    EXPECT_EQ(ovix::floatRowPool.chunkCount(), 1u);
    EXPECT_EQ(ovix::doubleRowPool.chunkCount(), 1u);
}

TEST(PooledMaps, MapsOnSeveralThreadsShareAPool) {
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            runRandomWorkload<ovix::SparseRowMap<double>>(
                10 + t, [](unsigned n) { return static_cast<int>(n); }, 40000);
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(ovix::doubleRowPool.chunkCount(), 1u);  // the reserve
}

}  // namespace

}  // namespace ovix
