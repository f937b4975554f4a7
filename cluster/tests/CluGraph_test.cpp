#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "cluster/Cluster.h"
#include "cluster/tests/ClusterFiles.h"

namespace ovix {

namespace {

using namespace ovix::testing;

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

class CluGraphTest : public ::testing::Test {
protected:
    std::unique_ptr<Cluster> engineOn(const std::vector<Document>& docs, int verbosity = 0) {
        writeDocuments(input, unlabelled(docs));
        auto engine = std::make_unique<Cluster>(input.c_str(), nullptr);
        engine->verbosity = verbosity;
        return engine;
    }

    // The leaves of the tree, by the table.
    static std::vector<int> leaves(const ClusterTable& table) {
        std::vector<int> found;
        for (int c = 0; c < table.clusterCount(); ++c)
            if (table.record(c).firstChild == table.record(c).endChild)
                found.push_back(c);
        return found;
    }

    ScratchFolder folder;
    std::string input = folder.file("docs.vec");
};

TEST_F(CluGraphTest, CutsGoDownToTheDepthAndKeepGroupsWhole) {
    const auto docs = separatedGroups(96, 4, 6, 8);
    for (int depth = 1; depth <= 3; ++depth) {
        auto engine = engineOn(docs);
        engine->runGraph(6, depth, kNoLimit, 0);
        const ClusterTable& table = engine->table();
        const auto found = leaves(table);
        EXPECT_EQ(found.size(), std::size_t{1} << depth) << "depth " << depth;
        // A leaf's level is at most the depth.
        for (const int leaf : found) {
            int level = 0;
            for (int c = leaf; c != 0; c = table.record(c).parent)
                ++level;
            EXPECT_LE(level, depth);
        }
        // While there are no more leaves than groups, no group is cut.
        const auto clusters = docClusters(*engine);
        for (int i = 4; depth <= 2 && i < 96; ++i)
            EXPECT_EQ(clusters[static_cast<std::size_t>(i)], clusters[static_cast<std::size_t>(i % 4)]);
    }
}

TEST_F(CluGraphTest, OneDocumentGetsTheForcedRootSplit) {
    auto engine = engineOn({document({{1, 1.0f}})}, 1);
    ::testing::internal::CaptureStderr();
    engine->runGraph(5, 2, kNoLimit, 0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("* cannot cluster only one doc\n"), std::string::npos) << log;
    EXPECT_NE(log.find("* ncut=0.000000, new clusters 1 (n=1) and 2 (n=0)\n"), std::string::npos) << log;
    const ClusterTable& table = engine->table();
    ASSERT_EQ(table.clusterCount(), 3);
    EXPECT_EQ(table.docCluster(0), 1);
    EXPECT_EQ(table.record(1).size, 1);
    EXPECT_EQ(table.record(2).size, 0);
}

TEST_F(CluGraphTest, RefusedRootCutPutsEveryDocumentInTheFirstChildAndStops) {
    auto engine = engineOn(separatedGroups(20, 2, 5, 3), 1);
    engine->minClusterSize = 11;
    ::testing::internal::CaptureStderr();
    engine->runGraph(5, 3, kNoLimit, 0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("* cluster too small (10/10), not splitting cluster\n"), std::string::npos) << log;
    const ClusterTable& table = engine->table();
    ASSERT_EQ(table.clusterCount(), 3);
    EXPECT_EQ(docClusters(*engine), std::vector<int>(20, 1));
    EXPECT_EQ(table.record(2).size, 0);
    const auto clusters = allClusters(*engine);
    EXPECT_TRUE(clusters[2].centroid.empty());
    EXPECT_NEAR(squaredLength(clusters[1].centroid), 1, 1e-5);
}

TEST_F(CluGraphTest, RefusedCutBelowTheRootLeavesTheClusterWhole) {
    // The root cut gives 10 and 10; no cut of 10 documents leaves two parts of 6.
    auto engine = engineOn(separatedGroups(20, 2, 5, 3));
    engine->minClusterSize = 6;
    engine->runGraph(5, 3, kNoLimit, 0);
    EXPECT_EQ(engine->table().clusterCount(), 3);
    EXPECT_EQ(engine->table().record(1).size, 10);
    EXPECT_EQ(engine->table().record(2).size, 10);
}

TEST_F(CluGraphTest, NcutThresholdRefusesCutsAboveIt) {
    std::mt19937 random(3);
    const auto docs = randomDocuments(random, 60, 80, 12);
    auto refused = engineOn(docs, 1);
    ::testing::internal::CaptureStderr();
    refused->runGraph(8, 2, 0, 0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(" (>0.000000) not splitting cluster\n"), std::string::npos) << log;
    EXPECT_EQ(refused->table().clusterCount(), 3);
    EXPECT_EQ(refused->table().record(2).size, 0);

    auto taken = engineOn(docs);
    taken->runGraph(8, 1, kNoLimit, 0);
    EXPECT_GT(taken->table().record(1).size, 0);
    EXPECT_GT(taken->table().record(2).size, 0);
}

}  // namespace

}  // namespace ovix
