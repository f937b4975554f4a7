#include "cluster/SplitWorkspace.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "features/Dvir.h"
#include "sgt/SparseDotProduct.h"

namespace {

Fid fidOf(std::uint64_t id) {
    Fid fid;
    std::memcpy(fid.m_fid, &id, sizeof id);
    return fid;
}

}  // namespace

SplitWorkspace::SplitWorkspace(int maxFeatures) : m_maxFeatures(maxFeatures) {}

void SplitWorkspace::reset(int k) {
    m_children.clear();
    m_children.resize(static_cast<std::size_t>(k));
}

void SplitWorkspace::clear() {
    for (Child& c : m_children) {
        c.sums.clear();
        c.entries = {};
        c.documents = 0;
    }
}

void SplitWorkspace::zeroCounts() {
    for (Child& c : m_children)
        c.documents = 0;
}

void SplitWorkspace::add(int i, std::span<const DocVecI> doc) {
    Child& c = child(i);
    for (const DocVecI& e : c.entries)
        c.sums[e.fid.asNumber()] += e.weight;
    c.entries = {};
    for (const DocVecI& e : doc)
        c.sums[e.fid.asNumber()] += e.weight;
    ++c.documents;
}

std::vector<DocVecI> SplitWorkspace::sortedEntries(const Child& c) {
    if (!c.entries.empty())
        return c.entries;
    std::vector<DocVecI> entries;
    entries.reserve(c.sums.size());
    for (const auto& [id, weight] : c.sums)
        entries.push_back(DocVecI{fidOf(id), weight});
    dvirSortById(entries);
    return entries;
}

void SplitWorkspace::normalise() {
    for (Child& c : m_children) {
        if (c.sums.empty())
            continue;
        std::vector<DocVecI> entries = sortedEntries(c);
        if (m_maxFeatures > 0 && static_cast<std::size_t>(m_maxFeatures) < entries.size()) {
            // Equal weights keep their id order, so the cut is the same on
            // every run.
            std::stable_sort(entries.begin(), entries.end(), dvirWeightGreater);
            entries.resize(static_cast<std::size_t>(m_maxFeatures));
            dvirSortById(entries);
        }
        double squares = 0;
        for (const DocVecI& e : entries)
            squares += static_cast<double>(e.weight) * e.weight;
        const double norm = std::sqrt(squares);
        if (norm != 0)
            for (DocVecI& e : entries)
                e.weight = static_cast<float>(e.weight / norm);
        c.sums.clear();
        c.entries = std::move(entries);
    }
}

float SplitWorkspace::similarity(int i, std::span<const DocVecI> doc) const {
    const Child& c = child(i);
    if (!c.entries.empty())
        return ovix::sparseDotProduct(c.entries, doc);
    float sum = 0;
    if (c.sums.empty())
        return sum;
    for (const DocVecI& e : doc)
        if (const auto found = c.sums.find(e.fid.asNumber()); found != c.sums.end())
            sum += found->second * e.weight;
    return sum;
}

void SplitWorkspace::dissolve(int i) {
    Child& c = child(i);
    c.sums.clear();
    c.entries = {};
}

std::vector<DocVecI> SplitWorkspace::centroid(int i) const {
    return sortedEntries(child(i));
}
