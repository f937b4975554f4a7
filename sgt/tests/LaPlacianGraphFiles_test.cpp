#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "features/DocVec.h"
#include "sgt/LaPlacian.h"
#include "sgt/tests/Documents.h"
#include "testing/BoundedChild.h"
#include "testing/DocVecFiles.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::outcomeInChild;
using ovix::testing::readFile;
using ovix::testing::ScratchFolder;
using ovix::testing::writeFile;

template <class T>
class GraphFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(GraphFileTest, ElementTypes);

// Row 0 -> 1 (0.5) and 3 (1/3), row 1 -> 0 (0.25), row 2 empty, row 3 -> 3.
template <class T>
void fill(LaPlacian<T>& graph) {
    graph.set(0, 1, T(0.5));
    graph.set(0, 3, T(1) / 3);
    graph.set(1, 0, T(0.25));
    graph.set(3, 3, T(-2));
}

template <class T>
void expectSameRows(const LaPlacian<T>& a, const LaPlacian<T>& b, double tolerance) {
    ASSERT_EQ(a.rowCount(), b.rowCount());
    for (int i = 0; i < a.rowCount(); ++i) {
        ASSERT_EQ(a.row(i).size(), b.row(i).size()) << "row " << i;
        for (const auto& [j, w] : a.row(i))
            EXPECT_NEAR(b.get(i, j), w, tolerance) << "(" << i << ", " << j << ")";
    }
}

TYPED_TEST(GraphFileTest, TextFormRoundTripsToSixDecimals) {
    LaPlacian<TypeParam> graph(4, 4, 1, 0, 1);
    fill(graph);
    const std::string path = this->folder.file("graph.txt");
    EXPECT_EQ(graph.writeGraphText(path.c_str()), 1);
    EXPECT_EQ(readFile(path), "4\n4\n1 2 0.500000\n1 4 0.333333\n2 1 0.250000\n4 4 -2.000000\n");

    LaPlacian<TypeParam> read(1, 0, 1);
    EXPECT_EQ(read.readGraphText(path.c_str()), 1);
    EXPECT_EQ(read.rowCount(), 4);
    EXPECT_EQ(read.colCount(), 4);
    EXPECT_EQ(read.get(3, 3), TypeParam(2));  // the absolute value
    graph.set(3, 3, 2);
    expectSameRows(graph, read, 5e-7);
}

TYPED_TEST(GraphFileTest, TextReaderTakesFieldsNotLines) {
    const std::string path = this->folder.file("fields.txt");
    writeFile(path, "2 3   1 2 0.5 2\n1\n0.25e0 2 2 0\n");
    LaPlacian<TypeParam> graph(0, 0, 0);
    graph.readGraphText(path.c_str());
    EXPECT_EQ(graph.get(0, 1), TypeParam(0.5));
    EXPECT_EQ(graph.get(1, 0), TypeParam(0.25));
    EXPECT_TRUE(graph.row(1).count(1) == 0);  // a weight of 0 stores nothing

    writeFile(path, "3\n0\n");
    graph.readGraphText(path.c_str());
    EXPECT_EQ(graph.rowCount(), 3);
    EXPECT_TRUE(graph.row(2).empty());
    // A graph without entries is written as its counts alone.
    graph.writeGraphText(path.c_str());
    EXPECT_EQ(readFile(path), "3\n0\n");
}

TYPED_TEST(GraphFileTest, BadTextFilesThrowAndLeaveTheGraphAsItWas) {
    const std::string path = this->folder.file("bad.txt");
    LaPlacian<TypeParam> graph(4, 4, 1, 0, 1);
    fill(graph);
    const std::vector<std::pair<std::string, std::string>> bad{
        {"", "is empty"},
        {"  \n", "is empty"},
        {"x\n", "does not begin with a row count"},
        {"-1\n0\n", "has a negative row count -1"},
        {"2\n", "has no entry count"},
        {"2\n-1\n", "has a negative entry count -1"},
        {"4097\n0\n", "has the row count 4097, more than a file of 7 bytes can hold"},
        {"2\n1\n", "ends after 0 entries"},
        {"2\n2\n1 2 0.5\n", "ends after 1 entries"},
        {"2\n1\n1 2\n", "ends after 0 entries"},
        {"2\n1\n0 1 0.5\n", "entry 1 has the row 0, outside 1..2"},
        {"2\n1\n3 1 0.5\n", "entry 1 has the row 3, outside 1..2"},
        {"2\n1\n1 3 0.5\n", "entry 1 has the column 3, outside 1..2"},
        {"2\n1\n1 x 0.5\n", "entry 1 has no column number"},
        {"2\n1\n1 2 zero\n", "entry 1 has no weight"},
    };
    for (const auto& [text, problem] : bad) {
        writeFile(path, text);
        try {
            graph.readGraphText(path.c_str());
            ADD_FAILURE() << "read " << ::testing::PrintToString(text);
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), "graph file " + path + ": " + problem);
        }
        EXPECT_EQ(graph.rowCount(), 4);
        EXPECT_EQ(graph.get(0, 1), TypeParam(0.5));
    }
    EXPECT_THROW(graph.readGraphText(this->folder.file("missing.txt").c_str()), std::runtime_error);
    EXPECT_THROW(graph.readGraphText(nullptr), std::runtime_error);
    EXPECT_EQ(graph.rowCount(), 4);
}

TYPED_TEST(GraphFileTest, DocVecFormRoundTripsWithLabels) {
    LaPlacian<TypeParam> graph(4, 4, 1, 0, 1);
    fill(graph);
    const std::vector<int> labels{1, -1, 0};  // row 3 has none: label 0
    for (const DocVecFormat format : {DOCVEC_FORMAT_TEXT, DOCVEC_FORMAT_BINARY, DOCVEC_FORMAT_LINES}) {
        const std::string path = this->folder.file("graph" + std::to_string(format));
        EXPECT_EQ(graph.writeGraphDocVec(path.c_str(), format, labels), 1);
        LaPlacian<TypeParam> read(1, 0, 1);
        std::vector<int> readLabels;
        EXPECT_EQ(read.readGraphDocVec(path.c_str(), format, &readLabels), 4);
        // Binary weights are floats; the text formats keep six decimals.
        expectSameRows(graph, read, format == DOCVEC_FORMAT_BINARY ? 1e-7 : 5e-7);
        if (format != DOCVEC_FORMAT_LINES) {  // that format keeps no labels
            EXPECT_EQ(readLabels, (std::vector<int>{1, -1, 0, 0}));
        }
    }
}

TYPED_TEST(GraphFileTest, DocVecRowsComeFromRecordPositions) {
    const std::string path = this->folder.file("positions.bin");
    {
        DocVec file(path, DOCVEC_FORMAT_BINARY, true);
        const auto first = ovix::testing::document({{1, 0.5f}});
        const auto second = ovix::testing::document({{0, 2}, {1, 0}});
        file.writeDoc(7, 3, first);  // record 0 whatever its id
        file.writeDoc(5, 4, second);
    }
    LaPlacian<TypeParam> graph(0, 0, 0);
    std::vector<int> labels;
    EXPECT_EQ(graph.readGraphDocVec(path.c_str(), DOCVEC_FORMAT_BINARY, &labels), 2);
    EXPECT_EQ(graph.get(0, 1), TypeParam(0.5));
    EXPECT_EQ(graph.get(1, 0), TypeParam(2));
    EXPECT_EQ(graph.row(1).size(), 1u);  // a weight of 0 stores nothing
    EXPECT_EQ(labels, (std::vector<int>{3, 4}));
}

TYPED_TEST(GraphFileTest, BadDocVecFilesThrowAndLeaveTheGraphAsItWas) {
    LaPlacian<TypeParam> graph(4, 4, 1, 0, 1);
    fill(graph);
    std::vector<int> labels{9};
    EXPECT_THROW(graph.readGraphDocVec(this->folder.file("missing").c_str(), DOCVEC_FORMAT_BINARY, &labels),
                 std::runtime_error);

    const std::string path = this->folder.file("wide.bin");
    // Column 2 of a 2 x 2 graph, and one that is column 1 in its low 32 bits.
    for (const std::uint64_t column : {std::uint64_t{2}, (std::uint64_t{1} << 32) + 1}) {
        {
            DocVec file(path, DOCVEC_FORMAT_BINARY, true);
            file.writeDoc(0, 0, ovix::testing::document({{1, 1}}));
            file.writeDoc(1, 0, ovix::testing::document({{column, 1}}));
        }
        EXPECT_EQ(ovix::testing::failureOf([&] { graph.readGraphDocVec(path.c_str(), DOCVEC_FORMAT_BINARY, &labels); }),
                  "graph file " + path + ": record 1 has the column " + std::to_string(column) + ", outside 0..1");
    }
    writeFile(path, readFile(path).substr(0, 30));  // cut inside a record
    EXPECT_THROW(graph.readGraphDocVec(path.c_str(), DOCVEC_FORMAT_BINARY, &labels), DocVecError);
    EXPECT_EQ(graph.rowCount(), 4);
    EXPECT_EQ(graph.get(0, 1), TypeParam(0.5));
    EXPECT_EQ(labels, std::vector<int>{9});
}

// Each in a child under a memory and a time limit: a row table sized by the
// count alone, an endless stream or an open that waits would never finish.
TYPED_TEST(GraphFileTest, HostileFilesAreRefusedBeforeTheyCostAnything) {
    const std::string path = this->folder.file("hostile");
    const std::string fifo = this->folder.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto read = [](const std::string& file, int format) {
        return outcomeInChild([&] {
            LaPlacian<TypeParam> graph(1, 0, 1);
            if (format == 2)
                graph.readGraphText(file.c_str());
            else
                graph.readGraphDocVec(file.c_str(), format);
            return "read " + std::to_string(graph.rowCount()) + " rows";
        });
    };
    writeFile(path, "100000000\n0\n");
    EXPECT_EQ(read(path, 2),
              "graph file " + path + ": has the row count 100000000, more than a file of 12 bytes can hold");
    writeFile(path, "4096\n0\n");
    EXPECT_EQ(read(path, 2), "read 4096 rows");
    for (const std::string& other : {std::string("/dev/zero"), fifo})
        EXPECT_EQ(read(other, 2), "graph file " + other + ": is not a regular file");
    EXPECT_EQ(read(fifo, DOCVEC_FORMAT_BINARY), "DocVec: " + fifo + " is not a regular file");
}

TYPED_TEST(GraphFileTest, WritingNeedsRowsAndAFile) {
    LaPlacian<TypeParam> empty(1, 0, 1);
    const std::string path = this->folder.file("never");
    EXPECT_THROW(empty.writeGraphText(path.c_str()), std::runtime_error);
    EXPECT_THROW(empty.writeGraphDocVec(path.c_str(), DOCVEC_FORMAT_BINARY), std::runtime_error);
    LaPlacian<TypeParam> graph(2, 2, 1, 0, 1);
    const std::string nowhere = this->folder.file("no/such/folder/graph");
    EXPECT_THROW(graph.writeGraphText(nowhere.c_str()), std::runtime_error);
    EXPECT_THROW(graph.writeGraphDocVec(nowhere.c_str(), DOCVEC_FORMAT_BINARY), std::runtime_error);
}

}  // namespace

}  // namespace ovix
