#include "sgt/NearestNeighbours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "sgt/tests/Documents.h"

namespace ovix {

namespace {

using ovix::testing::document;
using ovix::testing::Document;

// Every other document of i ranked by a full sort of the merge-join
// similarities.
std::vector<SimilarityPair> bruteForce(const std::vector<Document>& docs, int i) {
    std::vector<SimilarityPair> pairs;
    for (int j = 0; j < static_cast<int>(docs.size()); ++j)
        if (j != i)
            pairs.push_back({j, ovix::sparseDotProduct(docs[static_cast<std::size_t>(i)], docs[static_cast<std::size_t>(j)])});
    std::sort(pairs.begin(), pairs.end(), compareSimilarityDesc);
    return pairs;
}

void expectSameRanking(const std::vector<Document>& docs, int keep, unsigned threads) {
    const auto entries = ovix::testing::entriesOf(docs);
    const auto found = ovix::nearestNeighbours(entries, keep, threads);
    ASSERT_EQ(found.size(), docs.size() * static_cast<std::size_t>(keep));
    for (int i = 0; i < static_cast<int>(docs.size()); ++i) {
        const auto expected = bruteForce(docs, i);
        for (int p = 0; p < keep; ++p) {
            const SimilarityPair& got = found[static_cast<std::size_t>(i * keep + p)];
            const SimilarityPair& want = expected[static_cast<std::size_t>(p)];
            ASSERT_EQ(got.index, want.index) << "row " << i << " place " << p << " threads " << threads;
            // The same float sums, bit for bit (NaN included).
            ASSERT_EQ(std::bit_cast<std::uint32_t>(got.similarity), std::bit_cast<std::uint32_t>(want.similarity))
                << "row " << i << " place " << p;
        }
    }
}

TEST(SparseDotProduct, MergesIdsAsUnsignedNumbers) {
    // Ids with the top bit set sort after small ones.
    const Document a = document({{1, 2}, {5, 3}, {0x8000000000000000ull, 4}});
    const Document b = document({{0, 7}, {5, 10}, {0x8000000000000000ull, 0.5f}});
    EXPECT_EQ(sparseDotProduct(a.data(), 3, b.data(), 3), 32.0f);
    EXPECT_EQ(sparseDotProduct(nullptr, 0, b.data(), 3), 0.0f);
    EXPECT_EQ(sparseDotProduct(a.data(), 3, nullptr, 3), 0.0f);
    // A repeated id pairs with the repeat of the other side, once each.
    const Document twice = document({{5, 1}, {5, 2}});
    EXPECT_EQ(sparseDotProduct(twice.data(), 2, b.data(), 3), 10.0f);
}

TEST(CompareSimilarityDesc, IsATotalOrderEvenWithNaN) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<SimilarityPair> pairs{{0, nan}, {1, 0.5f}, {2, nan}, {3, 0.5f}, {4, -1}, {5, 2}};
    for (int round = 0; round < 20; ++round) {  // many shuffles: an invalid order would go astray
        std::shuffle(pairs.begin(), pairs.end(), std::mt19937(static_cast<unsigned>(round)));
        std::sort(pairs.begin(), pairs.end(), compareSimilarityDesc);
        std::vector<int> order;
        for (const auto& p : pairs)
            order.push_back(p.index);
        EXPECT_EQ(order, (std::vector<int>{5, 1, 3, 4, 0, 2}));
    }
}

TEST(NearestNeighbours, EqualsTheMergeJoinBitForBitOnEveryThreadCount) {
    std::mt19937 random(7);
    auto docs = ovix::testing::randomDocuments(random, 150, 300, 12);
    // Documents the index must get right or leave to the merge: an empty
    // one, repeated ids, negative weights, ids out of order, and a NaN.
    docs[3].clear();
    docs[10] = document({{0, 1}, {0, 2}, {0x9E3779B97F4A7C15ull, -3}, {0x9E3779B97F4A7C15ull, 1}});
    docs[11] = document({{0, 0.5f}, {0x9E3779B97F4A7C15ull, 2}, {0x9E3779B97F4A7C15ull, 4}});
    docs[20] = document({{0x9E3779B97F4A7C15ull * 3, 1}, {0, 2}, {0x9E3779B97F4A7C15ull, 1}});
    docs[21] = document({{0x9E3779B97F4A7C15ull * 2, -0.5f}, {0x9E3779B97F4A7C15ull, 1}});
    docs[30] = document({{0, std::numeric_limits<float>::quiet_NaN()}});
    for (const unsigned threads : {1u, 3u, 8u}) {
        expectSameRanking(docs, 149, threads);
        expectSameRanking(docs, 5, threads);
    }
    expectSameRanking(docs, 1, 0);
}

TEST(NearestNeighbours, ADocumentIsNeverItsOwnNeighbour) {
    // Every similarity between different documents is negative, while each
    // document is most similar to itself.
    const std::vector<Document> docs{document({{1, 1}, {2, -1}}), document({{1, -1}, {2, 1}}),
                                     document({{1, -2}, {2, 2}})};
    const auto found = ovix::nearestNeighbours(ovix::testing::entriesOf(docs), 2, 1);
    for (int i = 0; i < 3; ++i)
        for (int p = 0; p < 2; ++p)
            EXPECT_NE(found[static_cast<std::size_t>(2 * i + p)].index, i);
    EXPECT_EQ(found[0].index, 1);  // -2 beats -4
    EXPECT_EQ(found[0].similarity, -2.0f);
}

}  // namespace

}  // namespace ovix
