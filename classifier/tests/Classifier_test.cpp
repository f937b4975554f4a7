#include "classifier/Classifier.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "classifier/tests/CapturedLog.h"
#include "features/DvecRow.h"
#include "sgt/tests/Documents.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::CapturedLog;
using ovix::testing::Document;

// Two topics of six documents each, ids 1-3 and 4-6, all sharing a faint id
// 9.
std::vector<Document> twoTopics() {
    return ovix::testing::topicDocuments(12, 2, 9);
}

// Labels of the two topics: one given per topic, the rest 0.
std::vector<float> oneLabelPerTopic(int n) {
    std::vector<float> labels(static_cast<std::size_t>(n), 0.0f);
    labels[0] = 1;
    labels[1] = -1;
    return labels;
}

int buildGraph(Classifier& engine, const std::vector<Document>& docs, int k, bool normalize = true,
               bool symmetric = false) {
    const auto rows = ovix::testing::rowsOf(docs);
    return engine.buildKnnGraph(k, static_cast<int>(rows.size()), normalize, symmetric, 0.0, rows.data());
}

using ovix::testing::failureOf;

TEST(ClassifierTest, LogLinesOfAGraphItsDecompositionAndAPrediction) {
    CapturedLog captured;
    std::vector<float> labels = oneLabelPerTopic(12);
    labels[4] = 1;
    {
        Classifier engine(captured.log(2));
        // Six neighbours: one of them from the other topic.
        EXPECT_EQ(buildGraph(engine, twoTopics(), 6), 6);
        EXPECT_EQ(engine.decomposeLaplacian(20), 12);
        EXPECT_EQ(engine.predict(labels, 10, 0.5f, false), 0);
    }
    EXPECT_EQ(captured.text(),
              "           ...0\n"
              "  0.00|MEM: finished creating 6-nn 12x12 graph (requested 6)\n"
              "  0.00|MEM: requested 20 eigenvalues, reset to 11\n"
              "  0.00|MEM: created normalized Laplacian of size 12x12\n"
              "  0.00|MEM: solving using LAPACK\n"
              "  0.00|MEM: requested 11 eigenvalues, 11 converged\n"
              "  0.00|MEM:            0.000000 0.000146 1.186395 1.187079 1.197432 1.199371 1.202163 1.202883 "
              "1.204323 1.204868 1.206954 \n"
              "  0.00|MEM: decomposition finished; 10 eigenvectors of dimension 12\n"
              "  0.00|MEM: 12 documents, 10 eigenvalues and 12 learned items\n"
              "  0.00|MEM: 2 positive and 1 negative samples\n"
              "  0.00|MEM: starting second eigensolver\n"
              "  0.00|MEM: lowest eigenvalue of block matrix lambda* = 1.000119 lowest eigenvalue of G = 2.348940\n"
              "  0.00|MEM: inversion done\n"
              "  0.00|MEM:    p.. actual p = 0.500000 vs. estimated p = 0.500000 (training error = 0) \n"
              "  0.00|MEM:   c.. c = 10 (trying up to 10)\n"
              "  0.00|MEM: prediction finished: training error 0\n"
              "  0.00|MEM: cleaned up Classifier\n");
    // The topics are told apart.
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(labels[static_cast<std::size_t>(i)] > 0, i % 2 == 0) << i;
}

TEST(ClassifierTest, TheSolverFollowsTheEigenpairsAskedAndTheGraphsFlags) {
    std::mt19937 random(5);
    const auto docs = ovix::testing::randomDocuments(random, 100, 60, 8);
    const auto solverLine = [&](int nEigen, bool normalize, bool symmetric) {
        CapturedLog captured;
        {
            Classifier engine(captured.log(1));
            buildGraph(engine, docs, 6, normalize, symmetric);
            engine.decomposeLaplacian(nEigen);
        }
        const std::string text = captured.text();
        const auto at = text.find("solving using ");
        return at == std::string::npos ? text : text.substr(at, text.find('\n', at) - at);
    };
    EXPECT_EQ(solverLine(24, true, false), "solving using ARPACK (symmetric=0)");
    EXPECT_EQ(solverLine(24, true, true), "solving using ARPACK (symmetric=1)");
    EXPECT_EQ(solverLine(25, true, false), "solving using LAPACK");
    EXPECT_EQ(solverLine(25, true, true), "solving using symmetric LAPACK");
    EXPECT_EQ(solverLine(5, false, false), "solving using LAPACK");
    EXPECT_EQ(solverLine(5, false, true), "solving using symmetric LAPACK");
}

TEST(ClassifierTest, CallsOutOfOrderOrThatDoNotFitTheBatchAreRefused) {
    CapturedLog captured;
    Classifier engine(captured.log(0));
    std::vector<float> labels = oneLabelPerTopic(12);

    EXPECT_EQ(failureOf([&] { engine.predict(labels, 10, 0.5f, false); }),
              "no eigenvectors: decompose the Laplacian or read a decomposition first");
    EXPECT_EQ(failureOf([&] { engine.decomposeLaplacian(4); }), "no graph to decompose: build or read one first");
    EXPECT_EQ(failureOf([&] { engine.writeGraphFile(); }), "no graph to write");
    EXPECT_EQ(failureOf([&] { engine.writeDecompositionFile(); }), "no decomposition to write");
    EXPECT_EQ(failureOf([&] { engine.buildKnnGraph(3, 5, true, false, 0, nullptr); }), "no document table of 5 rows");

    const auto docs = twoTopics();
    for (const int n : {0, 1, 2}) {
        const std::vector<Document> few(docs.begin(), docs.begin() + n);
        buildGraph(engine, few, 3);
        EXPECT_EQ(failureOf([&] { engine.decomposeLaplacian(4); }),
                  "a graph of " + std::to_string(n) + " documents cannot be decomposed: 3 or more are needed");
    }
    buildGraph(engine, twoTopics(), 3);
    for (const int nEigen : {-1, 0, 1})
        EXPECT_EQ(failureOf([&] { engine.decomposeLaplacian(nEigen); }),
                  "requested " + std::to_string(nEigen) + " eigenvalues: 2 or more are needed");
    // The refusals left the graph a graph: its Laplacian is built only now.
    engine.decomposeLaplacian(4);
    EXPECT_EQ(engine.currentEigenvectors()->colCount(), 3);
    EXPECT_EQ(engine.currentGraph()->get(0, 0), 1.0f);

    std::vector<float> short_(11, 0.0f);
    short_[0] = 1;
    short_[1] = -1;
    EXPECT_EQ(failureOf([&] { engine.predict(short_, 10, 0.5f, false); }), "11 labels for 12 documents");
    std::vector<float> positivesOnly(12, 0.0f);
    positivesOnly[0] = positivesOnly[2] = 1;
    for (const float p : {0.0f, 0.5f, -0.5f})
        EXPECT_EQ(failureOf([&] { engine.predict(positivesOnly, 10, p, false); }),
                  "labels of both classes are needed, not 2 positive and 0 negative");
    std::vector<float> unlabelled(12, 0.0f);
    EXPECT_EQ(failureOf([&] { engine.predict(unlabelled, 10, 0.5f, false); }),
              "labels of both classes are needed, not 0 positive and 0 negative");
    for (const float p : {1.0f, -1.0f, 2.0f, NAN})
        EXPECT_EQ(failureOf([&] { engine.predict(labels, 10, p, false); }).substr(0, 4), "p = ") << p;
    EXPECT_EQ(failureOf([&] { engine.predict(labels, INFINITY, 0.5f, false); }), "c = inf is not a finite number");
    EXPECT_EQ(labels, oneLabelPerTopic(12));
}

TEST(ClassifierTest, AFailedFirstSolveZeroesTheLabels) {
    // With no cost the targets weigh nothing: lambda* is the smallest element
    // of the spectrum, 1, and G - lambda* I is singular.
    Classifier engine(ovix::ClassifierLog(0, nullptr, std::nullopt));
    const auto docs = twoTopics();
    buildGraph(engine, std::vector<Document>(docs.begin(), docs.begin() + 3), 2);
    engine.decomposeLaplacian(2);
    std::vector<float> labels{1, -1, 0};
    EXPECT_EQ(failureOf([&] { engine.predict(labels, 0, 0.5f, false); }),
              "inverting G failed: sgt/LaDenseMatrix.h: 103: dgetrf failed: 1");
    EXPECT_EQ(labels, std::vector<float>(3, 0.0f));
}

TEST(ClassifierTest, GraphWithoutEdgesClassifiesWithEveryEigenvector) {
    // Documents that share no feature: the Laplacian is 0, its second
    // smallest eigenvalue too.
    std::vector<Document> apart;
    for (std::uint64_t i = 0; i < 5; ++i)
        apart.push_back(ovix::testing::document({{i + 1, 1.0f}}));
    CapturedLog captured;
    Classifier engine(captured.log(2));
    buildGraph(engine, apart, 2, true, true);
    engine.decomposeLaplacian(3);
    std::vector<float> labels{1, -1, 0, 0, 0};
    engine.predict(labels, 10, 0.5f, false);
    EXPECT_NE(captured.text().find("disconnected matrix; using all eigenvectors\n"), std::string::npos);
    EXPECT_NE(captured.text().find("5 documents, 3 eigenvalues and 5 learned items\n"), std::string::npos);
}

TEST(ClassifierTest, GraphAndDecompositionFilesComeBackAsTheyWereWritten) {
    const auto folder = std::filesystem::temp_directory_path() / ("classifier_files_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    Classifier engine(ovix::ClassifierLog(0, nullptr, std::nullopt));
    buildGraph(engine, twoTopics(), 3);
    const LaPlacian<float>& built = *engine.currentGraph();
    std::vector<std::vector<float>> weights(12, std::vector<float>(12));
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 12; ++j)
            weights[i][j] = built.get(i, j);

    for (const int format : {2, 1}) {
        const auto path = (folder / ("graph" + std::to_string(format))).string();
        engine.setGraphFile(path, format, 1, 0);
        engine.writeGraphFile();
        EXPECT_EQ(engine.readGraphFile(), 12);
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 12; ++j)
                EXPECT_NEAR(engine.currentGraph()->get(i, j), weights[i][j], 1e-6) << format;
        EXPECT_EQ(engine.graphLabels().size(), format == 2 ? 0u : 12u);
    }

    engine.decomposeLaplacian(5);
    const auto valuesOf = [](const LaDenseMatrix<float>& m) {
        std::vector<float> values;
        for (int i = 0; i < m.rowCount(); ++i)
            for (int j = 0; j < m.colCount(); ++j)
                values.push_back(m.get(i, j));
        return values;
    };
    const auto written = valuesOf(*engine.currentEigenvectors());
    engine.setDecompositionFile((folder / "decomposition").string(), 1);
    engine.writeDecompositionFile();
    buildGraph(engine, twoTopics(), 3);
    engine.decomposeLaplacian(3);
    EXPECT_EQ(engine.readDecompositionFile(), 12);
    EXPECT_EQ(engine.currentEigenvectors()->colCount(), 4);
    EXPECT_EQ(valuesOf(*engine.currentEigenvectors()), written);

    // A graph read from its file holds no decomposition: the prediction takes
    // the eigenvectors read.
    engine.setGraphFile((folder / "graph1").string(), 1, 1, 0);
    engine.readGraphFile();
    std::vector<float> labels = oneLabelPerTopic(12);
    engine.predict(labels, 10, 0.5f, false);
    EXPECT_GT(labels[2], 0);
    EXPECT_LT(labels[3], 0);

    // Failed reads: no graph is left, the eigenvectors stay.
    engine.setGraphFile((folder / "missing").string(), 2, 1, 0);
    EXPECT_THROW(engine.readGraphFile(), std::runtime_error);
    EXPECT_EQ(engine.currentGraph(), nullptr);
    engine.setDecompositionFile((folder / "missing").string(), 1);
    EXPECT_THROW(engine.readDecompositionFile(), std::runtime_error);
    EXPECT_EQ(valuesOf(*engine.currentEigenvectors()), written);
    std::filesystem::remove_all(folder);
}

TEST(ClassifierLogTest, AWorkingSetBeyond2GiBIsPrintedWhole) {
    constexpr std::size_t size = (std::size_t{2} << 30) + (std::size_t{64} << 20);
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    const std::string prefix = ovix::ClassifierLog().prefix();
    munmap(block, size);
    ASSERT_EQ(prefix.substr(0, 7), "  0.00|");
    EXPECT_GE(std::stoll(prefix.substr(7)), static_cast<long long>(size)) << prefix;
}

}  // namespace

}  // namespace ovix
