// LaPlacian's two-way split of a set of nodes and the normalised cut.

#include <cstddef>

#include "sgt/LaPlacian.h"

// The sums run over the stored entries in row and column order, which adds
// the same terms in the same order as a walk over every pair (an absent entry
// adds nothing).
template <class T>
double LaPlacian<T>::ncut(const int* marks, int a, int b) const {
    double cutAB = 0, cutBA = 0, assocA = 0, assocB = 0;
    for (int i = 0; i < this->rows; ++i) {
        const int from = marks[i];
        if (from != a && from != b)
            continue;
        for (const auto& [j, w] : row(i)) {
            if (j == i)
                continue;
            const int to = marks[j];
            if (from == a) {
                if (to == a)
                    assocA += w;
                else if (to == b)
                    cutAB += w;
            } else {
                if (to == b)
                    assocB += w;
                else if (to == a)
                    cutBA += w;
            }
        }
    }
    return cutBA / (cutBA + assocB) + cutAB / (cutAB + assocA);
}

template double LaPlacian<float>::ncut(const int*, int, int) const;
template double LaPlacian<double>::ncut(const int*, int, int) const;
