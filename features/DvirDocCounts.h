#pragma once
// Packed vectors against the document counts of a collection. Each function
// takes the Fids lock once per FidsLock::kBatch entries (FidsDocCount.h), so
// that other threads wait at most one batch and may interleave between
// batches.

#include <vector>

#include "features/Dvir.h"
#include "features/FidsDocCount.h"

namespace ovix {

// The document count of every entry's id, in buffer order.
std::vector<int> dvirDocCounts(DvirView v, const FidsDocCount& dc);

// The sum of the weights of the entries whose document count is above 0.
double dvirDocCountHits(DvirView v, const FidsDocCount& dc);

// dvirDocCountHits divided by the sum of all weights: not-a-number for an
// empty vector.
double dvirInLanguageRatio(DvirView v, const FidsDocCount& dc);

// incrDocCount, or decrDocCount, of every entry's id.
void dvirIncrDocCounts(DvirView v, FidsDocCount& dc);
void dvirDecrDocCounts(DvirView v, FidsDocCount& dc);

}  // namespace ovix
