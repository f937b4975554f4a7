#pragma once
// Similarity of documents given as arrays of DocVecI entries sorted ascending
// by id (the order of a packed document vector), and the order in which the
// k-nearest-neighbour graph ranks candidate neighbours.

#include <span>

#include "features/Fid.h"

namespace ovix {

// The sum, in single precision, of the weight products of the ids that both
// arrays hold, taken by one merge over the two arrays in ascending id order:
// equal ids add their product and both arrays advance, otherwise the array
// with the smaller id advances. 0 when either array is null or empty.
float sparseDotProduct(const DocVecI* a, int na, const DocVecI* b, int nb);

// The entries of one document, sorted ascending by id.
using DocEntries = std::span<const DocVecI>;

inline float sparseDotProduct(DocEntries a, DocEntries b) {
    return sparseDotProduct(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
}

// A candidate neighbour: a document and its similarity to the one at hand.
struct SimilarityPair {
    int index;
    float similarity;
};

// The ranking of candidate neighbours, a strict total order: the greater
// similarity first, every NaN after all numbers, equal similarities by
// ascending index.
bool compareSimilarityDesc(const SimilarityPair& x, const SimilarityPair& y);

}  // namespace ovix
