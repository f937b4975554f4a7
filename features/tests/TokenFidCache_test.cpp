#include "features/TokenFidCache.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

namespace ovix {

namespace {

// Ids made by counting calls: a cached id is the one its first call made.
struct CountingIds {
    std::map<std::string, int> calls;

    Fid idOf(ovix::TokenFidCache& cache, const std::string& token, bool stemmed) {
        return cache.idOf(token, stemmed, [&] {
            ++calls[token];
            return expected(token, stemmed);
        });
    }
    static Fid expected(const std::string& token, bool stemmed) {
        return Fid(std::to_string(std::hash<std::string>()(token) % 10000000) + (stemmed ? "s" : "u"));
    }
};

TEST(TokenFidCache, MakesAnIdOnceWhileItStaysCached) {
    ovix::TokenFidCache& cache = ovix::TokenFidCache::forThisThread();
    EXPECT_EQ(&cache, &ovix::TokenFidCache::forThisThread());
    CountingIds ids;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(ids.idOf(cache, "parser", true), CountingIds::expected("parser", true));
        EXPECT_EQ(ids.idOf(cache, "parser", false), CountingIds::expected("parser", false));
    }
    EXPECT_EQ(ids.calls["parser"], 2);  // once stemmed, once not
}

TEST(TokenFidCache, EvictedTokensGetTheirIdsMadeAgain) {
    ovix::TokenFidCache& cache = ovix::TokenFidCache::forThisThread();
    CountingIds ids;
    const int slots = 1 << ovix::TokenFidCache::kSlotBits;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 4 * slots; ++i) {
            const std::string token = "t" + std::to_string(i);
            ASSERT_EQ(ids.idOf(cache, token, true), CountingIds::expected(token, true)) << token;
        }
    }
    int remade = 0;
    for (const auto& [token, calls] : ids.calls)
        remade += calls - 1;
    // Four tokens a slot: most were evicted before round 2.
    EXPECT_GT(remade, 2 * slots);
}

TEST(TokenFidCache, EmptyAndLongTokensAreNeverCached) {
    ovix::TokenFidCache& cache = ovix::TokenFidCache::forThisThread();
    CountingIds ids;
    const std::string longest(ovix::ShortKey::kLongest, 'q'), tooLong(ovix::ShortKey::kLongest + 1, 'q');
    for (int round = 0; round < 3; ++round)
        for (const std::string& token : {std::string(), longest, tooLong})
            EXPECT_EQ(ids.idOf(cache, token, false), CountingIds::expected(token, false));
    EXPECT_EQ(ids.calls[""], 3);
    EXPECT_EQ(ids.calls[longest], 1);
    EXPECT_EQ(ids.calls[tooLong], 3);
}

TEST(TokenFidCache, EachThreadHasItsOwn) {
    CountingIds ids;
    ids.idOf(ovix::TokenFidCache::forThisThread(), "shared", true);
    std::thread other([&] { ids.idOf(ovix::TokenFidCache::forThisThread(), "shared", true); });
    other.join();
    EXPECT_EQ(ids.calls["shared"], 2);
}

}  // namespace

}  // namespace ovix
