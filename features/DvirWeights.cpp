#include "features/DvirWeights.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "features/DvirDocCounts.h"

namespace ovix {

namespace {

void logTermFrequencies(std::vector<DocVecI>& entries) {
    for (DocVecI& e : entries)
        e.weight = 1.0f + std::log(e.weight);
}

// entries are those of v, in v's order.
void inverseDocumentFrequencies(std::vector<DocVecI>& entries, DvirView v, FixedIdfAlg alg, int minDf,
                                const FidsDocCount& dc) {
    // In floating point: a table that never had counts has a lowest count of
    // INT_MAX, and df + 1 must not wrap.
    const double documents = static_cast<double>(dc.getMaxDocCount()) + 2.0;
    const int lowest = dc.getMinDocCount();
    const std::vector<int> counts = dvirDocCounts(v, dc);
    for (size_t i = 0; i < entries.size(); ++i) {
        DocVecI& e = entries[i];
        int df = counts[i];
        if (df == 0 && alg == FIXED_IDF_ALG_FLATLINE)
            df = lowest;
        if (df < minDf || (df == 0 && alg == FIXED_IDF_ALG_IGNORE))
            e.weight = 0.0f;
        else
            e.weight = static_cast<float>(e.weight * std::log(documents / (static_cast<double>(df) + 1.0)));
    }
}

void keepHeaviest(std::vector<DocVecI>& entries, size_t n) {
    std::nth_element(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(n), entries.end(),
                     [](const DocVecI& a, const DocVecI& b) { return dvirWeightGreater(a, b); });
    entries.resize(n);
}

// Divides by the Euclidean length and drops the weights that are 0, so that
// negative weights, which logTf and idf can make, stay in the unit vector.
void normalise(std::vector<DocVecI>& entries) {
    double squares = 0.0;
    for (const DocVecI& e : entries)
        squares += static_cast<double>(e.weight) * e.weight;
    const double length = std::sqrt(squares);
    if (length != 0.0) {
        for (DocVecI& e : entries) {
            e.weight = static_cast<float>(e.weight / length);
            if (std::isnan(e.weight))
                throw std::runtime_error("Weight is NaN");
        }
    }
    std::erase_if(entries, [](const DocVecI& e) { return e.weight == 0.0f; });
}

}  // namespace

std::optional<std::vector<DocVecI>> dvir2Weights(DvirView v, bool keepWeights, bool logTf, bool idf, int topN,
                                                 FixedIdfAlg alg, int minDf, const FidsDocCount& dc) {
    const bool cut = topN > 0 && static_cast<size_t>(topN) < v.size();
    if (keepWeights && !cut)
        return std::nullopt;

    std::vector<DocVecI> entries = v.entries();
    if (!keepWeights) {
        if (logTf)
            logTermFrequencies(entries);
        if (idf)
            inverseDocumentFrequencies(entries, v, alg, minDf, dc);
    }
    if (cut)
        keepHeaviest(entries, static_cast<size_t>(topN));
    normalise(entries);
    dvirSortById(entries);
    return entries;
}

}  // namespace ovix
