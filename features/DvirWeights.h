#pragma once
// Term weighting of a packed count vector: log term frequency, inverse
// document frequency, a cut to the heaviest entries, and unit length.

#include <optional>
#include <vector>

#include "features/Dvir.h"
#include "features/FidsDocCount.h"

namespace ovix {

// What the idf step does with a feature whose document count is 0. Every int
// value is a valid code: codes the module does not name act as DROP.
enum FixedIdfAlg : int {
    FIXED_IDF_ALG_DROP = 0,      // nothing special: only minDf can drop it
    FIXED_IDF_ALG_FLATLINE = 1,  // the count becomes the lowest count of dc
    FIXED_IDF_ALG_IGNORE = 2,    // the weight becomes 0
};

// Weighs a vector in these steps:
// 1. unless keepWeights: with logTf every weight w becomes 1 + ln w; with idf,
//    with N = max of dc + 2 and df the entry's document count, the weight
//    becomes 0 when df < minDf (or df is 0 under IGNORE), else w ln(N/(df+1));
// 2. when 0 < topN < n: only the topN heaviest entries stay;
// 3. after either step, weights are divided by the vector's Euclidean length
//    and the entries whose weight is 0 are dropped; throws "Weight is NaN"
//    when a weight is not a number then.
// The result is in id order; nothing when neither step applies and the vector
// stands as it is. dc is read (dvirDocCounts, DvirDocCounts.h) only with idf.
std::optional<std::vector<DocVecI>> dvir2Weights(DvirView v, bool keepWeights, bool logTf, bool idf, int topN,
                                                 FixedIdfAlg alg, int minDf, const FidsDocCount& dc);

}  // namespace ovix
