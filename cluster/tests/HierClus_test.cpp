#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "cluster/HierClus.h"
#include "cluster/tests/ClusterFiles.h"
#include "testing/BoundedChild.h"

namespace ovix {

namespace {

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

TEST_F(HierClusTest, ResultsBelongToTheObjectWhateverAnotherRunWritesOverItsFiles) {
    write(separatedGroups(20, 2, 6, 7));
    HierClus first(input.c_str(), 2, true);
    const auto leaves = first.getClusters();
    {
        HierClus second(input.c_str(), 3);  // rewrites NAME.clusters with one record more
    }
    const auto again = first.getClusters();
    ASSERT_EQ(again.size(), leaves.size());
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        EXPECT_EQ(again[i].id, leaves[i].id);
        EXPECT_EQ(again[i].size, leaves[i].size);
        EXPECT_EQ(bytesOf(again[i].centroid), bytesOf(leaves[i].centroid)) << "leaf " << leaves[i].id;
    }
}

// Each in a child under a memory and a time limit: a child per cluster asked
// for, or an input that makes the open wait, would never finish.
TEST_F(HierClusTest, ClusterCountsBeyondTheDocumentsAndInputsThatAreNoFilesAreRefused) {
    write(separatedGroups(10, 2, 3, 1));
    for (const ClassifierClusteringAlg alg :
         {CLASSIFIER_CLUSTERING_ALG_KMEANS, CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT}) {
        EXPECT_EQ(outcomeInChild([&] {
                      HierClus clustering(input.c_str(), 30'000'000, false, 0, false, 0, alg);
                      return std::string("clustered");
                  }),
                  "nClusters 30000000 is more than the 10 documents of " + input);
    }
    EXPECT_EQ(HierClus(input.c_str(), 10).getClusters().size(), 10u);

    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(outcomeInChild([&] {
                  HierClus clustering(fifo.c_str(), 2);
                  return std::string("clustered");
              }),
              "DocVec: " + fifo + " is not a regular file");
}

}  // namespace

}  // namespace ovix
