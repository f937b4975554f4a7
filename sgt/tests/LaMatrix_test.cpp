#include "sgt/LaMatrix.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "sgt/LaDenseMatrix.h"
#include "sgt/LaVector.h"
#include "sgt/tests/InvariantReport.h"
#include "sgt/tests/MatrixFill.h"

namespace ovix {

namespace {

template <class T>
class LaMatrixTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LaMatrixTest, ElementTypes);

// What print writes to a stream.
template <class T>
std::string printed(const LaMatrix<T>& m) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&text, &size);
    m.print(f);
    std::fclose(f);
    std::string result(text, size);
    std::free(text);
    return result;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tempPath(const char* name) {
    return ::testing::TempDir() + name + std::to_string(getpid());
}

TYPED_TEST(LaMatrixTest, ElementWiseOperationsVisitEveryElement) {
    auto m = denseOf<TypeParam>({{1, -2, 3}, {0, 4.5, -6}});
    m->scale(2);
    m->addScalar(-1);
    EXPECT_TRUE(holds(*m, {{1, -5, 5}, {-1, 8, -13}}));
    // The range [-13, 8] onto [0, 21].
    m->rescale(0, 21);
    EXPECT_TRUE(holds(*m, {{14, 8, 18}, {12, 21, 0}}));
    m->fill(0.25);
    m->rescale(-1, 1);  // all equal: all the low end
    EXPECT_TRUE(holds(*m, {{-1, -1, -1}, {-1, -1, -1}}));
}

TYPED_TEST(LaMatrixTest, ProductsOfMismatchedShapesAreBrokenInvariants) {
    LaDenseMatrix<TypeParam> A(2, 3), B(3, 4), wrongRows(3, 4), wrongCols(2, 5), square2(2, 2), other(4, 2);
    EXPECT_INVARIANT_REPORT(wrongRows.setProduct(A, B), "LaMatrix", 211, 3);
    EXPECT_INVARIANT_REPORT(wrongCols.setProduct(A, B), "LaMatrix", 212, 5);
    EXPECT_INVARIANT_REPORT(square2.setProduct(A, other), "LaMatrix", 213, 3);
    EXPECT_INVARIANT_REPORT(B.setProductWithTranspose(A), "LaMatrix", 236, 3);
    EXPECT_INVARIANT_REPORT(other.setProductWithTranspose(other), "LaMatrix", 237, 2);
}

TYPED_TEST(LaMatrixTest, SortRowsMovesRowsColumnsKeysAndCompanionsAlike) {
    auto m = denseOf<TypeParam>({{0, 1, 2}, {10, 11, 12}, {20, 21, 22}});
    TypeParam keys[] = {3, 1, 2};
    std::int32_t first[] = {100, 101, 102};
    std::int32_t second[] = {-1, -2, -3};
    m->sortRows(keys, first, second);
    // Old row and column 1 come first, then 2, then 0.
    EXPECT_TRUE(holds(*m, {{11, 12, 10}, {21, 22, 20}, {1, 2, 0}}));
    EXPECT_EQ(keys[0], 1);
    EXPECT_EQ(keys[1], 2);
    EXPECT_EQ(keys[2], 3);
    EXPECT_EQ(first[0], 101);
    EXPECT_EQ(first[2], 100);
    EXPECT_EQ(second[1], -3);

    // Not square: only the rows move.
    auto tall = denseOf<TypeParam>({{0, 1}, {10, 11}, {20, 21}});
    TypeParam tallKeys[] = {3, 1, 2};
    std::int32_t ids[] = {0, 1, 2};
    tall->sortRows(tallKeys, nullptr, ids);
    EXPECT_TRUE(holds(*tall, {{10, 11}, {20, 21}, {0, 1}}));
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[2], 0);

    // Without keys nothing moves.
    tall->sortRows(nullptr, ids, nullptr);
    EXPECT_TRUE(holds(*tall, {{10, 11}, {20, 21}, {0, 1}}));
    EXPECT_EQ(ids[0], 1);
}

TYPED_TEST(LaMatrixTest, SortRowsPutsNaNKeysLast) {
    const TypeParam nan = std::numeric_limits<TypeParam>::quiet_NaN();
    const int n = 64;
    LaVector<TypeParam> v(n);
    TypeParam keys[n];
    for (int i = 0; i < n; ++i) {
        keys[i] = i % 3 == 0 ? nan : static_cast<TypeParam>((i * 37) % n);
        v.setAt(i, static_cast<TypeParam>(i));
    }
    v.sortRows(keys, nullptr, nullptr);
    const int numbers = n - (n + 2) / 3;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(std::isnan(keys[i]), i >= numbers) << i;
        const int old = static_cast<int>(v.getAt(i));
        if (i < numbers) {
            EXPECT_EQ(keys[i], static_cast<TypeParam>((old * 37) % n));
        }
        if (i > 0 && i < numbers) {
            EXPECT_LT(keys[i - 1], keys[i]);
        }
    }
}

TYPED_TEST(LaMatrixTest, PrintWritesAHeaderOfColumnsAndOneLinePerRow) {
    auto m = denseOf<TypeParam>({{1, 2}});
    EXPECT_EQ(printed(*m), "          0        1\n 0:   1.0000   2.0000\n");

    auto wide = denseOf<TypeParam>({{-0.5, 123456}, {0.00004, -0.00006}, {1e-9, 3}});
    EXPECT_EQ(printed(*wide),
              "          0        1\n"
              " 0:  -0.5000 123456.0000\n"
              " 1:   0.0000  -0.0001\n"
              " 2:   0.0000   3.0000\n");

    LaDenseMatrix<TypeParam> none(0, 0);
    EXPECT_EQ(printed(none), "  \n");

    ::testing::internal::CaptureStderr();
    m->print(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "          0        1\n 0:   1.0000   2.0000\n");
}

TYPED_TEST(LaMatrixTest, WriteTextWritesEveryRowAndReportsFailures) {
    auto m = denseOf<TypeParam>({{1, -2.5, 0}, {0.0000004, 1e6, -0.0000006}});
    const std::string path = tempPath("writeText");
    ASSERT_EQ(m->writeText(path.c_str()), 0);
    EXPECT_EQ(fileText(path),
              " 1.000000 -2.500000 0.000000\n"
              " 0.000000 1000000.000000 -0.000001\n");
    std::remove(path.c_str());

    EXPECT_EQ(m->writeText("/nonexistent-folder/matrix.txt"), EOF);
    EXPECT_EQ(m->writeText(nullptr), EOF);
    EXPECT_EQ(m->writeText("/dev/full"), EOF);  // opens, but no byte can be written
}

}  // namespace

}  // namespace ovix
