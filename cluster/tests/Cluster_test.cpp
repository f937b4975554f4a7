#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "cluster/Cluster.h"
#include "cluster/tests/ClusterFiles.h"

namespace ovix {

namespace {

using namespace ovix::testing;

class ClusterTest : public ::testing::Test {
protected:
    std::unique_ptr<Cluster> engineOn(const std::vector<LabelledDocument>& docs, const char* memberBase = nullptr) {
        writeDocuments(input, docs);
        auto engine = std::make_unique<Cluster>(input.c_str(), memberBase);
        engine->verbosity = 0;
        return engine;
    }

    ScratchFolder folder;
    std::string input = folder.file("docs.vec");
};

// Child 1 starts with A, D and F; child 2 with the B documents and E.
std::vector<LabelledDocument> dissolvingSet() {
    std::vector<LabelledDocument> docs = {
        {1, 1, document({{1, 1.0f}})},              // A seeds child 1
        {2, 0, document({{99, 1.0f}})},             // D shares no feature with any centroid
        {3, 0, document({{1, 0.9f}, {10, 0.1f}})},  // F: child 1, then child 2
        {4, 0, document({{10, 1.0f}})},             // E
    };
    for (int b = 0; b < 5; ++b)
        docs.push_back({10 + b, 2, document({{10, 0.5f}, {static_cast<std::uint64_t>(11 + b), 0.5f}})});
    return docs;
}

TEST_F(ClusterTest, SmallChildrenAreDissolvedAndUnmatchedDocumentsFallToTheFirstChild) {
    const auto runWith = [&](int minClusterSize) {
        auto engine = engineOn(dissolvingSet());
        engine->maxIterations = 1;
        engine->initMode = 2;
        engine->minClusterSize = minClusterSize;
        engine->clustersPerDepth = {2};
        engine->run(2);
        return engine;
    };
    auto kept = runWith(0);
    EXPECT_EQ(docClusters(*kept), (std::vector<int>{1, 1, 1, 2, 2, 2, 2, 2, 2}));
    EXPECT_FALSE(allClusters(*kept)[1].centroid.empty());

    auto dissolved = runWith(4);
    EXPECT_EQ(docClusters(*dissolved), (std::vector<int>{1, 1, 2, 2, 2, 2, 2, 2, 2}));
    const auto clusters = allClusters(*dissolved);
    EXPECT_EQ(clusters[1].size, 2);
    EXPECT_TRUE(clusters[1].centroid.empty());
    EXPECT_EQ(clusters[2].size, 7);
    EXPECT_NEAR(squaredLength(clusters[2].centroid), 1, 1e-5);
}

TEST_F(ClusterTest, CentroidFileHoldsTheRootThenOneUnitRecordPerCluster) {
    auto engine = engineOn(unlabelled(separatedGroups(30, 3, 6, 9)), folder.file("base").c_str());
    const std::string output = folder.file("docs.vec.clusters");
    EXPECT_EQ(engine->openOutput(output.c_str()), 1);
    engine->clustersPerDepth = {3};
    engine->run(3);

    const auto records = readDocuments(output);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].id, 0);
    EXPECT_TRUE(records[0].entries.empty());
    for (int c = 1; c <= 3; ++c) {
        EXPECT_EQ(records[static_cast<std::size_t>(c)].id, c);
        EXPECT_EQ(records[static_cast<std::size_t>(c)].label, 0);
        EXPECT_NEAR(squaredLength(records[static_cast<std::size_t>(c)].entries), 1, 1e-5);
    }

    // Read twice: the file is read again from its start each time.
    for (int pass = 0; pass < 2; ++pass) {
        const auto clusters = allClusters(*engine);
        ASSERT_EQ(clusters.size(), 4u);
        for (const auto& c : clusters) {
            ASSERT_EQ(c.centroid.size(), records[static_cast<std::size_t>(c.id)].entries.size());
            ASSERT_TRUE(c.memberFile.has_value());
            EXPECT_EQ(*c.memberFile, folder.file("base") + ".clu" + std::to_string(c.id));
        }
    }
    // A member file holds the documents whose cluster it is, in input order.
    const auto docs = readDocuments(input);
    for (int c = 0; c <= 3; ++c) {
        const auto members = readDocuments(folder.file("base.clu" + std::to_string(c)));
        std::vector<int> expected, got;
        for (std::size_t i = 0; i < docs.size(); ++i)
            if (engine->table().docCluster(static_cast<int>(i)) == c)
                expected.push_back(docs[i].id);
        for (const DocVecRecord& m : members) {
            got.push_back(m.id);
            EXPECT_EQ(m.label, 0);
            EXPECT_EQ(m.entries.size(), docs[static_cast<std::size_t>(m.id - 100)].entries.size());
        }
        EXPECT_EQ(got, expected) << "cluster " << c;
    }
}

TEST_F(ClusterTest, WithoutAFileCentroidsStayInTheTable) {
    auto engine = engineOn(unlabelled(separatedGroups(12, 2, 4, 1)));
    EXPECT_EQ(engine->openOutput(nullptr), 0);
    EXPECT_EQ(engine->openOutput(""), 0);
    engine->clustersPerDepth = {2};
    engine->run(2);
    const auto first = allClusters(*engine);
    EXPECT_FALSE(first[1].centroid.empty());
    EXPECT_FALSE(first[1].memberFile.has_value());
    EXPECT_EQ(bytesOf(allClusters(*engine)[1].centroid), bytesOf(first[1].centroid));
}

TEST_F(ClusterTest, TwoLevelSplitUsesOneEntryPerRemainingDepth) {
    auto engine = engineOn(unlabelled(separatedGroups(60, 6, 5, 4)));
    engine->clustersPerDepth = {2, 3};
    engine->minSplitSize = 1;
    ClusterInternals::split(*engine, 0, 2);
    const ClusterTable& table = engine->table();
    ASSERT_EQ(table.clusterCount(), 1 + 3 + 3 * 2);
    EXPECT_EQ(table.record(0).firstChild, 1);
    EXPECT_EQ(table.record(0).endChild, 4);
    int leafDocs = 0;
    for (int c = 1; c <= 3; ++c) {
        const ClusterRecord& r = table.record(c);
        EXPECT_EQ(r.parent, 0);
        EXPECT_EQ(r.endChild - r.firstChild, 2);
        EXPECT_EQ(table.record(r.firstChild).size + table.record(r.firstChild + 1).size, r.size);
        leafDocs += r.size;
    }
    EXPECT_EQ(leafDocs, 60);
    for (int doc = 0; doc < 60; ++doc)
        EXPECT_GE(table.docCluster(doc), 4);
}

TEST_F(ClusterTest, FailuresAreThrownAsSourceLineAndValue) {
    EXPECT_EQ(failureOf([&] { Cluster(folder.file("missing").c_str(), nullptr); }), "..\\..\\Cluster 45 0\n");
    writeDocuments(folder.file("empty.vec"), {});
    EXPECT_EQ(failureOf([&] { Cluster(folder.file("empty.vec").c_str(), nullptr); }), "..\\..\\Cluster 45 0\n");

    const auto docs = unlabelled(separatedGroups(10, 2, 3, 2));
    auto engine = engineOn(docs);
    EXPECT_EQ(failureOf([&] { engine->openOutput(folder.file("no/such/folder").c_str()); }),
              "..\\..\\Cluster 180 -1\n");

    engine = engineOn(docs);
    engine->clustersPerDepth = {0};
    EXPECT_EQ(failureOf([&] { engine->run(0); }), "..\\..\\Cluster 455 -1\n");
    EXPECT_EQ(failureOf([&] { engine->run(2); }), "..\\..\\Cluster 616 1\n");
    EXPECT_EQ(failureOf([&] { engine->runGraph(5, 1, 1, 0); }), "..\\..\\CluGraph 292 1\n");

    engine = engineOn(docs);
    EXPECT_EQ(failureOf([&] { ClusterInternals::split(*engine, 0, 0); }), "..\\..\\Cluster 415 0\n");
    engine->initMode = 2;
    EXPECT_EQ(failureOf([&] { ClusterInternals::split(*engine, 0, 2); }), "..\\..\\Cluster 421 2\n");
    EXPECT_EQ(failureOf([&] { engine->runGraph(5, 0, 1, 0); }), "..\\..\\CluGraph 45 0\n");
    EXPECT_EQ(failureOf([&] { engine->table().docCluster(10); }), "cluster\\CluHelper 367 10\n");
}

TEST_F(ClusterTest, ResultsComeFromTheRunNotFromFilesChangedAfterIt) {
    const auto docs = unlabelled(separatedGroups(10, 2, 3, 2));
    auto engine = engineOn(docs, folder.file("base").c_str());
    const std::string output = folder.file("out.clusters");
    engine->openOutput(output.c_str());
    engine->clustersPerDepth = {2};
    engine->run(2);
    const auto clusters = allClusters(*engine);
    const std::string inputBytes = readFile(input);

    // Another run's centroid file in its place: the clusters stay this run's.
    {
        DocVec file(output, DOCVEC_FORMAT_BINARY, true);
        for (int id = 0; id < 4; ++id)
            file.writeDoc(id, 0, document({{7, 1.0f}}));
    }
    const auto again = allClusters(*engine);
    ASSERT_EQ(again.size(), 3u);
    for (std::size_t c = 0; c < again.size(); ++c)
        EXPECT_EQ(bytesOf(again[c].centroid), bytesOf(clusters[c].centroid)) << "cluster " << c;
    EXPECT_EQ(failureOf([&] { engine->nextCluster(); }), "cluster\\CluHelper 390 3\n");

    // A document more: the table's documents are never overrun.
    auto more = docs;
    more.push_back(docs[0]);
    writeDocuments(input, more);
    EXPECT_EQ(failureOf([&] { engine->docCount(); }), "..\\..\\Cluster 669 11\n");
    EXPECT_EQ(engine->clusterCount(), 3);
    EXPECT_EQ(failureOf([&] { engine->nextCluster(); }), "cluster\\CluHelper 367 10\n");
    writeFile(input, inputBytes);
    EXPECT_EQ(engine->docCount(), 10);
}

TEST(CheckFailureTest, ValuesBeyondThirtyTwoBitsAreClamped) {
    const std::pair<long long, std::string> cases[] = {
        {-9'000'000'000'000'000'000LL, "-2147483648"}, {INT_MIN, "-2147483648"}, {1LL << 40, "2147483647"}};
    for (const auto& [value, shown] : cases) {
        const ovix::CheckFailure failure(ovix::ClusterCheck::negativeSimilarity, value);
        EXPECT_STREQ(failure.what(), ("..\\..\\Cluster 480 " + shown + "\n").c_str());
        EXPECT_EQ(failure.report(), "..\\..\\Cluster:480: " + shown + "\n");
    }
}

TEST(ClusterTableTest, StoredCentroidsMustBeOfUnitLengthOrEmpty) {
    ClusterTable table(3);
    EXPECT_EQ(table.appendChildren(0, 0), -1);
    EXPECT_EQ(table.appendChildren(0, 2), 1);
    table.setCentroid(1, {});
    table.setCentroid(2, document({{1, 0.6f}, {2, 0.8f}}));
    EXPECT_EQ(failureOf([&] { table.setCentroid(1, document({{1, 0.5f}})); }), "cluster\\CluHelper 445 1\n");
    EXPECT_EQ(failureOf([&] { table.assignChild(0, 0, 2); }), "cluster\\CluHelper 513 3\n");
    EXPECT_EQ(table.record(2).centroid.size(), 2u);
}

}  // namespace

}  // namespace ovix
