#pragma once
// The bag of features of one document: how often each feature id occurs in
// its text. Text is cut into letter tokens (Tokenizer.h); tokens of the wrong
// length and, when asked, stop words are dropped; the rest are lower-cased,
// optionally Porter-stemmed, and counted under their Fids id.
//
// A dictionary is used by one thread at a time and takes no lock of its own;
// dictionaries that share one Fids may be filled on several threads at once.
// Counts and totals are 32-bit and wrap as two's complement.

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "features/Fid.h"
#include "features/FidCountMap.h"
#include "features/PorterStemmer.h"
#include "features/StopWords.h"

namespace ovix {

class Fids;
class FidsDocCount;

class FeatureDict {
public:
    // Id to count, in memcmp order of the ids; nodes from the shared pool.
    using FidMap = FidCountMap;

    // The largest maxLen accepted: the token buffer has maxLen + 1 bytes.
    static constexpr int kLongestMaxLen = 1 << 20;

    // Borrows `fids`, which must outlive the dictionary. Tokens shorter than
    // minLen or longer than maxLen bytes are dropped. Throws when maxLen is
    // outside 0..kLongestMaxLen.
    explicit FeatureDict(Fids* fids, bool stem = true, bool stopWords = true, int minLen = 2, int maxLen = 20);
    FeatureDict(const FeatureDict&) = delete;
    FeatureDict& operator=(const FeatureDict&) = delete;

    // Counts a × b for every token of `text` that survives, reading up to the
    // first NUL byte.
    void applyTokenString(std::string_view text, int a, int b);
    // Adds every count of `other` (which may be this dictionary) to this one.
    void mergeFeatureDict(const FeatureDict& other);
    // Adds the weight of every whole 12-byte entry of a packed document vector
    // (little-endian float weights), truncated toward zero, to the count of
    // its id; the entry is made even when that adds 0. A NaN weight adds 0,
    // one beyond the int range the nearest end of it.
    void mergeDvir(std::span<const unsigned char> dvir);
    // Every count becomes the ceiling of count × x, saturated to the int
    // range (NaN gives 0); the total becomes the sum of the new counts.
    void scale(double x);

    // The sum of every count added.
    int getFeatureCount() const { return m_total; }
    // The number of distinct ids.
    int getUniqueFeatureCount() const { return static_cast<int>(m_counts.size()); }
    // The sum of the counts of the ids whose document count in `dc` is above 0.
    int getDocCountHits(const FidsDocCount& dc) const;
    // getDocCountHits / getFeatureCount: NaN or an infinity when the total is 0.
    double getInLanguageRatio(const FidsDocCount& dc) const;

    // The counts in map order, read-only.
    FidMap::const_iterator begin() const { return m_counts.begin(); }
    FidMap::const_iterator end() const { return m_counts.end(); }

private:
    void add(const Fid& fid, int count);

    Fids* const m_fids;
    FidMap m_counts;
    int m_total = 0;
    const bool m_stem;
    const bool m_stopWords;
    const int m_minLen;
    const int m_maxLen;
    const std::unique_ptr<char[]> m_token;  // maxLen + 1 bytes
    const StopWordSet& m_stopWordSet;
    const PorterStemmer m_stemmer{};
};

}  // namespace ovix
