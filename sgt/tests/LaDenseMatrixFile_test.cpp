#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "features/DocVec.h"
#include "sgt/LaDenseMatrix.h"
#include "sgt/tests/MatrixFill.h"
#include "testing/BoundedChild.h"

namespace ovix {

namespace {

class DecompositionFileTest : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override { std::remove(path.c_str()); }

    std::string text() const {
        std::ifstream in(path);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    // A file of records with these ids and entries (column, weight).
    void writeRecords(const std::vector<std::pair<int, std::vector<std::pair<std::uint64_t, float>>>>& records) {
        DocVec file(path, static_cast<DocVecFormat>(GetParam()), true);
        for (const auto& [id, entries] : records) {
            std::vector<DocVecI> row;
            for (const auto& [column, weight] : entries) {
                DocVecI entry{};
                std::memcpy(entry.fid.m_fid, &column, sizeof column);
                entry.weight = weight;
                row.push_back(entry);
            }
            file.writeDoc(id, 0, row);
        }
        file.close();
    }

    // Expects readFile to throw a text that holds `words`, with m unchanged.
    template <class T>
    void expectRefused(LaDenseMatrix<T>& m, const char* file, const std::string& words) {
        const auto before = denseOf<T>({{4, 5}});
        ::testing::internal::CaptureStderr();  // DocVec reports its own checks there
        try {
            m.readFile(file, GetParam());
            ADD_FAILURE() << "no error for " << words;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
        ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(holds(m, {{4, 5}}));
    }

    const std::string path = ::testing::TempDir() + "decomposition" + std::to_string(getpid());
};

INSTANTIATE_TEST_SUITE_P(ReadableFormats, DecompositionFileTest,
                         ::testing::Values(DOCVEC_FORMAT_TEXT, DOCVEC_FORMAT_BINARY, DOCVEC_FORMAT_LINES),
                         [](const auto& instance) { return std::to_string(instance.param); });

TEST_P(DecompositionFileTest, RoundTripKeepsEveryElementAsAFloat) {
    // The text formats keep six decimals; the binary one every float.
    const double tiny = GetParam() == DOCVEC_FORMAT_BINARY ? -2.5e-7 : -0.125;
    auto m = denseOf<double>({{0.1, 0, tiny, 3}, {0, 0, 0, 0}, {1e30, -1, 0, 0}, {0, 0, 0, -0.75}});
    m->writeFile(path.c_str(), GetParam());

    auto back = denseOf<float>({{9}});
    back->readFile(path.c_str(), GetParam());
    EXPECT_TRUE(
        holds(*back, {{0.1f, 0, static_cast<float>(tiny), 3}, {0, 0, 0, 0}, {1e30f, -1, 0, 0}, {0, 0, 0, -0.75}}));
    auto doubles = denseOf<double>({});
    doubles->readFile(path.c_str(), GetParam());
    EXPECT_EQ(doubles->get(0, 0), static_cast<double>(0.1f));
    EXPECT_EQ(doubles->get(0, 2), static_cast<double>(static_cast<float>(tiny)));
    EXPECT_EQ(doubles->colCount(), 4);
}

TEST_P(DecompositionFileTest, EmptyRowsAreRecordsWithoutEntries) {
    // The last column is all zeros, so the file names no column beyond 1.
    auto m = denseOf<float>({{0, 0, 0}, {0, 2, 0}, {0, 0, 0}});
    m->writeFile(path.c_str(), GetParam());
    if (GetParam() == DOCVEC_FORMAT_TEXT) {
        EXPECT_EQ(text().substr(text().find('\n') + 1), "0 0 0 0\n1 1 0 1 1:2.000000\n2 2 0 0\n");
    }
    auto back = denseOf<float>({{9}});
    back->readFile(path.c_str(), GetParam());
    EXPECT_TRUE(holds(*back, {{0, 0}, {0, 2}, {0, 0}}));

    LaDenseMatrix<float> zero(1, 5);
    zero.writeFile(path.c_str(), GetParam());
    back->readFile(path.c_str(), GetParam());
    EXPECT_TRUE(holds(*back, {{0}}));

    LaDenseMatrix<double>(0, 3).writeFile(path.c_str(), GetParam());
    back->readFile(path.c_str(), GetParam());
    EXPECT_EQ(back->rowCount(), 0);
    EXPECT_EQ(back->colCount(), 1);
}

TEST_P(DecompositionFileTest, ColumnsComeFromTheLargestIdWhateverTheEntryOrder) {
    writeRecords({{0, {{2, 1}, {1, 2}}}, {1, {{0, -1}}}, {2, {}}});
    auto m = denseOf<double>({{9}});
    m->readFile(path.c_str(), GetParam());
    EXPECT_TRUE(holds(*m, {{0, 2, 1}, {-1, 0, 0}, {0, 0, 0}}));
}

TEST_P(DecompositionFileTest, BadFilesLeaveTheMatrixAsItWas) {
    auto m = denseOf<float>({{4, 5}});
    expectRefused(*m, "/nonexistent-folder/decomposition", "cannot open decomposition file");
    expectRefused(*m, nullptr, "without a name");

    writeRecords({{0, {{0, 1}}}, {2, {{1, 1}}}, {1, {}}});
    expectRefused(*m, path.c_str(), "record 1 has the id 2");

    // A column per eigenvector, a row per document: no column lies beyond the rows.
    writeRecords({{0, {{std::uint64_t{1} << 40, 1}}}});
    expectRefused(*m, path.c_str(), "record 0 has the column 1099511627776, outside 0..0");
    std::vector<std::pair<int, std::vector<std::pair<std::uint64_t, float>>>> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back({i, {{std::uint64_t(i == 9 ? 20000 : 0), 1.0f}}});
    writeRecords(ten);
    expectRefused(*m, path.c_str(), "record 9 has the column 20000, outside 0..9");
    writeRecords({{0, {{0, 1}}}, {1, {{2, 1}}}});
    expectRefused(*m, path.c_str(), "record 1 has the column 2, outside 0..1");

    // A file cut short fails in the reader of the format; a file of lines
    // has no header, so there it is only a shorter file.
    if (GetParam() != DOCVEC_FORMAT_LINES) {
        denseOf<float>({{1, 2}, {3, 4}, {5, 6}})->writeFile(path.c_str(), GetParam());
        const std::string whole = text();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() * 2 / 3);
        expectRefused(*m, path.c_str(), "DocVec: ");
    }
}

// In a child with a time limit: an open that waits never returns.
TEST_P(DecompositionFileTest, FifoIsRefusedWithoutWaiting) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(ovix::testing::outcomeInChild([&] {
                  LaDenseMatrix<float> m(0, 0);
                  m.readFile(path.c_str(), GetParam());
                  return std::string("read");
              }),
              "DocVec: " + path + " is not a regular file");
}

TEST(DecompositionFileWriteTest, FilesThatCannotBeWrittenAreErrors) {
    const auto m = denseOf<double>({{1, 2}});
    EXPECT_THROW(m->writeFile("/nonexistent-folder/decomposition", DOCVEC_FORMAT_BINARY), std::runtime_error);
    EXPECT_THROW(m->writeFile(nullptr, DOCVEC_FORMAT_BINARY), std::runtime_error);
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(m->writeFile("/dev/full", DOCVEC_FORMAT_TEXT), std::runtime_error);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("docVec:"), std::string::npos);
}

}  // namespace

}  // namespace ovix
