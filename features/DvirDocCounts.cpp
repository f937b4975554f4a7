#include "features/DvirDocCounts.h"

namespace ovix {

double dvirDocCountHits(DvirView v, const FidsDocCount& dc) {
    double hits = 0.0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (dc.getDocCount(v.fid(i)) > 0)
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
    for (size_t i = 0; i < v.size(); ++i)
        dc.incrDocCount(v.fid(i));
}

void dvirDecrDocCounts(DvirView v, FidsDocCount& dc) {
    for (size_t i = 0; i < v.size(); ++i)
        dc.decrDocCount(v.fid(i));
}

}  // namespace ovix
