#include "cluster/SplitWorkspace.h"

#include <algorithm>
#include <cmath>

#include "features/Dvir.h"
#include "sgt/SparseDotProduct.h"

namespace ovix {

SplitWorkspace::SplitWorkspace(int maxFeatures) : m_maxFeatures(maxFeatures) {}

void SplitWorkspace::reset(int k) {
    m_indexed = false;
    m_children.clear();
    m_children.resize(static_cast<std::size_t>(k));
}

void SplitWorkspace::clear() {
    m_indexed = false;
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
    m_indexed = false;
    Child& c = child(i);
    for (const DocVecI& e : c.entries)
        c.sums.add(e.fid.asNumber(), e.weight);
    c.entries = {};
    for (const DocVecI& e : doc)
        c.sums.add(e.fid.asNumber(), e.weight);
    ++c.documents;
}

std::vector<DocVecI> SplitWorkspace::sortedEntries(const Child& c) {
    if (!c.entries.empty())
        return c.entries;
    std::vector<DocVecI> entries = c.sums.entries();
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
    buildIndex();
}

void SplitWorkspace::buildIndex() {
    std::vector<std::span<const DocVecI>> centroids;
    for (const Child& c : m_children)
        centroids.emplace_back(c.entries);
    m_index.build(centroids);
    // A child whose centroid is still being summed is not in it.
    m_indexed = std::all_of(m_children.begin(), m_children.end(), [](const Child& c) { return c.sums.empty(); });
}

float SplitWorkspace::similarity(int i, std::span<const DocVecI> doc) const {
    const Child& c = child(i);
    if (!c.entries.empty())
        return sparseDotProduct(c.entries, doc);
    float sum = 0;
    if (c.sums.empty())
        return sum;
    for (const DocVecI& e : doc)
        if (const float* found = c.sums.find(e.fid.asNumber()))
            sum += *found * e.weight;
    return sum;
}

void SplitWorkspace::similarities(std::span<const DocVecI> doc, std::span<float> out) const {
    if (m_indexed && CentroidIndex::strictlyAscending(doc)) {
        m_index.similarities(doc, out);
        return;
    }
    for (int i = 0; i < count(); ++i)
        out[static_cast<std::size_t>(i)] = similarity(i, doc);
}

bool SplitWorkspace::dissolveSmallerThan(int minDocuments) {
    bool dissolved = false;
    for (Child& c : m_children) {
        if (c.documents < minDocuments) {
            c.sums.clear();
            c.entries = {};
            dissolved = true;
        }
    }
    if (dissolved)
        buildIndex();
    return dissolved;
}

std::vector<DocVecI> SplitWorkspace::centroid(int i) const {
    return sortedEntries(child(i));
}

}  // namespace ovix
