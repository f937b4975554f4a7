#pragma once
// The check of a well-formed packed vector.

#include "features/Dvir.h"

namespace ovix {

// Returns when the vector is well-formed: ids strictly ascending, weights in
// (0, 100000] and integral from 1 up. Otherwise throws, at the first faulty
// entry, the first of these that applies to it:
//   "fids are not ascending"  (from the second entry on; equal ids too)
//   "weight is nan"
//   "weight is negative"      (0 too)
//   "weight is too large"
//   "weight is greater than 1.0 and not an integer"
// An empty vector is well-formed.
void dvirVerify(DvirView v);

}  // namespace ovix
