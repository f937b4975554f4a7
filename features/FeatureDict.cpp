#include "features/FeatureDict.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "features/Arithmetic.h"
#include "features/Fids.h"
#include "features/FidsDocCount.h"
#include "features/TokenFidCache.h"
#include "features/Tokenizer.h"

namespace ovix {

namespace {

int checkedMaxLen(int maxLen) {
    if (maxLen < 0 || maxLen > FeatureDict::kLongestMaxLen)
        throw std::runtime_error("maxLen must be between 0 and " + std::to_string(FeatureDict::kLongestMaxLen) +
                                 ", not " + std::to_string(maxLen));
    return maxLen;
}

}  // namespace

FeatureDict::FeatureDict(Fids* fids, bool stem, bool stopWords, int minLen, int maxLen)
    : m_fids(fids),
      m_stem(stem),
      m_stopWords(stopWords),
      m_minLen(minLen),
      m_maxLen(checkedMaxLen(maxLen)),
      m_token(new char[static_cast<std::size_t>(maxLen) + 1]),
      m_stopWordSet(StopWordSet::instance()) {}

void FeatureDict::applyTokenString(std::string_view text, int a, int b) {
    const int weight = wrapMul(a, b);
    char* const word = m_token.get();
    // Ids of tokens seen lately on this thread are reused, but a Fids that
    // keeps tokens must see every one: those are handed over a batch at a time.
    const bool keepTokens = m_fids->keepTokens();
    TokenFidCache* const cache = keepTokens ? nullptr : &TokenFidCache::forThisThread();
    std::vector<std::pair<Fid, std::string>> kept;
    const auto handOver = [&] {
        m_fids->recordTokens(kept);
        kept.clear();
    };
    forEachToken(text, [&](std::string_view token) {
        const auto length = static_cast<std::ptrdiff_t>(token.size());
        if (length < m_minLen || length > m_maxLen)
            return;
        // A token holds letters only: setting bit 5 lower-cases each.
        for (std::size_t i = 0; i < token.size(); ++i)
            word[i] = static_cast<char>(token[i] | 0x20);
        word[token.size()] = '\0';
        std::string_view lowered(word, token.size());
        if (m_stopWords && m_stopWordSet.contains(lowered))
            return;
        auto makeId = [&] {
            if (m_stem) {
                m_stemmer.stem(word);
                lowered = std::string_view(word, std::strlen(word));
            }
            return Fids::idOf(lowered);
        };
        const Fid fid = cache ? cache->idOf(lowered, m_stem, makeId) : makeId();
        if (keepTokens) {
            kept.emplace_back(fid, lowered);
            if (kept.size() == FidsLock::kBatch)
                handOver();
        }
        add(fid, weight);
    });
    handOver();
}

void FeatureDict::add(const Fid& fid, int count) {
    const auto [entry, inserted] = m_counts.try_emplace(fid, count);
    if (!inserted)
        entry->second = wrapAdd(entry->second, count);
    m_total = wrapAdd(m_total, count);
}

void FeatureDict::mergeFeatureDict(const FeatureDict& other) {
    // Merging a dictionary into itself only changes counts: every id is there.
    const int otherTotal = other.m_total;
    for (const auto& [fid, count] : other.m_counts) {
        const auto [entry, inserted] = m_counts.try_emplace(fid, count);
        if (!inserted)
            entry->second = wrapAdd(entry->second, count);
    }
    m_total = wrapAdd(m_total, otherTotal);
}

void FeatureDict::mergeDvir(std::span<const unsigned char> dvir) {
    static_assert(std::endian::native == std::endian::little, "weights are read as they lie");
    for (std::size_t at = 0; at + sizeof(DocVecI) <= dvir.size(); at += sizeof(DocVecI)) {
        DocVecI entry;
        std::memcpy(&entry, dvir.data() + at, sizeof entry);
        add(entry.fid, saturatingToInt(entry.weight));
    }
}

void FeatureDict::scale(double x) {
    int total = 0;
    for (auto& [fid, count] : m_counts) {
        count = saturatingToInt(std::ceil(count * x));
        total = wrapAdd(total, count);
    }
    m_total = total;
}

int FeatureDict::getDocCountHits(const FidsDocCount& dc) const {
    // One lookup of all ids, which takes the Fids lock once per batch.
    std::vector<Fid> fids;
    fids.reserve(m_counts.size());
    for (const auto& entry : m_counts)
        fids.push_back(entry.first);
    std::vector<int> docCounts(fids.size());
    dc.getDocCounts(fids, docCounts);
    int hits = 0;
    std::size_t i = 0;
    for (const auto& entry : m_counts)
        if (docCounts[i++] > 0)
            hits = wrapAdd(hits, entry.second);
    return hits;
}

double FeatureDict::getInLanguageRatio(const FidsDocCount& dc) const {
    // IEEE division: 0 / 0 is NaN, anything else over 0 an infinity.
    return static_cast<double>(getDocCountHits(dc)) / static_cast<double>(m_total);
}

}  // namespace ovix
