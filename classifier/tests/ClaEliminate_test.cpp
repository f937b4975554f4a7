#include <gtest/gtest.h>

#include <algorithm>
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

class NegativeElimination : public ::testing::Test {
protected:
    static void buildGraph(Classifier& engine, const std::vector<Document>& docs) {
        const auto rows = ovix::testing::rowsOf(docs);
        engine.buildKnnGraph(3, static_cast<int>(rows.size()), true, false, 0.0, rows.data());
    }

    // Hands the engine eigenvectors of our making, one vector per column,
    // through a decomposition file.
    void giveEigenvectors(Classifier& engine, const std::vector<std::vector<float>>& columns) const {
        const int n = static_cast<int>(columns[0].size());
        LaDenseMatrix<float> vectors(n, static_cast<int>(columns.size()));
        for (std::size_t c = 0; c < columns.size(); ++c)
            for (int i = 0; i < n; ++i)
                vectors.set(i, static_cast<int>(c), columns[c][static_cast<std::size_t>(i)]);
        const std::string path = folder.file("eigenvectors");
        vectors.writeFile(path.c_str(), 1);
        engine.setDecompositionFile(path, 1);
        ASSERT_EQ(engine.readDecompositionFile(), n);
    }

    ovix::testing::ScratchFolder folder;
};

// Twelve documents of two topics, even and odd, with two eigenvectors of our
// making: the first puts documents 0-5 on the left (negative), the second
// splits each half again; a group two levels down has no eigenvector left.
TEST_F(NegativeElimination, ByEigenvectorsUntilTheyRunOutThenByTheGraph) {
    const std::vector<float> given{1, -1, 0, 1, 1, 0, 1, -1, 0, 0, 1, -1};
    const std::vector<std::vector<float>> columns{
        {-.3f, -.2f, -.1f, -.3f, -.2f, -.1f, 0, .1f, .2f, .3f, .2f, .1f},  // doc 6 exactly 0: right
        {-.1f, -.2f, -.3f, .1f, .2f, .3f, -.1f, -.2f, -.3f, -.4f, 0, .1f},  // doc 10 exactly 0: right
    };
    for (const int verbosity : {1, 0}) {
        CapturedLog captured;
        std::vector<float> labels = given;
        {
            Classifier engine(captured.log(verbosity));
            buildGraph(engine, ovix::testing::topicDocuments(12, 2, 9));
            giveEigenvectors(engine, columns);
            engine.eliminateNegatives(2, 1, 0, labels, true);
        }
        std::vector<float> expected = given;
        expected[1] = 0;
        EXPECT_EQ(labels, expected);
        if (verbosity == 0) {
            EXPECT_EQ(captured.text(), "cluster 6 ran out of eigenvectors, using regular clustering\n");
            continue;
        }
        EXPECT_EQ(captured.text(),
                  "  0.00|MEM: finished creating 3-nn 12x12 graph (requested 3)\n"
                  "  0.00|MEM: starting negative elimination min 2\n"
                  "  0.00|MEM: cluster 1 ntotal 12 numpos 5 numneg 3 going down\n"
                  "  0.00|MEM: cluster 2 ntotal 6 numpos 3 numneg 1 going down\n"
                  "  0.00|MEM: cluster 4 ntotal 3 numpos 1 numneg 1 eliminating 1 negatives\n"
                  "  0.00|MEM: cluster 4 eliminating idx 1\n"
                  "  0.00|MEM: cluster 5 numpos 2 numneg 0 skipping\n"
                  "  0.00|MEM: cluster 3 ntotal 6 numpos 2 numneg 2 going down\n"
                  "  0.00|MEM: cluster 6 ntotal 4 numpos 1 numneg 1 going down\n"
                  "cluster 6 ran out of eigenvectors, using regular clustering\n"
                  // The topics of documents 6-9 share no neighbour.
                  "clustering trivial cut (1/(sqrt(nc)*2) 0.250000 found 0.000000)\n"
                  "  0.00|MEM: cluster 12 numpos 1 numneg 0 skipping\n"
                  "  0.00|MEM: cluster 13 numpos 0 numneg 1 skipping\n"
                  "  0.00|MEM: cluster 7 ntotal 2<1 numpos 1 numneg 1 skipping\n"
                  "  0.00|MEM: finished negative elimination\n"
                  "  0.00|MEM: cleaned up Classifier\n");
    }
}

// What the settings do to the root, the group of all documents: 4 of the 12
// are unlabelled, 8 labelled.
TEST_F(NegativeElimination, TheRootIsSkippedEliminatedOrSplitByTheSettings) {
    const std::vector<float> given{1, -1, 0, 1, 1, 0, 1, -1, 0, 0, 1, -1};
    const std::vector<float> positivesOnly{1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0};
    struct Case {
        int elimMin, elimSkip, elimMaxLabelled;
        std::vector<float> labels, expected;
        std::string lines;  // after the first; the whole log unless the root is split
    };
    const std::vector<Case> cases{
        {100, 0, 0, positivesOnly, positivesOnly, "cluster 1 numpos 5 numneg 0 skipping\n"},
        // Fewer unlabelled documents than elimSkip.
        {100, 5, 0, given, given, "cluster 1 ntotal 12<5 numpos 5 numneg 3 skipping\n"},
        // Fewer than elimMin: every negative goes, in document order.
        {5, 4, 0, given, positivesOnly,
         "cluster 1 ntotal 12 numpos 5 numneg 3 eliminating 3 negatives\n"
         "cluster 1 eliminating idx 1\n"
         "cluster 1 eliminating idx 7\n"
         "cluster 1 eliminating idx 11\n"},
        // Also fewer labelled documents than elimMaxLabelled.
        {5, 0, 9, given, positivesOnly,
         "cluster 1 ntotal 12 numpos 5 numneg 3 eliminating 3 negatives\n"
         "cluster 1 eliminating idx 1\n"
         "cluster 1 eliminating idx 7\n"
         "cluster 1 eliminating idx 11\n"},
        // But not with as many labelled ones: split instead.
        {5, 0, 8, given, {}, "cluster 1 ntotal 12 numpos 5 numneg 3 going down\n"},
    };
    for (const Case& c : cases) {
        CapturedLog captured;
        std::vector<float> labels = c.labels;
        {
            Classifier engine(captured.log(1));
            buildGraph(engine, ovix::testing::topicDocuments(12, 2, 9));
            engine.eliminateNegatives(c.elimMin, c.elimSkip, c.elimMaxLabelled, labels, false);
        }
        const std::string text = std::regex_replace(captured.text(), std::regex(R"(  0\.00\|MEM: )"), "");
        const std::string first = "finished creating 3-nn 12x12 graph (requested 3)\n"
                                  "starting negative elimination min " +
                                  std::to_string(c.elimMin) + "\n";
        if (c.expected.empty()) {
            EXPECT_EQ(text.substr(0, first.size() + c.lines.size()), first + c.lines) << text;
            continue;
        }
        EXPECT_EQ(text, first + c.lines + "finished negative elimination\ncleaned up Classifier\n");
        EXPECT_EQ(labels, c.expected) << text;
    }
}

// Two documents, one positive and one negative, go down the tree together
// while an eigenvector has the same sign on both, along the left edge (nodes
// 2^level) or the right one (2^(level + 1) - 1); the first eigenvector that
// parts them ends the descent. A float logarithm takes 8,192 and 32,768 for
// level 12 and 14, 2^21 - 1 for level 21 and 2^29 - 1 for level 29.
TEST_F(NegativeElimination, TheTreeLevelIsTheExactFloorOfLog2) {
    constexpr int kColumns = 31;
    // A decomposition has fewer eigenvectors than documents: the others,
    // unlabelled, part from the two at the root.
    constexpr std::size_t kDocuments = kColumns + 1;
    for (const bool right : {false, true}) {
        for (const int parting : {12, 13, 14, 20, 21, 27, 28, -1}) {
            const float side = right ? 1.0f : -1.0f;
            std::vector<std::vector<float>> columns(kColumns, std::vector<float>(kDocuments, side));
            std::fill(columns[0].begin() + 2, columns[0].end(), -side);
            if (parting >= 0) {
                columns[static_cast<std::size_t>(parting)][0] = -1;
                columns[static_cast<std::size_t>(parting)][1] = 1;
            }
            CapturedLog captured;
            std::vector<float> labels(kDocuments, 0.0f);
            labels[0] = 1;
            labels[1] = -1;
            {
                Classifier engine(captured.log(1));
                buildGraph(engine, ovix::testing::topicDocuments(static_cast<int>(kDocuments), 2, 9));
                giveEigenvectors(engine, columns);
                engine.eliminateNegatives(0, 0, 0, labels, true);
            }
            labels.resize(2);
            const std::string text = captured.text();
            const long long atLevel = right ? (2LL << 29) - 1 : 1LL << 29;
            if (parting < 0) {
                // 29 levels down, the group is eliminated instead of split.
                EXPECT_EQ(labels, (std::vector<float>{1, 0}));
                EXPECT_NE(text.find("cluster " + std::to_string(atLevel) +
                                    " ntotal 2 numpos 1 numneg 1 eliminating 1 negatives\n"),
                          std::string::npos)
                    << text;
                continue;
            }
            const long long parted = right ? (2LL << parting) - 1 : 1LL << parting;
            EXPECT_EQ(labels, (std::vector<float>{1, -1})) << right << " " << parting;
            EXPECT_NE(text.find("cluster " + std::to_string(parted) + " ntotal 2 numpos 1 numneg 1 going down\n"
                                "  0.00|MEM: cluster " + std::to_string(2 * parted) +
                                " numpos 1 numneg 0 skipping\n"
                                "  0.00|MEM: cluster " + std::to_string(2 * parted + 1) +
                                " numpos 0 numneg 1 skipping\n"),
                      std::string::npos)
                << right << " " << parting << "\n" << text;
            EXPECT_EQ(text.find("eliminating"), std::string::npos) << text;
        }
    }
}

TEST_F(NegativeElimination, CallsThatDoNotFitTheBatchAreRefusedBeforeAnyChange) {
    const std::vector<float> given{1, -1, 0, -1};
    std::vector<float> labels = given;
    CapturedLog captured;
    Classifier engine(captured.log(0));
    EXPECT_EQ(failureOf([&] { engine.eliminateNegatives(5, 0, 0, labels, false); }),
              "no graph to eliminate negatives on: build or read one first");
    buildGraph(engine, ovix::testing::topicDocuments(4, 2, 9));
    std::vector<float> tooFew(3, -1.0f);
    EXPECT_EQ(failureOf([&] { engine.eliminateNegatives(5, 0, 0, tooFew, false); }),
              "3 labels for a graph of 4 documents");
    EXPECT_EQ(failureOf([&] { engine.eliminateNegatives(5, 0, 0, labels, true); }),
              "no eigenvectors to eliminate negatives by: decompose the Laplacian or read a decomposition first");
    giveEigenvectors(engine, {{1, 1, 1}});
    EXPECT_EQ(failureOf([&] { engine.eliminateNegatives(5, 0, 0, labels, true); }),
              "eigenvectors of 3 documents for a graph of 4 documents");
    EXPECT_EQ(labels, given);
    EXPECT_EQ(tooFew, std::vector<float>(3, -1.0f));
    EXPECT_EQ(captured.text(), "");
}

}  // namespace

}  // namespace ovix
