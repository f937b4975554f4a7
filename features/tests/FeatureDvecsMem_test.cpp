#include "features/FeatureDvecsMem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "features/tests/HeldVector.h"
#include "testing/DocVecFiles.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::entry;
using ovix::testing::failureOf;
using ovix::testing::HeldVector;
using ovix::testing::notABuffer;

const std::vector<DocVecI> kTwoEntries = {entry(3, 0.5f), entry(9, 0.25f)};

void expectRowHolds(const _dVec& row, int id, int label, const std::vector<DocVecI>& entries) {
    EXPECT_EQ(row.id, id);
    EXPECT_EQ(row.label, label);
    ASSERT_EQ(row.nEntries, static_cast<int>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(row.entries[i].fid, entries[i].fid);
        EXPECT_EQ(row.entries[i].weight, entries[i].weight);
    }
}

TEST(FeatureDvecsMem, FillsExactlyNRowsAndRefusesMoreWithoutKeepingTheExtraVector) {
    HeldVector a(kTwoEntries), b({}), extra(kTwoEntries);
    FeatureDvecsMem sink(2);
    sink.addFeatures(7, 1, a.hold());
    EXPECT_EQ(failureOf([&] { sink.getDvecs(); }), "dvec not complete");
    sink.addFeatures(-8, -1, b.hold());
    EXPECT_EQ(failureOf([&] { sink.addFeatures(9, 0, extra.hold()); }), "Too many elements");
    EXPECT_EQ(extra.held(), 0);
    EXPECT_EQ(sink.count(), 2);

    const std::shared_ptr<const _dVec> rows = sink.getDvecs().rows(2);
    expectRowHolds(rows.get()[0], 7, 1, kTwoEntries);
    expectRowHolds(rows.get()[1], -8, -1, {});
}

TEST(FeatureDvecsMem, AFailedAddLeavesTheSinkAsItWas) {
    HeldVector a(kTwoEntries);
    FeatureDvecsMem sink(1);
    EXPECT_EQ(failureOf([&] { sink.addFeatures(1, 1, notABuffer()); }), "Need a buffer");
    EXPECT_EQ(sink.count(), 0);
    sink.addFeatures(2, 0, a.hold());
    expectRowHolds(sink.getDvecs().rows(1).get()[0], 2, 0, kTwoEntries);
}

TEST(FeatureDvecsMem, SizesBelowZeroAreRefusedAndZeroIsCompleteAtOnce) {
    EXPECT_EQ(failureOf([] { FeatureDvecsMem(-1); }), "Negative number of elements");
    EXPECT_EQ(failureOf([] { FeatureDvecsMem(-2147483647 - 1, 5); }), "Negative number of elements");

    FeatureDvecsMem empty(0, 5);
    const ovix::DvecTableRef table = empty.getDvecs();
    EXPECT_EQ(table.size(), 0);
    EXPECT_NO_THROW(table.rows(0));
}

TEST(FeatureDvecsMem, AHugeSizeAllocatesNothingUpFront) {
    FeatureDvecsMem sink(2147483647);
    HeldVector a(kTwoEntries);
    sink.addFeatures(1, 0, a.hold());
    EXPECT_EQ(sink.count(), 1);
    EXPECT_EQ(failureOf([&] { sink.getDvecs(); }), "dvec not complete");
}

TEST(FeatureDvecsMem, RowsPointIntoAlignedVectorsAndIntoCopiesOfMisalignedOnes) {
    HeldVector aligned(kTwoEntries, 0, 11), misaligned(kTwoEntries, 1, 5);
    FeatureDvecsMem sink(2);
    sink.addFeatures(1, 0, aligned.hold());
    sink.addFeatures(2, 0, misaligned.hold());
    const std::shared_ptr<const _dVec> rows = sink.getDvecs().rows(2);
    // Bytes past the last whole entry are not part of the row.
    EXPECT_EQ(static_cast<const void*>(rows.get()[0].entries), aligned.bytes().data());
    expectRowHolds(rows.get()[0], 1, 0, kTwoEntries);
    EXPECT_NE(static_cast<const void*>(rows.get()[1].entries), misaligned.bytes().data());
    expectRowHolds(rows.get()[1], 2, 0, kTwoEntries);
}

TEST(FeatureDvecsMem, VectorsStayHeldUntilResetOrDestruction) {
    HeldVector a(kTwoEntries), b(kTwoEntries);
    {
        FeatureDvecsMem sink(1);
        sink.addFeatures(1, 0, a.hold());
        EXPECT_EQ(a.held(), 1);
        EXPECT_EQ(a.released(), 0);
        sink.reset();
        EXPECT_EQ(a.released(), 1);
        EXPECT_EQ(sink.count(), 0);
        EXPECT_EQ(sink.size(), 1);
        EXPECT_EQ(failureOf([&] { sink.getDvecs(); }), "dvec not complete");
        sink.addFeatures(2, 0, b.hold());
        EXPECT_EQ(b.released(), 0);
    }
    EXPECT_EQ(b.released(), 1);
}

TEST(DvecTableRef, GivesAtMostTheRowsTheTableHas) {
    HeldVector a(kTwoEntries), b(kTwoEntries);
    FeatureDvecsMem sink(2);
    sink.addFeatures(1, 0, a.hold());
    sink.addFeatures(2, 0, b.hold());
    const ovix::DvecTableRef table = sink.getDvecs();
    EXPECT_EQ(table.size(), 2);
    EXPECT_EQ(table.rows(1).get()[0].id, 1);
    EXPECT_EQ(failureOf([&] { table.rows(3); }), "dvec table has 2 rows, not 3");
    EXPECT_EQ(failureOf([&] { table.rows(-1); }), "dvec table has 2 rows, not -1");
}

TEST(DvecTableRef, GivesNoRowsOnceTheSinkIsResetOrDestroyed) {
    HeldVector a(kTwoEntries), b(kTwoEntries);
    auto sink = std::make_unique<FeatureDvecsMem>(1);
    sink->addFeatures(1, 0, a.hold());
    const ovix::DvecTableRef before = sink->getDvecs();
    sink->reset();
    sink->addFeatures(2, 0, b.hold());  // complete again, with other rows
    EXPECT_EQ(failureOf([&] { before.rows(1); }), "dvec table was reset");

    const ovix::DvecTableRef after = sink->getDvecs();
    EXPECT_EQ(after.rows(1).get()[0].id, 2);
    sink.reset();
    EXPECT_EQ(failureOf([&] { after.rows(1); }), "dvec table was reset");
}

TEST(DvecTableRef, RowsInUseOutliveAResetOfTheirSink) {
    HeldVector a(kTwoEntries);
    FeatureDvecsMem sink(1);
    sink.addFeatures(4, 0, a.hold());
    const ovix::DvecTableRef table = sink.getDvecs();
    std::shared_ptr<const _dVec> rows = table.rows(1);
    sink.reset();
    EXPECT_EQ(a.released(), 0);
    expectRowHolds(rows.get()[0], 4, 0, kTwoEntries);
    // The sink's rows are gone, even while someone still reads them.
    EXPECT_EQ(failureOf([&] { table.rows(1); }), "dvec table was reset");
    rows.reset();
    EXPECT_EQ(a.released(), 1);
}

}  // namespace

}  // namespace ovix
