#include "cluster/CentroidIndex.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace ovix {

namespace {

struct Triple {
    std::uint64_t id;
    int child;
    float weight;
};

}  // namespace

std::size_t CentroidIndex::slotOf(std::uint64_t id) const {
    // Fibonacci hashing: the top bits of the product spread any ids.
    return static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> m_shift);
}

void CentroidIndex::build(const std::vector<std::span<const DocVecI>>& centroids) {
    std::vector<Triple> triples;
    std::size_t total = 0;
    for (const auto& c : centroids)
        total += c.size();
    if (total >= UINT32_MAX)
        throw std::length_error("centroids too long to index");
    triples.reserve(total);
    for (std::size_t child = 0; child < centroids.size(); ++child)
        for (const DocVecI& e : centroids[child])
            triples.push_back(Triple{e.fid.asNumber(), static_cast<int>(child), e.weight});
    // By id; an id's postings stay in child order.
    std::stable_sort(triples.begin(), triples.end(), [](const Triple& a, const Triple& b) { return a.id < b.id; });

    std::size_t distinct = 0;
    for (std::size_t i = 0; i < triples.size(); ++i)
        distinct += i == 0 || triples[i].id != triples[i - 1].id;
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(2 * distinct, 2));
    m_shift = 64 - std::countr_zero(capacity);
    m_slots.assign(capacity, Slot{});
    m_postings.clear();
    m_postings.reserve(triples.size());
    for (std::size_t i = 0; i < triples.size();) {
        const std::uint64_t id = triples[i].id;
        const auto begin = static_cast<std::uint32_t>(m_postings.size());
        for (; i < triples.size() && triples[i].id == id; ++i)
            m_postings.push_back(Posting{triples[i].child, triples[i].weight});
        std::size_t s = slotOf(id);
        while (m_slots[s].end != 0)
            s = (s + 1) & (capacity - 1);
        m_slots[s] = Slot{id, begin, static_cast<std::uint32_t>(m_postings.size())};
    }
}

void CentroidIndex::similarities(std::span<const DocVecI> doc, std::span<float> scores) const {
    std::fill(scores.begin(), scores.end(), 0.0f);
    if (m_slots.empty())
        return;
    const std::size_t mask = m_slots.size() - 1;
    for (const DocVecI& e : doc) {
        const std::uint64_t id = e.fid.asNumber();
        for (std::size_t s = slotOf(id); m_slots[s].end != 0; s = (s + 1) & mask) {
            if (m_slots[s].id != id)
                continue;
            for (std::uint32_t p = m_slots[s].begin; p < m_slots[s].end; ++p)
                scores[static_cast<std::size_t>(m_postings[p].child)] += m_postings[p].weight * e.weight;
            break;
        }
    }
}

bool CentroidIndex::strictlyAscending(std::span<const DocVecI> doc) {
    for (std::size_t i = 1; i < doc.size(); ++i)
        if (!(doc[i - 1].fid.asNumber() < doc[i].fid.asNumber()))
            return false;
    return true;
}

}  // namespace ovix
