#include "features/FidsDocCount.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <future>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace ovix {

namespace {

using Bytes = std::vector<unsigned char>;

void appendRecord(Bytes& out, const std::string& id, std::uint32_t value, int valueBytes) {
    const Fid fid(id);
    out.insert(out.end(), fid.m_fid, fid.m_fid + FID_LEN);
    for (int shift = (valueBytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

std::map<std::string, int> asMap(const std::vector<FidsDocCount::Entry>& entries) {
    std::map<std::string, int> m;
    for (const auto& [fid, count] : entries)
        m[fid.text()] = count;
    return m;
}

struct FidsDocCountTest : ::testing::Test {
    Fids fids{false};
    FidsDocCount counts{&fids};
};

TEST_F(FidsDocCountTest, FreshTableIsEmpty) {
    EXPECT_EQ(counts.getMaxDocCount(), 0);
    EXPECT_EQ(counts.getMinDocCount(), INT_MAX);
    EXPECT_EQ(counts.repr(), "num fids 0 doccounts min 2147483647 max 0");
    EXPECT_EQ(counts.getDocCount(Fid("x")), 0);
}

TEST_F(FidsDocCountTest, PlainRecordsAreBigEndianCountsAndNonPositiveCountsBecomeOne) {
    Bytes records;
    appendRecord(records, "a", 70000, 4);
    appendRecord(records, "b", 0, 4);
    appendRecord(records, "c", 0x80000000u, 4);  // negative as a signed count
    records.push_back(0xAA);                     // a partial record is ignored
    counts.addFidCounts(records, 100, false);
    EXPECT_EQ(counts.getDocCount(Fid("a")), 70000);
    EXPECT_EQ(counts.getDocCount(Fid("b")), 1);
    EXPECT_EQ(counts.getDocCount(Fid("c")), 1);
    EXPECT_EQ(counts.getMaxDocCount(), 100);
    EXPECT_EQ(counts.getMinDocCount(), 1);
    EXPECT_EQ(counts.size(), 3u);
}

TEST_F(FidsDocCountTest, CompressedRecordsDecodeOnTheLogScale) {
    Bytes records;
    appendRecord(records, "all", 0, 2);
    appendRecord(records, "none", 65535, 2);
    appendRecord(records, "half", 32768, 2);
    counts.addFidCounts(records, 99, true);
    EXPECT_EQ(counts.getDocCount(Fid("all")), 99);
    EXPECT_EQ(counts.getDocCount(Fid("none")), 1);
    // 100 / 100^(32768/65535) - 1, truncated before the subtraction.
    EXPECT_EQ(counts.getDocCount(Fid("half")), 8);
}

TEST_F(FidsDocCountTest, LaterCountsReplaceEarlierOnesAndBoundsOnlyWiden) {
    Bytes first, second;
    appendRecord(first, "a", 5, 4);
    appendRecord(second, "a", 9, 4);
    counts.addFidCounts(first, 50, false);
    counts.addFidCounts(second, 20, false);
    EXPECT_EQ(counts.getDocCount(Fid("a")), 9);
    EXPECT_EQ(counts.getMaxDocCount(), 50);
    EXPECT_EQ(counts.getMinDocCount(), 5);
}

TEST_F(FidsDocCountTest, NegativeDocumentTotalGivesCountOne) {
    Bytes records;
    appendRecord(records, "a", 0, 2);
    appendRecord(records, "b", 1000, 2);
    for (int nDocs : {-1, -2, INT_MIN}) {
        counts.addFidCounts(records, nDocs, true);
        EXPECT_EQ(counts.getDocCount(Fid("a")), 1) << nDocs;
        EXPECT_EQ(counts.getDocCount(Fid("b")), 1) << nDocs;
    }
    EXPECT_EQ(counts.getMaxDocCount(), 0);
}

TEST_F(FidsDocCountTest, LargestDocumentTotalDoesNotOverflow) {
    Bytes records;
    appendRecord(records, "a", 0, 2);
    counts.addFidCounts(records, INT_MAX, true);
    EXPECT_EQ(counts.getDocCount(Fid("a")), INT_MAX);
}

TEST_F(FidsDocCountTest, IncrementAndDecrement) {
    const Fid a("a");
    counts.incrDocCount(a);
    counts.incrDocCount(a);
    EXPECT_EQ(counts.getDocCount(a), 2);
    EXPECT_EQ(counts.getMaxDocCount(), 2);
    counts.decrDocCount(a);
    EXPECT_EQ(counts.getDocCount(a), 1);
    EXPECT_EQ(counts.getMinDocCount(), 1);

    // An absent id is decremented from 0 and stored as 0.
    counts.decrDocCount(Fid("b"));
    EXPECT_EQ(counts.getDocCount(Fid("b")), 0);
    EXPECT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts.getMinDocCount(), 1);
}

TEST_F(FidsDocCountTest, IncrementWrapsAtTheTopOfTheIntRange) {
    Bytes records;
    appendRecord(records, "a", INT_MAX, 4);
    counts.addFidCounts(records, 0, false);
    counts.incrDocCount(Fid("a"));
    EXPECT_EQ(counts.getDocCount(Fid("a")), INT_MIN);
    counts.decrDocCount(Fid("a"));
    EXPECT_EQ(counts.getDocCount(Fid("a")), INT_MAX);
}

// The batch forms take the lock a batch of ids at a time: sizes on either side
// of a batch's end count as one id at a time would.
TEST_F(FidsDocCountTest, BatchFormsCountAsOneIdAtATimeAcrossLockBatches) {
    constexpr size_t batch = FidsLock::kBatch;
    for (const size_t n : {size_t{0}, size_t{1}, batch, batch + 1, 3 * batch + 7}) {
        std::vector<Fid> ids;
        for (size_t i = 0; i < n; ++i)
            ids.emplace_back("b" + std::to_string(i % (n / 2 + 1)));  // most ids twice
        FidsDocCount batched(&fids), single(&fids);
        batched.incrDocCounts(ids);
        batched.incrDocCounts(ids);
        batched.decrDocCounts(std::span(ids).first(n / 3));
        for (int round = 0; round < 2; ++round)
            for (const Fid& id : ids)
                single.incrDocCount(id);
        for (const Fid& id : std::span(ids).first(n / 3))
            single.decrDocCount(id);
        std::vector<int> got(n, -1);
        batched.getDocCounts(ids, got);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(got[i], single.getDocCount(ids[i])) << n << " " << i;
        EXPECT_EQ(batched.size(), single.size()) << n;
        EXPECT_EQ(batched.getMaxDocCount(), single.getMaxDocCount()) << n;
        EXPECT_EQ(batched.getMinDocCount(), single.getMinDocCount()) << n;
    }
    // Records over several batches: the lowest count is in the last one.
    Bytes records;
    for (size_t i = 0; i < 2 * batch + 3; ++i)
        appendRecord(records, "r" + std::to_string(i), i + 1 < 2 * batch + 3 ? 7 : 2, 4);
    counts.addFidCounts(records, 40, false);
    EXPECT_EQ(counts.size(), 2 * batch + 3);
    EXPECT_EQ(counts.getMinDocCount(), 2);
    EXPECT_EQ(counts.getMaxDocCount(), 40);
}

TEST_F(FidsDocCountTest, ClearResetsTableAndBounds) {
    counts.incrDocCount(Fid("a"));
    counts.clearFidCounts();
    EXPECT_EQ(counts.size(), 0u);
    EXPECT_EQ(counts.getMaxDocCount(), 0);
    EXPECT_EQ(counts.getMinDocCount(), INT_MAX);
}

TEST_F(FidsDocCountTest, IterationHandsOutBatches) {
    for (const char* id : {"a", "b", "c"})
        counts.incrDocCount(Fid(id));
    auto all = counts.getFirst(2);
    EXPECT_EQ(all.size(), 2u);
    auto rest = counts.getNext(2);
    EXPECT_EQ(rest.size(), 1u);
    EXPECT_TRUE(counts.getNext(2).empty());
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(asMap(all), (std::map<std::string, int>{{"a", 1}, {"b", 1}, {"c", 1}}));
    counts.getNextFinish();
    counts.getNextFinish();
    EXPECT_EQ(counts.getFirst(0).size(), 0u);
    EXPECT_EQ(counts.getNext(-5).size(), 0u);
    counts.getNextFinish();
}

TEST_F(FidsDocCountTest, IterationStateErrors) {
    EXPECT_THROW(
        {
            try {
                counts.getNext();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Iteration not started");
                throw;
            }
        },
        std::runtime_error);
    counts.getFirst();
    try {
        counts.getFirst();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Iteration already in progress");
    }
    counts.getNextFinish();
}

TEST_F(FidsDocCountTest, ChangesDuringIterationDoNotDisturbIt) {
    for (int i = 0; i < 100; ++i)
        counts.incrDocCount(Fid(std::to_string(i)));
    auto seen = counts.getFirst(10);
    // The iterating thread holds the lock, so it may change the table.
    counts.clearFidCounts();
    for (int i = 0; i < 1000; ++i)
        counts.incrDocCount(Fid("n" + std::to_string(i)));
    for (auto batch = counts.getNext(7); !batch.empty(); batch = counts.getNext(7))
        seen.insert(seen.end(), batch.begin(), batch.end());
    counts.getNextFinish();
    const auto m = asMap(seen);
    EXPECT_EQ(m.size(), 100u);
    EXPECT_EQ(m.count("0"), 1u);
    EXPECT_EQ(m.count("n0"), 0u);
}

TEST_F(FidsDocCountTest, IterationBelongsToItsThread) {
    counts.incrDocCount(Fid("a"));
    counts.getFirst();
    auto other = std::async(std::launch::async, [&] {
        EXPECT_THROW(counts.getNext(), std::runtime_error);
        EXPECT_THROW(counts.getNextFinish(), std::runtime_error);
    });
    other.get();
    counts.getNextFinish();
}

TEST_F(FidsDocCountTest, OtherThreadsWaitForTheIterationToFinish) {
    counts.getFirst();
    auto writer = std::async(std::launch::async, [&] { counts.incrDocCount(Fid("late")); });
    EXPECT_EQ(writer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_EQ(counts.getDocCount(Fid("late")), 0);
    counts.getNextFinish();
    writer.get();
    EXPECT_EQ(counts.getDocCount(Fid("late")), 1);
}

TEST(FidsDocCountLifetime, DestroyingTheTableEndsItsIteration) {
    Fids fids(false);
    FidsDocCount other(&fids);
    auto iterating = std::make_unique<FidsDocCount>(&fids);
    iterating->getFirst();
    // Destroyed from another thread than the one iterating.
    std::async(std::launch::async, [&] { iterating.reset(); }).get();
    auto writer = std::async(std::launch::async, [&] { other.incrDocCount(Fid("a")); });
    ASSERT_EQ(writer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(other.getDocCount(Fid("a")), 1);
}

}  // namespace

}  // namespace ovix
