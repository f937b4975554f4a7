#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sgt/LaPlacian.h"
#include "sgt/Rand15.h"
#include "sgt/tests/Documents.h"

namespace ovix {

namespace {

using ovix::testing::document;
using ovix::testing::Document;

template <class T>
class KnnGraphTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(KnnGraphTest, ElementTypes);

// Runs createKnnGraph and returns k' and what it logged.
template <class T>
std::pair<int, std::string> build(LaPlacian<T>& graph, const std::vector<Document>& docs, int k, int verbosity = 0,
                                  double dupThreshold = 0) {
    const auto rows = ovix::testing::rowsOf(docs);
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* log = open_memstream(&text, &size);
    const int kPrime = graph.createKnnGraph(rows.data(), static_cast<int>(rows.size()), k, verbosity, log, dupThreshold);
    std::fclose(log);
    std::string logged(text, size);
    std::free(text);
    return {kPrime, logged};
}

TYPED_TEST(KnnGraphTest, RowsHoldTheNearestNeighboursOfABruteForceSearch) {
    std::mt19937 random(11);
    const auto docs = ovix::testing::randomDocuments(random, 120, 200, 10);
    for (const int sumEdges : {0, 1}) {
        LaPlacian<TypeParam> graph(sumEdges, 0, 1);
        EXPECT_EQ(build(graph, docs, 7).first, 7);
        ASSERT_EQ(graph.rowCount(), 120);
        for (int i = 0; i < 120; ++i) {
            std::vector<ovix::SimilarityPair> all;
            for (int j = 0; j < 120; ++j)
                if (j != i)
                    all.push_back({j, ovix::sparseDotProduct(docs[static_cast<std::size_t>(i)], docs[static_cast<std::size_t>(j)])});
            std::sort(all.begin(), all.end(), compareSimilarityDesc);
            TypeParam sum = 0;
            for (int p = 0; p < 7; ++p)
                sum += all[static_cast<std::size_t>(p)].similarity;

            std::size_t stored = 0;
            for (int p = 0; p < 7; ++p) {
                const auto& [j, s] = all[static_cast<std::size_t>(p)];
                if (s == 0)
                    continue;  // zero weights are not stored
                ++stored;
                const TypeParam expected = sumEdges ? TypeParam(1) / sum * TypeParam(s) : TypeParam(s);
                EXPECT_EQ(graph.get(i, j), expected) << "row " << i << " neighbour " << j;
            }
            EXPECT_EQ(graph.row(i).size(), stored) << "row " << i;
        }
    }
}

TYPED_TEST(KnnGraphTest, NeighbourCountsAtTheirLimits) {
    const std::vector<Document> docs{document({{1, 1}}), document({{1, 1}, {2, 1}}), document({{2, 1}})};
    LaPlacian<TypeParam> graph(1, 0, 1);
    EXPECT_EQ(build(graph, docs, 0).first, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(graph.row(i).empty());
    EXPECT_EQ(build(graph, docs, 3).first, 2);
    EXPECT_EQ(build(graph, docs, -5).first, 2);
    EXPECT_EQ(build(graph, docs, std::numeric_limits<int>::min()).first, 2);  // |k| beyond int
    EXPECT_EQ(build(graph, {docs[0]}, 4).first, 0);
    EXPECT_EQ(build(graph, {}, 4).first, 0);
    EXPECT_EQ(graph.rowCount(), 0);
    EXPECT_TRUE(graph.hasRows());
}

TYPED_TEST(KnnGraphTest, NearDuplicatesNameTheRepresentativeOfTheEarlierDocument) {
    const Document same = document({{1, 0.6f}, {2, 0.8f}});
    const std::vector<Document> docs{same, same, document({{3, 1}}), same, document({{4, 1}, {5, 0.1f}}),
                                     document({{4, 1}})};
    LaPlacian<TypeParam> graph(1, 0, 1);
    build(graph, docs, 0, 0, 0.9);  // no edges, but the marks
    const DuplicateRecord* records = graph.duplicateRecords();
    ASSERT_NE(records, nullptr);
    // 0 comes first, so it names itself with similarity 0; 1 and 3 name 0.
    EXPECT_EQ(records[0].duplicateOf, 0);
    EXPECT_EQ(records[0].similarity, 0);
    EXPECT_EQ(records[1].duplicateOf, 0);
    EXPECT_NEAR(records[1].similarity, 1, 1e-6);
    EXPECT_EQ(records[3].duplicateOf, 0);
    // 2 has no near neighbour; 4 and 5 are similar by 1.
    EXPECT_EQ(records[2].duplicateOf, -1);
    EXPECT_EQ(records[4].duplicateOf, 4);
    EXPECT_EQ(records[5].duplicateOf, 4);
    EXPECT_NEAR(records[5].similarity, 1.0, 1e-6);

    build(graph, docs, 2, 0, 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(graph.duplicateRecords()[i].duplicateOf, -1);
}

TYPED_TEST(KnnGraphTest, LogLinesShowFactorsAndTheFirstPairs) {
    const std::vector<Document> docs{document({{1, 1}}), document({{1, 0.5f}, {2, 1}}), document({{2, 2}})};
    LaPlacian<TypeParam> graph(1, 0, 1);
    EXPECT_EQ(build(graph, docs, 1, 4).second,
              "           "
              "   1 2.000000 (2, 1.000000) (3, 0.000000) \n"
              "   2 0.500000 (3, 1.000000) (1, 0.000000) \n"
              "   3 0.500000 (2, 1.000000) (1, 0.000000) \n"
              "\n");

    std::vector<Document> many(250, document({{1, 1}}));
    EXPECT_EQ(build(graph, many, 3, 2).second, "           ...0...100...200\n");
    EXPECT_EQ(build(graph, many, 3, 1).second, "");
}

TYPED_TEST(KnnGraphTest, RandomPartnersStayAmongTheDocuments) {
    // A seed whose first draw is the largest, which would name document n.
    std::uint32_t seed = 0;
    while (ovix::Rand15(seed).next() != ovix::Rand15::max)
        ++seed;
    const std::vector<Document> docs(4, document({{1, 1}, {2, 0.5f}}));
    LaPlacian<TypeParam> graph(1, 0, 1);
    ovix::threadRand15().seed(seed);
    EXPECT_EQ(build(graph, docs, -2).first, 2);
    EXPECT_NE(graph.get(0, 3), TypeParam(0));
    for (int i = 0; i < 4; ++i) {
        TypeParam sum = 0;
        for (const auto& [j, w] : graph.row(i)) {
            EXPECT_LT(j, 4);
            sum += w;
        }
        EXPECT_NEAR(sum, 1, 1e-6);
    }
    EXPECT_EQ(graph.duplicateRecords()[0].duplicateOf, -1);

    // More documents than n times a draw fits in 32 bits: the draws still
    // spread over all of them.
    const std::vector<Document> many(70000, document({{1, 1}}));
    LaPlacian<TypeParam> large(1, 0, 1);
    build(large, many, -1);
    int highest = 0;
    for (int i = 0; i < 70000; ++i)
        for (const auto& [j, w] : large.row(i)) {
            ASSERT_TRUE(j >= 0 && j < 70000);
            highest = std::max(highest, j);
        }
    EXPECT_GT(highest, 69000);

    // The same seed gives the same graph.
    LaPlacian<TypeParam> again(1, 0, 1);
    ovix::threadRand15().seed(seed);
    build(again, docs, -2);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(graph.get(i, j), again.get(i, j));
}

}  // namespace

}  // namespace ovix
