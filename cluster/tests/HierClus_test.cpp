#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "cluster/HierClus.h"
#include "cluster/tests/ClusterFiles.h"

namespace ovix {

namespace {

using namespace ovix::testing;
using namespace ovix::testing;

int openFileCount() {
    return static_cast<int>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

class HierClusTest : public ::testing::Test {
protected:
    void write(const std::vector<Document>& docs) { writeDocuments(input, unlabelled(docs)); }

    ScratchFolder folder;
    std::string input = folder.file("docs.vec");
};

TEST_F(HierClusTest, GraphDepthIsTheCeilingOfLog2OfTheClusterCount) {
    write(separatedGroups(128, 8, 6, 2));
    EXPECT_EQ(failureOf([&] { HierClus(input.c_str(), 1, false, 0, false, 0, CLASSIFIER_CLUSTERING_ALG_GRAPH, 6); }),
              "..\\..\\CluGraph 45 0\n");
    for (const auto& [nClusters, leaves] : {std::pair{2, 2}, {3, 4}, {4, 4}, {5, 8}, {8, 8}, {9, 16}}) {
        HierClus clustering(input.c_str(), nClusters, false, 0, false, 0, CLASSIFIER_CLUSTERING_ALG_GRAPH, 6);
        const auto found = clustering.getClusters();
        EXPECT_EQ(found.size(), static_cast<std::size_t>(leaves)) << nClusters << " clusters";
        // Ids handed out are one more than the engine's: the root's children are 2 and 3.
        std::set<int> ids;
        for (const auto& leaf : found)
            ids.insert(leaf.id);
        EXPECT_GE(*ids.begin(), 2);
        for (const auto& doc : clustering.getDocs())
            EXPECT_TRUE(ids.contains(doc.cluster)) << "document " << doc.id;
    }
}

TEST_F(HierClusTest, FailingConstructorLeavesNoEngineOrOpenFileBehind) {
    write(separatedGroups(10, 2, 4, 1));
    const int before = openFileCount();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(
            failureOf([&] { HierClus(input.c_str(), 2, true, 0, false, 0, static_cast<ClassifierClusteringAlg>(3)); }),
            "Unknown alg");
    {
        HierClus done(input.c_str(), 2, true);
        done.getClusters();
    }
    EXPECT_EQ(openFileCount(), before);

    std::filesystem::remove(input + ".clusters");
    EXPECT_EQ(failureOf([&] { HierClus(input.c_str(), 0); }), "nClusters must be 1 or more");
    EXPECT_EQ(failureOf([&] { HierClus(input.c_str(), 2, false, 0, false, -1); }),
              "maxCentroidFeatures must be 0 or more");
    EXPECT_FALSE(std::filesystem::exists(input + ".clusters"));
}

TEST_F(HierClusTest, LeafWithoutDocumentsHasSizeZeroAndNoMemberFile) {
    write({document({{4, 1.0f}})});
    HierClus clustering(input.c_str(), 2, true, 0, false, 0, CLASSIFIER_CLUSTERING_ALG_GRAPH);
    const auto docs = clustering.getDocs();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs[0].cluster, 2);
    const auto leaves = clustering.getClusters();
    ASSERT_EQ(leaves.size(), 2u);
    EXPECT_EQ(leaves[0].id, 2);
    EXPECT_EQ(leaves[0].size, 1);
    EXPECT_EQ(leaves[0].memberFile, input + ".clu1");
    EXPECT_EQ(leaves[1].id, 3);
    EXPECT_EQ(leaves[1].size, 0);
    EXPECT_TRUE(leaves[1].centroid.empty());
    EXPECT_FALSE(leaves[1].memberFile.has_value());
}

TEST_F(HierClusTest, GetClustersThatFailsMidwayThrowsAndCanBeAskedAgain) {
    write(separatedGroups(20, 2, 6, 7));
    HierClus clustering(input.c_str(), 2, true);
    const std::string centroids = readFile(input + ".clusters");
    {
        DocVec file(input + ".clusters", DOCVEC_FORMAT_BINARY, true);
        for (int id : {0, 1, 1})
            file.writeDoc(id, 0, document({{1, 1.0f}}));
    }
    EXPECT_EQ(failureOf([&] { clustering.getClusters(); }), "..\\..\\Cluster 767 2\n");
    writeFile(input + ".clusters", centroids);
    EXPECT_EQ(clustering.getClusters().size(), 2u);
}

}  // namespace

}  // namespace ovix
