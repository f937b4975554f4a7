#pragma once
// The columns of the matrix files in a document-vector format (graph and
// decomposition files): a record per row, whose entries name their columns
// by their ids, the id read as a number (Fid::asNumber) being the column.

#include <cstdint>
#include <cstring>
#include <string>

#include "features/Fid.h"

namespace ovix {

// The id of an entry in `column`.
inline Fid fidOfColumn(std::uint64_t column) {
    Fid fid;
    std::memcpy(fid.m_fid, &column, sizeof column);
    return fid;
}

// The column of `entry`, an entry of record `record` in a matrix of `columns`
// columns. A column beyond them is refused with fail("record R has the column
// C, outside 0..N-1"), which must throw.
template <class Fail>
int columnOf(const DocVecI& entry, int record, int columns, Fail fail) {
    const std::uint64_t column = entry.fid.asNumber();
    if (column >= static_cast<std::uint64_t>(columns))
        fail("record " + std::to_string(record) + " has the column " + std::to_string(column) + ", outside 0.." +
             std::to_string(columns - 1));
    return static_cast<int>(column);
}

}  // namespace ovix
