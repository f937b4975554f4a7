#pragma once
// A read-only copy of a sparse matrix's rows, packed one after the other
// (compressed sparse rows), for the many products of an iterative solve: a
// product reads it in order instead of walking a tree per row, and shares its
// rows out over a team. Each y[i] is summed by one thread, over the row's
// entries in column order, so a product gives the same doubles as the
// matrix's own row-by-row multiply, whatever the team.

#include <cstddef>

#include "sgt/MappedArray.h"
#include "sgt/SparseRowMap.h"
#include "sgt/WorkTeam.h"

namespace ovix {

template <class T>
class PackedRows {
public:
    // A copy of rows[0] to rows[n - 1].
    PackedRows(const SparseRowMap<T>* rows, int n);

    // y = A x; x and y hold n doubles each.
    void multiply(const double* x, double* y, WorkTeam& team) const;

    // A product is cut into parts of whole rows holding about this many
    // entries each; a smaller matrix is one part.
    static constexpr std::size_t kEntriesPerPart = 1 << 13;

private:
    std::size_t m_rows;
    std::size_t m_rowsPerPart;
    MappedArray<std::size_t> m_offsets;  // m_rows + 1: row i is [offsets[i], offsets[i + 1])
    MappedArray<int> m_columns;
    MappedArray<T> m_weights;
};

extern template class PackedRows<float>;
extern template class PackedRows<double>;

}  // namespace ovix
