#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "classifier/Classifier.h"
#include "classifier/tests/CapturedLog.h"
#include "sgt/tests/Documents.h"
#include "testing/DocVecFiles.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::CapturedLog;
using ovix::testing::Document;
using ovix::testing::failureOf;

class RankClustering : public ::testing::Test {
protected:
    // Gives the engine the graph of weights w(i, j), through a
    // document-vector graph file (which keeps the weights' signs), with the
    // flags normalize and symmetric.
    void readGraph(Classifier& engine, const std::vector<std::vector<float>>& w, int normalize, int symmetric) const {
        const int n = static_cast<int>(w.size());
        LaPlacian<float> graph(n, n, normalize, symmetric, normalize);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                graph.set(i, j, w[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        const std::string path = folder.file("graph");
        graph.writeGraphDocVec(path.c_str(), 1);
        engine.setGraphFile(path, 1, normalize, symmetric);
        ASSERT_EQ(engine.readGraphFile(), n);
    }

    ovix::testing::ScratchFolder folder;
};

// Three topics of eight documents each, unit length; document 24 is a copy
// of document 0.
std::vector<Document> threeTopicsAndACopy() {
    std::vector<Document> docs = ovix::testing::topicDocuments(24, 3, 10);
    docs.push_back(docs[0]);
    for (Document& d : docs) {
        float squares = 0;
        for (const DocVecI& e : d)
            squares += e.weight * e.weight;
        for (DocVecI& e : d)
            e.weight /= std::sqrt(squares);
    }
    return docs;
}

TEST_F(RankClustering, TopRankedDocumentsAreGroupedByTopic) {
    const auto docs = threeTopicsAndACopy();
    const auto rows = ovix::testing::rowsOf(docs);
    // Every fifth document ranks below the threshold, 0.5; document 1 ranks
    // at it.
    std::vector<float> ranks;
    for (int i = 0; i < 25; ++i)
        ranks.push_back(i % 5 == 4 ? 0.4f : 0.6f + 0.01f * static_cast<float>(i));
    ranks[1] = 0.5f;

    CapturedLog captured;
    std::vector<int> ids(25);
    {
        Classifier engine(captured.log(2));
        engine.buildKnnGraph(8, 25, true, false, 0.9999, rows.data());
        engine.decomposeLaplacian(6);
        EXPECT_EQ(engine.diversify(3, 2, 0.5f, ranks, ids), 3);
    }
    const std::string text = captured.text();
    EXPECT_EQ(text.substr(text.find("starting diversification")),
              "starting diversification on top 20 documents into 3 clusters (n>6>2)\n"
              "      eliminated document 24 (similar to 0 by 1.000)\n"
              "  0.00|MEM:   selected cluster 0 (n=20, minsize=6) to split\n"
              // One topic shares no edge with the others: a trivial cut.
              "clustering trivial cut (1/(sqrt(nc)*2) 0.111803 found 0.000000)\n"
              "  0.00|MEM:     split cluster 0 (n=20) into 0 (n=13) and 1 (n=7), ncut 0.00\n"
              "  0.00|MEM:   selected cluster 0 (n=13, minsize=6) to split\n"
              "  0.00|MEM:     split cluster 0 (n=13) into 0 (n=7) and 2 (n=6), ncut 0.00\n"
              "  0.00|MEM:   reduced working  minsize to 4 (limit 2)\n"
              "  0.00|MEM: split ranks > 0.50 into 3 clusters (requested 3)\n"
              "  0.00|MEM: cleaned up Classifier\n");
    // A cluster per topic; -1 below the threshold, -2 for the copy.
    std::vector<int> clusterOfTopic(3, -3);
    for (int i = 0; i < 24; ++i) {
        if (i % 5 == 4) {
            EXPECT_EQ(ids[i], -1) << i;
            continue;
        }
        int& cluster = clusterOfTopic[static_cast<std::size_t>(i % 3)];
        if (cluster == -3)
            cluster = ids[i];
        EXPECT_EQ(ids[i], cluster) << i;
    }
    EXPECT_EQ(ids[24], -2);
    std::sort(clusterOfTopic.begin(), clusterOfTopic.end());
    EXPECT_EQ(clusterOfTopic, (std::vector<int>{0, 1, 2}));
}

// Weights w(i, j) of two cliques, of `big` nodes and of the rest, weight 1
// inside each; between them `out` from the big one, `in` into it.
std::vector<std::vector<float>> twoCliques(int n, int big, float out, float in) {
    std::vector<std::vector<float>> w(static_cast<std::size_t>(n), std::vector<float>(static_cast<std::size_t>(n)));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (i != j)
                w[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
                    (i < big) == (j < big) ? 1.0f : i < big ? out : in;
    return w;
}

std::string withoutPrefixes(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(  0\.00\|MEM: )"), "");
}

// Negative weights between the parts make the normalised cut negative. A
// refused cut must still keep its cluster from being chosen again at the
// same minimum size, or the same cut is tried for ever.
TEST_F(RankClustering, ARefusedCutIsNotTriedAgainAtTheSameMinimumSize) {
    const std::string start = "starting diversification on top 6 documents into 2 clusters (n>3>";
    const std::string refused = "  selected cluster 0 (n=6, minsize=3) to split\n"
                                "    did not split cluster 0 (n=6) (sizes 2/4 < 3), ncut = -1.19\n";
    const struct {
        int minSize, made;
        std::string log;
        std::vector<int> ids;
    } cases[]{
        {3, 1,
         start + "3)\n" + refused +
             "  reduced working  minsize to 2 (limit 3)\n"
             "split ranks > 0.00 into 1 clusters (requested 2)\n",
         {0, 0, 0, 0, 0, 0}},
        // Tried again once the minimum size has shrunk.
        {2, 2,
         start + "2)\n" + refused +
             "  reduced working  minsize to 2 (limit 2)\n"
             "  selected cluster 0 (n=6, minsize=2) to split\n"
             "    split cluster 0 (n=6) into 0 (n=2) and 1 (n=4), ncut -1.19\n"
             "  reduced working  minsize to 1 (limit 2)\n"
             "split ranks > 0.00 into 2 clusters (requested 2)\n",
         {1, 1, 1, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        CapturedLog captured;
        std::vector<int> ids(6);
        {
            Classifier engine(captured.log(2));
            readGraph(engine, twoCliques(6, 4, -1.0f, 1.1f), 1, 0);
            EXPECT_EQ(engine.diversify(2, c.minSize, 0.0f, std::vector<float>(6, 1.0f), ids), c.made);
        }
        EXPECT_EQ(withoutPrefixes(captured.text()), c.log + "cleaned up Classifier\n");
        EXPECT_EQ(ids, c.ids);
    }
}

// Every cut of a clique with a pair hanging off it parts the pair: refused
// at every working minimum size, which shrinks by a quarter a pass until it
// falls below the limit.
TEST_F(RankClustering, TheWorkingMinimumShrinksByAQuarterUntilItFallsBelowTheLimit) {
    CapturedLog captured;
    std::vector<int> ids(100);
    {
        Classifier engine(captured.log(2));
        readGraph(engine, twoCliques(100, 98, 0.01f, 0.01f), 1, 0);
        EXPECT_EQ(engine.diversify(4, 5, 0.0f, std::vector<float>(100, 1.0f), ids), 1);
    }
    std::string expected = "starting diversification on top 100 documents into 4 clusters (n>25>5)\n";
    for (const auto& [size, smaller] : {std::pair{25, 18}, {18, 13}, {13, 9}, {9, 6}, {6, 4}})
        expected += ovix::formatText("  selected cluster 0 (n=100, minsize=%d) to split\n"
                                     "    did not split cluster 0 (n=100) (sizes 2/98 < %d), ncut = 0.50\n"
                                     "  reduced working  minsize to %d (limit 5)\n",
                                     size, size, smaller);
    expected += "split ranks > 0.00 into 1 clusters (requested 4)\ncleaned up Classifier\n";
    EXPECT_EQ(withoutPrefixes(captured.text()), expected);
    EXPECT_EQ(ids, std::vector<int>(100, 0));
}

// One cluster asked for: no split; a rank equal to the threshold counts as
// reaching it, and a graph without duplicate records marks none.
TEST_F(RankClustering, OneClusterTakesEveryDocumentAtOrAboveTheThreshold) {
    CapturedLog captured;
    std::vector<int> ids(6);
    {
        Classifier engine(captured.log(2));
        readGraph(engine, twoCliques(6, 3, 0.5f, 0.5f), 1, 0);
        EXPECT_EQ(engine.diversify(1, 0, 0.5f, std::vector<float>{0.5f, 0.4f, 0.9f, -1.0f, 0.6f, 0.49f}, ids), 1);
    }
    EXPECT_EQ(withoutPrefixes(captured.text()),
              "starting diversification on top 3 documents into 1 clusters (n>3>1)\n"
              "split ranks > 0.50 into 1 clusters (requested 1)\n"
              "cleaned up Classifier\n");
    EXPECT_EQ(ids, (std::vector<int>{0, -1, 0, -1, 0, -1}));
}

TEST_F(RankClustering, CallsThatDoNotFitTheGraphAreRefusedBeforeAnyChange) {
    CapturedLog captured;
    Classifier engine(captured.log(0));
    const std::vector<float> ranks(6, 1.0f);
    std::vector<int> ids(6, 7);
    EXPECT_EQ(failureOf([&] { engine.diversify(2, 1, 0.5f, ranks, ids); }),
              "no graph to cluster: build or read one first");
    readGraph(engine, twoCliques(6, 3, 0.5f, 0.5f), 1, 0);
    EXPECT_EQ(failureOf([&] { engine.diversify(0, 1, 0.5f, ranks, ids); }),
              "0 clusters requested: 1 or more are needed");
    EXPECT_EQ(failureOf([&] { engine.diversify(2, 1, 0.5f, std::vector<float>(5, 1.0f), ids); }),
              "5 ranks for a graph of 6 documents");
    std::vector<int> fewIds(5, 7);
    EXPECT_EQ(failureOf([&] { engine.diversify(2, 1, 0.5f, ranks, fewIds); }), "5 cluster ids for 6 ranks");
    EXPECT_EQ(ids, std::vector<int>(6, 7));
    EXPECT_EQ(fewIds, std::vector<int>(5, 7));
    EXPECT_EQ(captured.text(), "");
}

}  // namespace

}  // namespace ovix
