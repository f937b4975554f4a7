#pragma once
// The most similar other documents of every document of a set, found with an
// inverted index on all cores: the core of the k-nearest-neighbour graph.

#include <span>
#include <vector>

#include "sgt/SparseDotProduct.h"

namespace ovix {

// For every document i of `docs`, the `keep` other documents most similar to
// it, best first by compareSimilarityDesc: row i of the result is the `keep`
// pairs from i * keep. A document is never its own neighbour, whatever the
// signs of the similarities; keep must lie in 0..docs.size() - 1. Each
// similarity equals sparseDotProduct of the two documents bit for bit.
//
// Runs on `threads` threads, the calling one among them (0: one per core,
// fewer for a small set); the result does not depend on their number. An
// exception in any of them is thrown on in the calling thread.
std::vector<SimilarityPair> nearestNeighbours(std::span<const DocEntries> docs, int keep, unsigned threads = 0);

}  // namespace ovix
