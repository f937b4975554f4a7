#pragma once
// Small document sets for the graph tests: entries built from (id, weight)
// lists, random sets with the traits of weighted text, and _dVec rows over
// them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "features/DvecRow.h"
#include "features/Fid.h"
#include "sgt/SparseDotProduct.h"

namespace ovix::testing {

using Document = std::vector<DocVecI>;

inline Fid fidOf(std::uint64_t id) {
    Fid fid;
    std::memcpy(fid.m_fid, &id, sizeof id);
    return fid;
}

inline Document document(std::initializer_list<std::pair<std::uint64_t, float>> entries) {
    Document d;
    for (const auto& [id, weight] : entries)
        d.push_back(DocVecI{fidOf(id), weight});
    return d;
}

// `count` documents, document i about topic i % topics (ids 3t + 1 to
// 3t + 3), all sharing a faint id `shared` (above 3 topics), with weights that
// make every similarity distinct; positive for a count up to 40.
inline std::vector<Document> topicDocuments(int count, int topics, std::uint64_t shared) {
    std::vector<Document> docs;
    for (int i = 0; i < count; ++i) {
        const auto first = static_cast<std::uint64_t>(3 * (i % topics) + 1);
        const auto f = static_cast<float>(i);
        docs.push_back(document({{first, 1.0f + 0.07f * f},
                                 {first + 1, 2.0f - 0.05f * f},
                                 {first + 2, 0.3f + 0.11f * static_cast<float>(i % 5)},
                                 {shared, 0.02f + 0.003f * f}}));
    }
    return docs;
}

// `count` documents over `vocabulary` ids, a few of them popular, with ids in
// ascending order and positive weights; many pairs share no id at all.
inline std::vector<Document> randomDocuments(std::mt19937& random, int count, int vocabulary, int meanLength) {
    std::vector<Document> docs(static_cast<std::size_t>(count));
    std::geometric_distribution<int> rank(4.0 / vocabulary);
    std::uniform_int_distribution<int> length(1, 2 * meanLength);
    std::uniform_real_distribution<float> weight(0.05f, 1.0f);
    for (Document& d : docs) {
        std::vector<std::uint64_t> ids;
        for (int e = length(random); e > 0; --e)
            ids.push_back(static_cast<std::uint64_t>(rank(random) % vocabulary) * 0x9E3779B97F4A7C15ull);
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (const std::uint64_t id : ids)
            d.push_back(DocVecI{fidOf(id), weight(random)});
    }
    return docs;
}

inline std::vector<_dVec> rowsOf(const std::vector<Document>& docs) {
    std::vector<_dVec> rows;
    for (std::size_t i = 0; i < docs.size(); ++i)
        rows.push_back(_dVec{static_cast<int>(i), static_cast<int>(docs[i].size()), 0, docs[i].data()});
    return rows;
}

inline std::vector<DocEntries> entriesOf(const std::vector<Document>& docs) {
    return {docs.begin(), docs.end()};
}

}  // namespace ovix::testing
