#include "classifier/ClassifierWrapper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sgt/tests/Documents.h"
#include "testing/BoundedChild.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::Document;
using ovix::testing::failureOf;

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ClassifierWrapperTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("classifier_wrapper_" + std::to_string(getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        std::mt19937 random(2);
        docs = ovix::testing::randomDocuments(random, 40, 30, 6);
        rows = ovix::testing::rowsOf(docs);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    std::vector<Document> docs;
    std::vector<_dVec> rows;
};

TEST_F(ClassifierWrapperTest, NeighbourCountIsCheckedBeforeTheTableAndANullTableBuildsNothing) {
    ClassifierWrapper wrapper(0);
    for (const int k : {0, -3}) {
        EXPECT_EQ(failureOf([&] { wrapper.buildKnnGraph(nullptr, 40, k, 0.0); }), "KNN value cannot be -ve");
        EXPECT_EQ(failureOf([&] { wrapper.buildKnnGraph(rows.data(), 40, k, 0.0); }), "KNN value cannot be -ve");
    }
    wrapper.buildKnnGraph(rows.data(), 40, 5, 0.0);
    const LaPlacian<float>* built = wrapper.engine().currentGraph();
    wrapper.buildKnnGraph(nullptr, 40, 5, 0.0);
    EXPECT_EQ(wrapper.engine().currentGraph(), built);
    EXPECT_EQ(built->rowCount(), 40);
}

TEST_F(ClassifierWrapperTest, EngineFailuresArriveBehindTheNameOfTheirStep) {
    ClassifierWrapper wrapper(0);
    std::vector<float> labels(40, 0.0f);
    labels[0] = 1;
    labels[1] = -1;
    EXPECT_EQ(failureOf([&] { wrapper.decomposeLaplacian(5); }),
              "decomposition failed: no graph to decompose: build or read one first");
    EXPECT_EQ(failureOf([&] { wrapper.predict(labels, 10, 0.5, false, ""); }),
              "predict failed: no eigenvectors: decompose the Laplacian or read a decomposition first");
    EXPECT_EQ(failureOf([&] { wrapper.computeClusters(0, 2, 0.0, labels); }), "# clusters <= 0");
    EXPECT_EQ(failureOf([&] { wrapper.computeClusters(2, 2, 0.0, labels); }),
              "clustering failed: no graph to cluster: build or read one first");

    // A pending failure of the elimination is raised once the prediction has
    // run; the prediction's own failure goes first.
    wrapper.buildKnnGraph(rows.data(), 40, 5, 0.0);
    wrapper.decomposeLaplacian(8);
    std::vector<float> tooFew(39, 0.0f);
    const std::string pending = wrapper.eliminateNegatives(tooFew, {});
    EXPECT_EQ(pending, "eliminate negatives failed: 39 labels for a graph of 40 documents");
    std::vector<float> ranks = labels;
    EXPECT_EQ(failureOf([&] { wrapper.predict(ranks, 10, 0.5, false, pending); }), pending);
    EXPECT_NE(ranks, labels);
    EXPECT_EQ(failureOf([&] { wrapper.predict(tooFew, 10, 0.5, false, pending); }),
              "predict failed: 39 labels for 40 documents");
}

TEST_F(ClassifierWrapperTest, TheLogFileIsAppendedToAndClosedAfterTheEnginesLastLine) {
    const auto path = folder / "classifier.log";
    std::ofstream(path) << "earlier line\n";
    {
        ClassifierWrapper wrapper(-1, path.c_str());
        // Time that a timed line would show: the sleep is that time.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        wrapper.buildKnnGraph(rows.data(), 40, 5, 0.0);
        // Unbuffered: the line is there while the wrapper lives.
        EXPECT_NE(fileText(path).find("finished creating 5-nn 40x40 graph (requested 5)\n"), std::string::npos);
    }
    // Untimed by the negative verbosity: every line shows 0.00 seconds.
    std::istringstream lines(fileText(path));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "earlier line");
    std::string last;
    for (; std::getline(lines, line); last = line)
        EXPECT_EQ(line.substr(0, 7), "  0.00|") << line;
    EXPECT_EQ(last.substr(last.find(": ")), ": cleaned up Classifier");
}

TEST_F(ClassifierWrapperTest, APositiveVerbosityTimesItsLines) {
    const auto path = folder / "timed.log";
    {
        ClassifierWrapper wrapper(1, path.c_str());
        // The time that the lines show: the sleep is that time.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    const std::string text = fileText(path);
    ASSERT_EQ(text.find('|'), 6u) << text;
    EXPECT_GE(std::stod(text.substr(0, 6)), 0.03) << text;
}

TEST_F(ClassifierWrapperTest, ALogFileThatCannotBeOpenedLeavesTheLogOnStandardError) {
    ::testing::internal::CaptureStderr();
    { ClassifierWrapper wrapper(1, (folder / "missing" / "classifier.log").c_str()); }
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("cleaned up Classifier\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

// In a child with a time limit: an open that waits never returns.
TEST_F(ClassifierWrapperTest, ALogPathThatIsNoRegularFileIsRefusedWithoutWaiting) {
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, folder.string(), std::string("/dev/null")}) {
        EXPECT_EQ(ovix::testing::outcomeInChild([&] {
                      ClassifierWrapper wrapper(0, path.c_str());
                      return std::string("made");
                  }),
                  "log file " + path + " is not a regular file");
    }
}

}  // namespace

}  // namespace ovix
