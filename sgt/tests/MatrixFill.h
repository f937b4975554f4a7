#pragma once
// Builds small matrices of the family from nested lists, for tests.

#include <initializer_list>
#include <memory>

#include "sgt/LaDenseMatrix.h"
#include "sgt/LaMatrix.h"

namespace ovix {

template <class T>
std::unique_ptr<LaDenseMatrix<T>> denseOf(std::initializer_list<std::initializer_list<double>> rows) {
    const int cols = rows.size() ? static_cast<int>(rows.begin()->size()) : 0;
    auto m = std::make_unique<LaDenseMatrix<T>>(static_cast<int>(rows.size()), cols);
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (const double v : row)
            m->set(i, j++, static_cast<T>(v));
        ++i;
    }
    return m;
}

// Whether m holds exactly these rows.
template <class T>
bool holds(const LaMatrix<T>& m, std::initializer_list<std::initializer_list<double>> rows) {
    if (m.rowCount() != static_cast<int>(rows.size()))
        return false;
    int i = 0;
    for (const auto& row : rows) {
        if (m.colCount() != static_cast<int>(row.size()))
            return false;
        int j = 0;
        for (const double v : row)
            if (m.get(i, j++) != static_cast<T>(v))
                return false;
        ++i;
    }
    return true;
}

}  // namespace ovix
