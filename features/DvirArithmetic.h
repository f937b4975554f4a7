#pragma once
// Dot products of packed vectors, by a merge join over two id-sorted vectors.

#include <span>
#include <utility>
#include <vector>

#include "features/Dvir.h"

namespace ovix {

// The sum of the weight products of the ids present in both, kept in extended
// precision. 0 when either is empty.
double dvirDotProduct(DvirView a, DvirView b);

// Element i is dvirDotProduct(list[i], v).
std::vector<double> dvirListDotProduct(DvirView v, std::span<const DvirView> list);

// The mean and the standard deviation of d_i = dvirDotProduct(list[i],
// centroid) over the list: (0, not-a-number) for an empty list.
std::pair<double, double> dvirListDispersionAndStddev(DvirView centroid, std::span<const DvirView> list);

// One entry per id present in both, weighted by the product of the two
// weights, in id order.
std::vector<DocVecI> dvirDotProductAsDvir(DvirView a, DvirView b);

}  // namespace ovix
