#include "features/DvecTableRef.h"

#include <stdexcept>
#include <string>

namespace ovix {

std::shared_ptr<const _dVec> DvecTableRef::rows(int n) const {
    std::shared_ptr<const DvecTable> table = m_table.lock();
    if (!table || table->retired())
        throw std::runtime_error("dvec table was reset");
    if (n < 0 || n > table->count())
        throw std::runtime_error("dvec table has " + std::to_string(table->count()) + " rows, not " +
                                 std::to_string(n));
    // Shares the table's ownership, points at its rows.
    return {table, table->rows().data()};
}

}  // namespace ovix
