#include "features/StopWords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace ovix {

namespace {

TEST(StopWords, ListHoldsLowerCaseWordsOneOfThemTwice) {
    const std::set<std::string_view> distinct(stopWordList.begin(), stopWordList.end());
    EXPECT_EQ(distinct.size(), 523u);
    EXPECT_EQ(stopWordList.front(), "a");
    EXPECT_EQ(stopWordList.back(), "zero");
    for (std::string_view word : stopWordList) {
        EXPECT_TRUE(word.size() >= 1 && word.size() <= 13) << word;
        EXPECT_EQ(word.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), std::string_view::npos) << word;
    }
}

TEST(StopWords, SetHoldsExactlyTheListedWords) {
    const ovix::StopWordSet& set = ovix::StopWordSet::instance();
    EXPECT_EQ(&set, &ovix::StopWordSet::instance());
    EXPECT_EQ(set.size(), 523u);
    const std::set<std::string_view> listed(stopWordList.begin(), stopWordList.end());
    for (std::string_view word : stopWordList) {
        EXPECT_TRUE(set.contains(word)) << word;
        // Every shorter and longer form that is no word of the list is absent.
        const std::string longer = std::string(word) + "s";
        EXPECT_EQ(set.contains(longer), listed.count(longer) == 1) << longer;
        const std::string_view shorter = word.substr(0, word.size() - 1);
        EXPECT_EQ(set.contains(shorter), listed.count(shorter) == 1) << shorter;
    }
}

TEST(StopWords, LookupIsExactForAnyBytes) {
    const ovix::StopWordSet& set = ovix::StopWordSet::instance();
    for (std::string_view absent : {"The", "THE", "", "corresponding1", "correspondingly", "responding", "a ", " a",
                                    "anythingelseatall", "yourselvesyourselves"})
        EXPECT_FALSE(set.contains(absent)) << absent;
    // A zero byte is part of the word, not its end.
    EXPECT_FALSE(set.contains(std::string_view("a\0", 2)));
    EXPECT_FALSE(set.contains(std::string_view("\0", 1)));
    EXPECT_FALSE(set.contains(std::string_view("the\0\0\0\0\0\0\0\0\0\0\0\0", 15)));
    EXPECT_TRUE(set.contains(std::string_view("the\0", 3)));
}

}  // namespace

}  // namespace ovix
