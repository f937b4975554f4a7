#pragma once
// The centroid of a set of packed vectors.

#include <span>
#include <vector>

#include "features/Dvir.h"

namespace ovix {

// The sum vector of the list (per id, the float sum of its weights over the
// vectors that have it, in list order) divided by its Euclidean length, in id
// order. A sum vector of length 0 keeps its zero weights; an empty list, or a
// list of empty vectors, gives an empty vector.
std::vector<DocVecI> dvirListCentroid(std::span<const DvirView> list);

}  // namespace ovix
