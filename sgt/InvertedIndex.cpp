#include "sgt/InvertedIndex.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace ovix {
namespace {

// Whether the ids of `entries` never descend.
bool ascending(DocEntries entries) {
    for (std::size_t p = 1; p < entries.size(); ++p)
        if (entries[p].fid.asNumber() < entries[p - 1].fid.asNumber())
            return false;
    return true;
}

// Numbers the terms in the order they are first seen.
class TermNumbers {
public:
    explicit TermNumbers(std::size_t expected) { m_first.reserve(expected); }

    std::uint32_t number(std::uint64_t id, std::uint32_t occurrence) {
        if (occurrence == 0)
            return m_first.try_emplace(id, next()).first->second;
        return m_repeated.try_emplace({id, occurrence}, next()).first->second;
    }

    std::size_t count() const { return m_first.size() + m_repeated.size(); }

private:
    std::uint32_t next() const {
        if (count() >= UINT32_MAX)
            throw std::length_error("too many terms to index");
        return static_cast<std::uint32_t>(count());
    }

    std::unordered_map<std::uint64_t, std::uint32_t> m_first;
    std::map<std::pair<std::uint64_t, std::uint32_t>, std::uint32_t> m_repeated;  // rare
};

}  // namespace

InvertedIndex::InvertedIndex(std::span<const DocEntries> docs)
    : m_docs(docs), m_indexed(docs.size()), m_firstEntry(docs.size() + 1) {
    std::size_t entries = 0;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        m_indexed[i] = ascending(docs[i]);
        m_firstEntry[i] = entries;
        if (m_indexed[i])
            entries += docs[i].size();
    }
    m_firstEntry[docs.size()] = entries;

    TermNumbers terms(entries / 4);
    m_termOfEntry.resize(entries);
    std::vector<std::size_t> postingCount;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        if (!m_indexed[i])
            continue;
        std::uint32_t occurrence = 0;
        for (std::size_t p = 0; p < docs[i].size(); ++p) {
            const std::uint64_t id = docs[i][p].fid.asNumber();
            occurrence = p > 0 && id == docs[i][p - 1].fid.asNumber() ? occurrence + 1 : 0;
            const std::uint32_t term = terms.number(id, occurrence);
            if (term == postingCount.size())
                postingCount.push_back(0);
            ++postingCount[term];
            m_termOfEntry[m_firstEntry[i] + p] = term;
        }
    }

    m_firstPosting.resize(postingCount.size() + 1);
    std::size_t total = 0;
    for (std::size_t t = 0; t < postingCount.size(); ++t) {
        m_firstPosting[t] = total;
        total += postingCount[t];
    }
    m_firstPosting[postingCount.size()] = total;

    // Documents in ascending order, so every posting list is too.
    m_postings.resize(total);
    std::vector<std::size_t> fill(m_firstPosting.begin(), m_firstPosting.end() - 1);
    for (std::size_t i = 0; i < docs.size(); ++i) {
        if (!m_indexed[i])
            continue;
        for (std::size_t p = 0; p < docs[i].size(); ++p)
            m_postings[fill[m_termOfEntry[m_firstEntry[i] + p]]++] = Posting{static_cast<int>(i), docs[i][p].weight};
    }
}

void InvertedIndex::accumulate(int doc, int first, float* scores) const {
    const auto d = static_cast<std::size_t>(doc);
    const DocEntries entries = m_docs[d];
    const std::uint32_t* termOf = m_termOfEntry.data() + m_firstEntry[d];
    for (std::size_t p = 0; p < entries.size(); ++p) {
        const float weight = entries[p].weight;
        const Posting* end = m_postings.data() + m_firstPosting[termOf[p] + 1];
        const Posting* posting = std::partition_point(m_postings.data() + m_firstPosting[termOf[p]], end,
                                                      [first](const Posting& q) { return q.doc < first; });
        for (; posting != end; ++posting)
            scores[posting->doc] += weight * posting->weight;
    }
}

}  // namespace ovix
