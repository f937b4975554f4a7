#pragma once
// A complete in-memory batch as FeatureDvecsMem::getDvecs hands it out. The
// reference does not keep the batch: once its sink is reset or destroyed it
// gives no rows, instead of rows that point into released vectors.

#include <memory>

#include "features/DvecTable.h"

namespace ovix {

class DvecTableRef {
public:
    explicit DvecTableRef(const std::shared_ptr<const DvecTable>& table)
        : m_table(table), m_size(table->count()) {}

    // Rows in the table.
    int size() const { return m_size; }

    // The first n rows. They stay valid while the result lives, also when the
    // sink is reset or destroyed meanwhile; the result may free the vectors,
    // so release it as their owner requires (Python buffers: with the
    // interpreter lock held). Throws "dvec table was reset" once the sink has
    // been reset or destroyed, and "dvec table has N rows, not n" for an n
    // below 0 or beyond the table.
    std::shared_ptr<const _dVec> rows(int n) const;

private:
    std::weak_ptr<const DvecTable> m_table;
    int m_size;
};

}  // namespace ovix
