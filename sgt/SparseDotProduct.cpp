#include "sgt/SparseDotProduct.h"

#include <cmath>

namespace ovix {

float sparseDotProduct(const DocVecI* a, int na, const DocVecI* b, int nb) {
    float sum = 0;
    if (!a || !b)
        return sum;
    int i = 0;
    int j = 0;
    while (i < na && j < nb) {
        const auto idA = a[i].fid.asNumber();
        const auto idB = b[j].fid.asNumber();
        if (idA == idB) {
            sum += a[i].weight * b[j].weight;
            ++i;
            ++j;
        } else if (idA < idB) {
            ++i;
        } else {
            ++j;
        }
    }
    return sum;
}

bool compareSimilarityDesc(const SimilarityPair& x, const SimilarityPair& y) {
    if (x.similarity > y.similarity)
        return true;
    if (x.similarity < y.similarity)
        return false;
    const bool xNan = std::isnan(x.similarity);
    const bool yNan = std::isnan(y.similarity);
    if (xNan != yNan)
        return yNan;
    return x.index < y.index;
}

}  // namespace ovix
