#include "features/DvirArithmetic.h"

#include <cmath>
#include <limits>

namespace ovix {

namespace {

// Calls match(i, j) for every pair of entries with equal ids, walking both
// vectors in id order. The side with the smaller id steps on without a branch:
// which side that is cannot be predicted.
template <class Match>
void mergeJoin(DvirView a, DvirView b, Match match) {
    const size_t na = a.size(), nb = b.size();
    size_t i = 0, j = 0;
    while (i < na && j < nb) {
        const std::uint64_t x = a.id(i), y = b.id(j);
        if (x == y)
            match(i, j);
        i += x <= y;
        j += y <= x;
    }
}

}  // namespace

double dvirDotProduct(DvirView a, DvirView b) {
    long double sum = 0.0L;
    mergeJoin(a, b, [&](size_t i, size_t j) { sum += static_cast<long double>(a.weight(i)) * b.weight(j); });
    return static_cast<double>(sum);
}

std::vector<double> dvirListDotProduct(DvirView v, std::span<const DvirView> list) {
    std::vector<double> products;
    products.reserve(list.size());
    for (const DvirView& item : list)
        products.push_back(dvirDotProduct(item, v));
    return products;
}

std::pair<double, double> dvirListDispersionAndStddev(DvirView centroid, std::span<const DvirView> list) {
    if (list.empty())
        return {0.0, std::numeric_limits<double>::quiet_NaN()};
    long double sum = 0.0L, sumOfSquares = 0.0L;
    for (const DvirView& item : list) {
        const long double d = dvirDotProduct(item, centroid);
        sum += d;
        sumOfSquares += d * d;
    }
    const long double m = static_cast<long double>(list.size());
    const long double mean = sum / m;
    // Rounding can leave equal products with a variance just below 0.
    long double variance = sumOfSquares / m - mean * mean;
    if (variance < 0.0L)
        variance = 0.0L;
    return {static_cast<double>(mean), static_cast<double>(std::sqrt(variance))};
}

std::vector<DocVecI> dvirDotProductAsDvir(DvirView a, DvirView b) {
    std::vector<DocVecI> product;
    mergeJoin(a, b, [&](size_t i, size_t j) { product.push_back({a.fid(i), a.weight(i) * b.weight(j)}); });
    dvirSortById(product);
    return product;
}

}  // namespace ovix
