#include "features/DvirDocCounts.h"

namespace ovix {

namespace {

std::vector<Fid> idsOf(DvirView v) {
    std::vector<Fid> ids(v.size());
    for (size_t i = 0; i < ids.size(); ++i)
        ids[i] = v.fid(i);
    return ids;
}

}  // namespace

std::vector<int> dvirDocCounts(DvirView v, const FidsDocCount& dc) {
    std::vector<int> counts(v.size());
    dc.getDocCounts(idsOf(v), counts);
    return counts;
}

double dvirDocCountHits(DvirView v, const FidsDocCount& dc) {
    const std::vector<int> counts = dvirDocCounts(v, dc);
    double hits = 0.0;
    for (size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > 0)
            hits += v.weight(i);
    }
    return hits;
}

double dvirInLanguageRatio(DvirView v, const FidsDocCount& dc) {
    double total = 0.0;
    for (size_t i = 0; i < v.size(); ++i)
        total += v.weight(i);
    return dvirDocCountHits(v, dc) / total;
}

void dvirIncrDocCounts(DvirView v, FidsDocCount& dc) {
    dc.incrDocCounts(idsOf(v));
}

void dvirDecrDocCounts(DvirView v, FidsDocCount& dc) {
    dc.decrDocCounts(idsOf(v));
}

}  // namespace ovix
