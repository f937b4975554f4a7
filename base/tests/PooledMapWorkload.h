#pragma once
// Checks of maps whose nodes come from a shared pool against std::map.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

namespace ovix::testing {

// Both hold the same entries in the same order.
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

}  // namespace ovix::testing
