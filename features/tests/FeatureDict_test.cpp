#include "features/FeatureDict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "features/Fids.h"
#include "features/FidsDocCount.h"

namespace ovix {

namespace {

// Counts by the token that made the id; the bulk of real text is checked
// against an independent implementation in python/tests/test_featuredict.py.
using Counts = std::map<std::string, int>;

struct FeatureDictTest : ::testing::Test {
    Fids fids{false};

    Fid idOf(const std::string& token) { return fids.getFidNative(token); }

    // The counts of `dict` under the tokens of `vocabulary` that it holds;
    // fails when it holds an id no token of the vocabulary makes.
    Counts countsOf(const FeatureDict& dict, const std::vector<std::string>& vocabulary) {
        std::map<std::string, std::string> tokenOfId;
        for (const std::string& token : vocabulary)
            tokenOfId[std::string(idOf(token).m_fid, FID_LEN)] = token;
        Counts counts;
        for (const auto& [fid, count] : dict) {
            const auto token = tokenOfId.find(std::string(fid.m_fid, FID_LEN));
            if (token == tokenOfId.end()) {
                ADD_FAILURE() << "an id no token of the vocabulary makes";
                continue;
            }
            counts[token->second] = count;
        }
        return counts;
    }
};

std::vector<unsigned char> dvirOf(const std::vector<std::pair<Fid, float>>& entries) {
    std::vector<unsigned char> bytes(entries.size() * sizeof(DocVecI));
    for (size_t i = 0; i < entries.size(); ++i) {
        const DocVecI entry{entries[i].first, entries[i].second};
        std::memcpy(bytes.data() + i * sizeof entry, &entry, sizeof entry);
    }
    return bytes;
}

TEST_F(FeatureDictTest, DropsStopWordsBeforeStemming) {
    FeatureDict dict(&fids);
    // "The", "of": stop words; "s": too short. "knowing" is no stop word,
    // though its stem "know" is; "becoming" is one, though "becom" is not.
    dict.applyTokenString("The ABCs of HTMLParser, knowing becoming RUNNING", 1, 1);
    EXPECT_EQ(countsOf(dict, {"abc", "htmlp", "arser", "know", "becom", "run"}),
              (Counts{{"abc", 1}, {"htmlp", 1}, {"arser", 1}, {"know", 1}, {"run", 1}}));
    EXPECT_EQ(dict.getFeatureCount(), 5);
    EXPECT_EQ(dict.getUniqueFeatureCount(), 5);

    FeatureDict keepsStopWords(&fids, true, false);
    keepsStopWords.applyTokenString("the The THE", 1, 1);
    EXPECT_EQ(countsOf(keepsStopWords, {"the"}), (Counts{{"the", 3}}));

    FeatureDict unstemmed(&fids, false, true);
    unstemmed.applyTokenString("Running knowing the", 1, 1);
    EXPECT_EQ(countsOf(unstemmed, {"running", "knowing"}), (Counts{{"running", 1}, {"knowing", 1}}));
}

TEST_F(FeatureDictTest, LengthLimitsApplyToTheTokenBeforeStemming) {
    const std::string word21 = "internationalizations";  // 21 letters, stems to "internation"
    ASSERT_EQ(word21.size(), 21u);
    FeatureDict byDefault(&fids);
    byDefault.applyTokenString(word21, 1, 1);
    EXPECT_EQ(byDefault.getUniqueFeatureCount(), 0);

    FeatureDict longer(&fids, true, true, 2, 21);
    longer.applyTokenString(word21, 1, 1);
    EXPECT_EQ(countsOf(longer, {"internation"}), (Counts{{"internation", 1}}));

    // "ies" (3 letters) is kept with minLen 3 and stems to "i".
    FeatureDict atLeastThree(&fids, true, false, 3, 20);
    atLeastThree.applyTokenString("ies on", 1, 1);
    EXPECT_EQ(countsOf(atLeastThree, {"i", "on"}), (Counts{{"i", 1}}));

    // A negative minLen bounds nothing; a maxLen of 0 keeps nothing.
    FeatureDict anyLength(&fids, false, false, -5, 20);
    anyLength.applyTokenString("a bc", 1, 1);
    EXPECT_EQ(countsOf(anyLength, {"a", "bc"}), (Counts{{"a", 1}, {"bc", 1}}));
    FeatureDict none(&fids, false, false, 0, 0);
    none.applyTokenString("a bc", 1, 1);
    EXPECT_EQ(none.getUniqueFeatureCount(), 0);
}

TEST_F(FeatureDictTest, MaxLenOutsideItsRangeIsRefusedWithItsRange) {
    for (int bad : {-1, INT_MIN, FeatureDict::kLongestMaxLen + 1, INT_MAX}) {
        try {
            FeatureDict dict(&fids, true, true, 2, bad);
            ADD_FAILURE() << "maxLen " << bad << " accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "maxLen must be between 0 and 1048576, not " + std::to_string(bad));
        }
    }
    FeatureDict longest(&fids, false, false, 2, FeatureDict::kLongestMaxLen);
    const std::string huge(100000, 'q');
    longest.applyTokenString(huge, 1, 1);
    EXPECT_EQ(countsOf(longest, {huge}), (Counts{{huge, 1}}));
}

TEST_F(FeatureDictTest, FactorsMultiplyAndWrapAsTwosComplement) {
    FeatureDict dict(&fids);
    dict.applyTokenString("apple banana apple", 2, 3);
    EXPECT_EQ(countsOf(dict, {"appl", "banana"}), (Counts{{"appl", 12}, {"banana", 6}}));
    EXPECT_EQ(dict.getFeatureCount(), 18);
    EXPECT_EQ(dict.getUniqueFeatureCount(), 2);

    FeatureDict wrapped(&fids);
    wrapped.applyTokenString("apple", 65536, 65536);  // 2^32 wraps to 0
    wrapped.applyTokenString("cherry", INT_MAX, 3);   // 3 * (2^31 - 1) wraps to 2^31 - 3
    wrapped.applyTokenString("cherry", INT_MAX, 1);   // (2^31 - 3) + (2^31 - 1) wraps to -4
    EXPECT_EQ(countsOf(wrapped, {"appl", "cherri"}), (Counts{{"appl", 0}, {"cherri", -4}}));
    EXPECT_EQ(wrapped.getFeatureCount(), -4);
    wrapped.applyTokenString("apple", INT_MIN, -1);
    EXPECT_EQ(countsOf(wrapped, {"appl", "cherri"}), (Counts{{"appl", INT_MIN}, {"cherri", -4}}));
    EXPECT_EQ(wrapped.getFeatureCount(), INT_MAX - 3);
}

TEST_F(FeatureDictTest, MergingAddsCountsAndTotals) {
    FeatureDict into(&fids), other(&fids);
    into.applyTokenString("apple apple banana", 1, 1);
    other.applyTokenString("banana cherry", 1, 5);
    into.mergeFeatureDict(other);
    EXPECT_EQ(countsOf(into, {"appl", "banana", "cherri"}), (Counts{{"appl", 2}, {"banana", 6}, {"cherri", 5}}));
    EXPECT_EQ(into.getFeatureCount(), 13);
    EXPECT_EQ(into.getUniqueFeatureCount(), 3);
    EXPECT_EQ(countsOf(other, {"banana", "cherri"}), (Counts{{"banana", 5}, {"cherri", 5}}));
    EXPECT_EQ(other.getFeatureCount(), 10);

    other.mergeFeatureDict(other);
    EXPECT_EQ(countsOf(other, {"banana", "cherri"}), (Counts{{"banana", 10}, {"cherri", 10}}));
    EXPECT_EQ(other.getFeatureCount(), 20);

    FeatureDict big(&fids);
    big.applyTokenString("apple", INT_MAX, 1);
    into.mergeFeatureDict(big);
    EXPECT_EQ(countsOf(into, {"appl", "banana", "cherri"})["appl"], INT_MIN + 1);
    EXPECT_EQ(into.getFeatureCount(), INT_MIN + 12);
}

TEST_F(FeatureDictTest, MergingADvirTruncatesWeightsAndSaturates) {
    FeatureDict dict(&fids, false, false);
    dict.applyTokenString("kept", 1, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<unsigned char> dvir = dvirOf({{idOf("kept"), 2.7f},
                                              {idOf("small"), 0.9f},
                                              {idOf("negative"), -2.7f},
                                              {idOf("nan"), nan},
                                              {idOf("huge"), 1e30f},
                                              {idOf("minusinf"), -inf}});
    dvir.push_back(0x41);  // a partial entry is ignored
    dict.mergeDvir(dvir);
    EXPECT_EQ(
        countsOf(dict, {"kept", "small", "negative", "nan", "huge", "minusinf"}),
        (Counts{{"kept", 3}, {"small", 0}, {"negative", -2}, {"nan", 0}, {"huge", INT_MAX}, {"minusinf", INT_MIN}}));
    EXPECT_EQ(dict.getUniqueFeatureCount(), 6);
    // 1 + 2 + 0 - 2 + 0 + INT_MAX + INT_MIN
    EXPECT_EQ(dict.getFeatureCount(), 0);

    dict.mergeDvir({});
    EXPECT_EQ(dict.getUniqueFeatureCount(), 6);
}

TEST_F(FeatureDictTest, ScaleTakesTheCeilingAndRecomputesTheTotal) {
    FeatureDict dict(&fids, false, false);
    dict.mergeDvir(dvirOf({{idOf("one"), 1}, {idOf("two"), 2}, {idOf("three"), 3}}));
    dict.scale(0.5);
    EXPECT_EQ(countsOf(dict, {"one", "two", "three"}), (Counts{{"one", 1}, {"two", 1}, {"three", 2}}));
    EXPECT_EQ(dict.getFeatureCount(), 4);

    dict.scale(-1.5);  // ceilings of -1.5, -1.5, -3
    EXPECT_EQ(countsOf(dict, {"one", "two", "three"}), (Counts{{"one", -1}, {"two", -1}, {"three", -3}}));
    EXPECT_EQ(dict.getFeatureCount(), -5);

    dict.scale(1e300);  // saturates, and the total of the saturated counts wraps
    EXPECT_EQ(countsOf(dict, {"one", "two", "three"}),
              (Counts{{"one", INT_MIN}, {"two", INT_MIN}, {"three", INT_MIN}}));
    EXPECT_EQ(dict.getFeatureCount(), INT_MIN);

    dict.scale(std::nan(""));
    EXPECT_EQ(countsOf(dict, {"one", "two", "three"}), (Counts{{"one", 0}, {"two", 0}, {"three", 0}}));
    EXPECT_EQ(dict.getFeatureCount(), 0);
    EXPECT_EQ(dict.getUniqueFeatureCount(), 3);
}

TEST_F(FeatureDictTest, DocCountHitsAndInLanguageRatio) {
    FidsDocCount dc(&fids);
    FeatureDict dict(&fids, false, false);
    EXPECT_TRUE(std::isnan(dict.getInLanguageRatio(dc)));

    dict.applyTokenString("known known unknown", 1, 1);
    dc.incrDocCount(idOf("known"));
    dc.incrDocCount(idOf("unknown"));
    dc.decrDocCount(idOf("unknown"));  // present with count 0: no hit
    EXPECT_EQ(dict.getDocCountHits(dc), 2);
    EXPECT_DOUBLE_EQ(dict.getInLanguageRatio(dc), 2.0 / 3.0);

    // Counts that sum to 0 with hits: an infinity, as the division gives.
    FeatureDict balanced(&fids, false, false);
    balanced.mergeDvir(dvirOf({{idOf("known"), 5}, {idOf("other"), -5}}));
    EXPECT_EQ(balanced.getFeatureCount(), 0);
    EXPECT_EQ(balanced.getInLanguageRatio(dc), std::numeric_limits<double>::infinity());
}

TEST_F(FeatureDictTest, DestructionGivesEveryNodeBackToThePool) {
    const size_t chunksBefore = ovix::fidCountPool.chunkCount();
    {
        FeatureDict dict(&fids, false, false);
        std::vector<std::pair<Fid, float>> entries;
        for (int i = 0; i < 100000; ++i)
            entries.emplace_back(idOf(std::to_string(i)), 1.0f);
        dict.mergeDvir(dvirOf(entries));
        EXPECT_EQ(dict.getUniqueFeatureCount(), 100000);
        EXPECT_GE(ovix::fidCountPool.chunkCount(), chunksBefore + 2);
    }
    // Every chunk but one kept in reserve goes back.
    EXPECT_EQ(ovix::fidCountPool.chunkCount(), std::max<size_t>(chunksBefore, 1));
}

TEST_F(FeatureDictTest, RecordsTokensInAFidsThatKeepsThem) {
    // Ids that one Fids has made are made again for one that keeps tokens,
    // so that it sees them all.
    FeatureDict notKeeping(&fids);
    notKeeping.applyTokenString("Running the Tests", 1, 1);
    Fids keeping(true);
    FeatureDict dict(&keeping);
    dict.applyTokenString("Running the Tests", 1, 1);
    std::vector<std::string> tokens;
    for (const auto& [fid, token] : keeping.getNewTokens())
        tokens.push_back(token);
    std::sort(tokens.begin(), tokens.end());
    EXPECT_EQ(tokens, (std::vector<std::string>{"run", "test"}));

    // More tokens than the Fids takes at once: every one is recorded.
    std::string text;
    std::set<std::string> words;
    for (size_t i = 0; i < 3 * FidsLock::kBatch + 5; ++i) {
        std::string word = "wx";
        for (size_t n = i; n; n /= 26)
            word += static_cast<char>('a' + n % 26);
        text += word + " " + word + " ";
        words.insert(word);
    }
    FeatureDict plain(&keeping, false, false);
    plain.applyTokenString(text, 1, 1);
    std::set<std::string> recorded;
    for (const auto& [fid, token] : keeping.getNewTokens()) {
        EXPECT_EQ(fid, Fids::idOf(token));
        recorded.insert(token);
    }
    EXPECT_EQ(recorded, words);
}

TEST_F(FeatureDictTest, DictionariesSharingAFidsFillOnSeveralThreads) {
    auto fill = [](FeatureDict& dict) {
        for (int i = 0; i < 300; ++i)
            dict.applyTokenString("Parallel dictionaries share pooled nodes; words WORDS q" + std::to_string(i * i), 1,
                                  1);
    };
    FeatureDict expected(&fids);
    fill(expected);
    std::vector<std::unique_ptr<FeatureDict>> dicts;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        dicts.push_back(std::make_unique<FeatureDict>(&fids));
        threads.emplace_back(fill, std::ref(*dicts.back()));
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& dict : dicts) {
        EXPECT_EQ(dict->getFeatureCount(), expected.getFeatureCount());
        EXPECT_TRUE(std::equal(dict->begin(), dict->end(), expected.begin(), expected.end()));
    }
}

}  // namespace

}  // namespace ovix
