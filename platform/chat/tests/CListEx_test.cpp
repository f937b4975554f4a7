#include "platform/chat/CListEx.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovix {

namespace {

std::vector<int> contents(const CListEx<int>& list) {
    std::vector<int> items;
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetAt(i));
    return items;
}

TEST(CListEx, GrowsToTwiceTheCapacityPlusOneWhenFull) {
    CListEx<int> list;
    EXPECT_EQ(list.GetCapacity(), 0u);
    std::vector<std::size_t> capacities;
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(list.Add(i), static_cast<std::size_t>(i));
        if (capacities.empty() || capacities.back() != list.GetCapacity())
            capacities.push_back(list.GetCapacity());
    }
    // The fourth item grows 4 to 9, the ninth 9 to 19, and so on.
    EXPECT_EQ(capacities, (std::vector<std::size_t>{4, 9, 19, 39, 79}));
    EXPECT_EQ(list.GetCount(), 40u);
    EXPECT_EQ(list.GetAt(39), 39);
}

TEST(CListEx, PopsInAppendOrderAndFreesTheArrayWithTheLastItem) {
    CListEx<int> list(CListEx<int>::kFirstCapacity);
    for (int i = 1; i <= 3; ++i)
        list.Add(i);
    EXPECT_EQ(list.PopFront(), 1);
    EXPECT_EQ(list.PopFront(), 2);
    EXPECT_EQ(list.GetCapacity(), 4u);
    EXPECT_EQ(list.PopFront(), 3);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetCapacity(), 0u);
    // The next append starts over with four slots.
    list.Add(7);
    EXPECT_EQ(list.GetCapacity(), 4u);
    EXPECT_EQ(contents(list), std::vector<int>{7});
}

TEST(CListEx, InsertsBeforeTheIndexAndRefusesAnIndexPastTheEnd) {
    CListEx<int> list;
    list.InsertAt(0, 5);
    list.InsertAt(0, 3);
    list.InsertAt(1, 4);
    list.InsertAt(3, 6);  // the end: the array is full now and grows
    EXPECT_EQ(contents(list), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(list.GetCapacity(), 9u);
    EXPECT_THROW(list.InsertAt(5, 0), std::out_of_range);
    EXPECT_EQ(contents(list), (std::vector<int>{3, 4, 5, 6}));
}

// A list shrunk to its items is full: the next item must not be stored past
// the array.
TEST(CListEx, SetSizeKeepsTheItemsThatFitAndTheNextAddStillHasRoom) {
    CListEx<int> list;
    for (int i = 0; i < 6; ++i)
        list.Add(i);
    list.SetSize(3);
    EXPECT_EQ(contents(list), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(list.GetCapacity(), 3u);
    list.Add(3);
    EXPECT_EQ(contents(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_GT(list.GetCapacity(), list.GetCount());
    list.SetSize(20);
    EXPECT_EQ(contents(list), (std::vector<int>{0, 1, 2, 3}));
}

}  // namespace

}  // namespace ovix
