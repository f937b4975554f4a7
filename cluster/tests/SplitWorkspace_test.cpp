#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "cluster/SplitWorkspace.h"
#include "sgt/tests/Documents.h"

namespace ovix {

namespace {

using namespace ovix::testing;

std::uint32_t bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

// Five children summed from random documents and normalised.
SplitWorkspace summedWorkspace(std::mt19937& random, int maxFeatures = 0) {
    SplitWorkspace workspace(maxFeatures);
    workspace.reset(5);
    const auto docs = randomDocuments(random, 60, 200, 10);
    for (std::size_t i = 0; i < docs.size(); ++i)
        workspace.add(static_cast<int>(i % 5), docs[i]);
    workspace.normalise();
    return workspace;
}

TEST(SplitWorkspaceTest, SimilaritiesToAllChildrenAreTheMergesBitForBit) {
    std::mt19937 random(17);
    const SplitWorkspace workspace = summedWorkspace(random);
    auto queries = randomDocuments(random, 200, 260, 14);
    // Ids out of order and repeated ids pair differently in a merge.
    queries.push_back(document({{9, 0.5f}, {3, 0.5f}}));
    Document repeated = queries[0];
    repeated.insert(repeated.begin() + 1, repeated[0]);
    queries.push_back(repeated);
    std::vector<float> all(5);
    for (const Document& q : queries) {
        workspace.similarities(q, all);
        for (int c = 0; c < 5; ++c) {
            const std::vector<DocVecI> centroid = workspace.centroid(c);
            const float merged = sparseDotProduct(centroid.data(), static_cast<int>(centroid.size()), q.data(),
                                                  static_cast<int>(q.size()));
            EXPECT_EQ(bits(all[static_cast<std::size_t>(c)]), bits(merged));
            EXPECT_EQ(bits(workspace.similarity(c, q)), bits(merged));
        }
    }
}

TEST(SplitWorkspaceTest, CentroidsBeingSummedAreMatchedByLookup) {
    SplitWorkspace workspace(0);
    workspace.reset(2);
    workspace.add(0, document({{1, 3.0f}, {2, 4.0f}}));
    workspace.normalise();
    workspace.add(1, document({{2, 1.0f}}));  // child 0 stays an array, child 1 is a map
    std::vector<float> all(2);
    workspace.similarities(document({{2, 2.0f}}), all);
    EXPECT_FLOAT_EQ(all[0], 0.8f * 2);
    EXPECT_FLOAT_EQ(all[1], 2.0f);
    workspace.add(0, document({{1, 0.4f}}));  // back to a map: 0.6 + 0.4 at id 1
    EXPECT_FLOAT_EQ(workspace.similarity(0, document({{1, 1.0f}})), 1.0f);
    EXPECT_EQ(workspace.documents(0), 2);
}

TEST(SplitWorkspaceTest, FeatureCutKeepsTheHeaviestAndEqualWeightsByLowerId) {
    SplitWorkspace workspace(2);
    workspace.reset(1);
    workspace.add(0, document({{4, 1.0f}, {7, 0.5f}, {9, 1.0f}, {12, 1.0f}}));
    workspace.normalise();
    const auto centroid = workspace.centroid(0);
    ASSERT_EQ(centroid.size(), 2u);
    EXPECT_EQ(centroid[0].fid, fidOf(4));
    EXPECT_EQ(centroid[1].fid, fidOf(9));
    EXPECT_FLOAT_EQ(centroid[0].weight, static_cast<float>(1 / std::sqrt(2.0)));
}

TEST(SplitWorkspaceTest, DissolvedChildrenAreSimilarToNothing) {
    std::mt19937 random(2);
    SplitWorkspace workspace = summedWorkspace(random);
    workspace.zeroCounts();
    for (int c = 0; c < 5; ++c)
        for (int n = 0; n < c; ++n)
            workspace.countDocument(c);
    EXPECT_FALSE(workspace.dissolveSmallerThan(0));
    EXPECT_TRUE(workspace.dissolveSmallerThan(3));
    const auto query = randomDocuments(random, 1, 200, 80)[0];
    std::vector<float> all(5);
    workspace.similarities(query, all);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(workspace.centroid(c).empty(), c < 3);
        EXPECT_EQ(bits(all[static_cast<std::size_t>(c)]), bits(workspace.similarity(c, query)));
    }
    EXPECT_EQ(all[0], 0.0f);
}

}  // namespace

}  // namespace ovix
