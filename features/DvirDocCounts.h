#pragma once
// Packed vectors against the document counts of a collection. Each entry's
// count is read or changed by its own FidsDocCount call, which takes the Fids
// lock for that entry alone: other threads may interleave between entries.

#include "features/Dvir.h"
#include "features/FidsDocCount.h"

namespace ovix {

// The sum of the weights of the entries whose document count is above 0.
double dvirDocCountHits(DvirView v, const FidsDocCount& dc);

// dvirDocCountHits divided by the sum of all weights: not-a-number for an
// empty vector.
double dvirInLanguageRatio(DvirView v, const FidsDocCount& dc);

// incrDocCount, or decrDocCount, of every entry's id.
void dvirIncrDocCounts(DvirView v, FidsDocCount& dc);
void dvirDecrDocCounts(DvirView v, FidsDocCount& dc);

}  // namespace ovix
